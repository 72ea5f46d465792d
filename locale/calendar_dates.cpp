#include "locale/calendar_dates.h"

#include <cmath>
#include <cstdint>

#include "base/errors.h"

namespace quillset {
namespace {

// Day number (1 = 1 January of year 1) of day count 0, 30 December 1899.
constexpr std::int64_t kDayNumberOfDayZero = 693594;
constexpr std::int64_t kLastDayNumber = 3652059;  // 31 December 9999
constexpr std::int64_t kMsPerDay = 86400000;

const char kInvalidDateMessage[] = "日付に変換できない値が渡されました";
const char kInvalidTimeMessage[] = "時刻に変換できない値が渡されました";

constexpr int kDaysBeforeMonth[2][13] = {
    {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

// The value rounded to whole milliseconds (ties to even), split into a day
// number and the milliseconds of the day; false outside years 1..9999.
bool SplitValue(TDateTime value, std::int64_t& day_number, std::int64_t& ms_of_day) {
  // Anything beyond this cannot be a day of years 1..9999; it also keeps the
  // conversion to a whole number defined.
  if (!(std::fabs(value) < 4.0e6)) return false;
  const std::int64_t ms = static_cast<std::int64_t>(std::nearbyint(value * kMillisecondsPerDay));
  if (ms >= 0) {
    day_number = kDayNumberOfDayZero + ms / kMsPerDay;
    ms_of_day = ms % kMsPerDay;
  } else {
    day_number = kDayNumberOfDayZero - (-ms) / kMsPerDay;
    ms_of_day = (-ms) % kMsPerDay;
  }
  return day_number >= 1 && day_number <= kLastDayNumber;
}

void DayNumberToDate(std::int64_t day_number, int& year, int& month, int& day) {
  std::int64_t n = day_number - 1;  // days since 1 January of year 1
  const std::int64_t y400 = n / 146097;
  n %= 146097;
  std::int64_t y100 = n / 36524;
  if (y100 == 4) y100 = 3;  // 31 December of a year divisible by 400
  n -= y100 * 36524;
  const std::int64_t y4 = n / 1461;
  n %= 1461;
  std::int64_t y1 = n / 365;
  if (y1 == 4) y1 = 3;  // 31 December of a leap year
  n -= y1 * 365;
  year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  const int leap = IsLeapYear(year) ? 1 : 0;
  month = 12;
  while (month > 1 && kDaysBeforeMonth[leap][month] > n) --month;
  day = static_cast<int>(n - kDaysBeforeMonth[leap][month] + 1);
}

}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kLengths[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  const std::int64_t y = year - 1;
  const std::int64_t days = y * 365 + y / 4 - y / 100 + y / 400 +
                            kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0][month] + day -
                            kDayNumberOfDayZero;
  value = static_cast<TDateTime>(days);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value = 0;
  if (!TryEncodeDate(year, month, day, value)) throw EConvertError(kInvalidDateMessage);
  return value;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  const std::int64_t ms = hour * 3600000LL + minute * 60000LL + second * 1000LL + millisecond;
  value = static_cast<double>(ms) / kMillisecondsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime value = 0;
  if (!TryEncodeTime(hour, minute, second, millisecond, value)) {
    throw EConvertError(kInvalidTimeMessage);
  }
  return value;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  // Before day 0 the time of day moves the value away from zero.
  return date < 0 ? date - time : date + time;
}

bool DecodeDateFully(TDateTime value, int& year, int& month, int& day, int& day_of_week) {
  std::int64_t day_number = 0, ms_of_day = 0;
  if (!SplitValue(value, day_number, ms_of_day)) {
    year = month = day = day_of_week = 0;
    return false;
  }
  DayNumberToDate(day_number, year, month, day);
  day_of_week = static_cast<int>(day_number % 7) + 1;  // day 1 was a Monday
  return true;
}

bool DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int day_of_week = 0;
  return DecodeDateFully(value, year, month, day, day_of_week);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
  std::int64_t day_number = 0, ms = 0;
  if (!SplitValue(value, day_number, ms)) ms = 0;
  hour = static_cast<int>(ms / 3600000);
  minute = static_cast<int>(ms / 60000 % 60);
  second = static_cast<int>(ms / 1000 % 60);
  millisecond = static_cast<int>(ms % 1000);
}

TDateTime SystemTimeToDateTime(const SystemTime& time) {
  return ComposeDateTime(EncodeDate(time.year, time.month, time.day),
                         EncodeTime(time.hour, time.minute, time.second, time.milliseconds));
}

TDateTime TodayDate(OsServices& os) {
  const SystemTime now = os.LocalTime();
  return EncodeDate(now.year, now.month, now.day);
}

TDateTime CurrentDateTime(OsServices& os) { return SystemTimeToDateTime(os.LocalTime()); }

TDateTime AddWeeksToDate(TDateTime value, int weeks) {
  return value + 7.0 * static_cast<double>(weeks);
}

TDateTime AddMonthsToDate(TDateTime value, int months) {
  std::int64_t day_number = 0, ms_of_day = 0;
  if (!SplitValue(value, day_number, ms_of_day)) throw EConvertError(kInvalidDateMessage);
  int year = 0, month = 0, day = 0;
  DayNumberToDate(day_number, year, month, day);
  // Both parts truncate toward zero; the month is then brought back into 1..12.
  year += months / 12;
  month += months % 12;
  if (month > 12) {
    ++year;
    month -= 12;
  } else if (month < 1) {
    --year;
    month += 12;
  }
  if (year >= 1 && year <= 9999 && day > DaysInMonth(year, month)) {
    day = DaysInMonth(year, month);
  }
  return ComposeDateTime(EncodeDate(year, month, day),
                         static_cast<double>(ms_of_day) / kMillisecondsPerDay);
}

int CompareWholeDays(TDateTime a, TDateTime b) {
  if (std::trunc(a) == std::trunc(b)) return 0;
  return a < b ? -1 : 1;
}

}  // namespace quillset
