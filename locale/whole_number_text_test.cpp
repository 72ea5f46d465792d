#include "locale/whole_number_text.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace quillset {
namespace {

std::int32_t Read(const std::string& text) { return TextToInt(text); }

bool Reads(const std::string& text) {
  std::int32_t value = 0;
  return TryTextToInt(text, value);
}

TEST(WholeNumberTextTest, WritesDecimalDigits) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(15), "15");
  EXPECT_EQ(IntToText(-7), "-7");
  EXPECT_EQ(IntToText(2147483647), "2147483647");
  EXPECT_EQ(IntToText(INT32_MIN), "-2147483648");
}

TEST(WholeNumberTextTest, DecimalBlanksSignsAndRange) {
  EXPECT_EQ(Read(" 15"), 15);
  EXPECT_EQ(Read("   +15"), 15);
  EXPECT_EQ(Read("-15"), -15);
  EXPECT_EQ(Read("0"), 0);
  EXPECT_EQ(Read("-0"), 0);
  EXPECT_EQ(Read("0010"), 10);
  EXPECT_EQ(Read("2147483647"), 2147483647);
  EXPECT_EQ(Read("-2147483648"), INT32_MIN);
  EXPECT_EQ(Read("00000000000000000002147483647"), 2147483647);
  for (const char* bad : {"", " ", "15 ", "1 5", "\t15", "+", "-", "+-1", "- 1", "1.0", "1e3",
                          "2147483648", "-2147483649", "99999999999999999999", "１５", "15\n"}) {
    EXPECT_FALSE(Reads(bad)) << "'" << bad << "'";
  }
}

TEST(WholeNumberTextTest, HexadecimalPrefixesAndTwosComplement) {
  EXPECT_EQ(Read("$1E"), 30);
  EXPECT_EQ(Read("$1e"), 30);
  EXPECT_EQ(Read("x1F"), 31);
  EXPECT_EQ(Read("X1F"), 31);
  EXPECT_EQ(Read("0x10"), 16);
  EXPECT_EQ(Read("0X10"), 16);
  EXPECT_EQ(Read(" 0x7FFFFFFF"), 2147483647);
  EXPECT_EQ(Read("x80000000"), INT32_MIN);
  EXPECT_EQ(Read("$FFFFFFFF"), -1);
  EXPECT_EQ(Read("-$10"), 16);  // the sign has no effect
  EXPECT_EQ(Read("+0x10"), 16);
  EXPECT_EQ(Read("$00000000FFFFFFFF"), -1);  // leading zeros are not significant
  EXPECT_EQ(Read("$0"), 0);
  for (const char* bad : {"$", "0x", "x", "$100000000", "$1G", "$ 1", "$1E ", "0x-1", "$$1",
                          "0xx1", "-x", "1x10"}) {
    EXPECT_FALSE(Reads(bad)) << "'" << bad << "'";
  }
}

TEST(WholeNumberTextTest, FailureNamesTheTextAndLeavesTheValue) {
  try {
    Read("15 ");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'15 ' は整数ではありません");
  }
  try {
    Read("");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'' は整数ではありません");
  }
  std::int32_t value = 42;
  EXPECT_FALSE(TryTextToInt("2147483648", value));
  EXPECT_EQ(value, 42);
}

TEST(WholeNumberTextTest, EveryWrittenNumberReadsBack) {
  for (std::int64_t v = INT32_MIN; v <= INT32_MAX; v += 65537 * 13) {
    const auto value = static_cast<std::int32_t>(v);
    ASSERT_EQ(Read(IntToText(value)), value);
  }
  EXPECT_EQ(Read(IntToText(INT32_MAX)), INT32_MAX);
}

}  // namespace
}  // namespace quillset
