// The hidden window that carries Timer1: its WM_TIMER messages with id 1 become
// a tick. The interval is set from outside (ShellServices::SetWindowTimer on
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
  // `tick` runs for every WM_TIMER with id 1; failures go to `show_failure`.
  TimerWindow(std::function<void()> tick,
              std::function<void(const std::string&)> show_failure);
  ~TimerWindow() override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void ReportFailure(const std::string& message) override;

 private:
  std::function<void()> tick_;
  std::function<void(const std::string&)> show_failure_;
};

}  // namespace quillset
