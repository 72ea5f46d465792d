#include "ui/tray_icon_retry.h"

namespace quillset {

TrayIconRetry::TrayIconRetry(ShellServices& shell, std::function<WindowHandle()> window)
    : timer_(shell, std::move(window), kTimerId) {}

void TrayIconRetry::Start() {
  failed_tries_ = 0;
  timer_.SetInterval(0);  // a new cadence starts a full interval from now
  timer_.SetInterval(kFirstIntervalMs);
}

void TrayIconRetry::TryFailed() {
  if (!Pending()) return;
  if (++failed_tries_ >= kFirstIntervalTries) timer_.SetInterval(kLaterIntervalMs);
}

void TrayIconRetry::Stop() { timer_.SetInterval(0); }

}  // namespace quillset
