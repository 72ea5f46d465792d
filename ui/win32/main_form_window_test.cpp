// The real main window with recording handlers: creation and first showing,
// activation once, every close path, the menu's items, and the messages that
// become handler calls (tray, timer, taskbar, settings, session end).
#include "ui/win32/main_form_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/errors.h"
#include "ui/win32/popup_menu.h"
#include "ui/win32/empty_grid_source.h"
#include "ui/win32/win32_ui_test_support.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace {

using testing_win32::DialogAnswerer;
using testing_win32::Pump;

constexpr char kTitle[] = "ファイルバックアップツール";

struct RecordingEvents : FormEvents {
  explicit RecordingEvents(FormView& v) : view(v) {}
  FormView& view;
  int creates = 0, activates = 0, closes = 0, ticks = 0, taskbar = 0, settings = 0,
      session_queries = 0, icon_retries = 0, menu_openings = 0;
  std::vector<std::optional<MenuItemId>> menu_closings;
  std::vector<bool> session_ends;  // the `ending` of each EndSession
  bool visible_at_create = true;
  std::vector<MenuItemId> clicks;
  std::vector<std::uint32_t> tray;
  std::function<void()> on_create, on_close, on_tick, on_menu_open;

  void FormCreate() override {
    ++creates;
    visible_at_create = IsWindowVisible(reinterpret_cast<HWND>(view.MainWindow()));
    if (on_create) on_create();
  }
  void FormActivate() override { ++activates; }
  void FormClose() override {
    ++closes;
    if (on_close) on_close();
  }
  void MenuClick(MenuItemId item) override { clicks.push_back(item); }
  void PopupMenuOpening() override {
    ++menu_openings;
    if (on_menu_open) on_menu_open();
  }
  void PopupMenuClosed(std::optional<MenuItemId> chosen) override {
    menu_closings.push_back(chosen);
  }
  void TrayIconRetryTimer() override { ++icon_retries; }
  void Timer1Timer() override {
    ++ticks;
    if (on_tick) on_tick();
  }
  void TrayNotify(std::uint32_t m) override { tray.push_back(m); }
  void TaskbarCreated() override { ++taskbar; }
  void SettingChange() override { ++settings; }
  void QueryEndSession() override { ++session_queries; }
  void EndSession(bool ending) override { session_ends.push_back(ending); }
};

class MainFormWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application_ = std::make_unique<ApplicationWindow>(kTitle);
    boxes_ = std::make_unique<MessageBoxes>(code_page_, kTitle, application_->Handle());
    form_ = std::make_unique<MainFormWindow>(*application_, *boxes_, font_);
    events_ = std::make_unique<RecordingEvents>(*form_);
  }
  void TearDown() override {
    form_.reset();
    application_.reset();
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    Pump();
  }
  void Create() { form_->Create(*events_, rows_); }
  HWND Main() { return form_->Handle(); }
  bool QuitPosted() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  }

  ShiftJisCodePage code_page_;
  WindowFont font_{96};
  EmptyGridSource rows_;
  std::unique_ptr<ApplicationWindow> application_;
  std::unique_ptr<MessageBoxes> boxes_;
  std::unique_ptr<MainFormWindow> form_;
  std::unique_ptr<RecordingEvents> events_;
};

TEST_F(MainFormWindowTest, PopupMenuHasTheNineItemsInOrder) {
  Create();
  const char* const expected[] = {"backupファイル選択", "削除", "コピー", "編集", "分単位で",
                                  "1週間間隔", "1ヶ月間隔", "タスクトレーへ", "終了"};
  HMENU menu = form_->PopupMenuHandle();
  ASSERT_EQ(GetMenuItemCount(menu), 9);
  for (int i = 0; i < 9; ++i) {
    char text[64] = {};
    GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, expected[i]) << i;
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_SUBMENU | MIIM_ID | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info));
    EXPECT_EQ(info.fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(info.hSubMenu, nullptr);
    EXPECT_EQ(info.wID, MenuCommandId(static_cast<MenuItemId>(i)));
    EXPECT_EQ(info.fState & MFS_CHECKED, 0u) << "nothing checked at start";
  }
}

TEST_F(MainFormWindowTest, CreationRunsFormCreateBeforeTheWindowIsShown) {
  Create();
  EXPECT_EQ(events_->creates, 1);
  EXPECT_FALSE(events_->visible_at_create);
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_EQ(testing_win32::WindowText(Main()), MainFormWindow::kDesignCaption);
  EXPECT_EQ(testing_win32::ClassOf(Main()), kMainWindowClass);
  EXPECT_EQ(GetWindow(Main(), GW_OWNER), application_->Handle());
  EXPECT_EQ(testing_win32::WindowText(application_->Handle()), kTitle);
  EXPECT_TRUE(form_->GridReadOnly());
  EXPECT_NE(form_->TimerWindow(), 0u);
  EXPECT_EQ(testing_win32::ClassOf(reinterpret_cast<HWND>(form_->TimerWindow())),
            kTimerWindowClass);
}

TEST_F(MainFormWindowTest, AFailingFormCreateIsShownAndCreationGoesOn) {
  events_->on_create = [] { throw EFOpenError("ファイル C:\\a.cds は開けません"); };
  DialogAnswerer answer(DialogAnswerer::Press(IDOK));
  Create();
  ASSERT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(answer.Seen()[0].caption, kTitle);
  EXPECT_EQ(answer.Seen()[0].text, "ファイル C:\\a.cds は開けません.");
  ASSERT_NE(Main(), nullptr);
  form_->Start(SW_SHOWNORMAL);
  EXPECT_TRUE(IsWindowVisible(Main()));
}

TEST_F(MainFormWindowTest, FirstShowingIsCentredAtTheDesignSizeAndActivatesOnce) {
  Create();
  form_->Start(SW_SHOWNORMAL);
  Pump();
  ASSERT_TRUE(IsWindowVisible(Main()));
  EXPECT_TRUE(IsWindowVisible(application_->Handle())) << "the taskbar entry shows";
  RECT r;
  GetWindowRect(Main(), &r);
  EXPECT_TRUE(testing_win32::IsCentredOnScreen(r));
  RECT client;
  GetClientRect(Main(), &client);
  EXPECT_EQ(client.right, font_.Scale(421));
  EXPECT_EQ(client.bottom, font_.Scale(95));
  RECT grid;
  GetClientRect(form_->Grid().Handle(), &grid);
  GetWindowRect(form_->Grid().Handle(), &grid);
  EXPECT_EQ(grid.right - grid.left, client.right) << "the grid fills the window";
  EXPECT_EQ(events_->activates, 1);

  // Boxes of the program, hiding and restoring: no second activation, and the
  // window keeps the place it was moved to.
  {
    DialogAnswerer answer(DialogAnswerer::Press(IDOK));
    form_->ShowPlainMessage("お知らせ");
    form_->ShowFailure("失敗");
  }
  Pump();
  EXPECT_EQ(GetActiveWindow(), Main()) << "the window is active again after the boxes";
  EXPECT_EQ(GetFocus(), form_->Grid().Handle());
  EXPECT_TRUE(IsWindowEnabled(Main()));
  SetWindowPos(Main(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  form_->HideWindow();
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_FALSE(IsWindowVisible(application_->Handle())) << "no taskbar entry while hidden";
  EXPECT_FALSE(form_->IsWindowVisible());
  form_->RestoreWindow();
  Pump();
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_TRUE(form_->IsWindowVisible());
  GetWindowRect(Main(), &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(events_->activates, 1);
}

TEST_F(MainFormWindowTest, AStartHiddenInTheTrayShowsNothingUntilRestored) {
  events_->on_create = [this] { form_->SetShowAtStart(false); };
  Create();
  form_->Start(SW_SHOWNORMAL);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_FALSE(IsWindowVisible(application_->Handle()));
  EXPECT_EQ(events_->activates, 0);
  form_->RestoreWindow();
  Pump();
  EXPECT_TRUE(IsWindowVisible(Main()));
  RECT r;
  GetWindowRect(Main(), &r);
  EXPECT_TRUE(testing_win32::IsCentredOnScreen(r)) << "centred at its first showing";
  EXPECT_EQ(events_->activates, 1);
}

TEST_F(MainFormWindowTest, ShowCommandThreeMaximizesTheFirstShowing) {
  Create();
  form_->Start(SW_SHOWMAXIMIZED);
  Pump();
  EXPECT_TRUE(IsZoomed(Main()));
}

TEST_F(MainFormWindowTest, ShowCommandSevenMinimizesTheApplicationInstead) {
  Create();
  form_->Start(SW_SHOWMINNOACTIVE);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_TRUE(application_->IsMinimized());
  EXPECT_TRUE(IsIconic(application_->Handle()));
  EXPECT_EQ(events_->activates, 0);
  // The user restores the program from its taskbar entry.
  SendMessageA(application_->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Pump();
  EXPECT_TRUE(IsWindowVisible(Main()));
  RECT r;
  GetWindowRect(Main(), &r);
  EXPECT_TRUE(testing_win32::IsCentredOnScreen(r));
}

TEST_F(MainFormWindowTest, MinimizingTheWindowMinimizesTheApplication) {
  Create();
  form_->Start(SW_SHOWNORMAL);
  Pump();
  SendMessageA(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_TRUE(IsIconic(application_->Handle()));
  EXPECT_TRUE(form_->IsWindowVisible()) << "still shown, inside the minimized program";
  SendMessageA(application_->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Pump();
  EXPECT_TRUE(IsWindowVisible(Main()));
}

TEST_F(MainFormWindowTest, EveryWayOfClosingRunsFormCloseAndEndsTheLoop) {
  for (int way = 0; way < 4; ++way) {
    if (way > 0) SetUp();
    Create();
    form_->Start(SW_SHOWNORMAL);
    Pump();
    switch (way) {
      case 0: form_->CloseWindow(); break;                                   // "終了"
      case 1: SendMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0); break;       // close box, Alt+F4
      case 2: SendMessageA(Main(), WM_CLOSE, 0, 0); break;
      case 3: SendMessageA(application_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); break;  // taskbar
    }
    EXPECT_EQ(events_->closes, 1) << way;
    EXPECT_TRUE(form_->Closed()) << way;
    EXPECT_FALSE(IsWindowVisible(Main())) << way;
    EXPECT_TRUE(QuitPosted()) << way;
    if (way < 3) TearDown();
  }
}

TEST_F(MainFormWindowTest, AFailingFormCloseIsShownAndTheWindowStays) {
  Create();
  form_->Start(SW_SHOWNORMAL);
  Pump();
  events_->on_close = [] { throw EFCreateError("ファイル a.cds を作成できません"); };
  {
    DialogAnswerer answer(DialogAnswerer::Press(IDOK));
    form_->CloseWindow();
    ASSERT_EQ(answer.Seen().size(), 1u);
    EXPECT_EQ(answer.Seen()[0].text, "ファイル a.cds を作成できません.");
  }
  EXPECT_FALSE(form_->Closed());
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_FALSE(QuitPosted());
  events_->on_close = nullptr;
  form_->CloseWindow();  // the user can close it again
  EXPECT_TRUE(form_->Closed());
  EXPECT_EQ(events_->closes, 2);
}

TEST_F(MainFormWindowTest, MenuCommandsTrayTimerAndBroadcastsReachTheHandlers) {
  Create();
  for (int i = 0; i < 9; ++i) {
    PostMessageA(Main(), WM_COMMAND, MenuCommandId(static_cast<MenuItemId>(i)), 0);
  }
  Pump();
  ASSERT_EQ(events_->clicks.size(), 9u);
  EXPECT_EQ(events_->clicks[0], MenuItemId::bakup1);
  EXPECT_EQ(events_->clicks[8], MenuItemId::Exit1);

  EXPECT_EQ(SendMessageA(Main(), kTrayNotifyMessage, 1, WM_LBUTTONDOWN), 0);
  SendMessageA(Main(), kTrayNotifyMessage, 1, WM_MOUSEMOVE);
  EXPECT_EQ(events_->tray, (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_MOUSEMOVE}));

  HWND timer = reinterpret_cast<HWND>(form_->TimerWindow());
  SendMessageA(timer, WM_TIMER, kTimer1Id, 0);
  SendMessageA(timer, WM_TIMER, kTrayIconRetryTimerId, 0);  // not Timer1
  SendMessageA(timer, WM_TIMER, 3, 0);                      // no timer of the program
  EXPECT_EQ(events_->ticks, 1);
  EXPECT_EQ(events_->icon_retries, 1);

  SendMessageA(Main(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_EQ(events_->taskbar, 1);
  SendMessageA(Main(), WM_SETTINGCHANGE, 0, 0);
  EXPECT_EQ(events_->settings, 1);

  EXPECT_EQ(SendMessageA(Main(), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageA(Main(), WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(events_->session_queries, 1);
  EXPECT_EQ(events_->session_ends, std::vector<bool>{true});
  EXPECT_EQ(events_->closes, 0) << "the close handler does not run";
}

// A cancelled end of the session leaves the window as it was and the message
// loop running; every later end reaches the handlers again.
TEST_F(MainFormWindowTest, ACancelledSessionEndGoesOnAndTheNextOneEndsTheLoop) {
  Create();
  form_->Start(SW_SHOWNORMAL);
  Pump();
  ASSERT_TRUE(IsWindowVisible(Main()));
  EXPECT_EQ(SendMessageA(Main(), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageA(Main(), WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_FALSE(QuitPosted());

  EXPECT_EQ(SendMessageA(Main(), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageA(Main(), WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(events_->session_queries, 2);
  EXPECT_EQ(events_->session_ends, (std::vector<bool>{false, true}));
  EXPECT_TRUE(QuitPosted());
  EXPECT_EQ(events_->closes, 0);
}

// A quit message would close an open box with an answer nobody gave (the
// minutes prompt would answer "0"): with a box open the loop is left running
// and Windows ends the process.
TEST_F(MainFormWindowTest, SessionEndWithABoxOpenDoesNotCloseTheBox) {
  Create();
  bool quit_seen_in_box = false;
  DialogAnswerer answer([&](HWND box) {
    SendMessageA(Main(), WM_QUERYENDSESSION, 0, 0);
    SendMessageA(Main(), WM_ENDSESSION, TRUE, 0);
    MSG msg;
    quit_seen_in_box = PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  form_->ShowPlainMessage("待機");
  EXPECT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(events_->session_ends, std::vector<bool>{true});
  EXPECT_FALSE(quit_seen_in_box);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(MainFormWindowTest, TimerTicksGoOnWhileABoxOrTheInputBoxIsOpen) {
  Create();
  HWND timer = reinterpret_cast<HWND>(form_->TimerWindow());
  for (int box = 0; box < 3; ++box) {
    events_->ticks = 0;
    SetTimer(timer, kTimer1Id, 20, nullptr);
    DialogAnswerer answer(nullptr);  // only records the box
    // The box closes from the third tick on, which only the box's own message
    // loop can deliver.
    events_->on_tick = [&] {
      if (events_->ticks >= 3 && !answer.Seen().empty()) {
        PostMessageA(answer.Seen()[0].hwnd, WM_COMMAND, IDCANCEL, 0);
      }
    };
    switch (box) {
      case 0: form_->ShowPlainMessage("待機"); break;
      case 1: form_->ShowFailure("待機"); break;
      case 2: EXPECT_EQ(form_->InputBox("TimerSet", "分", "0"), "0"); break;
    }
    KillTimer(timer, kTimer1Id);
    events_->on_tick = nullptr;
    EXPECT_GE(events_->ticks, 3) << box;
  }
}

TEST_F(MainFormWindowTest, CaptionCheckMarkAndReadOnlySwitch) {
  Create();
  form_->SetCaption("現在の設定 0 分間隔");
  EXPECT_EQ(form_->Caption(), "現在の設定 0 分間隔");
  EXPECT_FALSE(form_->MenuChecked(MenuItemId::Edit1));
  form_->SetMenuChecked(MenuItemId::Edit1, true);
  EXPECT_TRUE(form_->MenuChecked(MenuItemId::Edit1));
  EXPECT_FALSE(form_->MenuChecked(MenuItemId::Copy1));
  form_->SetGridReadOnly(false);
  EXPECT_FALSE(form_->GridReadOnly());
  EXPECT_FALSE(form_->Grid().ReadOnly());
}

TEST_F(MainFormWindowTest, FailureBoxOpenIsKnownWhileItShows) {
  Create();
  bool open_inside = false;
  DialogAnswerer answer([&](HWND box) {
    open_inside = form_->FailureBoxOpen();
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_FALSE(form_->FailureBoxOpen());
  form_->ShowFailure("x");
  EXPECT_TRUE(open_inside);
  EXPECT_FALSE(form_->FailureBoxOpen());
}

}  // namespace
}  // namespace quillset
