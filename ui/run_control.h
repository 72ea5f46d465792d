// What the main window's handlers know about backup runs, in one place:
// whether a run goes on, whether it is to stop, whether the program ends
// after it, whether runs may start at all (not after the end of the
// session), what waits for the run's end, and whether a tick's
// failure box is open. The run itself lives in one handler (Copy1Click); the
// window handles its messages meanwhile, so other handlers run during it.
#pragma once

#include <atomic>
#include <memory>
#include <utility>

namespace quillset {

class RunControl {
 public:
  // ---- The run
  bool Running() const { return running_; }
  // False after the end of the session: the process may end in the middle of
  // a run, so none starts.
  bool MayStart() const { return !session_ended_; }
  // REQUIRES: !Running() and MayStart().
  void Begin() {
    running_ = true;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    quit_after_run_ = false;
  }
  void End() { running_ = false; }

  // ---- Stopping: asked on the window's thread, read also by the run's copy
  // on its own. Outside a run nothing is asked.
  void RequestStop() {
    if (running_) *stop_ = true;
  }
  bool StopRequested() const { return *stop_; }
  // The run's stop as the copying thread keeps it: a copy abandoned after the
  // stop may still ask it when the run is long gone.
  std::shared_ptr<const std::atomic<bool>> StopFlag() const { return stop_; }

  // ---- The user chose to stop the run and quit: the window closes once the
  // run has ended.
  void QuitAfterRun() { quit_after_run_ = true; }
  bool QuitRequested() const { return quit_after_run_; }

  // ---- The end of the session
  void SessionEnded() { session_ended_ = true; }

  // ---- What waits for the run's end: the first activation (a load would
  // replace the list under the run) and Timer1's tick (a tick in the minutes
  // mode would start a run). Each waits once however often it comes, as the
  // system keeps one tick; Take... at the run's end tells whether it came.
  void ActivationWaits() { activation_waits_ = true; }
  void TickWaits() { tick_waits_ = true; }
  bool TakeWaitingActivation() { return std::exchange(activation_waits_, false); }
  bool TakeWaitingTick() { return std::exchange(tick_waits_, false); }

  // ---- The failure box of a tick: ticks go on while it is open (its
  // message loop delivers them), and their own failures open no second one.
  // True: this tick's box may open (CloseTickFailureBox when it closes).
  bool OpenTickFailureBox() {
    if (tick_failure_open_) return false;
    tick_failure_open_ = true;
    return true;
  }
  void CloseTickFailureBox() { tick_failure_open_ = false; }

 private:
  bool running_ = false;
  std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
  bool quit_after_run_ = false;
  bool session_ended_ = false;
  bool activation_waits_ = false;
  bool tick_waits_ = false;
  bool tick_failure_open_ = false;
};

}  // namespace quillset
