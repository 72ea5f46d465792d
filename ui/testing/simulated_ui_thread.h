// Simulated time on the user-interface thread, with the hang watch every UI
// test gets: Windows calls a window that goes 1 s without handling its
// messages "応答なし", and a WM_QUERYENDSESSION sent then gets no answer. So
// any stretch of simulated time over 1 s that the UI thread spends blocked
// (a Sleep, a slow file call charged by the OS double) without a pump
// (FakeFormView::KeepResponsive) fails the test running at that moment.
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
#include <string>
#include <utility>

namespace quillset {

class SimulatedUiThread {
 public:
  // What Windows tolerates before it calls a window hung.
  static constexpr std::uint64_t kHangMs = 1000;

  static SimulatedUiThread& Current() {
    static SimulatedUiThread thread;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (thread.test_ != test) thread = SimulatedUiThread(test);
    return thread;
  }

  // `milliseconds` of simulated time pass on the thread making the call.
  void Pass(std::uint64_t milliseconds, const char* what = "a blocking call") {
    now_ms_ += milliseconds;
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
  // The UI thread handled its messages.
  void Pumped() { blocked_ms_ = 0; }
  // The handler returned to the message loop (tests that run two slow
  // handlers in a row say so between them).
  void Idle() { blocked_ms_ = 0; }

  // Runs `work` as on a worker thread while the UI thread waits and calls
  // `pump` whenever simulated time passes.
  void RunOffUiThread(const std::function<void()>& work, std::function<void()> pump) {
    const bool was_off = off_ui_thread_;
    std::function<void()> outer_pump = std::move(waiting_pump_);
    off_ui_thread_ = true;
    waiting_pump_ = [this, &pump] {
      // The pump runs on the UI thread: its own time counts there.
      off_ui_thread_ = false;
      blocked_ms_ = 0;
      if (pump) pump();
      off_ui_thread_ = true;
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
    work();
  }
  bool OffUiThread() const { return off_ui_thread_; }

  std::uint64_t NowMs() const { return now_ms_; }
  std::uint64_t LongestBlockMs() const { return longest_block_ms_; }
  int OffThreadRuns() const { return off_thread_runs_; }

 private:
  explicit SimulatedUiThread(const ::testing::TestInfo* test = nullptr) : test_(test) {}

  const ::testing::TestInfo* test_ = nullptr;
  std::uint64_t now_ms_ = 0;
  std::uint64_t blocked_ms_ = 0;
  std::uint64_t longest_block_ms_ = 0;
  bool reported_ = false;
  bool off_ui_thread_ = false;
  std::function<void()> waiting_pump_;
  int off_thread_runs_ = 0;
};

}  // namespace quillset
