// The message filter of an elevated program: "TaskbarCreated" and the tray
// icon's message are let through to the main window when the system has
// ChangeWindowMessageFilterEx, and nothing goes wrong where it has none.
#include "ui/win32/shell_message_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/win32/window_classes.h"

namespace quillset {
namespace {

struct FilterCall {
  HWND window;
  UINT message;
  DWORD action;
  void* change_info;
};
std::vector<FilterCall> g_calls;
BOOL g_answer = TRUE;

BOOL WINAPI RecordingFilter(HWND window, UINT message, DWORD action, void* change_info) {
  g_calls.push_back({window, message, action, change_info});
  return g_answer;
}

class ShellMessageFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_answer = TRUE;
    window_ = CreateWindowExA(0, "STATIC", "filter test", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    taskbar_created_ = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(taskbar_created_, 0u);
  }
  void TearDown() override { DestroyWindow(window_); }

  HWND window_ = nullptr;
  UINT taskbar_created_ = 0;
};

TEST_F(ShellMessageFilterTest, BothShellMessagesAreLetThroughToTheWindow) {
  EXPECT_EQ(AllowShellMessages(window_, taskbar_created_, RecordingFilter), 2);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[0].message, taskbar_created_);
  EXPECT_EQ(g_calls[1].message, 1124u);
  for (const FilterCall& call : g_calls) {
    EXPECT_EQ(call.window, window_);
    EXPECT_EQ(call.action, 1u) << "MSGFLT_ALLOW";
    EXPECT_EQ(call.change_info, nullptr);
  }
  g_answer = FALSE;  // a refusal is counted, not fatal
  EXPECT_EQ(AllowShellMessages(window_, taskbar_created_, RecordingFilter), 0);
}

TEST_F(ShellMessageFilterTest, WithoutTheFunctionNothingIsCalled) {
  EXPECT_EQ(AllowShellMessages(window_, taskbar_created_, nullptr), 0);
  EXPECT_EQ(AllowShellMessages(nullptr, taskbar_created_, RecordingFilter), 0);
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(ShellMessageFilterTest, TheSystemsFunctionIsFoundAndAcceptsTheMessages) {
  MessageFilterFunction filter = LookUpMessageFilterFunction();
  ASSERT_NE(filter, nullptr) << "Windows 7 and later (and Wine) have ChangeWindowMessageFilterEx";
  EXPECT_EQ(AllowShellMessages(window_, taskbar_created_, filter), 2);
}

}  // namespace
}  // namespace quillset
