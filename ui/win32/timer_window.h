// The hidden window that carries the program's window timers: Timer1 (id 1)
// and the retries of the tray icon (id 2). Each WM_TIMER becomes a tick of its
// id. Intervals are set from outside (ShellServices::SetWindowTimer on
// Handle()); ticks arrive also while a modal box or dialog is open, through
// that box's message loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/win32/window_base.h"

namespace quillset {

class TimerWindow : public WindowBase {
 public:
  // `tick` runs for every WM_TIMER with its timer id; failures go to
  // `show_failure`.
  TimerWindow(std::function<void(unsigned id)> tick,
              std::function<void(const std::string&)> show_failure);
  ~TimerWindow() override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void ReportFailure(const std::string& message) override;

 private:
  std::function<void(unsigned id)> tick_;
  std::function<void(const std::string&)> show_failure_;
};

}  // namespace quillset
