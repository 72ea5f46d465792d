// Double-byte awareness: which bytes open a two-byte character in the system
// code page. Paths are split and texts cut with it, so that a trail byte 0x5C
// inside a character such as 表 or ソ is never taken for a "\".
#pragma once

#include <cstdint>
#include <string>

namespace quillset {

class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual bool IsLeadByte(std::uint8_t byte) const = 0;
};

// Shift-JIS (code page 932): lead bytes 0x81-0x9F and 0xE0-0xFC.
class ShiftJisCodePage : public CodePage {
 public:
  bool IsLeadByte(std::uint8_t byte) const override {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  }
};

// The part of a path after its last "\" or ":" that is a character of its own;
// the whole path when it has neither.
std::string FileNamePart(const std::string& path, const CodePage& cp);

// The path with its extension replaced by `extension` (".ini", ".cds"). The
// extension starts at the last "." that comes after the last "\" and ":"; with
// no such ".", `extension` is appended.
std::string ReplaceExtension(const std::string& path, const std::string& extension,
                             const CodePage& cp);

// Equal without regard to the case of ASCII letters. The byte after a lead
// byte compares exactly: it may look like a letter (ア is 83 41, ヂ 83 61).
bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b, const CodePage& cp);

// "U+00E9": how a message names a character, by its Unicode code point.
std::string CodePointName(std::uint32_t code_point);

// The failure box shows a message with "." appended unless its last character
// (a double-byte character counting whole) sorts at or before "." byte by byte.
std::string FailureBoxText(const std::string& message, const CodePage& cp);

}  // namespace quillset
