#include "store/row_arena.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "store/short_bytes.h"

namespace quillset {
namespace {

// A packed record is: varint payload length, then per column a varint header
// (length << 3 | shared << 2 | status, status 3 = the status byte follows),
// then the value's bytes, or for a shared value the varint location of the
// earlier bytes.
constexpr std::uint64_t kSharedBit = 4;
constexpr std::uint8_t kStatusEscape = 3;

constexpr std::size_t kMaxVarint = 10;

// Writes `value` at `out`; returns the byte after it.
std::uint8_t* PutVarint(std::uint8_t* out, std::uint64_t value) {
  while (value >= 0x80) {
    *out++ = static_cast<std::uint8_t>(value | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<std::uint8_t>(value);
  return out;
}

std::uint64_t GetVarint(const std::uint8_t*& p) {
  std::uint64_t value = 0;
  for (unsigned shift = 0;; shift += 7) {
    const std::uint8_t byte = *p++;
    value |= std::uint64_t(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return value;
  }
}

std::size_t VarintLength(std::uint64_t value) {
  std::size_t length = 1;
  for (; value >= 0x80; value >>= 7) ++length;
  return length;
}

// The length without trailing zero bytes, skipping eight at a time: the areas
// of path columns are mostly zeros.
std::size_t TrimmedLength(const std::uint8_t* bytes, std::size_t length) {
  while (length >= 8 && LoadWord64(bytes + length - 8) == 0) length -= 8;
  while (length > 0 && bytes[length - 1] == 0) --length;
  return length;
}

// A hash of a value of at least 8 bytes from its length and three of its
// words: the first, one from the middle and the last, where paths of the same
// folder differ. A weak hash costs a cache miss now and then (a value stored
// again), never a wrong row: every hit is compared byte for byte.
std::uint32_t HashBytes(const std::uint8_t* bytes, std::size_t length) {
  std::uint64_t hash = (LoadWord64(bytes) * 0x9E3779B97F4A7C15ull) ^
                       (LoadWord64(bytes + (length - 8) / 2) * 0xC2B2AE3D27D4EB4Full) ^
                       (LoadWord64(bytes + length - 8) * 0x165667B19E3779F9ull) ^ length;
  hash ^= hash >> 32;
  hash *= 0xFF51AFD7ED558CCDull;
  hash ^= hash >> 29;
  return static_cast<std::uint32_t>(hash);
}

bool IsTextKind(ColumnKind kind) {
  return kind == ColumnKind::kString || kind == ColumnKind::kWideString ||
         kind == ColumnKind::kVarBytes || kind == ColumnKind::kFixedBytes;
}

}  // namespace

RowArena::RowArena(const RecordLayout& layout, const std::vector<ColumnDescription>& columns)
    : layout_(layout), cache_(kCacheSize), last_(columns.size()) {
  for (const ColumnDescription& column : columns)
    shareable_.push_back(IsTextKind(column.kind) && column.elements == 0);
  record_bound_ = kMaxVarint + layout_.ColumnCount() * (2 * kMaxVarint + 1);
  for (std::size_t c = 0; c < layout_.ColumnCount(); ++c) record_bound_ += layout_.AreaSize(c);
}

void RowArena::WriteBytes(const std::uint8_t* bytes, std::size_t length) {
  const std::size_t first_offset = static_cast<std::size_t>(end_ & (kChunkSize - 1));
  if (first_offset != 0 && first_offset + length <= kChunkSize) {  // the usual case
    std::memcpy(chunks_.back().get() + first_offset, bytes, length);
    end_ += length;
    return;
  }
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

inline bool RowArena::Holds(const CacheEntry& entry, const std::uint8_t* bytes,
                            std::size_t length) const {
  if (entry.length != length) return false;
  return entry.stored ? EqualBytes(entry.stored, bytes, length)
                      : SameBytes(entry.location, bytes, length);
}

void DescribeImage(const RecordLayout& layout, const std::uint8_t* image, FieldBytes* values) {
  for (std::size_t c = 0; c < layout.ColumnCount(); ++c) {
    values[c].bytes = image + layout.AreaOffset(c);
    values[c].length = layout.AreaSize(c);
    values[c].status = layout.FieldStatus(image, c);
  }
}

std::uint32_t RowArena::Append(const std::uint8_t* image) {
  columns_.resize(layout_.ColumnCount());
  DescribeImage(layout_, image, columns_.data());
  return AppendValues(columns_.data());
}

std::uint32_t RowArena::AppendValues(const FieldBytes* values) {
  struct NewValue {
    std::size_t column;
    std::size_t payload_offset;
    std::uint32_t length;
    std::uint32_t hash;
  };
  NewValue fresh[8];  // values to enter into the cache; a few per row at most
  std::size_t fresh_count = 0;

  // Room for the length prefix in front of the payload, then per column a
  // header, a status byte and the value or its location. Every length is
  // within its area, so record_bound_ holds; the exact bound is summed only
  // when the chunk has less room than that.
  const std::size_t count = layout_.ColumnCount();
  std::size_t bound = record_bound_;
  if (bound > kChunkSize - static_cast<std::size_t>(end_ & (kChunkSize - 1))) {
    bound = kMaxVarint + count * (2 * kMaxVarint + 1);
    for (std::size_t c = 0; c < count; ++c) bound += values[c].length;
  }
  // The record is packed straight into the last chunk when it has room for
  // the bound, else in `scratch_` and copied (it may then span two chunks).
  const std::size_t offset = static_cast<std::size_t>(end_ & (kChunkSize - 1));
  std::uint8_t* direct = nullptr;
  if (bound <= kChunkSize - offset) {
    if (offset == 0 && static_cast<std::size_t>(end_ >> kChunkShift) == chunks_.size()) {
      std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[kChunkSize]);
      chunks_.push_back(std::move(chunk));
    }
    direct = chunks_.back().get() + offset;
  } else if (scratch_.size() < bound) {
    scratch_.resize(bound);
  }
  // Locals: the byte stores below would otherwise make the compiler reload
  // every member after each one. In the chunk the payload starts behind a
  // one-byte length prefix, the usual one; a longer prefix moves it.
  std::uint8_t* const payload = direct ? direct + 1 : scratch_.data() + kMaxVarint;
  std::uint8_t* p = payload;
  const std::uint8_t* const shareable_columns = shareable_.data();
  CacheEntry* const last = last_.data();
  const CacheEntry* const cache = cache_.data();

  for (std::size_t c = 0; c < count; ++c) {
    const std::uint8_t* const bytes = values[c].bytes;
    const std::size_t length = values[c].length ? TrimmedLength(bytes, values[c].length) : 0;
    const std::uint8_t status = values[c].status;
    const std::uint64_t status_bits = status < kStatusEscape ? status : kStatusEscape;

    bool shared = false;
    std::uint64_t location = 0;
    std::uint32_t hash = 0;
    const bool shareable = shareable_columns[c] && length >= kMinSharedLength;
    if (shareable) {
      // First the column's value of the row before: no hashing.
      if (Holds(last[c], bytes, length)) {
        shared = true;
        location = last[c].location;
      } else {
        hash = HashBytes(bytes, length);
        const CacheEntry& entry = cache[hash & (kCacheSize - 1)];
        if (entry.hash == hash && Holds(entry, bytes, length)) {
          shared = true;
          location = entry.location;
          last[c] = entry;
        }
      }
    }
    p = PutVarint(p, (std::uint64_t(length) << 3) | (shared ? kSharedBit : 0) | status_bits);
    if (status_bits == kStatusEscape) *p++ = status;
    if (shared) {
      p = PutVarint(p, location);
    } else if (length > 0) {
      if (shareable && fresh_count < 8)
        fresh[fresh_count++] = {c, static_cast<std::size_t>(p - payload),
                                static_cast<std::uint32_t>(length), hash};
      CopyShortBytes(p, bytes, length);
      p += length;
    }
  }

  // The length prefix goes right in front of the payload: one write.
  const std::size_t payload_length = static_cast<std::size_t>(p - payload);
  const std::size_t prefix_length = VarintLength(payload_length);
  const std::uint64_t start = end_;
  if (direct) {
    // The bound counted kMaxVarint bytes for the prefix: the moved payload fits.
    if (prefix_length > 1) std::memmove(direct + prefix_length, payload, payload_length);
    PutVarint(direct, payload_length);
    end_ += prefix_length + payload_length;
  } else {
    std::uint8_t* const record = payload - prefix_length;
    PutVarint(record, payload_length);
    WriteBytes(record, prefix_length + payload_length);
  }
  const std::uint64_t payload_start = start + prefix_length;
  for (std::size_t i = 0; i < fresh_count; ++i) {
    CacheEntry& entry = cache_[fresh[i].hash & (kCacheSize - 1)];
    entry.location = payload_start + fresh[i].payload_offset;
    entry.length = fresh[i].length;
    entry.hash = fresh[i].hash;
    entry.stored = StoredBytes(entry.location, entry.length);
    last_[fresh[i].column] = entry;
  }
  starts_.push_back(start);
  return static_cast<std::uint32_t>(starts_.size() - 1);
}

void RowArena::Reserve(std::size_t images) { starts_.reserve(starts_.size() + images); }

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

void RowArena::ReadValues(std::uint32_t index, FieldBytes* values,
                          std::vector<std::uint8_t>& scratch) const {
  std::uint64_t location = starts_[index];
  std::uint64_t payload_length = 0;
  const std::size_t start_offset = static_cast<std::size_t>(location & (kChunkSize - 1));
  if (start_offset + kMaxVarint <= kChunkSize) {  // the usual case: the prefix lies in one chunk
    const std::uint8_t* start = chunks_[static_cast<std::size_t>(location >> kChunkShift)].get() + start_offset;
    const std::uint8_t* after = start;
    payload_length = GetVarint(after);
    location += static_cast<std::uint64_t>(after - start);
  } else {
    for (unsigned shift = 0;; shift += 7) {
      std::uint8_t byte;
      CopyOut(location++, &byte, 1);
      payload_length |= std::uint64_t(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) break;
    }
  }
  // Room for every area (values shared across a chunk boundary are copied to
  // their area's offset) and, behind them, a record that spans two chunks.
  // Sized before any pointer into it is handed out.
  const std::size_t image_size = layout_.ImageSize();
  const std::size_t chunk = static_cast<std::size_t>(location >> kChunkShift);
  const std::size_t offset = static_cast<std::size_t>(location & (kChunkSize - 1));
  const bool in_one_chunk = offset + payload_length <= kChunkSize;
  const std::size_t needed = image_size + (in_one_chunk ? 0 : static_cast<std::size_t>(payload_length));
  if (scratch.size() < needed) scratch.resize(needed);
  const std::uint8_t* p;
  if (in_one_chunk) {
    p = chunks_[chunk].get() + offset;
  } else {
    CopyOut(location, scratch.data() + image_size, static_cast<std::size_t>(payload_length));
    p = scratch.data() + image_size;
  }
  const std::size_t count = layout_.ColumnCount();
  for (std::size_t c = 0; c < count; ++c) {
    const std::uint64_t header = GetVarint(p);
    std::uint8_t status = static_cast<std::uint8_t>(header & 3);
    if (status == kStatusEscape) status = *p++;
    const std::size_t value_length = static_cast<std::size_t>(header >> 3);
    values[c].status = status;
    values[c].length = static_cast<std::uint32_t>(value_length);
    if (header & kSharedBit) {
      const std::uint64_t shared = GetVarint(p);
      const std::size_t shared_offset = static_cast<std::size_t>(shared & (kChunkSize - 1));
      if (shared_offset + value_length <= kChunkSize) {
        values[c].bytes = chunks_[static_cast<std::size_t>(shared >> kChunkShift)].get() + shared_offset;
      } else {
        std::uint8_t* area = scratch.data() + layout_.AreaOffset(c);
        CopyOut(shared, area, value_length);
        values[c].bytes = area;
      }
    } else {
      values[c].bytes = p;
      p += value_length;
    }
  }
}

bool RowArena::Equals(std::uint32_t index, const std::uint8_t* image) const {
  std::vector<std::uint8_t> stored(layout_.ImageSize());
  Read(index, stored.data());
  return std::memcmp(stored.data(), image, stored.size()) == 0;
}

std::size_t RowArena::MemoryBytes() const {
  return chunks_.size() * kChunkSize + chunks_.capacity() * sizeof(void*) +
         starts_.capacity() * sizeof(std::uint64_t) + (cache_.size() + last_.size()) * sizeof(CacheEntry) +
         scratch_.capacity() + columns_.capacity() * sizeof(FieldBytes);
}

}  // namespace quillset
