// The one simulated clock of a test machine. It answers GetLocalTime's date
// and time, and keeps the time that has passed since it was made (as
// GetTickCount does: it never goes back, whatever the date is set to). Every
// wait and every slow call of the test doubles moves it on, the date with it:
// retries and slow flushes begun at 23:59:59 end on the next day, as on a real
// PC. One watcher (the simulated UI thread's hang watch) hears of each stretch
// of time a caller spent.
#pragma once

#include <cstdint>
#include <functional>

#include "base/os_services.h"

namespace quillset {

// A local time of these fields (day_of_week left 0).
inline SystemTime MakeSystemTime(int year, int month, int day, int hour = 0, int minute = 0,
                                 int second = 0, int milliseconds = 0) {
  SystemTime t;
  t.year = static_cast<std::uint16_t>(year);
  t.month = static_cast<std::uint16_t>(month);
  t.day = static_cast<std::uint16_t>(day);
  t.hour = static_cast<std::uint16_t>(hour);
  t.minute = static_cast<std::uint16_t>(minute);
  t.second = static_cast<std::uint16_t>(second);
  t.milliseconds = static_cast<std::uint16_t>(milliseconds);
  return t;
}

// The day of the week (0 = Sunday) of a Gregorian date.
int DayOfWeek(int year, int month, int day);

class SimulatedClock {
 public:
  // Hears that `milliseconds` passed on the calling thread, spent in `what`.
  using Watcher = std::function<void(std::uint64_t milliseconds, const char* what)>;

  SimulatedClock();  // Monday 2026-12-07 10:00
  SimulatedClock(const SimulatedClock&) = delete;
  SimulatedClock& operator=(const SimulatedClock&) = delete;

  // The date and time is kept as given, even a date that does not exist (a
  // clock gone wrong), until time passes.
  void SetLocalTime(const SystemTime& time);
  SystemTime LocalTime() const;

  // `milliseconds` pass on the calling thread, spent in `what`: the watcher
  // hears of it.
  void Pass(std::uint64_t milliseconds, const char* what = "a blocking call");
  // The clock moves on by itself (time passing unseen between two reads);
  // negative moves the date back and leaves the elapsed time.
  void Step(std::int64_t milliseconds);
  std::uint64_t ElapsedMs() const { return elapsed_ms_; }

  void SetWatcher(Watcher watcher) { watcher_ = std::move(watcher); }

 private:
  SystemTime set_;
  std::int64_t since_set_ms_ = 0;
  std::uint64_t elapsed_ms_ = 0;
  Watcher watcher_;
};

}  // namespace quillset
