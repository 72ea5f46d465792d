#include "base/utf16_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace quillset {
namespace {

// Converts `length` bytes at `in` with a fresh converter; false on any byte
// or character the target cannot take.
bool Convert(const char* to, const char* from, const char* in, std::size_t length,
             std::string& out) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buffer(length * 2 + 16, '\0');
  char* in_at = const_cast<char*>(in);
  std::size_t in_left = length;
  char* out_at = &buffer[0];
  std::size_t out_left = buffer.size();
  const std::size_t result = iconv(cd, &in_at, &in_left, &out_at, &out_left);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1) || in_left != 0) return false;
  out.assign(buffer.data(), buffer.size() - out_left);
  return true;
}

}  // namespace

bool ShiftJisToUtf16Text(const std::string& text, std::u16string& wide) {
  wide.clear();
  std::string bytes;
  if (!Convert("UTF-16LE", "CP932", text.data(), text.size(), bytes)) return false;
  wide.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < wide.size(); ++i)
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return true;
}

bool Utf16TextToShiftJis(const std::u16string& wide, std::string& text) {
  text.clear();
  std::string bytes(wide.size() * 2, '\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
  }
  std::string converted;
  if (!Convert("CP932", "UTF-16LE", bytes.data(), bytes.size(), converted)) return false;
  // A character that comes back as another one (a look-alike) is no exact
  // conversion.
  std::u16string back;
  if (!ShiftJisToUtf16Text(converted, back) || back != wide) return false;
  text = std::move(converted);
  return true;
}

}  // namespace quillset
