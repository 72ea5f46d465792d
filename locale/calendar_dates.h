// Calendar dates: the day-count value TDateTime, today and now, calendar
// arithmetic, and dates as text in the user's short date format.
//
// TDateTime counts days from 30 December 1899 (day 0); the fraction is the time
// of day, local time (0.5 is noon). For days before day 0 the fraction still
// counts forward from midnight, away from zero: -1.25 is 29 December 1899 06:00.
// The calendar is the proleptic Gregorian one, years 1 to 9999.
#pragma once

#include <cstdint>
#include <string>

#include "base/os_services.h"
#include "locale/locale_settings.h"

namespace quillset {

using TDateTime = double;

constexpr double kMillisecondsPerDay = 86400000.0;

bool IsLeapYear(int year);
// 28..31; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// The day count of a date. Throws EConvertError
// "日付に変換できない値が渡されました" outside years 1..9999, months 1..12 or the
// days of the month.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
// The fraction of a day for a time; throws EConvertError
// "時刻に変換できない値が渡されました" outside 0..23, 0..59, 0..59, 0..999.
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value);
// A day count (whole number, from EncodeDate) plus a time of day, following the
// convention above for days before day 0.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Date and time parts of a value, after rounding it to the millisecond. A value
// outside years 1..9999 (or not a number) gives year, month and day 0 and
// false. DecodeDate's day of week: 1 = Sunday .. 7 = Saturday.
bool DecodeDate(TDateTime value, int& year, int& month, int& day);
bool DecodeDateFully(TDateTime value, int& year, int& month, int& day, int& day_of_week);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);

// Today's local date at midnight, and the local date and time to the
// millisecond, from the OS clock.
TDateTime TodayDate(OsServices& os);
TDateTime CurrentDateTime(OsServices& os);
TDateTime SystemTimeToDateTime(const SystemTime& time);  // throws EConvertError

// value + 7 * weeks days.
TDateTime AddWeeksToDate(TDateTime value, int weeks);
// The same time of day `months` calendar months later (earlier when negative),
// the day clamped to the length of the new month (31 January + 1 = 28 or 29
// February). Throws EConvertError when the result leaves years 1..9999.
TDateTime AddMonthsToDate(TDateTime value, int months);
// 0 when both values lie on the same day (whole parts cut toward zero are
// equal); otherwise -1 when a < b and +1 when a > b.
int CompareWholeDays(TDateTime a, TDateTime b);

// The value written in the short date pattern (element table in
// date_text_format.cpp); at most 256 bytes.
std::string FormatShortDate(TDateTime value, const LocaleDateSettings& settings);
// The value written in any date and time pattern ("yyyy/mm/dd hh:nn:ss",
// "ddddd", "c", ...); at most 256 bytes.
std::string FormatDateTimePattern(const std::string& pattern, TDateTime value,
                                  const LocaleDateSettings& settings);
// The grid's text for a date-time value: the short date, and when the hour,
// minute and second are not all zero, one space and the long time format.
// Milliseconds are neither shown nor counted.
std::string FormatDateTimeText(TDateTime value, const LocaleDateSettings& settings);

// Reads a date written in the user's short date format: day, month and year in
// the pattern's order separated by DateSeparatorChar, or day and month only (the
// current year from `os`); blanks before numbers and separators, one more
// separator and blanks at the end; two-digit years in the year window. The
// whole text must be read and form a valid date.
// Throws EConvertError "'<text>' は日付ではありません".
TDateTime ParseShortDate(const std::string& text, const LocaleDateSettings& settings,
                         OsServices& os);
bool TryParseShortDate(const std::string& text, const LocaleDateSettings& settings,
                       OsServices& os, TDateTime& value);
// The same with today's date given instead of read from the OS clock (for a
// text of day and month only, and the era of today).
TDateTime ParseShortDate(const std::string& text, const LocaleDateSettings& settings,
                         const SystemTime& today);
// Reads grid input: a short date, then optionally a time (hours:minutes
// [:seconds[.milliseconds]] with the morning/afternoon designator before or
// after it). Empty text is the caller's business (null).
// Throws EConvertError "'<text>' は日付または時刻ではありません".
TDateTime ParseDateTimeText(const std::string& text, const LocaleDateSettings& settings,
                            OsServices& os);
bool TryParseDateTimeText(const std::string& text, const LocaleDateSettings& settings,
                          OsServices& os, TDateTime& value);

}  // namespace quillset
