// Compact storage of row images for the record engine. Images are appended in
// slot order and never change afterwards, so they are kept packed, one after
// another, in fixed-size chunks that never move:
//   - each data area without its trailing zero bytes, behind a small header
//     that also carries the field's status byte;
//   - a text value (string, wide string, bytes) of at least 8 bytes that the
//     arena stored before is written as a reference to the earlier bytes,
//     found through the column's value of the row before or a small
//     fixed-size cache of recent values. Every backup run stores new
//     versions of the same paths and result texts, so most history slots
//     hold only references and the time stamp.
// Every operation costs time in the size of one image, whatever the number of
// images stored. A row can also be appended column by column (AppendValues),
// which packs the values where they lie without building an image first: the
// data file's loading path.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "store/record_layout.h"

namespace quillset {

// One column of a row for RowArena::AppendValues: the field-status byte and
// the start of the column's data area; the rest of the area is zero. `length`
// is at most the area's size; `bytes` may be null when `length` is 0.
struct FieldBytes {
  const std::uint8_t* bytes = nullptr;
  std::uint32_t length = 0;
  std::uint8_t status = 0;
};

// `image` column by column as AppendValues takes it: each field's status and
// its whole data area. `values` has room for layout.ColumnCount() entries.
void DescribeImage(const RecordLayout& layout, const std::uint8_t* image, FieldBytes* values);

class RowArena {
 public:
  RowArena(const RecordLayout& layout, const std::vector<ColumnDescription>& columns);

  // Appends an image of layout.ImageSize() bytes; returns its 0-based index.
  std::uint32_t Append(const std::uint8_t* image);
  // Appends the image the columns describe (one FieldBytes per column, each
  // within its area: REQUIRES length <= layout.AreaSize(c)); returns its index.
  // Stores exactly what Append stores for the equal image.
  std::uint32_t AppendValues(const FieldBytes* values);
  // Room for `images` more indexes without growing (a hint; may throw bad_alloc).
  void Reserve(std::size_t images);
  // Unpacks image `index` into `image` (layout.ImageSize() bytes).
  void Read(std::uint32_t index, std::uint8_t* image) const;
  // Image `index` column by column without unpacking it: per column its
  // field-status byte and its data area's bytes without the trailing zero
  // bytes (the rest of the area is zero), in place in the arena or, where a
  // value lies across two chunks, copied into `scratch`. The pointers stay
  // valid until the next call with the same `scratch` or the next Append.
  void ReadValues(std::uint32_t index, FieldBytes* values, std::vector<std::uint8_t>& scratch) const;
  // True when image `index` equals `image` over every byte.
  bool Equals(std::uint32_t index, const std::uint8_t* image) const;
  std::uint32_t Count() const { return static_cast<std::uint32_t>(starts_.size()); }
  // Bytes held (chunks, index, cache).
  std::size_t MemoryBytes() const;

 private:
  static constexpr unsigned kChunkShift = 16;  // 64 KiB chunks
  static constexpr std::size_t kChunkSize = std::size_t(1) << kChunkShift;
  static constexpr std::size_t kCacheSize = 4096;
  static constexpr std::size_t kMinSharedLength = 8;

  struct CacheEntry {
    std::uint64_t location = 0;
    std::uint32_t length = 0;
    std::uint32_t hash = 0;
    // StoredBytes(location, length), kept to spare the lookup on every match.
    const std::uint8_t* stored = nullptr;
  };

  void WriteBytes(const std::uint8_t* bytes, std::size_t length);
  void CopyOut(std::uint64_t location, std::uint8_t* out, std::size_t length) const;
  bool SameBytes(std::uint64_t location, const std::uint8_t* bytes, std::size_t length) const;
  // The stored bytes at `location` when all `length` of them lie in one chunk
  // and there are at least 8 (EqualBytes compares them); null otherwise.
  const std::uint8_t* StoredBytes(std::uint64_t location, std::size_t length) const {
    const std::size_t offset = static_cast<std::size_t>(location & (kChunkSize - 1));
    if (length < 8 || offset + length > kChunkSize || (location >> kChunkShift) >= chunks_.size())
      return nullptr;
    return chunks_[static_cast<std::size_t>(location >> kChunkShift)].get() + offset;
  }
  // True when `entry` describes `length` stored bytes equal to `bytes`.
  bool Holds(const CacheEntry& entry, const std::uint8_t* bytes, std::size_t length) const;
  void Unpack(const std::uint8_t* packed, std::size_t length, std::uint8_t* image) const;

  RecordLayout layout_;
  std::vector<std::uint8_t> shareable_;  // per column, 1 for a text value
  std::vector<std::unique_ptr<std::uint8_t[]>> chunks_;
  std::uint64_t end_ = 0;        // global offset of the next free byte
  std::vector<std::uint64_t> starts_;
  std::vector<CacheEntry> cache_;
  // Per column, where its last stored value lies: most rows repeat the
  // folder and result of the row before, found here without hashing.
  std::vector<CacheEntry> last_;
  std::size_t record_bound_ = 0;       // bytes a packed record takes at most
  std::vector<std::uint8_t> scratch_;  // the record being packed
  std::vector<FieldBytes> columns_;    // Append's view of an image
};

}  // namespace quillset
