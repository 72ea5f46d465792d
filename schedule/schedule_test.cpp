// The schedule's own arithmetic: the timer interval, whether a tick on a given
// day runs the backup, and the next due date after a copy.
#include "schedule/schedule.h"

#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"

namespace quillset {
namespace {

// A Japanese Windows with the short date pattern yyyy/MM/dd.
LocaleDateSettings JapaneseDates() {
  LocaleDateSettings settings;
  settings.ShortDatePattern = "yyyy/MM/dd";
  settings.DateSeparatorChar = '/';
  return settings;
}

std::string DateText(TDateTime value) {
  int year = 0, month = 0, day = 0;
  DecodeDate(value, year, month, day);
  return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

std::string NextDue(std::int32_t mode, int year, int month, int day) {
  return DateText(NextDueDate(mode, EncodeDate(year, month, day)));
}

TEST(ScheduleNextDueDateTest, WeeklyIsSevenDaysLaterAcrossMonthAndYearEnds) {
  EXPECT_EQ(NextDue(kWeeklyMode, 2027, 3, 1), "2027-3-8");
  EXPECT_EQ(NextDue(kWeeklyMode, 2027, 1, 28), "2027-2-4");
  EXPECT_EQ(NextDue(kWeeklyMode, 2026, 12, 28), "2027-1-4");
  // Across the end of February: a leap day is one of the seven.
  EXPECT_EQ(NextDue(kWeeklyMode, 2027, 2, 25), "2027-3-4");
  EXPECT_EQ(NextDue(kWeeklyMode, 2028, 2, 25), "2028-3-3");
  EXPECT_EQ(NextDue(kWeeklyMode, 2028, 2, 29), "2028-3-7");
}

TEST(ScheduleNextDueDateTest, MonthlyKeepsTheDayOrClampsItToTheMonthEnd) {
  EXPECT_EQ(NextDue(kMonthlyMode, 2027, 3, 15), "2027-4-15");
  EXPECT_EQ(NextDue(kMonthlyMode, 2027, 3, 31), "2027-4-30");
  EXPECT_EQ(NextDue(kMonthlyMode, 2027, 8, 31), "2027-9-30");
  EXPECT_EQ(NextDue(kMonthlyMode, 2027, 7, 31), "2027-8-31");
  // December to January of the next year.
  EXPECT_EQ(NextDue(kMonthlyMode, 2026, 12, 31), "2027-1-31");
  EXPECT_EQ(NextDue(kMonthlyMode, 2026, 12, 15), "2027-1-15");
  // February: 28 days, 29 in a leap year (every fourth, not every hundredth,
  // every four-hundredth).
  EXPECT_EQ(NextDue(kMonthlyMode, 2027, 1, 31), "2027-2-28");
  EXPECT_EQ(NextDue(kMonthlyMode, 2028, 1, 31), "2028-2-29");
  EXPECT_EQ(NextDue(kMonthlyMode, 2028, 1, 29), "2028-2-29");
  EXPECT_EQ(NextDue(kMonthlyMode, 2100, 1, 30), "2100-2-28");
  EXPECT_EQ(NextDue(kMonthlyMode, 2000, 1, 30), "2000-2-29");
  // The day after the month end does not drift back: 28 February gives 28 March.
  EXPECT_EQ(NextDue(kMonthlyMode, 2027, 2, 28), "2027-3-28");
}

TEST(ScheduleNextDueDateTest, TextIsTheLocaleShortDate) {
  const TDateTime today = EncodeDate(2027, 1, 31);
  EXPECT_EQ(NextDueDateText(kWeeklyMode, today, JapaneseDates()), "2027/02/07");
  EXPECT_EQ(NextDueDateText(kMonthlyMode, today, JapaneseDates()), "2027/02/28");
  LocaleDateSettings german;
  german.ShortDatePattern = "dd.MM.yyyy";
  german.DateSeparatorChar = '.';
  EXPECT_EQ(NextDueDateText(kWeeklyMode, today, german), "07.02.2027");
}

class ScheduleRunDueTest : public ::testing::Test {
 protected:
  bool DueOn(std::int32_t mode, const std::string& value, int year, int month, int day) {
    return IsRunDue(Schedule{mode, value}, EncodeDate(year, month, day), settings_);
  }
  LocaleDateSettings settings_ = JapaneseDates();
};

TEST_F(ScheduleRunDueTest, DateModesRunOnlyOnceTheDueDayHasPassed) {
  for (std::int32_t mode : {kWeeklyMode, kMonthlyMode}) {
    SCOPED_TRACE(mode);
    EXPECT_FALSE(DueOn(mode, "2027/03/08", 2027, 3, 7));
    EXPECT_FALSE(DueOn(mode, "2027/03/08", 2027, 3, 8)) << "due today is not yet due";
    EXPECT_TRUE(DueOn(mode, "2027/03/08", 2027, 3, 9));
    EXPECT_TRUE(DueOn(mode, "2026/01/01", 2027, 3, 9)) << "long past";
    // Month, year and leap-day boundaries.
    EXPECT_TRUE(DueOn(mode, "2027/02/28", 2027, 3, 1));
    EXPECT_TRUE(DueOn(mode, "2028/02/28", 2028, 2, 29));
    EXPECT_FALSE(DueOn(mode, "2028/02/29", 2028, 2, 29));
    EXPECT_TRUE(DueOn(mode, "2028/02/29", 2028, 3, 1));
    EXPECT_TRUE(DueOn(mode, "2026/12/31", 2027, 1, 1));
    EXPECT_FALSE(DueOn(mode, "2027/01/01", 2026, 12, 31));
  }
}

TEST_F(ScheduleRunDueTest, TimeOfDayOfTodayDoesNotCount) {
  const Schedule weekly{kWeeklyMode, "2027/03/08"};
  EXPECT_FALSE(IsRunDue(weekly, EncodeDate(2027, 3, 8) + 0.99999, settings_));
  EXPECT_TRUE(IsRunDue(weekly, EncodeDate(2027, 3, 9) + 0.00001, settings_));
}

TEST_F(ScheduleRunDueTest, DayAndMonthOnlyTakeTheYearOfTheGivenDay) {
  // No clock is read: the same text is past on one day, ahead on another.
  EXPECT_TRUE(DueOn(kWeeklyMode, "3/8", 2027, 3, 9));
  EXPECT_FALSE(DueOn(kWeeklyMode, "3/8", 2028, 3, 8));
  EXPECT_FALSE(DueOn(kWeeklyMode, "12/31", 2027, 1, 1)) << "31 December of the same year";
}

TEST_F(ScheduleRunDueTest, MinutesModeAlwaysRunsAndNoModeNever) {
  EXPECT_TRUE(DueOn(kMinutesMode, "10", 2027, 3, 1));
  EXPECT_TRUE(DueOn(kMinutesMode, "not a number", 2027, 3, 1)) << "its value is not read";
  for (std::int32_t mode : {0, 4, -1}) {
    EXPECT_FALSE(DueOn(mode, "2000/01/01", 2027, 3, 1)) << mode;
    EXPECT_NO_THROW(DueOn(mode, "garbage", 2027, 3, 1)) << mode;
  }
}

TEST_F(ScheduleRunDueTest, UnreadableDueDateIsAConversionFailureNamingTheText) {
  for (const char* text : {"2027-02-01", "2027/02/30", "", "2027/02/01x", "garbage"}) {
    SCOPED_TRACE(text);
    try {
      DueOn(kMonthlyMode, text, 2027, 3, 1);
      FAIL() << "read as a date";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' は日付ではありません");
    }
  }
  // A date written under another pattern no longer reads after a change.
  settings_.ShortDatePattern = "dd.MM.yyyy";
  settings_.DateSeparatorChar = '.';
  EXPECT_THROW(DueOn(kWeeklyMode, "2027/03/08", 2027, 3, 9), EConvertError);
  EXPECT_TRUE(DueOn(kWeeklyMode, "08.03.2027", 2027, 3, 9));
}

TEST(ScheduleIntervalTest, MinutesCountsTheScheduleAcceptsAndRefuses) {
  EXPECT_EQ(MinutesInterval(0), 0u) << "stopped";
  EXPECT_EQ(MinutesInterval(10), 600000u);
  EXPECT_EQ(MinutesInterval(35791), 2147460000u);
  for (std::int32_t refused : {1, 9, -1, -10, 35792, 2147483647}) {
    EXPECT_FALSE(MinutesInterval(refused).has_value()) << refused;
  }
}

TEST(ScheduleIntervalTest, TimerIntervalOfEachMode) {
  EXPECT_EQ(TimerInterval({kMinutesMode, "30"}), 1800000u);
  EXPECT_EQ(TimerInterval({kMinutesMode, "5"}), 0u) << "a refused count leaves the timer off";
  EXPECT_THROW(TimerInterval({kMinutesMode, "abc"}), EConvertError);
  EXPECT_EQ(TimerInterval({kWeeklyMode, "unread"}), kDateCheckIntervalMs);
  EXPECT_EQ(TimerInterval({kMonthlyMode, ""}), kDateCheckIntervalMs);
  EXPECT_EQ(TimerInterval({0, "30"}), 0u);
}

}  // namespace
}  // namespace quillset
