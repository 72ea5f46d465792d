#include "locale/whole_number_text.h"

#include "base/errors.h"

namespace quillset {
namespace {

const char kNotWholeNumberMessage[] = "'%s' は整数ではありません";

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string IntToText(std::int32_t value) {
  // Work in 64 bits so that the most negative value has a magnitude.
  std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  return value < 0 ? "-" + digits : digits;
}

bool TryTextToInt(const std::string& text, std::int32_t& value) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }

  if (i >= n) return false;  // at least one digit
  if (hex) {
    std::uint32_t result = 0;
    int significant = 0;
    for (; i < n; ++i) {
      const int digit = HexDigitValue(text[i]);
      if (digit < 0) return false;
      if (significant > 0 || digit != 0) ++significant;
      if (significant > 8) return false;
      result = (result << 4) | static_cast<std::uint32_t>(digit);
    }
    // The sign in front of a hexadecimal prefix is read and has no effect.
    value = static_cast<std::int32_t>(result);
    return true;
  }

  // Magnitude limit: 2147483647, or 2147483648 for a negative number.
  const std::uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
  std::uint64_t magnitude = 0;
  for (; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (magnitude > limit) return false;
  }
  value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<std::int32_t>(magnitude);
  return true;
}

std::int32_t TextToInt(const std::string& text) {
  std::int32_t value = 0;
  if (!TryTextToInt(text, value)) {
    throw EConvertError(FormatMessageText(kNotWholeNumberMessage, {text}));
  }
  return value;
}

}  // namespace quillset
