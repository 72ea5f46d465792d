// A packet sink that hands its bytes on to another sink on a thread of its
// own, so that the data file's save writes (and pushes to the disk) one part
// of the packet while the next part is made. It holds a copy of one write at
// a time: with a packet writer of half the save's buffer, the save keeps
// within that buffer.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "datafile/packet_writer.h"

namespace quillset {

class WriteBehindSink : public PacketSink {
 public:
  // Each write to `target` is followed by its Flush; a failing one fails
  // the write.
  explicit WriteBehindSink(PacketSink& target);
  // Waits for the thread; bytes handed over and not yet written are dropped
  // (Finish first to have them all written).
  ~WriteBehindSink() override;
  WriteBehindSink(const WriteBehindSink&) = delete;
  WriteBehindSink& operator=(const WriteBehindSink&) = delete;

  // Waits until the write before is done, then hands these bytes over.
  // kStatusWriteFailed once a write has failed: nothing more is written.
  Status Write(const std::uint8_t* bytes, std::size_t length) override;
  // Waits until every byte handed over is written: the status of them all.
  Status Finish();

 private:
  void Run();
  // Writes `length` bytes of `bytes` to the target and flushes it; the status.
  Status WriteHere(const std::uint8_t* bytes, std::size_t length);

  PacketSink& target_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> copy_;
  bool handed_over_ = false;  // copy_ waits for the thread, or is being written
  bool ending_ = false;
  Status status_ = kStatusOk;
  std::thread thread_;  // not running when none could be started: writes go in turn
};

}  // namespace quillset
