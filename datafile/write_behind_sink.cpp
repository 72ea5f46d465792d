#include "datafile/write_behind_sink.h"

#include <system_error>
#include <utility>

namespace quillset {

WriteBehindSink::WriteBehindSink(PacketSink& target) : target_(target) {
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: Write writes in turn.
  }
}

WriteBehindSink::~WriteBehindSink() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    changed_.notify_all();
  }
  thread_.join();
}

Status WriteBehindSink::WriteHere(const std::uint8_t* bytes, std::size_t length) {
  try {
    if (Status s = target_.Write(bytes, length)) return s;
    return target_.Flush();
  } catch (...) {
    return kStatusWriteFailed;
  }
}

Status WriteBehindSink::Write(const std::uint8_t* bytes, std::size_t length) {
  if (!thread_.joinable()) {
    if (!status_) status_ = WriteHere(bytes, length);
    return status_;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !handed_over_; });
  if (status_) return status_;
  // The thread is idle until the next hand-over: the copy needs no lock.
  lock.unlock();
  copy_.assign(bytes, bytes + length);
  lock.lock();
  handed_over_ = true;
  changed_.notify_all();
  return kStatusOk;
}

Status WriteBehindSink::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !handed_over_; });
  return status_;
}

void WriteBehindSink::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return handed_over_ || ending_; });
    if (ending_) return;
    lock.unlock();
    const Status s = WriteHere(copy_.data(), copy_.size());
    lock.lock();
    status_ = s;
    handed_over_ = false;
    changed_.notify_all();
  }
}

}  // namespace quillset
