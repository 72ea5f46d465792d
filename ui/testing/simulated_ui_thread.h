// The user-interface thread on the machine's one simulated clock
// (base/simulated_clock.h), with the hang watch every UI test gets. Windows
// calls a window that has not handled its messages for 5 s "応答なし", and
// other programs asking it something (SendMessageTimeout, the session end's
// messages) give up sooner; the program holds itself to 1 s. So any stretch
// of simulated time over 1 s that the UI thread spends blocked (a Sleep, a
// slow file call charged by the OS double) without a pump
// (FakeFormView::KeepResponsive) fails the test running at that moment.
//
// The clock is the one the test's OS double keeps (UiTimedOs attaches it);
// without one, a clock of its own.
//
// Work run off the UI thread (FakeShellServices::RunOffUiThread) runs inline,
// but its time is not the UI thread's: the UI thread pumps meanwhile, and
// each time the work spends simulated time the waiting side's pump runs (the
// real window layer pumps every 50 ms), so a test can deliver a message sent
// "during" a flush.
//
// One object per test: Current() starts afresh when the running test changes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "base/simulated_clock.h"

namespace quillset {

class SimulatedUiThread {
 public:
  // What the program allows itself before it counts as hung (see above).
  static constexpr std::uint64_t kHangMs = 1000;

  static SimulatedUiThread& Current() {
    static SimulatedUiThread thread;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (thread.test_ != test) thread.Restart(test);
    return thread;
  }

  // From now on, time is `clock`'s (which must outlive its use here, or be
  // let go by Release).
  void Attach(SimulatedClock& clock) {
    clock_ = &clock;
    clock.SetWatcher([this](std::uint64_t ms, const char* what) { Passed(ms, what); });
  }
  void Release(SimulatedClock& clock) {
    if (clock_ == &clock) Attach(*own_clock_);
  }

  // `milliseconds` of simulated time pass on the thread making the call.
  void Pass(std::uint64_t milliseconds, const char* what = "a blocking call") {
    clock_->Pass(milliseconds, what);
  }
  // The UI thread handled its messages.
  void Pumped() { blocked_ms_ = 0; }
  // The handler returned to the message loop (tests that run two slow
  // handlers in a row say so between them).
  void Idle() { blocked_ms_ = 0; }

  // Runs `work` as on a worker thread while the UI thread waits and calls
  // `pump` whenever simulated time passes. False: abandoned once `stop` had
  // held for `abandon_after_ms`: the work is unwound from its next wait (a
  // thread that never returns has no further effect).
  bool RunOffUiThread(const std::function<void()>& work, std::function<void()> pump,
                      std::function<bool()> stop = nullptr,
                      std::uint64_t abandon_after_ms = 0) {
    struct Abandoned {};
    const bool was_off = off_ui_thread_;
    std::function<void()> outer_pump = std::move(waiting_pump_);
    off_ui_thread_ = true;
    bool stopping = false;
    std::uint64_t stop_since = 0;
    waiting_pump_ = [&] {
      // The pump runs on the UI thread: its own time counts there.
      off_ui_thread_ = false;
      blocked_ms_ = 0;
      if (pump) pump();
      const bool stopped = stop && stop();
      off_ui_thread_ = true;
      if (!stopped) return;
      if (!stopping) {
        stopping = true;
        stop_since = NowMs();
      } else if (NowMs() - stop_since >= abandon_after_ms) {
        throw Abandoned{};
      }
    };
    struct Restore {
      SimulatedUiThread& self;
      bool was_off;
      std::function<void()>& outer;
      ~Restore() {
        self.off_ui_thread_ = was_off;
        self.waiting_pump_ = std::move(outer);
        self.blocked_ms_ = 0;  // the wait ends with the messages handled
      }
    } restore{*this, was_off, outer_pump};
    ++off_thread_runs_;
    try {
      work();
    } catch (const Abandoned&) {
      return false;
    }
    return true;
  }
  bool OffUiThread() const { return off_ui_thread_; }

  // The clock's elapsed time.
  std::uint64_t NowMs() const { return clock_->ElapsedMs(); }
  std::uint64_t LongestBlockMs() const { return longest_block_ms_; }
  int OffThreadRuns() const { return off_thread_runs_; }

 private:
  SimulatedUiThread() { Restart(nullptr); }
  SimulatedUiThread(const SimulatedUiThread&) = delete;
  SimulatedUiThread& operator=(const SimulatedUiThread&) = delete;

  void Restart(const ::testing::TestInfo* test) {
    test_ = test;
    blocked_ms_ = longest_block_ms_ = 0;
    reported_ = off_ui_thread_ = false;
    waiting_pump_ = nullptr;
    off_thread_runs_ = 0;
    own_clock_ = std::make_unique<SimulatedClock>();
    Attach(*own_clock_);
  }

  // The watch: time spent on the UI thread blocks it; time spent beside it
  // lets the waiting UI thread pump.
  void Passed(std::uint64_t milliseconds, const char* what) {
    if (off_ui_thread_) {
      if (waiting_pump_) waiting_pump_();
      return;
    }
    blocked_ms_ += milliseconds;
    if (blocked_ms_ > longest_block_ms_) longest_block_ms_ = blocked_ms_;
    if (blocked_ms_ > kHangMs && !reported_) {
      reported_ = true;
      ADD_FAILURE() << "the UI thread went " << blocked_ms_
                    << " ms of simulated time without handling its messages (last: " << what
                    << ")";
    }
  }

  const ::testing::TestInfo* test_ = nullptr;
  std::unique_ptr<SimulatedClock> own_clock_;
  SimulatedClock* clock_ = nullptr;
  std::uint64_t blocked_ms_ = 0;
  std::uint64_t longest_block_ms_ = 0;
  bool reported_ = false;
  bool off_ui_thread_ = false;
  std::function<void()> waiting_pump_;
  int off_thread_runs_ = 0;
};

}  // namespace quillset
