#include "ui/timer_component.h"

#include "app/errors.h"

namespace quillset {

TTimer::TTimer(ShellServices& shell, std::function<WindowHandle()> window)
    : shell_(shell), window_(std::move(window)) {}

TTimer::~TTimer() {
  if (armed_) shell_.KillWindowTimer(armed_on_, kTimerId);
}

void TTimer::SetInterval(std::uint32_t interval_ms) {
  if (interval_ms == interval_) return;
  if (armed_) {
    shell_.KillWindowTimer(armed_on_, kTimerId);
    armed_ = false;
  }
  interval_ = interval_ms;
  if (interval_ == 0) return;
  const WindowHandle window = window_();
  if (!shell_.SetWindowTimer(window, kTimerId, interval_)) {
    interval_ = 0;
    throw EOutOfResources("タイマーを取得できません");
  }
  armed_ = true;
  armed_on_ = window;
}

}  // namespace quillset
