#include "store/short_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillset {
namespace {

// Every length from 0 to past the inline limit, at every alignment in a
// word: the copy and the clear touch exactly their bytes.
TEST(ShortBytesTest, CopyAndClearTouchExactlyTheirBytes) {
  for (std::size_t length = 0; length <= kShortRunBytes + 9; ++length) {
    for (std::size_t offset = 0; offset < 8; ++offset) {
      std::vector<std::uint8_t> source(length + 16), target(length + 32, 0xEE);
      for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 7 + 1);
      CopyShortBytes(target.data() + 8 + offset, source.data() + offset, length);
      for (std::size_t i = 0; i < target.size(); ++i) {
        const bool inside = i >= 8 + offset && i < 8 + offset + length;
        EXPECT_EQ(target[i], inside ? source[i - 8] : 0xEE) << length << " " << offset << " " << i;
      }
      ClearShortBytes(target.data() + 8 + offset, length);
      for (std::size_t i = 0; i < target.size(); ++i) {
        const bool inside = i >= 8 + offset && i < 8 + offset + length;
        EXPECT_EQ(target[i], inside ? 0 : 0xEE) << length << " " << offset << " " << i;
      }
    }
  }
}

TEST(ShortBytesTest, LengthToZeroFindsTheFirstZeroAndReadsNoFurtherThanTheLimit) {
  for (std::uint32_t limit = 0; limit <= 70; ++limit) {
    for (std::uint32_t zero = 0; zero <= limit; ++zero) {
      // Exactly `limit` bytes: a read past them is a heap overflow under ASan.
      std::vector<std::uint8_t> text(limit, 'a');
      if (zero < limit) text[zero] = 0;
      if (zero + 1 < limit) text[limit - 1] = 0;  // a later zero changes nothing
      EXPECT_EQ(LengthToZero(text.data(), limit), zero) << limit << " " << zero;
    }
  }
}

TEST(ShortBytesTest, EqualBytesSeesADifferenceAtAnyByte) {
  for (std::size_t length = 8; length <= 70; ++length) {
    const std::vector<std::uint8_t> a(length, 'p');
    EXPECT_TRUE(EqualBytes(a.data(), std::vector<std::uint8_t>(a).data(), length)) << length;
    for (std::size_t at = 0; at < length; ++at) {
      std::vector<std::uint8_t> b = a;
      b[at] = 'q';
      EXPECT_FALSE(EqualBytes(a.data(), b.data(), length)) << length << " " << at;
    }
  }
}

}  // namespace
}  // namespace quillset
