#include "base/host_profile_file.h"

#include <vector>

#include "base/utf16_text.h"

namespace quillset {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Cuts `s` to at most `limit` bytes without splitting a double-byte character.
std::string CutToLimit(const std::string& s, std::size_t limit, const CodePage& cp) {
  if (s.size() <= limit) return s;
  std::size_t i = 0;
  while (i < limit) {
    std::size_t width = cp.IsLeadByte(static_cast<std::uint8_t>(s[i])) ? 2 : 1;
    if (i + width > limit) break;
    i += width;
  }
  return s.substr(0, i);
}

struct Line {
  std::string text;        // without its line end
  bool is_section = false;
  bool is_key = false;
  std::string name;        // section or key name, trimmed
  std::string value;       // key value, trimmed (quotes still on)
};

Line ParseLine(const std::string& text) {
  Line line;
  line.text = text;
  std::string trimmed = Trim(text);
  if (!trimmed.empty() && trimmed[0] == '[') {
    std::size_t close = trimmed.rfind(']');
    if (close != std::string::npos && close > 0) {
      line.is_section = true;
      line.name = Trim(trimmed.substr(1, close - 1));
      return line;
    }
  }
  std::size_t eq = text.find('=');
  if (eq != std::string::npos) {
    line.is_key = true;
    line.name = Trim(text.substr(0, eq));
    line.value = Trim(text.substr(eq + 1));
  }
  return line;
}

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string::npos ? text.size() : end + 1;
    std::size_t stop = end == std::string::npos ? text.size() : end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(ParseLine(text.substr(start, stop - start)));
    start = next;
  }
  return lines;
}

// Index of the first section line named `section`, or lines.size().
std::size_t FindSection(const std::vector<Line>& lines, const std::string& section,
                        const CodePage& cp) {
  std::string wanted = Trim(section);
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].is_section && EqualIgnoringAsciiCase(lines[i].name, wanted, cp)) return i;
  return lines.size();
}

// One past the last line of the section that starts at `header`.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header) {
  std::size_t i = header + 1;
  while (i < lines.size() && !lines[i].is_section) ++i;
  return i;
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

const char kUtf8Mark[] = "\xEF\xBB\xBF";
const char kUtf16LeMark[] = "\xFF\xFE";

bool StartsWith(const std::string& bytes, const char* mark) {
  return bytes.compare(0, std::char_traits<char>::length(mark), mark) == 0;
}

std::u16string Utf16FromLittleEndian(const std::string& bytes, std::size_t from) {
  std::u16string wide((bytes.size() - from) / 2, u'\0');
  for (std::size_t i = 0; i < wide.size(); ++i)
    wide[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[from + 2 * i]) |
                                    (static_cast<std::uint8_t>(bytes[from + 2 * i + 1]) << 8));
  return wide;
}

std::string LittleEndianFromUtf16(const std::u16string& wide) {
  std::string bytes(wide.size() * 2, '\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
  }
  return bytes;
}

}  // namespace

ProfileFileText DecodeProfileFile(const std::string& bytes) {
  ProfileFileText file;
  if (StartsWith(bytes, kUtf8Mark)) {
    file.encoding = ProfileEncoding::kUtf8Marked;
    file.text = bytes.substr(3);
    return file;
  }
  if (!StartsWith(bytes, kUtf16LeMark)) {
    file.text = bytes;
    return file;
  }
  file.encoding = ProfileEncoding::kUtf16Le;
  file.exact = bytes.size() % 2 == 0;
  // Line by line: a line Shift-JIS cannot write hides no other line's keys.
  const std::u16string wide = Utf16FromLittleEndian(bytes, 2);
  std::size_t start = 0;
  while (start < wide.size()) {
    std::size_t end = wide.find(u'\n', start);
    end = end == std::u16string::npos ? wide.size() : end + 1;
    std::string line;
    if (!Utf16TextToShiftJis(wide.substr(start, end - start), line)) {
      file.exact = false;
      line = wide[end - 1] == u'\n' ? "\n" : "";
    }
    file.text += line;
    start = end;
  }
  return file;
}

bool EncodeProfileFile(const std::string& text, ProfileEncoding encoding, std::string& bytes) {
  switch (encoding) {
    case ProfileEncoding::kCodePage: bytes = text; return true;
    case ProfileEncoding::kUtf8Marked: bytes = kUtf8Mark + text; return true;
    case ProfileEncoding::kUtf16Le: {
      std::u16string wide;
      if (!ShiftJisToUtf16Text(text, wide)) return false;
      bytes = kUtf16LeMark + LittleEndianFromUtf16(wide);
      return true;
    }
  }
  return false;
}

bool FindProfileValue(const std::string& text, const std::string& section,
                      const std::string& key, const CodePage& cp, std::string& value) {
  std::vector<Line> lines = SplitLines(text);
  std::size_t header = FindSection(lines, section, cp);
  if (header == lines.size()) return false;
  std::string wanted = Trim(key);
  std::size_t end = SectionEnd(lines, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines[i].is_key && EqualIgnoringAsciiCase(lines[i].name, wanted, cp)) {
      value = CutToLimit(Unquote(lines[i].value), kProfileValueLimit, cp);
      return true;
    }
  }
  return false;
}

std::string SetProfileValue(const std::string& text, const std::string& section,
                            const std::string& key, const std::string& value,
                            const CodePage& cp) {
  std::vector<Line> lines = SplitLines(text);
  std::string wanted_key = Trim(key);
  std::size_t header = FindSection(lines, section, cp);
  if (header == lines.size()) {
    lines.push_back(ParseLine("[" + Trim(section) + "]"));
    lines.push_back(ParseLine(wanted_key + "=" + value));
  } else {
    std::size_t end = SectionEnd(lines, header);
    std::size_t found = end;
    std::size_t last_entry = header;
    for (std::size_t i = header + 1; i < end; ++i) {
      if (!Trim(lines[i].text).empty()) last_entry = i;
      if (found == end && lines[i].is_key && EqualIgnoringAsciiCase(lines[i].name, wanted_key, cp)) found = i;
    }
    if (found != end) {
      lines[found] = ParseLine(lines[found].name + "=" + value);
    } else {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last_entry + 1),
                   ParseLine(wanted_key + "=" + value));
    }
  }
  std::string out;
  for (const Line& line : lines) {
    out += line.text;
    out += "\r\n";
  }
  return out;
}

std::string ProfileDefaultValue(const std::string& default_value, const CodePage& cp) {
  std::size_t end = default_value.size();
  while (end > 1 && default_value[end - 1] == ' ') --end;
  return CutToLimit(default_value.substr(0, end), kProfileValueLimit, cp);
}

}  // namespace quillset
