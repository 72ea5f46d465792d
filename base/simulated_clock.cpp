#include "base/simulated_clock.h"

namespace quillset {
namespace {

// Days since 1970-01-01 of a Gregorian date (proleptic), and back.
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = static_cast<int>(year - era * 400);
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int day_of_era = static_cast<int>(days - era * 146097);
  const int year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int shifted_month = (5 * day_of_year + 2) / 153;
  day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  year = static_cast<int>(year_of_era + era * 400) + (month <= 2);
}

constexpr std::int64_t kMillisecondsPerDay = 86400000;

int WeekDayOf(std::int64_t days) { return static_cast<int>(((days % 7) + 11) % 7); }  // 1970-01-01: Thursday

}  // namespace

int DayOfWeek(int year, int month, int day) { return WeekDayOf(DaysFromCivil(year, month, day)); }

SimulatedClock::SimulatedClock() {
  set_ = MakeSystemTime(2026, 12, 7, 10, 0);
  set_.day_of_week = 1;
}

void SimulatedClock::SetLocalTime(const SystemTime& time) {
  set_ = time;
  since_set_ms_ = 0;
}

SystemTime SimulatedClock::LocalTime() const {
  if (since_set_ms_ == 0) return set_;
  const std::int64_t at = DaysFromCivil(set_.year, set_.month, set_.day) * kMillisecondsPerDay +
                          ((set_.hour * 60 + set_.minute) * 60 + set_.second) * 1000 +
                          set_.milliseconds + since_set_ms_;
  std::int64_t days = at / kMillisecondsPerDay, ms = at % kMillisecondsPerDay;
  if (ms < 0) {
    ms += kMillisecondsPerDay;
    --days;
  }
  int year, month, day;
  CivilFromDays(days, year, month, day);
  SystemTime t = MakeSystemTime(year, month, day, static_cast<int>(ms / 3600000),
                                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                                static_cast<int>(ms % 1000));
  t.day_of_week = static_cast<std::uint16_t>(WeekDayOf(days));
  return t;
}

void SimulatedClock::Pass(std::uint64_t milliseconds, const char* what) {
  since_set_ms_ += static_cast<std::int64_t>(milliseconds);
  elapsed_ms_ += milliseconds;
  if (watcher_) watcher_(milliseconds, what);
}

void SimulatedClock::Step(std::int64_t milliseconds) {
  since_set_ms_ += milliseconds;
  if (milliseconds > 0) elapsed_ms_ += static_cast<std::uint64_t>(milliseconds);
}

}  // namespace quillset
