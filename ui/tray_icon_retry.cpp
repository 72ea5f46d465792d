#include "ui/tray_icon_retry.h"

#include "base/errors.h"

namespace quillset {

TrayIconRetry::TrayIconRetry(ShellServices& shell, std::function<WindowHandle()> window)
    : timer_(shell, std::move(window), kTimerId) {}

void TrayIconRetry::Start() {
  failed_tries_ = 0;
  timer_.SetInterval(0);  // a new cadence starts a full interval from now
  ArmOrGiveUp(kFirstIntervalMs);
}

// A refused timer is off (interval 0): Pending() tells the caller.
void TrayIconRetry::ArmOrGiveUp(std::uint32_t interval_ms) {
  try {
    timer_.SetInterval(interval_ms);
  } catch (const EOutOfResources&) {
  }
}

void TrayIconRetry::TryFailed() {
  if (!Pending()) return;
  if (++failed_tries_ >= kFirstIntervalTries) ArmOrGiveUp(kLaterIntervalMs);
}

void TrayIconRetry::Stop() { timer_.SetInterval(0); }

}  // namespace quillset
