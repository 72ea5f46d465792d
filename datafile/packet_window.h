// The part of a packet in memory while a table is built from it: the whole
// packet when it is held, or, read from a source a piece at a time, the bytes
// from the last ones consumed on, as far as they have been read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/packet_codec.h"
#include "store/status.h"

namespace quillset {

class PacketWindow {
 public:
  PacketWindow(const std::uint8_t* packet, std::size_t size)
      : data_(packet), size_(size), total_(size) {}
  PacketWindow(PacketSource& source, std::size_t piece_bytes)
      : source_(&source), piece_bytes_(piece_bytes > 0 ? piece_bytes : 1), total_(source.Size()) {}

  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }
  std::uint64_t Total() const { return total_; }
  bool HoldsTheRest() const { return start_ + size_ == total_; }
  bool ReadsFromSource() const { return source_ != nullptr; }
  std::size_t PieceBytes() const { return piece_bytes_; }

  // Drops the first `consumed` bytes and reads on until at least `wanted`
  // bytes are held (a piece at least), or the rest of the packet. A held
  // packet does not move. A read one moves within its buffer, or with
  // `keep_old_bytes` into the other of its two buffers, so that whatever
  // still points into the bytes held before the call stays valid until the
  // next call that moves into their buffer. kStatusReadFailed when the
  // source fails.
  Status Advance(std::size_t consumed, std::uint64_t wanted, bool keep_old_bytes = false);
  // Reads on until twice the bytes now held are (or the rest), in place.
  Status Grow() { return Advance(0, 2 * std::uint64_t{size_}); }
  // Which of the two buffers the bytes are in (0 for a held packet), and the
  // other one, which the next Advance that keeps the old bytes fills.
  int Buffer() const { return current_; }
  int OtherBuffer() const { return 1 - current_; }

 private:
  PacketSource* source_ = nullptr;
  std::size_t piece_bytes_ = 0;
  std::vector<std::uint8_t> buffers_[2];
  int current_ = 0;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::uint64_t start_ = 0;
  std::uint64_t total_ = 0;
};

}  // namespace quillset
