#include "datafile/text_encoding.h"

namespace quillset {
namespace {

constexpr std::uint32_t kPrivatePlane = 0xF0000;

bool IsShiftJisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsShiftJisTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace

void AppendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool DecodeUtf8(const std::string& text, std::size_t& at, std::uint32_t& cp) {
  if (at >= text.size()) return false;
  const auto b0 = static_cast<std::uint8_t>(text[at]);
  std::size_t extra = 0;
  std::uint32_t minimum = 0;
  if (b0 < 0x80) {
    cp = b0;
    ++at;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1; cp = b0 & 0x1F; minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2; cp = b0 & 0x0F; minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3; cp = b0 & 0x07; minimum = 0x10000;
  } else {
    return false;
  }
  if (text.size() - at - 1 < extra) return false;
  for (std::size_t i = 1; i <= extra; ++i) {
    const auto b = static_cast<std::uint8_t>(text[at + i]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  at += 1 + extra;
  return true;
}

std::u32string CodePageToCodePoints(const std::string& bytes) {
  std::u32string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b < 0x80) {
      out += static_cast<char32_t>(b);
    } else if (b >= 0xA1 && b <= 0xDF) {
      out += static_cast<char32_t>(0xFF61 + (b - 0xA1));
    } else if (IsShiftJisLead(b) && i + 1 < bytes.size() &&
               IsShiftJisTrail(static_cast<std::uint8_t>(bytes[i + 1]))) {
      const auto trail = static_cast<std::uint8_t>(bytes[++i]);
      out += static_cast<char32_t>(kPrivatePlane + (static_cast<std::uint32_t>(b) << 8) + trail);
    } else {
      out += static_cast<char32_t>(kPrivatePlane + b);
    }
  }
  return out;
}

bool CodePointsToCodePage(const std::u32string& text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (char32_t c : text)
    if (!AppendCodePageChar(c, out)) return false;
  return true;
}

std::string CodePageToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char32_t c : CodePageToCodePoints(bytes)) AppendUtf8(c, out);
  return out;
}

bool AppendCodePageChar(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp >= 0xFF61 && cp <= 0xFF9F) {
    out += static_cast<char>(0xA1 + (cp - 0xFF61));
  } else if (cp >= kPrivatePlane && cp <= kPrivatePlane + 0xFFFF) {
    const std::uint32_t v = cp - kPrivatePlane;
    if (v >= 0x100) out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
  } else {
    return false;
  }
  return true;
}

std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t length) {
  std::string out;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    std::uint32_t unit = data[i] | (data[i + 1] << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < length) {
      const std::uint32_t low = data[i + 2] | (data[i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    AppendUtf8(unit, out);
  }
  return out;
}

void AppendUtf16Le(std::uint32_t cp, std::string& out) {
  auto unit = [&out](std::uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  if (cp >= 0x10000) {
    cp -= 0x10000;
    unit(0xD800 + (cp >> 10));
    unit(0xDC00 + (cp & 0x3FF));
  } else {
    unit(cp);
  }
}

}  // namespace quillset
