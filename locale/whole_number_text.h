// Whole numbers as text: how the schedule values and the minutes prompt are
// written and read back.
#pragma once

#include <cstdint>
#include <string>

namespace quillset {

// Decimal digits, "-" in front when negative; no blanks, no leading zeros.
std::string IntToText(std::int32_t value);

// Reads a whole number. Accepted: leading blanks (the space character only), an
// optional "+" or "-", then decimal digits, or hexadecimal digits (either case)
// after one of "$", "x", "X", "0x", "0X". Nothing may follow the digits. A
// decimal value must lie in the signed 32-bit range; a hexadecimal one may have
// up to eight significant digits and is taken as 32-bit two's complement, and a
// sign in front of it has no effect ("-$10" is 16).
// Throws EConvertError "'<text>' は整数ではありません" when the text does not read.
std::int32_t TextToInt(const std::string& text);

// As TextToInt, without throwing: false (and `value` untouched) when the text
// does not read.
bool TryTextToInt(const std::string& text, std::int32_t& value);

}  // namespace quillset
