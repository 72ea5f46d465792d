// The schedule as a value: the mode and what the settings file keeps with it
// (ScheduleMode and TimerSetValue), and what follows from them: the timer's
// interval, whether a tick runs the backup, and the next due date after a
// copy. Pure functions of their arguments: today's date is given, nothing is
// read from the clock or written anywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "locale/calendar_dates.h"
#include "locale/locale_settings.h"
#include "schedule/schedule_modes.h"

namespace quillset {

struct Schedule {
  std::int32_t mode = 0;  // kMinutesMode, kWeeklyMode, kMonthlyMode; any other: no mode
  // Minutes mode: the count as whole-number text, "0" meaning stopped.
  // Date modes: the next due date as short-date text.
  std::string value;
};

// The date modes check every 100 minutes whether the due date has passed.
inline constexpr std::uint32_t kDateCheckIntervalMs = 6000000;

// The weekly and monthly modes, which keep a due date.
bool HasDueDate(std::int32_t mode);

// The largest minutes count: its interval still fits a signed 32-bit value
// (35,791 x 60,000 <= 2^31 - 1).
inline constexpr std::int32_t kLongestMinutes = 35791;

// The timer interval for a minutes count: count x 60,000 ms, 0 for a stopped
// timer. No interval for a count the schedule refuses: 1..9, negative, or
// above 35,791 (whose interval would not fit a signed 32-bit value).
std::optional<std::uint32_t> MinutesInterval(std::int32_t minutes);

// The interval the timer runs at in a schedule's mode: the minutes interval
// (0, timer off, for a count MinutesInterval refuses, so a value refused by
// the prompt never reaches the timer, also when it comes from the settings
// file), or the 100-minute check of the date modes. 0 for no mode.
// Throws EConvertError "'%s' は整数ではありません" for a minutes value that is
// no whole number.
std::uint32_t TimerInterval(const Schedule& schedule);

// Whether a tick on `today` runs the backup: always in the minutes mode; in
// the date modes only when the due date lies strictly before today, so a run
// comes on the first check of the day after the due date; never without a
// mode. A due date of day and month only is taken in today's year.
// Throws EConvertError "'%s' は日付ではありません" when a date mode's value does
// not read as a short date in `settings`.
bool IsRunDue(const Schedule& schedule, TDateTime today, const LocaleDateSettings& settings);

// The due date that a copy on `today` (or choosing the mode on `today`) gives:
// weekly today + 7 days; monthly the same day one calendar month later, the
// day clamped to the end of that month (31 January: 28 or 29 February).
// REQUIRES: HasDueDate(mode).
TDateTime NextDueDate(std::int32_t mode, TDateTime today);
// The same as the short-date text TimerSetValue keeps.
std::string NextDueDateText(std::int32_t mode, TDateTime today,
                            const LocaleDateSettings& settings);

}  // namespace quillset
