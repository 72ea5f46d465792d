// A failure box of the real program opened while its window is hidden in the
// tray: it comes above the other programs' windows, and a click on the tray
// icon makes it the active window (not the main window it disabled).
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/program_test.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

class BoxFrontTest : public ProgramTest {
 protected:
  void TearDown() override {
    ProgramTest::TearDown();
    if (other_) DestroyWindow(other_);
  }

  HWND other_ = nullptr;  // the window of "another program" the user works in
};

TEST_F(BoxFrontTest, BoxOpenedWhileHiddenIsActiveAfterAClickOnTheTrayIcon) {
  // A weekly schedule whose due date cannot be read: the program starts in
  // the tray, and its tick fails.
  StoreSchedule("garbage", "2");
  ASSERT_NO_FATAL_FAILURE(Start());
  HWND form = form_;
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

  ASSERT_TRUE(Dismiss(box));
  CloseProgram();
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
