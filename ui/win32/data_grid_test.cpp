// The grid over the real record store, with real windows and real messages:
// what keys and clicks do to the list, the read-only gating, the cell editor
// and its refused text, the delete confirmation.
#include "ui/win32/data_grid.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/win32_os_services.h"
#include "store/record_store.h"
#include "store/testing/refusing_packet_codec.h"
#include "ui/store_grid_source.h"
#include "ui/win32/message_boxes.h"
#include "ui/win32/win32_ui_test_support.h"

namespace quillset {
namespace {

using testing_win32::DialogAnswerer;
using testing_win32::HeldKeys;
using testing_win32::Pump;

constexpr char kTitle[] = "ファイルバックアップツール";

class DataGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_->SetDateTextContext(&date_settings_, &os_);
    store_->CreateEmpty();
    host_ = CreateWindowExA(0, "STATIC", "grid host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50,
                            50, 500, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host_, nullptr);
    boxes_ = std::make_unique<MessageBoxes>(code_page_, kTitle, host_);
    DataGrid::Callbacks callbacks;
    callbacks.show_failure = [this](const std::string& m) { boxes_->ShowFailure(m); };
    callbacks.confirm_delete = [this] { return boxes_->ConfirmDelete(); };
    callbacks.open_menu = [this](POINT at) { menu_points_.push_back(at); };
    grid_ = std::make_unique<DataGrid>(host_, font_, source_, std::move(callbacks));
    RECT client;
    GetClientRect(host_, &client);
    MoveWindow(grid_->Handle(), 0, 0, client.right, client.bottom, TRUE);
    ShowWindow(host_, SW_SHOW);
    SetForegroundWindow(host_);
    SetFocus(grid_->Handle());
    AddRows(3);  // read into as many rows as the grid shows
    Pump();
  }
  void TearDown() override {
    grid_.reset();
    DestroyWindow(host_);
    Pump();
  }

  HWND Target() {
    HWND focus = GetFocus();
    return grid_->EditorOpen() && focus == grid_->Editor() ? grid_->Editor() : grid_->Handle();
  }
  void Key(UINT vk) { SendMessageA(Target(), WM_KEYDOWN, vk, 0); }
  // Characters as an "A" window gets them (code-page bytes, a double-byte
  // character in two messages); the grid hands them on to an open editor.
  void Type(const std::string& text) {
    for (unsigned char ch : text) SendMessageA(grid_->Handle(), WM_CHAR, ch, 0);
  }
  std::string EditorText() { return testing_win32::WindowText(grid_->Editor()); }
  void ClickCell(int row, int column) {
    const GridLayout& layout = grid_->Layout();
    int x = layout.ColumnLeft(column) + 5;
    int y = layout.RowTop(row) + 5;
    SendMessageA(grid_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(grid_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) {
      const int n = store_->RowCount();
      store_->AppendRow();
      store_->FieldAt(0).WriteText("file" + std::to_string(n));
      store_->FieldAt(1).WriteText("dir" + std::to_string(n));
      store_->CommitRow();
    }
    store_->MoveFirst();
  }
  // A cell of the row the grid shows at `index` (0: the top row).
  std::string Shown(int index, int column) { return store_->WindowGridText(index, column); }
  std::size_t Logged() { return store_->Table()->ChangeLog().size(); }
  int Current() { return store_->RowNumber(); }

  ShiftJisCodePage code_page_;
  WindowFont font_{96};
  Win32OsServices os_;
  LocaleDateSettings date_settings_ = LocaleDateSettings::FromOs(os_);
  testing_support::RefusingPacketCodec codec_;
  std::unique_ptr<TClientDataSet> store_ = MakeBackupEntryStore(&codec_);
  StoreGridSource source_{*store_};
  HWND host_ = nullptr;
  std::unique_ptr<MessageBoxes> boxes_;
  std::unique_ptr<DataGrid> grid_;
  std::vector<POINT> menu_points_;
};

TEST_F(DataGridTest, StartsReadOnlyAndTellsTheSourceHowManyRowsItShows) {
  EXPECT_TRUE(grid_->ReadOnly());
  EXPECT_EQ(source_.WantedWindowSize(), grid_->Layout().VisibleRows());
  EXPECT_GE(source_.WantedWindowSize(), 1);
}

TEST_F(DataGridTest, ReadOnlyGridChangesNothingButStillMoves) {
  const std::size_t logged = Logged();
  DialogAnswerer answer(DialogAnswerer::Press(IDOK));
  Type("abc");
  Key(VK_F2);
  Key(VK_RETURN);
  Key(VK_INSERT);
  {
    HeldKeys ctrl({VK_CONTROL});
    Key(VK_DELETE);
  }
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_DOWN);  // on the last row: sets AtEnd, appends nothing
  Pump(150);

  EXPECT_FALSE(grid_->EditorOpen());
  EXPECT_TRUE(answer.Seen().empty()) << "no confirmation while read-only";
  EXPECT_EQ(store_->State(), StoreState::Browse);
  EXPECT_EQ(Logged(), logged) << "nothing stored or deleted";
  EXPECT_EQ(store_->RowCount(), 3);
  EXPECT_EQ(Shown(0, 0), "file0");
  EXPECT_EQ(Current(), 3);
  EXPECT_TRUE(store_->AtEnd());
}

TEST_F(DataGridTest, TypingOpensTheEditorAndEnterWritesTheText) {
  grid_->SetReadOnly(false);
  Type("x");
  ASSERT_TRUE(grid_->EditorOpen());
  EXPECT_EQ(EditorText(), "x") << "the first character replaces the cell's text";
  EXPECT_EQ(source_.EditState(), GridEditState::Edit);
  Type("yz");
  Key(VK_RETURN);
  EXPECT_FALSE(grid_->EditorOpen());
  EXPECT_EQ(store_->FieldAt(0).ReadText(), "xyz");
  EXPECT_TRUE(source_.RowModified());
  // Moving to another row commits the row.
  const std::size_t logged = Logged();
  Key(VK_DOWN);
  EXPECT_EQ(Shown(0, 0), "xyz");
  EXPECT_EQ(Logged(), logged + 1);
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
}

TEST_F(DataGridTest, F2OpensTheEditorWithoutChangingTheRowUntilTyping) {
  grid_->SetReadOnly(false);
  Key(VK_F2);
  ASSERT_TRUE(grid_->EditorOpen());
  EXPECT_EQ(EditorText(), "file0");
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
  Type("Q");  // replaces the selected text
  EXPECT_EQ(source_.EditState(), GridEditState::Edit);
  EXPECT_EQ(EditorText(), "Q");
}

TEST_F(DataGridTest, DoubleByteTextGoesThroughTheEditorWhole) {
  grid_->SetReadOnly(false);
  const std::string text = "表ソ能";  // trail bytes 0x5C among them
  Type(text);
  ASSERT_TRUE(grid_->EditorOpen());
  Key(VK_RETURN);
  EXPECT_EQ(store_->FieldAt(0).ReadText(), text);
}

// Typed or pasted text is UTF-16; a character Shift-JIS cannot write is
// refused by name, never stored as "?" or a look-alike.
TEST_F(DataGridTest, TextShiftJisCannotWriteIsRefusedByItsCharacterAndStaysInTheEditor) {
  grid_->SetReadOnly(false);
  DialogAnswerer answer(DialogAnswerer::Press(IDOK));
  for (wchar_t ch : std::wstring(L"caf\u00E9")) SendMessageW(grid_->Handle(), WM_CHAR, ch, 0);
  ASSERT_TRUE(grid_->EditorOpen());
  Key(VK_RETURN);
  Pump(100);
  ASSERT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(answer.Seen()[0].text, "Shift-JIS で表せない文字 U+00E9 は入力できません.");
  EXPECT_TRUE(grid_->EditorOpen());
  EXPECT_FALSE(source_.RowModified());
  EXPECT_EQ(store_->FieldAt(0).ReadText(), "file0");
  wchar_t kept[16] = {};
  GetWindowTextW(grid_->Editor(), kept, 16);
  EXPECT_EQ(std::wstring(kept), L"caf\u00E9");
}

TEST_F(DataGridTest, RefusedTextShowsTheFailureAndKeepsTheEditorWithTheTypedText) {
  grid_->SetReadOnly(false);
  DialogAnswerer answer(DialogAnswerer::Press(IDOK));
  Key(VK_END);  // the date-time column
  Type("bad");
  Key(VK_RETURN);
  Pump(100);
  ASSERT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(answer.Seen()[0].caption, kTitle);
  EXPECT_EQ(answer.Seen()[0].text, "'bad' は日付または時刻ではありません.");
  EXPECT_TRUE(grid_->EditorOpen());
  EXPECT_EQ(EditorText(), "bad");

  // A move that would commit the row is refused the same way.
  Key(VK_DOWN);
  Pump(100);
  EXPECT_EQ(answer.Seen().size(), 2u);
  EXPECT_EQ(Current(), 1);
  EXPECT_TRUE(grid_->EditorOpen());

  // With a value the field takes the move goes through.
  SetWindowTextA(grid_->Editor(), "2026/12/13");
  Key(VK_DOWN);
  EXPECT_EQ(Shown(0, 3).substr(0, 4), "2026");
  EXPECT_EQ(Current(), 2);
}

// While the box for a refused text is open, timer ticks go on (the box's
// message loop delivers them) and each tick's run commits the row: the
// refused text is not written again (it would fail the run and open another
// box); the row is committed with what was accepted.
TEST_F(DataGridTest, RunsWhileTheRefusedTextBoxIsOpenCommitTheRowWithoutIt) {
  grid_->SetReadOnly(false);
  Type("ok");
  for (int i = 0; i < 3; ++i) Key(VK_TAB);  // writes "ok"; on to the date-time column
  int runs_failed = 0;
  DialogAnswerer answer([&](HWND box) {
    for (int tick = 0; tick < 2; ++tick) {
      try {
        store_->MoveRows(1);  // the run commits the row as it moves on
        store_->MoveRows(-1);
      } catch (const Exception&) {
        ++runs_failed;  // the refused text written again
      }
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  Type("bad");
  Key(VK_RETURN);
  Pump(150);
  EXPECT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(runs_failed, 0);
  EXPECT_EQ(Shown(0, 0), "ok");
  EXPECT_EQ(Shown(0, 1), "dir0");
  EXPECT_EQ(Shown(0, 3), "");
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
  EXPECT_FALSE(grid_->EditorOpen());
}

TEST_F(DataGridTest, EscRestoresTypedTextFirstAndDiscardsTheRowSecond) {
  grid_->SetReadOnly(false);
  Type("new");
  Key(VK_ESCAPE);
  EXPECT_FALSE(grid_->EditorOpen());
  EXPECT_FALSE(source_.RowModified()) << "the typed text was not written";
  EXPECT_EQ(source_.EditState(), GridEditState::Edit) << "the row was not discarded";
  Key(VK_ESCAPE);
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
  EXPECT_EQ(Shown(0, 0), "file0");
}

TEST_F(DataGridTest, InsertStartsANewRowThatEscRemoves) {
  grid_->SetReadOnly(false);
  ClickCell(1, 0);
  Key(VK_INSERT);
  EXPECT_EQ(source_.EditState(), GridEditState::Insert);
  EXPECT_EQ(source_.WindowRowCount(), 4);
  Key(VK_ESCAPE);
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
  EXPECT_EQ(source_.WindowRowCount(), 3);
}

TEST_F(DataGridTest, DownOnTheLastRowAppendsAndUpDropsTheUnchangedNewRow) {
  grid_->SetReadOnly(false);
  {
    HeldKeys ctrl({VK_CONTROL});
    Key(VK_END);
  }
  EXPECT_EQ(Current(), 3);
  EXPECT_TRUE(store_->AtEnd());
  Key(VK_DOWN);
  EXPECT_TRUE(source_.NewRowAppended());
  EXPECT_EQ(source_.EditState(), GridEditState::Insert);
  Key(VK_DOWN);  // an unchanged appended row stays
  EXPECT_EQ(source_.WindowRowCount(), 4);
  Key(VK_UP);
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
  EXPECT_EQ(source_.WindowRowCount(), 3);
  EXPECT_EQ(Current(), 3) << "back on the former last row";
}

TEST_F(DataGridTest, CtrlDeleteAsksAndDeletesOnlyOnOk) {
  grid_->SetReadOnly(false);
  {
    DialogAnswerer answer(DialogAnswerer::Press(IDCANCEL));
    HeldKeys ctrl({VK_CONTROL});
    Key(VK_DELETE);
    ASSERT_EQ(answer.Seen().size(), 1u);
    const auto& box = answer.Seen()[0];
    EXPECT_EQ(box.caption, "確認");
    EXPECT_EQ(box.text, "レコードを削除してもよいですか？");
    EXPECT_TRUE(testing_win32::IsCentredOnScreen(box.rect));
    ASSERT_EQ(box.buttons.size(), 2u);
    EXPECT_EQ(box.buttons[0], "OK");
    EXPECT_EQ(box.buttons[1], "キャンセル");
  }
  EXPECT_EQ(store_->RowCount(), 3);
  {
    DialogAnswerer answer(DialogAnswerer::Press(IDOK));
    HeldKeys ctrl({VK_CONTROL});
    Key(VK_DELETE);
    EXPECT_EQ(answer.Seen().size(), 1u);
  }
  EXPECT_EQ(store_->RowCount(), 2);
  EXPECT_EQ(Shown(0, 0), "file1");
}

TEST_F(DataGridTest, NavigationKeysMoveRowsAndColumns) {
  AddRows(2 * grid_->Layout().VisibleRows());
  Key(VK_NEXT);
  EXPECT_EQ(Current(), 1 + grid_->Layout().VisibleRows());
  {
    HeldKeys ctrl({VK_CONTROL});
    Key(VK_HOME);
  }
  EXPECT_TRUE(store_->AtStart());
  EXPECT_EQ(Current(), 1);
  Key(VK_TAB);
  EXPECT_EQ(grid_->CurrentColumn(), 1);
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  Key(VK_RIGHT);  // stays on the last column
  EXPECT_EQ(grid_->CurrentColumn(), 3);
  EXPECT_GT(grid_->Layout().scroll_x, 0) << "the last column scrolled into view";
  Key(VK_TAB);  // past the last column: next row, first column
  EXPECT_EQ(grid_->CurrentColumn(), 0);
  EXPECT_EQ(Current(), 2);
  {
    HeldKeys shift({VK_SHIFT});
    Key(VK_TAB);  // back over the row edge
  }
  EXPECT_EQ(grid_->CurrentColumn(), 3);
  EXPECT_EQ(Current(), 1);
  Key(VK_HOME);
  EXPECT_EQ(grid_->CurrentColumn(), 0);
  Key(VK_END);
  EXPECT_EQ(grid_->CurrentColumn(), 3);
  Key(VK_NEXT);
  Key(VK_NEXT);
  Key(VK_PRIOR);
  EXPECT_EQ(Current(), 1 + grid_->Layout().VisibleRows());
}

TEST_F(DataGridTest, WheelDeltasBelowANotchAddUpAndATurnBackStartsAfresh) {
  AddRows(7);
  store_->SetRowNumber(6);
  auto wheel = [this](int delta) {
    SendMessageA(grid_->Handle(), WM_MOUSEWHEEL,
                 MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), 0);
  };
  // A precision touchpad: four deltas of 30 make one notch up.
  for (int i = 0; i < 3; ++i) wheel(30);
  EXPECT_EQ(Current(), 6);
  wheel(30);
  EXPECT_EQ(Current(), 5);
  // What is left over counts towards the next notch.
  wheel(150);  // one notch, 30 left
  wheel(90);   // with the 30: one more
  EXPECT_EQ(Current(), 3);
  // A turn the other way drops what was kept up: 60 up, then 60 down is no notch.
  wheel(60);
  wheel(-60);
  wheel(-50);
  EXPECT_EQ(Current(), 3);
  wheel(-10);
  EXPECT_EQ(Current(), 4);
  // Whole notches of a classic wheel, several in one message.
  wheel(-240);
  EXPECT_EQ(Current(), 6);
}

TEST_F(DataGridTest, ClickSelectsTheRowAndASecondClickEditsTheCell) {
  grid_->SetReadOnly(false);
  ClickCell(2, 0);
  EXPECT_EQ(Current(), 3);
  EXPECT_FALSE(grid_->EditorOpen());
  ClickCell(2, 0);
  EXPECT_TRUE(grid_->EditorOpen());
  EXPECT_EQ(EditorText(), "file2");
}

TEST_F(DataGridTest, TextTypedAndNotWrittenIsPushedWhenTheSourceCommits) {
  grid_->SetReadOnly(false);
  Type("pending");
  ASSERT_TRUE(grid_->EditorOpen());
  store_->EndRowEdit();  // e.g. a backup run ends the row edit
  EXPECT_EQ(Shown(0, 0), "pending");
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
}

TEST_F(DataGridTest, FocusGoingToAnotherControlDropsAnUnchangedNewRow) {
  grid_->SetReadOnly(false);
  HWND other = CreateWindowExA(0, "BUTTON", "x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host_,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  Key(VK_INSERT);
  ASSERT_EQ(source_.EditState(), GridEditState::Insert);
  SetFocus(other);
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
  EXPECT_EQ(source_.WindowRowCount(), 3);
  DestroyWindow(other);
}

TEST_F(DataGridTest, ABoxTakingTheFocusLeavesTheNewRowAlone) {
  grid_->SetReadOnly(false);
  Key(VK_INSERT);
  boxes_->SetOwner(host_);
  DialogAnswerer answer(DialogAnswerer::Press(IDOK));
  boxes_->ShowPlainMessage("x");
  EXPECT_EQ(source_.EditState(), GridEditState::Insert);
}

TEST_F(DataGridTest, MenuOpensAtTheMouseOrAtTheTopLeftCornerFromTheKeyboard) {
  Key(VK_APPS);
  {
    HeldKeys shift({VK_SHIFT});
    SendMessageA(grid_->Handle(), WM_SYSKEYDOWN, VK_F10, 0);
  }
  SendMessageA(grid_->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(40, 30));
  ASSERT_EQ(menu_points_.size(), 3u);
  POINT corner = {0, 0};
  ClientToScreen(grid_->Handle(), &corner);
  POINT mouse = {40, 30};
  ClientToScreen(grid_->Handle(), &mouse);
  EXPECT_EQ(menu_points_[0].x, corner.x);
  EXPECT_EQ(menu_points_[0].y, corner.y);
  EXPECT_EQ(menu_points_[1].x, corner.x);
  EXPECT_EQ(menu_points_[2].x, mouse.x);
  EXPECT_EQ(menu_points_[2].y, mouse.y);
  EXPECT_EQ(Current(), 1) << "a right-click does not move the row";
}

TEST_F(DataGridTest, DraggingATitleSeparatorResizesTheColumn) {
  // Wide enough to show the first column's right edge.
  MoveWindow(host_, 0, 0, 1000, 300, TRUE);
  RECT client;
  GetClientRect(host_, &client);
  MoveWindow(grid_->Handle(), 0, 0, client.right, client.bottom, TRUE);
  const GridLayout& layout = grid_->Layout();
  int before = grid_->ColumnWidth(0);
  int x = layout.ColumnLeft(0) + before;  // the separator after column 0
  int y = layout.title_height / 2;
  SendMessageA(grid_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(grid_->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x - 30, y));
  SendMessageA(grid_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x - 30, y));
  EXPECT_EQ(grid_->ColumnWidth(0), before - 30);
  EXPECT_EQ(Current(), 1);
}

// What a user sees: every title whole, and a value as wide as the column's
// display width (digits, the widest common characters) whole; no column wider
// than that needs by a character or more.
TEST_F(DataGridTest, EachColumnShowsItsTitleAndAFullWidthValueWhole) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_.Handle());
  auto extent = [&](const std::string& text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };
  const int one_character = extent("0");
  for (int c = 0; c < 4; ++c) {
    const int title = extent(source_.ColumnTitle(c));
    const int value = extent(std::string(static_cast<std::size_t>(source_.DisplayWidth(c)), '0'));
    const int width = grid_->ColumnWidth(c);
    EXPECT_GT(width, title) << "column " << c;
    EXPECT_GT(width, value) << "column " << c;
    EXPECT_LT(width, std::max(title, value) + one_character) << "column " << c;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  EXPECT_GT(grid_->Layout().ColumnsWidth(), grid_->Layout().DataWidth())
      << "the first columns are wider than the window: the grid scrolls sideways";
}

TEST_F(DataGridTest, TheHintIsATooltipOfTheGrid) {
  ASSERT_NE(grid_->Tooltip(), nullptr);
  EXPECT_EQ(SendMessageA(grid_->Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 1);
  char text[128] = {};
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = grid_->Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(grid_->Handle());
  tool.lpszText = text;
  SendMessageA(grid_->Tooltip(), TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, DataGrid::kHint);
}

TEST_F(DataGridTest, ReadOnlySwitchLeavesAnOpenEditorOpenButUnchangeable) {
  grid_->SetReadOnly(false);
  Key(VK_F2);
  ASSERT_TRUE(grid_->EditorOpen());
  grid_->SetReadOnly(true);
  EXPECT_TRUE(grid_->EditorOpen());
  Type("zz");
  EXPECT_EQ(EditorText(), "file0");
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
}

TEST_F(DataGridTest, ClosedSourceCannotBeEditedEvenWithEditingOn) {
  grid_->SetReadOnly(false);
  try {
    store_->Close();  // closed, though its content could not be kept
  } catch (const Exception&) {
  }
  ASSERT_FALSE(store_->Active());
  Type("a");
  Key(VK_INSERT);
  EXPECT_FALSE(grid_->EditorOpen());
  EXPECT_EQ(source_.EditState(), GridEditState::Browse);
}

// After a run with failures the window opens at the result column, which
// lies beyond the two wide path columns.
TEST_F(DataGridTest, ScrollingToAColumnPutsItAtTheLeftAndKeepsTheCurrentCell) {
  grid_->ScrollToColumn(2);
  const GridLayout& layout = grid_->Layout();
  EXPECT_GT(layout.scroll_x, 0);
  // At the left edge, or as far as the columns reach.
  EXPECT_GE(layout.ColumnLeft(2), layout.DataLeft());
  EXPECT_TRUE(layout.ColumnLeft(2) == layout.DataLeft() || layout.scroll_x == layout.MaxScroll());
  EXPECT_EQ(grid_->CurrentColumn(), 0);
  grid_->ScrollToColumn(0);
  EXPECT_EQ(layout.scroll_x, 0);
}

}  // namespace
}  // namespace quillset
