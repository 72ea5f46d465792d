#include "datafile/packet_window.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quillset {

Status PacketWindow::Advance(std::size_t consumed, std::uint64_t wanted, bool keep_old_bytes) {
  if (source_ == nullptr) return kStatusOk;  // held whole
  const std::size_t kept = size_ - consumed;
  const std::uint64_t rest = total_ - (start_ + consumed);  // the kept bytes and the unread
  std::uint64_t target = wanted > piece_bytes_ ? wanted : piece_bytes_;
  if (target > rest) target = rest;
  if (target > std::numeric_limits<std::size_t>::max()) return kStatusOutOfMemory;
  // The kept bytes may be more than a piece: they all stay.
  const std::size_t room = std::max(static_cast<std::size_t>(target), kept);

  std::vector<std::uint8_t>& from = buffers_[current_];
  if (keep_old_bytes) {
    std::vector<std::uint8_t>& to = buffers_[1 - current_];
    // The columns and table properties may have made this buffer large: it is
    // let go rather than kept for the rows' pieces.
    if (to.size() > 4 * room && to.size() > 4 * piece_bytes_) std::vector<std::uint8_t>().swap(to);
    if (to.size() < room) to.resize(room);
    if (kept > 0) std::memcpy(to.data(), from.data() + consumed, kept);
    current_ = 1 - current_;
  } else {
    if (consumed > 0 && kept > 0) std::memmove(from.data(), from.data() + consumed, kept);
    if (from.size() < room) from.resize(room);
  }
  std::vector<std::uint8_t>& buffer = buffers_[current_];
  size_ = kept;
  start_ += consumed;
  if (size_ < room) {
    if (!source_->Read(buffer.data() + size_, room - size_)) return kStatusReadFailed;
    size_ = room;
  }
  data_ = buffer.data();
  return kStatusOk;
}

}  // namespace quillset
