// Values in the text form of a packet: how one value of a TypeCode is written
// as attribute text and read back. Text is handled as Unicode code points
// (code-page text through the mapping of text_encoding.h), so the same rules
// serve the Shift-JIS and the UTF-8 documents.
//
//   signed, unsigned integers, date, time   decimal ("-12", "100")
//   boolean                                 decimal; "TRUE"/"FALSE" also read
//   8-byte float                            shortest exact decimal ("%.17g")
//   date and time                           "YYYY-MM-DDTHH:MM:SS.mmm" for whole
//                                           milliseconds from year 1 to 9999,
//                                           else the millisecond count as a number
//   string                                  the text
//   wide string                             the text (UTF-16LE in the value)
//   bytes, BCD, SQL time stamp, 10-byte float  hexadecimal, two digits a byte
//   array                                   the elements, separated by a blank
//
// The payload is as the binary reader hands it: without a length prefix for
// a varying type, with the 32-bit element count for an array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "store/status.h"
#include "datafile/type_codes.h"

namespace quillset {

Status FormatTextValue(TypeCode type, const std::uint8_t* payload, std::size_t length,
                             std::u32string& text);

Status ParseTextValue(TypeCode type, const std::u32string& text, std::string& payload);

// Helpers shared with the text reader and writer.
std::string AsciiOf(const std::u32string& text);  // non-ASCII code points become '?'
std::u32string FromAscii(const std::string& text);

}  // namespace quillset
