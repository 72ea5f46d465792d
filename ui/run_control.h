// What the main window's handlers know about backup runs, in one place:
// whether a run goes on, whether it is to stop, whether the program ends
// after it, whether runs may start at all (not after the end of the
// session), whether a tick waits for the run's end, and whether a tick's
// failure box is open. The run itself lives in one handler (Copy1Click); the
// window handles its messages meanwhile, so other handlers run during it.
#pragma once

#include <atomic>
#include <memory>

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

  // ---- Ticks during a run: the first waits for the run's end (true: post
  // it), later ones are dropped as the system keeps one tick; TickRan when
  // the waiting one runs.
  bool DeferTick() {
    if (tick_deferred_) return false;
    tick_deferred_ = true;
    return true;
  }
  void TickRan() { tick_deferred_ = false; }

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
  bool tick_deferred_ = false;
  bool tick_failure_open_ = false;
};

}  // namespace quillset
