#include "datafile/text_packet_values.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/text_encoding.h"

namespace quillset {
namespace {

constexpr std::int64_t kMillisecondsPerDay = 86400000;
constexpr std::int64_t kDaysFrom0001To1970 = 719162;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool IsBinaryText(TypeCode type) {
  const unsigned base = BaseOf(type);
  return base == kBaseBytes || base == kBaseBytes2 || base == kBaseBcd ||
         base == kBaseFormattedBcd || base == kBaseSqlTimeStamp ||
         (base == kBaseFloat && WidthOf(type) == 10);
}

std::int64_t LoadSigned(const std::uint8_t* p, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  if (width < 8 && (v >> (8 * width - 1)) & 1) v |= ~0ull << (8 * width);
  return static_cast<std::int64_t>(v);
}
std::uint64_t LoadUnsigned(const std::uint8_t* p, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}
void StoreInteger(std::uint64_t v, std::size_t width, std::string& out) {
  for (std::size_t i = 0; i < width; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Formats one fixed-width scalar element.
Status FormatScalar(TypeCode type, const std::uint8_t* p, std::string& out) {
  const unsigned base = BaseOf(type);
  const std::size_t width = WidthOf(type);
  char buffer[64];
  switch (base) {
    case kBaseSignedInt:
    case kBaseBoolean:
    case kBaseDate:
    case kBaseTime:
      if (width == 0 || width > 8) return kStatusBadType;
      std::snprintf(buffer, sizeof buffer, "%" PRId64, LoadSigned(p, width));
      out += buffer;
      return kStatusOk;
    case kBaseUnsignedInt:
      if (width == 0 || width > 8) return kStatusBadType;
      std::snprintf(buffer, sizeof buffer, "%" PRIu64, LoadUnsigned(p, width));
      out += buffer;
      return kStatusOk;
    case kBaseFloat:
    case kBaseDateTime: {
      if (width != 8) return kStatusBadType;
      double value;
      std::memcpy(&value, p, 8);
      const double days = std::floor(value / kMillisecondsPerDay);
      if (base == kBaseDateTime && std::isfinite(value) && value == std::floor(value) &&
          days >= 1 && days <= 3652059) {  // 0001-01-01 .. 9999-12-31
        const auto ms = static_cast<std::int64_t>(value);
        const std::int64_t day = ms / kMillisecondsPerDay;
        const std::int64_t time = ms % kMillisecondsPerDay;
        std::int64_t y;
        unsigned m, d;
        CivilFromDays(day - 1 - kDaysFrom0001To1970, y, m, d);
        std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d.%03d",
                      static_cast<int>(y), m, d, static_cast<int>(time / 3600000),
                      static_cast<int>(time / 60000 % 60), static_cast<int>(time / 1000 % 60),
                      static_cast<int>(time % 1000));
      } else {
        std::snprintf(buffer, sizeof buffer, "%.17g", value);
      }
      out += buffer;
      return kStatusOk;
    }
    default:
      return kStatusBadType;
  }
}

bool ParseInt64(const std::string& s, std::int64_t& v) {
  if (s.empty() || s.size() > 24) return false;
  errno = 0;
  char* end = nullptr;
  v = std::strtoll(s.c_str(), &end, 10);
  return errno == 0 && end == s.c_str() + s.size();
}
bool ParseUInt64(const std::string& s, std::uint64_t& v) {
  if (s.empty() || s.size() > 24 || s[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  v = std::strtoull(s.c_str(), &end, 10);
  return errno == 0 && end == s.c_str() + s.size();
}

bool ParseDateTime(const std::string& s, double& value) {
  // YYYY-MM-DDTHH:MM:SS[.mmm]
  int y, mo, d, h, mi, sec, ms = 0, consumed = 0;
  if (s.size() < 19 || s[4] != '-' || s[10] != 'T') return false;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &sec, &consumed) != 6)
    return false;
  std::size_t at = static_cast<std::size_t>(consumed);
  if (at < s.size()) {
    if (s[at] != '.' || s.size() - at != 4) return false;
    for (std::size_t i = at + 1; i < s.size(); ++i)
      if (s[i] < '0' || s[i] > '9') return false;
    ms = std::atoi(s.c_str() + at + 1);
  }
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59 || h < 0 ||
      mi < 0 || sec < 0)
    return false;
  const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  std::int64_t cy;
  unsigned cm, cd;
  CivilFromDays(days, cy, cm, cd);
  if (cy != y || static_cast<int>(cm) != mo || static_cast<int>(cd) != d) return false;  // 02-30
  const std::int64_t day_number = days + kDaysFrom0001To1970 + 1;
  value = static_cast<double>(day_number * kMillisecondsPerDay +
                              ((h * 60 + mi) * 60 + sec) * 1000 + ms);
  return true;
}

Status ParseScalar(TypeCode type, const std::string& s, std::string& out) {
  const unsigned base = BaseOf(type);
  const std::size_t width = WidthOf(type);
  switch (base) {
    case kBaseSignedInt:
    case kBaseBoolean:
    case kBaseDate:
    case kBaseTime: {
      if (width == 0 || width > 8) return kStatusBadType;
      std::int64_t v = 0;
      if (base == kBaseBoolean && (s == "TRUE" || s == "true")) {
        v = 1;
      } else if (base == kBaseBoolean && (s == "FALSE" || s == "false")) {
        v = 0;
      } else if (!ParseInt64(s, v)) {
        return kStatusBadPacket;
      }
      if (width < 8) {
        const std::int64_t limit = std::int64_t{1} << (8 * width - 1);
        if (v < -limit || v >= limit) return kStatusBadPacket;
      }
      StoreInteger(static_cast<std::uint64_t>(v), width, out);
      return kStatusOk;
    }
    case kBaseUnsignedInt: {
      if (width == 0 || width > 8) return kStatusBadType;
      std::uint64_t v = 0;
      if (!ParseUInt64(s, v)) return kStatusBadPacket;
      if (width < 8 && v >> (8 * width)) return kStatusBadPacket;
      StoreInteger(v, width, out);
      return kStatusOk;
    }
    case kBaseFloat:
    case kBaseDateTime: {
      if (width != 8) return kStatusBadType;
      double value = 0;
      if (!(base == kBaseDateTime && ParseDateTime(s, value))) {
        if (s.empty() || s.size() > 64) return kStatusBadPacket;
        char* end = nullptr;
        value = std::strtod(s.c_str(), &end);
        if (end != s.c_str() + s.size()) return kStatusBadPacket;
      }
      char bytes[8];
      std::memcpy(bytes, &value, 8);
      out.append(bytes, 8);
      return kStatusOk;
    }
    default:
      return kStatusBadType;
  }
}

int HexDigit(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return -1;
}

// Width in bytes of a fixed binary value of `type` in a packet.
std::size_t FixedBinaryWidth(TypeCode type) {
  switch (BaseOf(type)) {
    case kBaseBcd:
    case kBaseFormattedBcd: return 18;
    case kBaseSqlTimeStamp: return 16;
    case kBaseFloat: return 10;
    default: return WidthOf(type);
  }
}

}  // namespace

std::string AsciiOf(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::u32string FromAscii(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (char c : text) out += static_cast<char32_t>(static_cast<unsigned char>(c));
  return out;
}

Status FormatTextValue(TypeCode type, const std::uint8_t* payload, std::size_t length,
                             std::u32string& text) {
  text.clear();
  const unsigned base = BaseOf(type);
  if (IsArray(type)) {
    const std::size_t width = WidthOf(type);
    if (length < 4 || width == 0) return kStatusInvalidArgument;
    const std::uint64_t count = LoadU32(payload);
    if (count * width != length - 4) return kStatusInvalidArgument;
    std::string out;
    for (std::uint64_t i = 0; i < count; ++i) {
      if (i) out += ' ';
      if (Status s = FormatScalar(type & ~kTypeArray, payload + 4 + i * width, out)) return s;
    }
    text = FromAscii(out);
    return kStatusOk;
  }
  if (base == kBaseString) {
    // The text ends at its terminating zero: an empty text that is not null
    // comes as one zero byte and is written as an empty attribute.
    std::size_t end = 0;
    while (end < length && payload[end] != 0) ++end;
    text = CodePageToCodePoints(std::string(reinterpret_cast<const char*>(payload), end));
    return kStatusOk;
  }
  if (base == kBaseWideString) {
    const std::string utf8 = Utf16LeToUtf8(payload, length);
    std::size_t at = 0;
    std::uint32_t cp = 0;
    while (at < utf8.size() && DecodeUtf8(utf8, at, cp)) text += static_cast<char32_t>(cp);
    return kStatusOk;
  }
  if (IsBinaryText(type)) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < length; ++i) {
      text += static_cast<char32_t>(kDigits[payload[i] >> 4]);
      text += static_cast<char32_t>(kDigits[payload[i] & 15]);
    }
    return kStatusOk;
  }
  if (IsVarying(type)) return kStatusBadType;
  if (length < WidthOf(type)) return kStatusInvalidArgument;
  std::string out;
  if (Status s = FormatScalar(type, payload, out)) return s;
  text = FromAscii(out);
  return kStatusOk;
}

Status ParseTextValue(TypeCode type, const std::u32string& text, std::string& payload) {
  payload.clear();
  const unsigned base = BaseOf(type);
  if (IsArray(type)) {
    const std::size_t width = WidthOf(type);
    if (width == 0 || IsVarying(type)) return kStatusBadType;
    const std::string ascii = AsciiOf(text);
    std::string elements;
    std::uint32_t count = 0;
    std::size_t at = 0;
    while (at < ascii.size()) {
      while (at < ascii.size() && (ascii[at] == ' ' || ascii[at] == '\t' || ascii[at] == '\n' ||
                                   ascii[at] == '\r'))
        ++at;
      if (at == ascii.size()) break;
      std::size_t end = at;
      while (end < ascii.size() && ascii[end] != ' ' && ascii[end] != '\t' &&
             ascii[end] != '\n' && ascii[end] != '\r')
        ++end;
      if (Status s = ParseScalar(type & ~kTypeArray, ascii.substr(at, end - at), elements))
        return s;
      ++count;
      at = end;
    }
    StoreInteger(count, 4, payload);
    payload += elements;
    return kStatusOk;
  }
  if (base == kBaseString || base == kBaseWideString) {
    if (base == kBaseString) {
      if (!CodePointsToCodePage(text, payload)) return kStatusBadPacket;
    } else {
      for (char32_t c : text) AppendUtf16Le(c, payload);
    }
    if (!IsVarying(type)) payload.resize(WidthOf(type), '\0');  // fixed text: padded or cut
  } else if (IsBinaryText(type)) {
    if (text.size() % 2) return kStatusBadPacket;
    for (std::size_t i = 0; i < text.size(); i += 2) {
      const int hi = HexDigit(text[i]);
      const int lo = HexDigit(text[i + 1]);
      if (hi < 0 || lo < 0) return kStatusBadPacket;
      payload += static_cast<char>(hi * 16 + lo);
    }
    if (!IsVarying(type) && payload.size() != FixedBinaryWidth(type)) return kStatusBadPacket;
  } else {
    if (IsVarying(type)) return kStatusBadType;
    return ParseScalar(type, AsciiOf(text), payload);
  }
  if (IsVarying(type)) {
    const std::size_t prefix = WidthOf(type);
    const std::uint64_t limit = prefix == 1 ? 0xFF : prefix == 2 ? 0xFFFF : 0xFFFFFFFFull;
    if (payload.size() > limit) return kStatusBadPacket;
  }
  return kStatusOk;
}

}  // namespace quillset
