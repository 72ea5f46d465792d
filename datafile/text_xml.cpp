#include "datafile/text_xml.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "datafile/text_encoding.h"

namespace quillset {
namespace {

bool IsBlank(std::uint8_t b) { return b == ' ' || b == '\t' || b == '\r' || b == '\n'; }

bool IsNameByte(std::uint8_t b) {
  return !IsBlank(b) && b != '=' && b != '>' && b != '/' && b != '<' && b != '"' && b != '\'' &&
         b != '?';
}

bool IsXmlChar(std::uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const std::u32string* XmlTag::Find(const char* wanted) const {
  const std::size_t n = std::strlen(wanted);
  for (const auto& attribute : attributes) {
    if (attribute.name.size() != n) continue;
    bool same = true;
    for (std::size_t i = 0; i < n && same; ++i)
      same = attribute.name[i] == static_cast<char32_t>(static_cast<unsigned char>(wanted[i]));
    if (same) return &attribute.value;
  }
  return nullptr;
}

XmlScanner::XmlScanner(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

Status XmlScanner::DecodeRun(std::size_t begin, std::size_t end, bool entities,
                                   std::u32string& out) const {
  std::u32string raw;
  if (encoding_ == DocumentEncoding::kUtf8) {
    const std::string bytes(reinterpret_cast<const char*>(data_ + begin), end - begin);
    std::size_t at = 0;
    std::uint32_t cp = 0;
    while (at < bytes.size()) {
      if (!DecodeUtf8(bytes, at, cp)) return kStatusBadPacket;
      raw += static_cast<char32_t>(cp);
    }
  } else {
    raw = CodePageToCodePoints(std::string(reinterpret_cast<const char*>(data_ + begin), end - begin));
  }
  for (char32_t c : raw)
    if (!IsXmlChar(c)) return kStatusBadPacket;  // raw control characters are not XML
  if (!entities) {
    out = std::move(raw);
    return kStatusOk;
  }
  out.clear();
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char32_t c = raw[i];
    if (c == '\t' || c == '\n' || c == '\r') {
      out += U' ';  // attribute-value normalisation
      continue;
    }
    if (c == '<') return kStatusBadPacket;
    if (c != '&') {
      out += c;
      continue;
    }
    const std::size_t semicolon = raw.find(U';', i);
    if (semicolon == std::u32string::npos || semicolon - i > 12) return kStatusBadPacket;
    const std::u32string entity = raw.substr(i + 1, semicolon - i - 1);
    if (entity == U"lt") {
      out += U'<';
    } else if (entity == U"gt") {
      out += U'>';
    } else if (entity == U"amp") {
      out += U'&';
    } else if (entity == U"quot") {
      out += U'"';
    } else if (entity == U"apos") {
      out += U'\'';
    } else if (entity.size() >= 2 && entity[0] == U'#') {
      const bool hex = entity[1] == U'x';
      std::uint32_t cp = 0;
      std::size_t k = hex ? 2 : 1;
      if (k >= entity.size()) return kStatusBadPacket;
      for (; k < entity.size(); ++k) {
        const char32_t d = entity[k];
        std::uint32_t digit;
        if (d >= '0' && d <= '9') {
          digit = d - '0';
        } else if (hex && d >= 'a' && d <= 'f') {
          digit = d - 'a' + 10;
        } else if (hex && d >= 'A' && d <= 'F') {
          digit = d - 'A' + 10;
        } else {
          return kStatusBadPacket;
        }
        cp = cp * (hex ? 16 : 10) + digit;
        if (cp > 0x10FFFF) return kStatusBadPacket;
      }
      if (!IsXmlChar(cp)) return kStatusBadPacket;
      out += static_cast<char32_t>(cp);
    } else {
      return kStatusBadPacket;
    }
    i = semicolon;
  }
  return kStatusOk;
}

Status XmlScanner::ReadProlog() {
  if (size_ >= 3 && data_[0] == 0xEF && data_[1] == 0xBB && data_[2] == 0xBF) pos_ = 3;
  static const char kDecl[] = "<?xml";
  if (size_ - pos_ >= 5 && std::memcmp(data_ + pos_, kDecl, 5) == 0 &&
      (size_ - pos_ == 5 || IsBlank(data_[pos_ + 5]))) {
    const std::size_t start = pos_ + 5;
    std::size_t end = start;
    while (end + 1 < size_ && !(data_[end] == '?' && data_[end + 1] == '>')) ++end;
    if (end + 1 >= size_) return kStatusBadPacket;
    // Find encoding="..." in the declaration (ASCII only).
    const std::string decl(reinterpret_cast<const char*>(data_ + start), end - start);
    const std::size_t key = decl.find("encoding");
    if (key != std::string::npos) {
      std::size_t at = key + 8;
      while (at < decl.size() && IsBlank(static_cast<std::uint8_t>(decl[at]))) ++at;
      if (at >= decl.size() || decl[at] != '=') return kStatusBadPacket;
      ++at;
      while (at < decl.size() && IsBlank(static_cast<std::uint8_t>(decl[at]))) ++at;
      if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\'')) return kStatusBadPacket;
      const char quote = decl[at];
      const std::size_t close = decl.find(quote, at + 1);
      if (close == std::string::npos) return kStatusBadPacket;
      const std::string name = decl.substr(at + 1, close - at - 1);
      if (EqualsIgnoringCase(name, "UTF-8") || EqualsIgnoringCase(name, "UTF8")) {
        encoding_ = DocumentEncoding::kUtf8;
      } else if (EqualsIgnoringCase(name, "Shift_JIS") || EqualsIgnoringCase(name, "Shift-JIS") ||
                 EqualsIgnoringCase(name, "SJIS") || EqualsIgnoringCase(name, "windows-31j") ||
                 EqualsIgnoringCase(name, "cp932") || EqualsIgnoringCase(name, "x-sjis")) {
        encoding_ = DocumentEncoding::kShiftJis;
      } else {
        return kStatusBadPacket;
      }
    }
    pos_ = end + 2;
  }
  return kStatusOk;
}

Status XmlScanner::SkipMisc(bool& at_end) {
  at_end = false;
  for (;;) {
    while (pos_ < size_ && IsBlank(data_[pos_])) ++pos_;
    if (pos_ >= size_) {
      at_end = true;
      return kStatusOk;
    }
    if (data_[pos_] != '<') return kStatusBadPacket;  // text content is not part of the form
    if (size_ - pos_ >= 4 && std::memcmp(data_ + pos_, "<!--", 4) == 0) {
      std::size_t at = pos_ + 4;
      while (at + 2 < size_ && !(data_[at] == '-' && data_[at + 1] == '-' && data_[at + 2] == '>'))
        ++at;
      if (at + 2 >= size_) return kStatusBadPacket;
      pos_ = at + 3;
      continue;
    }
    if (size_ - pos_ >= 2 && data_[pos_ + 1] == '?') {
      std::size_t at = pos_ + 2;
      while (at + 1 < size_ && !(data_[at] == '?' && data_[at + 1] == '>')) ++at;
      if (at + 1 >= size_) return kStatusBadPacket;
      pos_ = at + 2;
      continue;
    }
    return kStatusOk;
  }
}

Status XmlScanner::Next(XmlTag& tag) {
  bool at_end = false;
  if (Status s = SkipMisc(at_end)) return s;
  if (at_end) return kStatusNoMore;
  tag = XmlTag();
  std::size_t at = pos_ + 1;
  if (at < size_ && data_[at] == '/') {
    tag.kind = XmlTag::Kind::kEnd;
    ++at;
  }
  const std::size_t name_start = at;
  while (at < size_ && IsNameByte(data_[at])) ++at;
  if (at == name_start) return kStatusBadPacket;
  tag.name.assign(reinterpret_cast<const char*>(data_ + name_start), at - name_start);
  std::set<std::u32string> names;
  for (;;) {
    while (at < size_ && IsBlank(data_[at])) ++at;
    if (at >= size_) return kStatusBadPacket;
    if (data_[at] == '>') {
      pos_ = at + 1;
      return kStatusOk;
    }
    if (data_[at] == '/') {
      if (tag.kind == XmlTag::Kind::kEnd || at + 1 >= size_ || data_[at + 1] != '>')
        return kStatusBadPacket;
      tag.kind = XmlTag::Kind::kEmpty;
      pos_ = at + 2;
      return kStatusOk;
    }
    if (tag.kind == XmlTag::Kind::kEnd) return kStatusBadPacket;
    const std::size_t attr_start = at;
    while (at < size_ && IsNameByte(data_[at])) ++at;
    if (at == attr_start) return kStatusBadPacket;
    XmlAttribute attribute;
    if (Status s = DecodeRun(attr_start, at, false, attribute.name)) return s;
    while (at < size_ && IsBlank(data_[at])) ++at;
    if (at >= size_ || data_[at] != '=') return kStatusBadPacket;
    ++at;
    while (at < size_ && IsBlank(data_[at])) ++at;
    if (at >= size_ || (data_[at] != '"' && data_[at] != '\'')) return kStatusBadPacket;
    const std::uint8_t quote = data_[at++];
    const std::size_t value_start = at;
    while (at < size_ && data_[at] != quote) ++at;
    if (at >= size_) return kStatusBadPacket;
    if (Status s = DecodeRun(value_start, at, true, attribute.value)) return s;
    ++at;
    if (!names.insert(attribute.name).second) return kStatusBadPacket;  // duplicate attribute
    tag.attributes.push_back(std::move(attribute));
  }
}

void AppendEscaped(const std::u32string& text, DocumentEncoding encoding, std::string& out) {
  char reference[16];
  for (char32_t c : text) {
    switch (c) {
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '"': out += "&quot;"; continue;
      default: break;
    }
    const bool control = c < 0x20;
    const bool stray_byte = c >= 0xF0000 && c < 0xF0100;  // a lone code-page byte
    const bool needs_reference =
        control || (encoding == DocumentEncoding::kShiftJis &&
                    (stray_byte || !((c < 0x80) || (c >= 0xFF61 && c <= 0xFF9F) ||
                                     (c >= 0xF0000 && c <= 0xFFFFF))));
    if (needs_reference) {
      std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(c));
      out += reference;
    } else if (encoding == DocumentEncoding::kUtf8) {
      AppendUtf8(c, out);
    } else if (!AppendCodePageChar(c, out)) {  // kept from above; a reference all the same
      std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(c));
      out += reference;
    }
  }
}

}  // namespace quillset
