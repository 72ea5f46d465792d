// The failure box, the plain message and the input box, answered in-process.
#include "ui/win32/message_boxes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/win32/input_box.h"
#include "ui/win32/win32_ui_test_support.h"
#include "ui/win32/window_font.h"

namespace quillset {
namespace {

using testing_win32::DialogAnswerer;
using testing_win32::IsCentredOnScreen;

constexpr char kTitle[] = "ファイルバックアップツール";
constexpr char kPrompt[] =
    "自動でバックアップする\r\n分(10分以上）を設定してください。\r\n ０ でバックアップ停止。";

class MessageBoxesTest : public ::testing::Test {
 protected:
  ShiftJisCodePage code_page_;
  MessageBoxes boxes_{code_page_, kTitle, nullptr};
  WindowFont font_{96};
};

TEST_F(MessageBoxesTest, FailureBoxAppendsThePeriodAfterJapaneseText) {
  DialogAnswerer answer(DialogAnswerer::Press(IDOK));
  boxes_.ShowFailure("'abc' は整数ではありません");
  boxes_.ShowFailure("ends with a period.");
  ASSERT_EQ(answer.Seen().size(), 2u);
  EXPECT_EQ(answer.Seen()[0].caption, kTitle);
  EXPECT_EQ(answer.Seen()[0].text, "'abc' は整数ではありません.");
  EXPECT_EQ(answer.Seen()[1].text, "ends with a period.");
  ASSERT_EQ(answer.Seen()[0].buttons.size(), 1u);
}

TEST_F(MessageBoxesTest, PlainMessageIsCentredWithOneOkButton) {
  DialogAnswerer answer(DialogAnswerer::Press(IDOK));
  boxes_.ShowPlainMessage("初回起動です。");
  ASSERT_EQ(answer.Seen().size(), 1u);
  const auto& box = answer.Seen()[0];
  EXPECT_EQ(box.caption, kTitle);
  EXPECT_EQ(box.text, "初回起動です。");
  EXPECT_TRUE(IsCentredOnScreen(box.rect));
  ASSERT_EQ(box.buttons.size(), 1u);
  EXPECT_EQ(box.buttons[0], "OK");
}

// A box of a program whose windows are hidden (its owner hides with them)
// comes above other programs' windows; the user reaching the program brings
// the open box to the front. A box of a shown program opens as usual.
TEST_F(MessageBoxesTest, BoxOfAHiddenProgramIsTopmostAndComesToTheFrontWhenReached) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                               200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(owner && other);
  MessageBoxes boxes(code_page_, kTitle, owner);
  std::vector<bool> topmost;
  bool brought = false, active = false;
  DialogAnswerer answer([&](HWND box) {
    topmost.push_back((GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    if (topmost.size() == 1) {
      SetForegroundWindow(other);
      brought = BringOpenBoxToFront();
      active = GetForegroundWindow() == box;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  boxes.ShowFailure("hidden");
  ShowWindow(owner, SW_SHOWNA);
  boxes.ShowFailure("shown");
  EXPECT_EQ(topmost, (std::vector<bool>{true, false}));
  EXPECT_TRUE(brought);
  EXPECT_TRUE(active);
  EXPECT_FALSE(BringOpenBoxToFront()) << "no box open";
  DestroyWindow(other);
  DestroyWindow(owner);
}

// Reads what the input box shows, then types `typed` (unless null) and presses `button`.
struct InputBoxSeen {
  std::string caption, prompt, field, ok, cancel;
  DWORD selection_start = 1, selection_end = 0;
  LRESULT limit = 0;
  RECT rect = {};
  bool focus_in_field = false;
};

std::function<void(HWND)> ReadAndPress(InputBoxSeen& seen, const char* typed, int button) {
  return [&seen, typed, button](HWND dialog) {
    HWND field = GetDlgItem(dialog, kInputBoxFieldId);
    seen.caption = testing_win32::WindowText(dialog);
    seen.prompt = testing_win32::WindowText(GetDlgItem(dialog, kInputBoxPromptId));
    seen.field = testing_win32::WindowText(field);
    seen.ok = testing_win32::WindowText(GetDlgItem(dialog, IDOK));
    seen.cancel = testing_win32::WindowText(GetDlgItem(dialog, IDCANCEL));
    SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&seen.selection_start),
                 reinterpret_cast<LPARAM>(&seen.selection_end));
    seen.limit = SendMessageA(field, EM_GETLIMITTEXT, 0, 0);
    seen.focus_in_field = GetFocus() == field;
    GetWindowRect(dialog, &seen.rect);
    if (typed) SetWindowTextA(field, typed);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  };
}

// A character Shift-JIS cannot write is refused by name over the input box,
// which stays open for the text to be corrected.
struct RefusalSeen {
  HWND input = nullptr;
  std::string text, caption;
  UINT_PTR timer = 0;
};
RefusalSeen* g_refusal = nullptr;

BOOL CALLBACK AnswerRefusal(HWND hwnd, LPARAM) {
  if (!IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER) != g_refusal->input) return TRUE;
  g_refusal->text = testing_win32::MessageBoxText(hwnd);
  g_refusal->caption = testing_win32::WindowText(hwnd);
  KillTimer(nullptr, g_refusal->timer);
  PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  SetWindowTextA(GetDlgItem(g_refusal->input, kInputBoxFieldId), "15");
  PostMessageA(g_refusal->input, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return FALSE;
}

void CALLBACK LookForRefusal(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerRefusal, 0);
}

TEST_F(MessageBoxesTest, InputBoxRefusesACharacterShiftJisCannotWrite) {
  RefusalSeen seen;
  g_refusal = &seen;
  DialogAnswerer answer([&](HWND dialog) {
    if (seen.input) return;
    seen.input = dialog;
    SetWindowTextW(GetDlgItem(dialog, kInputBoxFieldId), L"1\u00E9");
    seen.timer = SetTimer(nullptr, 0, 40, LookForRefusal);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  EXPECT_EQ(ShowInputBox(nullptr, font_.Handle(), "TimerSet", kPrompt, "0"), "15");
  g_refusal = nullptr;
  EXPECT_EQ(seen.text, "Shift-JIS で表せない文字 U+00E9 は入力できません");
  EXPECT_EQ(seen.caption, "TimerSet");
}

TEST_F(MessageBoxesTest, InputBoxShowsPromptAndPresetAllSelectedAndGivesTheTextOnOk) {
  InputBoxSeen seen;
  DialogAnswerer answer(ReadAndPress(seen, "15", IDOK));
  std::string result = ShowInputBox(nullptr, font_.Handle(), "TimerSet", kPrompt, "0");
  EXPECT_EQ(result, "15");
  EXPECT_EQ(seen.caption, "TimerSet");
  EXPECT_EQ(seen.prompt, kPrompt);
  EXPECT_EQ(seen.field, "0");
  EXPECT_EQ(seen.selection_start, 0u);
  EXPECT_EQ(seen.selection_end, 1u);
  EXPECT_TRUE(seen.focus_in_field);
  EXPECT_EQ(seen.limit, 255);
  EXPECT_EQ(seen.ok, "OK");
  EXPECT_EQ(seen.cancel, "キャンセル");
  EXPECT_TRUE(IsCentredOnScreen(seen.rect));
}

TEST_F(MessageBoxesTest, InputBoxCancelGivesThePreset) {
  InputBoxSeen seen;
  DialogAnswerer answer(ReadAndPress(seen, "99", IDCANCEL));
  EXPECT_EQ(ShowInputBox(nullptr, font_.Handle(), "TimerSet", kPrompt, "0"), "0");
}

TEST_F(MessageBoxesTest, InputBoxKeepsTypedJapaneseAndEmptyText) {
  InputBoxSeen seen;
  {
    DialogAnswerer answer(ReadAndPress(seen, "１０分", IDOK));
    EXPECT_EQ(ShowInputBox(nullptr, font_.Handle(), "TimerSet", kPrompt, "0"), "１０分");
  }
  {
    DialogAnswerer answer(ReadAndPress(seen, "", IDOK));
    EXPECT_EQ(ShowInputBox(nullptr, font_.Handle(), "TimerSet", kPrompt, "0"), "");
  }
}

TEST_F(MessageBoxesTest, InputBoxFieldTakesAtMost255Characters) {
  std::string typed;
  DialogAnswerer answer([&typed](HWND dialog) {
    HWND field = GetDlgItem(dialog, kInputBoxFieldId);
    SendMessageA(field, EM_SETSEL, 0, -1);
    std::string many(300, '7');
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(many.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(ShowInputBox(nullptr, font_.Handle(), "TimerSet", kPrompt, "0"),
            std::string(255, '7'));
}

}  // namespace
}  // namespace quillset
