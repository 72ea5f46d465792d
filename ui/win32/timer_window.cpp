#include "ui/win32/timer_window.h"

#include "ui/win32/window_classes.h"

namespace quillset {

TimerWindow::TimerWindow(std::function<void(unsigned id)> tick,
                         std::function<void(const std::string&)> show_failure)
    : tick_(std::move(tick)), show_failure_(std::move(show_failure)) {
  RegisterClassOnce(kTimerWindowClass, 0, nullptr, nullptr, nullptr);
  // A hidden top-level window (not message-only), so that drivers find it with
  // FindWindow and EnumWindows like the program's other windows.
  CreateBound(WS_EX_TOOLWINDOW, kTimerWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr);
}

TimerWindow::~TimerWindow() { DestroyBound(); }

LRESULT TimerWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER) {
    if (tick_) tick_(static_cast<unsigned>(wparam));
    return 0;
  }
  return DefaultHandling(message, wparam, lparam);
}

void TimerWindow::ReportFailure(const std::string& message) {
  if (show_failure_) show_failure_(message);
}

}  // namespace quillset
