// The timer that tries again to add the notification icon when the shell
// refused it: at logon Explorer may not be ready when the program hides into
// the tray, and it may never send "TaskbarCreated" afterwards. Tries come
// every 2 seconds for the first 2 minutes, then every minute, until one
// succeeds or the timer is stopped. It is a window timer of its own id on the
// timer window, so Timer1's phase is never touched.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/shell_services.h"
#include "ui/timer_component.h"

namespace quillset {

class TrayIconRetry {
 public:
  static constexpr std::uint32_t kTimerId = 2;
  static constexpr std::uint32_t kFirstIntervalMs = 2000;
  // 60 tries 2 seconds apart: at least 2 minutes (ticks come late, never early).
  static constexpr int kFirstIntervalTries = 60;
  static constexpr std::uint32_t kLaterIntervalMs = 60000;

  TrayIconRetry(ShellServices& shell, std::function<WindowHandle()> window);

  bool Pending() const { return timer_.Interval() != 0; }
  // Arms the timer from the start of the cadence: the first try 2 s from now.
  // When the system gives no timer nothing is raised: the retries are then
  // not pending, and the caller's other occasions must try again.
  void Start();
  // One try failed again: after the first 2 minutes, the next comes in a
  // minute (or, with the timer refused, not from here any more).
  void TryFailed();
  void Stop();

 private:
  void ArmOrGiveUp(std::uint32_t interval_ms);

  TTimer timer_;
  int failed_tries_ = 0;
};

}  // namespace quillset
