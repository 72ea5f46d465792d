#include "base/code_page.h"

namespace quillset {
namespace {

// Start offset of every character in `text`, walking lead and trail bytes.
// A lead byte at the very end stands alone.
template <typename Visit>
void ForEachCharacter(const std::string& text, const CodePage& cp, Visit visit) {
  size_t i = 0;
  while (i < text.size()) {
    const bool lead = cp.IsLeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size();
    const size_t length = lead ? 2 : 1;
    visit(i, length);
    i += length;
  }
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b, const CodePage& cp) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (cp.IsLeadByte(static_cast<std::uint8_t>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::string FileNamePart(const std::string& path, const CodePage& cp) {
  size_t start = 0;
  ForEachCharacter(path, cp, [&](size_t at, size_t length) {
    if (length == 1 && (path[at] == '\\' || path[at] == ':')) start = at + 1;
  });
  return path.substr(start);
}

std::string ReplaceExtension(const std::string& path, const std::string& extension,
                             const CodePage& cp) {
  size_t dot = std::string::npos;
  ForEachCharacter(path, cp, [&](size_t at, size_t length) {
    if (length != 1) return;
    if (path[at] == '.') dot = at;
    if (path[at] == '\\' || path[at] == ':') dot = std::string::npos;
  });
  if (dot == std::string::npos) return path + extension;
  return path.substr(0, dot) + extension;
}

std::string FailureBoxText(const std::string& message, const CodePage& cp) {
  if (message.empty()) return ".";
  size_t last_start = 0;
  ForEachCharacter(message, cp, [&](size_t at, size_t) { last_start = at; });
  // Byte-wise comparison of the last character with ".": a double-byte
  // character's first byte is above 0x80, so it always sorts after ".".
  const std::string last = message.substr(last_start);
  if (last.compare(".") <= 0) return message;
  return message + ".";
}

std::string CodePointName(std::uint32_t code_point) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  for (; code_point != 0 || digits.size() < 4; code_point >>= 4)
    digits.insert(digits.begin(), kDigits[code_point & 0xF]);
  return "U+" + digits;
}

}  // namespace quillset
