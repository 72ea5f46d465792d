#include "ui/timer_component.h"

#include "base/errors.h"

namespace quillset {

TTimer::TTimer(ShellServices& shell, std::function<WindowHandle()> window, std::uint32_t id)
    : shell_(shell), window_(std::move(window)), id_(id) {}

TTimer::~TTimer() {
  if (armed_) shell_.KillWindowTimer(armed_on_, id_);
}

void TTimer::SetInterval(std::uint32_t interval_ms) {
  if (interval_ms == interval_) return;
  if (armed_) {
    shell_.KillWindowTimer(armed_on_, id_);
    armed_ = false;
  }
  interval_ = interval_ms;
  if (interval_ == 0) return;
  const WindowHandle window = window_();
  if (!shell_.SetWindowTimer(window, id_, interval_)) {
    interval_ = 0;
    throw EOutOfResources("タイマーを取得できません");
  }
  armed_ = true;
  armed_on_ = window;
}

}  // namespace quillset
