#include "locale/calendar_dates.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/locale_items.h"
#include "base/testing/in_memory_os.h"

namespace quillset {
namespace {

struct Ymd {
  int year, month, day;
};

Ymd DateOf(TDateTime value) {
  Ymd d{};
  DecodeDate(value, d.year, d.month, d.day);
  return d;
}

#define EXPECT_DATE(value, y, m, d)          \
  do {                                       \
    const Ymd got = DateOf(value);           \
    EXPECT_EQ(got.year, y);                  \
    EXPECT_EQ(got.month, m);                 \
    EXPECT_EQ(got.day, d);                   \
  } while (0)

TEST(DayCountTest, KnownDaysOfTheCountAndItsLimits) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1899, 12, 31), 1.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1), 36586.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  // Every day of four centuries goes to its count and back.
  TDateTime expected = EncodeDate(1800, 1, 1);
  for (int year = 1800; year < 2200; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        ASSERT_EQ(EncodeDate(year, month, day), expected) << year << "-" << month << "-" << day;
        const Ymd back = DateOf(expected);
        ASSERT_EQ(back.year * 10000 + back.month * 100 + back.day, year * 10000 + month * 100 + day);
        expected += 1;
      }
    }
  }
}

TEST(DayCountTest, InvalidDatesAreRefusedWithTheConversionMessage) {
  for (const Ymd bad : {Ymd{2026, 2, 29}, Ymd{2100, 2, 29}, Ymd{2026, 4, 31}, Ymd{2026, 13, 1},
                        Ymd{2026, 0, 1}, Ymd{2026, 1, 0}, Ymd{0, 1, 1}, Ymd{10000, 1, 1}}) {
    try {
      EncodeDate(bad.year, bad.month, bad.day);
      ADD_FAILURE() << bad.year << "-" << bad.month << "-" << bad.day;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "日付に変換できない値が渡されました");
    }
  }
  EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
  EXPECT_NO_THROW(EncodeDate(2028, 2, 29));
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
}

TEST(DayCountTest, ValuesOutsideTheCalendarDecodeAsZeroWithoutFailing) {
  int y = 1, m = 1, d = 1;
  EXPECT_FALSE(DecodeDate(-693594.0, y, m, d));
  EXPECT_EQ(y + m + d, 0);
  EXPECT_FALSE(DecodeDate(2958466.0, y, m, d));
  EXPECT_FALSE(DecodeDate(1e300, y, m, d));
  EXPECT_FALSE(DecodeDate(std::numeric_limits<double>::quiet_NaN(), y, m, d));
  EXPECT_THROW(AddMonthsToDate(1e300, 1), EConvertError);
  EXPECT_THROW(AddMonthsToDate(EncodeDate(9999, 12, 1), 1), EConvertError);
}

TEST(DayCountTest, TimeOfDayToTheMillisecondAndBeforeDayZero) {
  int h, n, s, z;
  DecodeTime(EncodeDate(2026, 12, 13) + EncodeTime(23, 59, 59, 999), h, n, s, z);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + z, 235959999);
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  // Before day 0 the time counts away from zero: -1.25 is 29 Dec 1899 06:00.
  EXPECT_EQ(ComposeDateTime(-1.0, 0.25), -1.25);
  EXPECT_DATE(-1.25, 1899, 12, 29);
  DecodeTime(-1.25, h, n, s, z);
  EXPECT_EQ(h, 6);
  int dow = 0;
  DecodeDateFully(EncodeDate(2026, 12, 13), h, n, s, dow);
  EXPECT_EQ(dow, 1);  // a Sunday
}

TEST(ClockTest, TodayAndNowComeFromTheOsClock) {
  testing_support::InMemoryOs os;
  os.SetClock(2026, 12, 13, 23, 59, 59, 999);
  EXPECT_EQ(TodayDate(os), EncodeDate(2026, 12, 13));
  const TDateTime now = CurrentDateTime(os);
  EXPECT_EQ(CompareWholeDays(now, TodayDate(os)), 0);
  int h, n, s, z;
  DecodeTime(now, h, n, s, z);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + z, 235959999);
  EXPECT_DATE(now, 2026, 12, 13);  // not rounded into the next day
  os.SetClock(2026, 2, 30);  // a clock that gives no valid date
  EXPECT_THROW(TodayDate(os), EConvertError);
}

TEST(CalendarArithmeticTest, MonthsClampToTheEndOfTheMonth) {
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2027, 1, 31), 1), 2027, 2, 28);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2028, 1, 31), 1), 2028, 2, 29);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2027, 3, 31), 1), 2027, 4, 30);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 12, 30), 1), 2027, 1, 30);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2027, 2, 28), 1), 2027, 3, 28);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2100, 1, 29), 1), 2100, 2, 28);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2000, 1, 29), 1), 2000, 2, 29);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 5, 15), 24), 2028, 5, 15);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 5, 15), 0), 2026, 5, 15);
}

TEST(CalendarArithmeticTest, NegativeMonthCountsTruncateTowardZero) {
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 3, 31), -1), 2026, 2, 28);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 1, 15), -1), 2025, 12, 15);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 1, 15), -13), 2024, 12, 15);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 6, 15), -12), 2025, 6, 15);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 6, 15), -18), 2024, 12, 15);
  EXPECT_DATE(AddMonthsToDate(EncodeDate(2026, 12, 15), 13), 2028, 1, 15);
}

TEST(CalendarArithmeticTest, TheTimeOfDayIsKept) {
  const TDateTime value = EncodeDate(2027, 1, 31) + EncodeTime(18, 45, 12, 250);
  const TDateTime later = AddMonthsToDate(value, 1);
  EXPECT_DATE(later, 2027, 2, 28);
  int h, n, s, z;
  DecodeTime(later, h, n, s, z);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + z, 184512250);
  EXPECT_EQ(AddWeeksToDate(value, 1), value + 7);
  EXPECT_DATE(AddWeeksToDate(EncodeDate(2027, 3, 1), 1), 2027, 3, 8);
  EXPECT_DATE(AddWeeksToDate(EncodeDate(2026, 12, 28), 1), 2027, 1, 4);
}

TEST(CalendarArithmeticTest, CompareWholeDaysIgnoresTheTimeOfDay) {
  const TDateTime today = EncodeDate(2026, 12, 13);
  EXPECT_EQ(CompareWholeDays(today, today), 0);
  EXPECT_EQ(CompareWholeDays(today, today + EncodeTime(23, 59, 59, 999)), 0);
  EXPECT_EQ(CompareWholeDays(today + 0.9, today), 0);
  EXPECT_EQ(CompareWholeDays(today - 1, today), -1);
  EXPECT_EQ(CompareWholeDays(today - 0.0001, today), -1);
  EXPECT_EQ(CompareWholeDays(today + 1, today), 1);
}

}  // namespace
}  // namespace quillset
