#include "store/row_arena.h"

#include <algorithm>
#include <cstring>

namespace quillset {
namespace {

// A packed record is: varint payload length, then per column a varint header
// (length << 3 | shared << 2 | status, status 3 = the status byte follows),
// then the value's bytes, or for a shared value the varint location of the
// earlier bytes.
constexpr std::uint64_t kSharedBit = 4;
constexpr std::uint8_t kStatusEscape = 3;

void PutVarint(std::vector<std::uint8_t>& out, std::uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(value));
}

std::uint64_t GetVarint(const std::uint8_t*& p) {
  std::uint64_t value = 0;
  for (unsigned shift = 0;; shift += 7) {
    const std::uint8_t byte = *p++;
    value |= std::uint64_t(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return value;
  }
}

std::uint32_t HashBytes(const std::uint8_t* bytes, std::size_t length) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < length; ++i) {
    hash ^= bytes[i];
    hash *= 16777619u;
  }
  return hash;
}

bool IsTextKind(ColumnKind kind) {
  return kind == ColumnKind::kString || kind == ColumnKind::kWideString ||
         kind == ColumnKind::kVarBytes || kind == ColumnKind::kFixedBytes;
}

}  // namespace

RowArena::RowArena(const RecordLayout& layout, const std::vector<ColumnDescription>& columns)
    : layout_(layout), cache_(kCacheSize) {
  for (const ColumnDescription& column : columns)
    shareable_.push_back(IsTextKind(column.kind) && column.elements == 0);
}

void RowArena::WriteBytes(const std::uint8_t* bytes, std::size_t length) {
  while (length > 0) {
    const std::size_t chunk = static_cast<std::size_t>(end_ >> kChunkShift);
    if (chunk == chunks_.size()) chunks_.emplace_back(new std::uint8_t[kChunkSize]);
    const std::size_t offset = static_cast<std::size_t>(end_ & (kChunkSize - 1));
    const std::size_t n = std::min(length, kChunkSize - offset);
    std::memcpy(chunks_[chunk].get() + offset, bytes, n);
    bytes += n;
    length -= n;
    end_ += n;
  }
}

void RowArena::CopyOut(std::uint64_t location, std::uint8_t* out, std::size_t length) const {
  while (length > 0) {
    const std::size_t chunk = static_cast<std::size_t>(location >> kChunkShift);
    const std::size_t offset = static_cast<std::size_t>(location & (kChunkSize - 1));
    const std::size_t n = std::min(length, kChunkSize - offset);
    std::memcpy(out, chunks_[chunk].get() + offset, n);
    out += n;
    length -= n;
    location += n;
  }
}

bool RowArena::SameBytes(std::uint64_t location, const std::uint8_t* bytes,
                         std::size_t length) const {
  while (length > 0) {
    const std::size_t chunk = static_cast<std::size_t>(location >> kChunkShift);
    const std::size_t offset = static_cast<std::size_t>(location & (kChunkSize - 1));
    const std::size_t n = std::min(length, kChunkSize - offset);
    if (std::memcmp(chunks_[chunk].get() + offset, bytes, n) != 0) return false;
    bytes += n;
    length -= n;
    location += n;
  }
  return true;
}

std::uint32_t RowArena::Append(const std::uint8_t* image) {
  struct NewValue {
    std::size_t payload_offset;
    std::uint32_t length;
    std::uint32_t hash;
  };
  NewValue fresh[8];  // values to enter into the cache; a few per row at most
  std::size_t fresh_count = 0;

  scratch_.clear();
  for (std::size_t c = 0; c < layout_.ColumnCount(); ++c) {
    const std::uint8_t* area = image + layout_.AreaOffset(c);
    std::size_t length = layout_.AreaSize(c);
    while (length > 0 && area[length - 1] == 0) --length;
    const std::uint8_t status = layout_.FieldStatus(image, c);
    const std::uint64_t status_bits = status < kStatusEscape ? status : kStatusEscape;

    bool shared = false;
    std::uint64_t location = 0;
    std::uint32_t hash = 0;
    const bool shareable = shareable_[c] && length >= kMinSharedLength;
    if (shareable) {
      hash = HashBytes(area, length);
      const CacheEntry& entry = cache_[hash & (kCacheSize - 1)];
      if (entry.hash == hash && entry.length == length &&
          SameBytes(entry.location, area, length)) {
        shared = true;
        location = entry.location;
      }
    }
    PutVarint(scratch_, (std::uint64_t(length) << 3) | (shared ? kSharedBit : 0) | status_bits);
    if (status_bits == kStatusEscape) scratch_.push_back(status);
    if (shared) {
      PutVarint(scratch_, location);
    } else {
      if (shareable && fresh_count < 8)
        fresh[fresh_count++] = {scratch_.size(), static_cast<std::uint32_t>(length), hash};
      scratch_.insert(scratch_.end(), area, area + length);
    }
  }

  std::vector<std::uint8_t> prefix;
  PutVarint(prefix, scratch_.size());
  const std::uint64_t start = end_;
  WriteBytes(prefix.data(), prefix.size());
  const std::uint64_t payload_start = end_;
  WriteBytes(scratch_.data(), scratch_.size());
  for (std::size_t i = 0; i < fresh_count; ++i) {
    CacheEntry& entry = cache_[fresh[i].hash & (kCacheSize - 1)];
    entry.location = payload_start + fresh[i].payload_offset;
    entry.length = fresh[i].length;
    entry.hash = fresh[i].hash;
  }
  starts_.push_back(start);
  return static_cast<std::uint32_t>(starts_.size() - 1);
}

void RowArena::Unpack(const std::uint8_t* packed, std::size_t length,
                      std::uint8_t* image) const {
  (void)length;
  std::memset(image, 0, layout_.ImageSize());
  const std::uint8_t* p = packed;
  for (std::size_t c = 0; c < layout_.ColumnCount(); ++c) {
    const std::uint64_t header = GetVarint(p);
    std::uint8_t status = static_cast<std::uint8_t>(header & 3);
    if (status == kStatusEscape) status = *p++;
    image[layout_.StatusOffset(c)] = status;
    const std::size_t value_length = static_cast<std::size_t>(header >> 3);
    std::uint8_t* area = image + layout_.AreaOffset(c);
    if (header & kSharedBit) {
      CopyOut(GetVarint(p), area, value_length);
    } else {
      std::memcpy(area, p, value_length);
      p += value_length;
    }
  }
}

void RowArena::Read(std::uint32_t index, std::uint8_t* image) const {
  std::uint64_t location = starts_[index];
  // The length prefix may straddle two chunks: read it byte by byte.
  std::uint64_t payload_length = 0;
  for (unsigned shift = 0;; shift += 7) {
    std::uint8_t byte;
    CopyOut(location++, &byte, 1);
    payload_length |= std::uint64_t(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) break;
  }
  const std::size_t chunk = static_cast<std::size_t>(location >> kChunkShift);
  const std::size_t offset = static_cast<std::size_t>(location & (kChunkSize - 1));
  if (offset + payload_length <= kChunkSize) {
    Unpack(chunks_[chunk].get() + offset, static_cast<std::size_t>(payload_length), image);
    return;
  }
  std::vector<std::uint8_t> packed(static_cast<std::size_t>(payload_length));
  CopyOut(location, packed.data(), packed.size());
  Unpack(packed.data(), packed.size(), image);
}

bool RowArena::Equals(std::uint32_t index, const std::uint8_t* image) const {
  std::vector<std::uint8_t> stored(layout_.ImageSize());
  Read(index, stored.data());
  return std::memcmp(stored.data(), image, stored.size()) == 0;
}

std::size_t RowArena::MemoryBytes() const {
  return chunks_.size() * kChunkSize + chunks_.capacity() * sizeof(void*) +
         starts_.capacity() * sizeof(std::uint64_t) + cache_.size() * sizeof(CacheEntry) +
         scratch_.capacity();
}

}  // namespace quillset
