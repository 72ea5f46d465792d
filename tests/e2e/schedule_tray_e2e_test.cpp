// The schedule commands, the timer's tick and the tray icon of the real
// program: the minutes prompt and its refusal, the weekly command's due date
// in the user's short date format, a start hidden in the tray and the restore
// by either button, and failure boxes of ticks that do not pile up.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/program_test.h"
#include "ui/win32/input_box.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

const char kTooShort[] = "設定値は無効です(10分以上にして下さい。)";

class ScheduleTrayTest : public ProgramTest {
 protected:
  bool CaptionBecomes(const std::string& caption) {
    return WaitUntil([&] { return WindowCaption(form_) == caption; }, kDialogTimeout);
  }
  // Answers the minutes prompt opened from the menu.
  void AnswerMinutesPrompt(const std::string& answer) {
    PostCommand(MenuItemId::TimerSet);
    HWND box = process_->WaitForDialog();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowCaption(box), "TimerSet");
    HWND field = GetDlgItem(box, kInputBoxFieldId);
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(SetEditText(field, answer));
    ASSERT_TRUE(Dismiss(box));
  }
  int VisibleBoxes() {
    int boxes = 0;
    for (HWND window : process_->TopLevelWindows(true)) {
      if (WindowClass(window) == "#32770") ++boxes;
    }
    return boxes;
  }
};

// Today plus seven days in the user's short date format.
std::string ShortDateInAWeek() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wHour = now.wMinute = now.wSecond = now.wMilliseconds = 0;
  FILETIME file_time;
  SystemTimeToFileTime(&now, &file_time);
  ULARGE_INTEGER value;
  value.LowPart = file_time.dwLowDateTime;
  value.HighPart = file_time.dwHighDateTime;
  value.QuadPart += 7ULL * 24 * 3600 * 10000000ULL;
  file_time.dwLowDateTime = value.LowPart;
  file_time.dwHighDateTime = value.HighPart;
  SYSTEMTIME week_later;
  FileTimeToSystemTime(&file_time, &week_later);
  char buffer[128] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &week_later, nullptr, buffer,
                 sizeof(buffer));
  return buffer;
}

TEST_F(ScheduleTrayTest, MinutesPromptRefusalAndWeeklyCommand) {
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());

  AnswerMinutesPrompt("10");
  EXPECT_TRUE(CaptionBecomes(CaptionOf(kMinutesMode, "10"))) << WindowCaption(form_);
  EXPECT_EQ(Setting("TimerSet"), "10");
  EXPECT_EQ(Setting("TimerIniSet"), "1");

  // 5 minutes is refused: one plain box, and the 10 minutes stay in force.
  AnswerMinutesPrompt("5");
  HWND notice = process_->WaitForDialog();
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(MessageBoxText(notice), kTooShort);
  ASSERT_TRUE(Dismiss(notice));
  ASSERT_TRUE(WaitForPostedMessages(form_));
  EXPECT_EQ(VisibleBoxes(), 0);
  EXPECT_EQ(WindowCaption(form_), CaptionOf(kMinutesMode, "10"));
  EXPECT_EQ(Setting("TimerSet"), "10");
  EXPECT_EQ(Setting("TimerIniSet"), "1");

  PostCommand(MenuItemId::Wee);
  EXPECT_TRUE(CaptionBecomes(CaptionOf(kWeeklyMode, ShortDateInAWeek()))) << WindowCaption(form_);
  EXPECT_TRUE(WaitUntil([&] { return Setting("TimerIniSet") == "2"; }, kDialogTimeout));
  EXPECT_EQ(Setting("TimerSet"), ShortDateInAWeek());

  CloseProgram();
}

TEST_F(ScheduleTrayTest, StoredScheduleStartsInTheTrayAndEitherButtonRestores) {
  // 5 minutes in the file: applied as no timer, shown as stored.
  StoreSchedule("5", "1");
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(WaitForPostedMessages(form_));
  EXPECT_FALSE(IsWindowVisible(form_));

  // Moving over the icon or releasing a button does nothing.
  PostTrayCallback(form_, WM_MOUSEMOVE);
  PostTrayCallback(form_, WM_LBUTTONUP);
  ASSERT_TRUE(WaitForPostedMessages(form_));
  EXPECT_FALSE(IsWindowVisible(form_));

  PostTrayCallback(form_, WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
  EXPECT_EQ(WindowCaption(form_), CaptionOf(kMinutesMode, "5"));
  EXPECT_EQ(VisibleBoxes(), 0);

  PostCommand(MenuItemId::N1);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(form_); }, kWindowTimeout));
  PostTrayCallback(form_, WM_RBUTTONDOWN);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));

  CloseProgram();
  EXPECT_EQ(Setting("TimerSet"), "5");
}

TEST_F(ScheduleTrayTest, FailureBoxesOfTicksDoNotPileUp) {
  StoreSchedule("garbage", "2");
  ASSERT_NO_FATAL_FAILURE(Start());
  HWND timer = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] { return (timer = process_->FindTopLevelWindow(kTimerWindowClass)) != nullptr; },
      kWindowTimeout));

  PostTimerTick(timer);
  HWND box = process_->WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find("'garbage' は日付ではありません"), std::string::npos)
      << MessageBoxText(box);
  for (int i = 0; i < 3; ++i) PostTimerTick(timer);
  ASSERT_TRUE(WaitForPostedMessages(form_));
  EXPECT_EQ(VisibleBoxes(), 1);
  ASSERT_TRUE(Dismiss(box));

  // With the box closed, the next failing tick shows its box again.
  PostTimerTick(timer);
  HWND again = process_->WaitForDialog();
  ASSERT_NE(again, nullptr);
  ASSERT_TRUE(Dismiss(again));

  CloseProgram();
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
