// Compact storage of row images for the record engine. Images are appended in
// slot order and never change afterwards, so they are kept packed, one after
// another, in fixed-size chunks that never move:
//   - each data area without its trailing zero bytes, behind a small header
//     that also carries the field's status byte;
//   - a text value (string, wide string, bytes) of at least 8 bytes that the
//     arena stored before is written as a reference to the earlier bytes,
//     found through a small fixed-size cache of recent values. Every backup
//     run stores new versions of the same paths and result texts, so most
//     history slots hold only references and the time stamp.
// Every operation costs time in the size of one image, whatever the number of
// images stored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "store/record_layout.h"

namespace quillset {

class RowArena {
 public:
  RowArena(const RecordLayout& layout, const std::vector<ColumnDescription>& columns);

  // Appends an image of layout.ImageSize() bytes; returns its 0-based index.
  std::uint32_t Append(const std::uint8_t* image);
  // Unpacks image `index` into `image` (layout.ImageSize() bytes).
  void Read(std::uint32_t index, std::uint8_t* image) const;
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
  };

  void WriteBytes(const std::uint8_t* bytes, std::size_t length);
  void CopyOut(std::uint64_t location, std::uint8_t* out, std::size_t length) const;
  bool SameBytes(std::uint64_t location, const std::uint8_t* bytes, std::size_t length) const;
  void Unpack(const std::uint8_t* packed, std::size_t length, std::uint8_t* image) const;

  RecordLayout layout_;
  std::vector<bool> shareable_;  // per column
  std::vector<std::unique_ptr<std::uint8_t[]>> chunks_;
  std::uint64_t end_ = 0;        // global offset of the next free byte
  std::vector<std::uint64_t> starts_;
  std::vector<CacheEntry> cache_;
  std::vector<std::uint8_t> scratch_;  // Append's packed record
};

}  // namespace quillset
