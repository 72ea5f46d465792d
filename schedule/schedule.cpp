#include "schedule/schedule.h"

#include "locale/whole_number_text.h"

namespace quillset {
namespace {

constexpr std::int32_t kMillisecondsPerMinute = 60000;
constexpr std::int32_t kShortestMinutes = 10;

// The date parts a short date of day and month only takes its year from.
SystemTime DateOf(TDateTime day) {
  int year = 0, month = 0, day_of_month = 0;
  DecodeDate(day, year, month, day_of_month);
  SystemTime date;
  date.year = static_cast<std::uint16_t>(year);
  date.month = static_cast<std::uint16_t>(month);
  date.day = static_cast<std::uint16_t>(day_of_month);
  return date;
}

}  // namespace

bool HasDueDate(std::int32_t mode) { return mode == kWeeklyMode || mode == kMonthlyMode; }

std::optional<std::uint32_t> MinutesInterval(std::int32_t minutes) {
  if (minutes != 0 && (minutes < kShortestMinutes || minutes > kLongestMinutes)) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(minutes * kMillisecondsPerMinute);
}

std::uint32_t TimerInterval(const Schedule& schedule) {
  if (schedule.mode == kMinutesMode) {
    return MinutesInterval(TextToInt(schedule.value)).value_or(0);
  }
  return HasDueDate(schedule.mode) ? kDateCheckIntervalMs : 0;
}

bool IsRunDue(const Schedule& schedule, TDateTime today, const LocaleDateSettings& settings) {
  if (schedule.mode == kMinutesMode) return true;
  if (!HasDueDate(schedule.mode)) return false;
  const TDateTime due = ParseShortDate(schedule.value, settings, DateOf(today));
  return CompareWholeDays(due, today) == -1;
}

TDateTime NextDueDate(std::int32_t mode, TDateTime today) {
  return mode == kWeeklyMode ? AddWeeksToDate(today, 1) : AddMonthsToDate(today, 1);
}

std::string NextDueDateText(std::int32_t mode, TDateTime today,
                            const LocaleDateSettings& settings) {
  return FormatShortDate(NextDueDate(mode, today), settings);
}

}  // namespace quillset
