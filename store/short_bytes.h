// Copying, clearing and measuring the short byte runs of a row (a time stamp,
// a path, a result text) without a library call. Every row of the data file
// passes here on load and save; in the 32-bit Windows build memcpy, memset
// and memchr are calls into the C runtime DLL, whose cost for runs of a few
// dozen bytes is mostly the call itself (and memchr there reads a byte at a
// time). Longer runs still go to the library, which is fast for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillset {

// Constant-size copies: the compiler turns these into plain moves.
inline std::uint64_t LoadWord64(const std::uint8_t* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}
inline void StoreWord64(std::uint8_t* out, std::uint64_t word) {
  std::memcpy(out, &word, sizeof word);
}
inline std::uint32_t LoadWord32(const std::uint8_t* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}
inline void StoreWord32(std::uint8_t* out, std::uint32_t word) {
  std::memcpy(out, &word, sizeof word);
}

// Runs up to this long are copied and cleared inline.
constexpr std::size_t kShortRunBytes = 64;

// memcpy(out, bytes, length) for buffers that do not overlap. Eight bytes a
// step, then the last eight at once (overlapping the step before); shorter
// runs as two overlapping halves.
inline void CopyShortBytes(std::uint8_t* out, const std::uint8_t* bytes, std::size_t length) {
  if (length >= 8) {
    if (length > kShortRunBytes) {
      std::memcpy(out, bytes, length);
      return;
    }
    const std::uint64_t last = LoadWord64(bytes + length - 8);
    for (std::size_t at = 0; at + 8 < length; at += 8) StoreWord64(out + at, LoadWord64(bytes + at));
    StoreWord64(out + length - 8, last);
  } else if (length >= 4) {
    const std::uint32_t first = LoadWord32(bytes), last = LoadWord32(bytes + length - 4);
    StoreWord32(out, first);
    StoreWord32(out + length - 4, last);
  } else if (length > 0) {
    const std::uint8_t first = bytes[0], middle = bytes[length / 2], last = bytes[length - 1];
    out[0] = first;
    out[length / 2] = middle;
    out[length - 1] = last;
  }
}

// memset(out, 0, length).
inline void ClearShortBytes(std::uint8_t* out, std::size_t length) {
  if (length >= 8) {
    if (length > kShortRunBytes) {
      std::memset(out, 0, length);
      return;
    }
    for (std::size_t at = 0; at + 8 < length; at += 8) StoreWord64(out + at, 0);
    StoreWord64(out + length - 8, 0);
  } else if (length >= 4) {
    StoreWord32(out, 0);
    StoreWord32(out + length - 4, 0);
  } else if (length > 0) {
    out[0] = 0;
    out[length / 2] = 0;
    out[length - 1] = 0;
  }
}

#if defined(__SSE2__)
// Sixteen bytes at once (SSE2, which every processor Windows 8 and later runs
// on has): a bit per byte, set where the two blocks hold the same byte.
inline unsigned SameByteMask(const std::uint8_t* a, __m128i b) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, b)));
}
inline __m128i LoadBlock(const std::uint8_t* bytes) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}
#endif

// True when the `length` bytes at `a` and `b` are equal. REQUIRES: length >= 8.
// The end first: values of one column mostly differ at their end.
inline bool EqualBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t length) {
#if defined(__SSE2__)
  if (length >= 16) {
    if (SameByteMask(a + length - 16, LoadBlock(b + length - 16)) != 0xFFFF) return false;
    for (std::size_t at = 0; at + 16 < length; at += 16)
      if (SameByteMask(a + at, LoadBlock(b + at)) != 0xFFFF) return false;
    return true;
  }
#endif
  if (LoadWord64(a + length - 8) != LoadWord64(b + length - 8)) return false;
  for (std::size_t at = 0; at + 8 < length; at += 8)
    if (LoadWord64(a + at) != LoadWord64(b + at)) return false;
  return true;
}

inline bool HasZeroByte(const std::uint8_t* bytes) {
  const std::uint64_t word = LoadWord64(bytes);
  return ((word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull) != 0;
}

// The bytes of `value` before its first zero byte, at most `limit`; reads
// only the first `limit` bytes. Eight bytes a step and the last eight at
// once: the texts of a row rarely hold a zero byte before their end.
inline std::uint32_t LengthToZero(const std::uint8_t* value, std::uint32_t limit) {
#if defined(__SSE2__)
  if (limit >= 16) {
    const __m128i zero = _mm_setzero_si128();
    for (std::uint32_t at = 0;; at += 16) {
      // The last block ends at `limit`; the bytes it shares with the block
      // before hold no zero.
      const std::uint32_t from = limit - at <= 16 ? limit - 16 : at;
      const unsigned zeros = SameByteMask(value + from, zero);
      if (zeros != 0) return from + static_cast<std::uint32_t>(__builtin_ctz(zeros));
      if (from != at) return limit;
    }
  }
#endif
  std::uint32_t at = 0;
  if (limit >= 8) {
    while (limit - at > 8 && !HasZeroByte(value + at)) at += 8;
    // The bytes before `at` hold no zero; the last eight cover the rest.
    if (limit - at <= 8 && !HasZeroByte(value + limit - 8)) return limit;
  }
  while (at < limit && value[at] != 0) ++at;
  return at;
}

}  // namespace quillset
