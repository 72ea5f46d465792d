// Batches handed, in order, from a thread that makes them to one that uses
// them, through a few slots: the data file's load reads rows on one thread
// while the table places them on the other.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace quillset {

template <typename Batch, std::uint64_t kSlots = 4>
class BatchHandover {
 public:
  // Making side: the slot for batch `k` (0, 1, ...) once the batch it held
  // before is used; null when stopped.
  Batch* SlotToFill(std::uint64_t k) {
    std::unique_lock<std::mutex> lock(mutex_);
    MakingWaits(lock, [&] { return stopped_ || used_ + kSlots > k; });
    return stopped_ ? nullptr : &slots_[k % kSlots];
  }
  void Filled(std::uint64_t k) {
    std::lock_guard<std::mutex> lock(mutex_);
    filled_ = k + 1;
    if (using_waits_) using_side_.notify_one();
  }
  // Waits until the first `count` batches are used; false when stopped.
  bool WaitUntilUsed(std::uint64_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    MakingWaits(lock, [&] { return stopped_ || used_ >= count; });
    return !stopped_;
  }

  // Using side: batch `k` once it is filled.
  Batch& SlotToUse(std::uint64_t k) {
    std::unique_lock<std::mutex> lock(mutex_);
    using_waits_ = true;
    using_side_.wait(lock, [&] { return filled_ > k; });
    using_waits_ = false;
    return slots_[k % kSlots];
  }
  void Used(std::uint64_t k) {
    std::lock_guard<std::mutex> lock(mutex_);
    used_ = k + 1;
    // Waking a thread costs the using side a call into the system: only
    // when the making side waits.
    if (making_waits_) making_side_.notify_one();
  }

  // The making side stops at its next wait.
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    making_side_.notify_one();
  }

 private:
  template <typename Ready>
  void MakingWaits(std::unique_lock<std::mutex>& lock, Ready ready) {
    making_waits_ = true;
    making_side_.wait(lock, ready);
    making_waits_ = false;
  }

  std::mutex mutex_;
  std::condition_variable making_side_;
  std::condition_variable using_side_;
  bool making_waits_ = false;
  bool using_waits_ = false;
  Batch slots_[kSlots];
  std::uint64_t filled_ = 0;
  std::uint64_t used_ = 0;
  bool stopped_ = false;
};

// Runs `make` on a thread of its own for as long as the object lives; its
// end stops the handover and waits for the thread, however the using side
// ends (a failure, an exception). `make` must hand over a last batch.
class MakingThread {
 public:
  template <typename Handover, typename Make>
  MakingThread(Handover& handover, Make make) : stop_([&handover] { handover.Stop(); }) {
    try {
      thread_ = std::thread(std::move(make));
    } catch (const std::system_error&) {
      // No thread to be had: Started() tells the caller to work in turn.
    }
  }
  ~MakingThread() {
    if (!thread_.joinable()) return;
    stop_();
    thread_.join();
  }
  MakingThread(const MakingThread&) = delete;
  MakingThread& operator=(const MakingThread&) = delete;

  bool Started() const { return thread_.joinable(); }

 private:
  std::function<void()> stop_;
  std::thread thread_;
};

}  // namespace quillset
