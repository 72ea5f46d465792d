// A failure box of the real program opened while its window is hidden in the
// tray: it comes above the other programs' windows, and a click on the tray
// icon makes it the active window (not the main window it disabled).
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/e2e_driver.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

class BoxFrontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(BuiltExePath().empty()) << "the build made no Quillset.exe";
    ASSERT_EQ(AnyRunningQuillset(), nullptr) << "a Quillset of an earlier run still runs";
    ASSERT_TRUE(folder_.Ok()) << folder_.Path();
  }
  void TearDown() override {
    if (process_ && process_->IsRunning()) {
      DWORD code = 99;
      if (!process_->CloseProgram(code)) process_->Terminate();
    }
    if (other_) DestroyWindow(other_);
  }

  TestFolder folder_;
  std::unique_ptr<QuillsetProcess> process_;
  HWND other_ = nullptr;  // the window of "another program" the user works in
};

TEST_F(BoxFrontTest, BoxOpenedWhileHiddenIsActiveAfterAClickOnTheTrayIcon) {
  // A weekly schedule whose due date cannot be read: the program starts in
  // the tray, and its tick fails.
  ASSERT_TRUE(
      folder_.WriteFile("Quillset.ini", "[Time]\r\nTimerSet=garbage\r\nTimerIniSet=2\r\n"));
  process_ = QuillsetProcess::Start(folder_.ExePath());
  ASSERT_NE(process_, nullptr);
  HWND form = process_->WaitForMainWindow();
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(WaitForPostedMessages(form));
  ASSERT_FALSE(IsWindowVisible(form));
  HWND timer = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] { return (timer = process_->FindTopLevelWindow(kTimerWindowClass)) != nullptr; },
      kWindowTimeout));

  other_ = CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           10, 10, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
  ASSERT_NE(other_, nullptr);
  BringToForeground(other_);

  PostTimerTick(timer);
  HWND box = process_->WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find("'garbage'"), std::string::npos) << MessageBoxText(box);
  EXPECT_NE(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST, 0)
      << "a box of the hidden program stays above the other programs' windows";

  BringToForeground(other_);
  PostTrayCallback(form, WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form) != FALSE; }, kWindowTimeout));
  ASSERT_TRUE(WaitForPostedMessages(form));
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box; }, kDialogTimeout))
      << "the active window is " << WindowClass(GetForegroundWindow()) << " \""
      << WindowCaption(GetForegroundWindow()) << "\"";

  PressButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); },
                        kDialogTimeout));
  DWORD code = 99;
  ASSERT_TRUE(process_->CloseProgram(code));
  EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
