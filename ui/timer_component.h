// Timer1: a window timer with identifier 1 on the window layer's hidden timer
// window (other timers of the program use other ids on the same window, so
// they never touch Timer1's phase). Interval 0 means no timer. Setting a different interval kills the
// running timer and, when the new value is not 0, arms it again, so the next
// tick comes one full interval later; setting the interval it already has
// changes nothing, and a running timer keeps its phase.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/shell_services.h"

namespace quillset {

class TTimer {
 public:
  static constexpr std::uint32_t kTimerId = 1;

  // `window` gives the handle of the timer's window when the timer is armed
  // (the window may not exist yet when the timer object is made); `id` is the
  // timer's identifier on that window.
  TTimer(ShellServices& shell, std::function<WindowHandle()> window,
         std::uint32_t id = kTimerId);
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  std::uint32_t Interval() const { return interval_; }
  // Raises EOutOfResources "タイマーを取得できません" when the OS refuses the
  // timer; the interval is then 0.
  void SetInterval(std::uint32_t interval_ms);

 private:
  ShellServices& shell_;
  std::function<WindowHandle()> window_;
  std::uint32_t id_;
  std::uint32_t interval_ = 0;
  bool armed_ = false;
  WindowHandle armed_on_ = 0;
};

}  // namespace quillset
