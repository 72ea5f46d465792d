// Text of the text-form packet: between the program's code-page bytes
// (Shift-JIS) and the document's encoding.
//
// A full Shift-JIS <-> Unicode mapping needs a table of about 7,000 kanji,
// which this program does not carry. So the UTF-8 form (packet form 2) maps
// without a table and without loss for every text this program writes:
//   - ASCII bytes 0x00-0x7F are the same characters;
//   - half-width katakana 0xA1-0xDF are U+FF61-U+FF9F, as in Unicode;
//   - every other character is carried in Unicode's supplementary private use
//     plane 15: a double-byte character (lead, trail) is U+F0000 + lead * 256
//     + trail, a stray single byte b is U+F0000 + b. These are valid XML
//     characters; reading them back gives the same bytes.
// Unicode characters from elsewhere that have no such form (real kanji, say)
// have no bytes here: their conversion fails, and the packet is refused,
// rather than keeping a "?" for a character of a path.
#pragma once

#include <cstdint>
#include <string>

namespace quillset {

// Appends the UTF-8 form of `code_point` (which must be below 0x110000).
void AppendUtf8(std::uint32_t code_point, std::string& out);

// Decodes one UTF-8 character at `text[at]`; false for a bad sequence.
bool DecodeUtf8(const std::string& text, std::size_t& at, std::uint32_t& code_point);

// Code-page bytes to code points (the mapping above) and back.
std::u32string CodePageToCodePoints(const std::string& bytes);
// False, with `out` incomplete, when a character has no code-page form.
[[nodiscard]] bool CodePointsToCodePage(const std::u32string& text, std::string& out);

// Code-page bytes to UTF-8 (the mapping above).
std::string CodePageToUtf8(const std::string& bytes);

// Appends the code-page bytes for one Unicode character; false, appending
// nothing, when it has none.
[[nodiscard]] bool AppendCodePageChar(std::uint32_t code_point, std::string& out);

// Code units of a wide (UTF-16LE) string to UTF-8 and back; unpaired
// surrogates become U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t length);
void AppendUtf16Le(std::uint32_t code_point, std::string& out);

}  // namespace quillset
