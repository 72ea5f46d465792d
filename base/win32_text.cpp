#include "base/win32_text.h"

#include <windows.h>

#include "base/code_page.h"

namespace quillset {
namespace {

constexpr UINT kShiftJis = 932;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Exact conversion of `wide` (length > 0), or false. WC_NO_BEST_FIT_CHARS stops
// look-alikes and the default-char flag reports "?" stand-ins; the decoded
// result must also equal the input, so that no mapping slips through either.
bool EncodeExactly(const wchar_t* wide, int length, std::string& text) {
  BOOL used_default = FALSE;
  const int size = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0,
                                       nullptr, &used_default);
  if (size <= 0 || used_default) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, length, &bytes[0], size, nullptr,
                          &used_default) != size ||
      used_default)
    return false;
  std::wstring back;
  if (!ShiftJisToUtf16(bytes, back) || back != std::wstring(wide, static_cast<size_t>(length)))
    return false;
  text = std::move(bytes);
  return true;
}

// The first character of `wide` that does not convert on its own.
std::uint32_t FirstUnwritable(const std::wstring& wide) {
  std::string ignored;
  for (size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (IsHighSurrogate(c) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      // No character beyond the Basic Multilingual Plane is in Shift-JIS.
      return 0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) +
             (static_cast<std::uint32_t>(wide[i + 1]) - 0xDC00);
    }
    if (IsHighSurrogate(c) || IsLowSurrogate(c) || !EncodeExactly(&wide[i], 1, ignored))
      return static_cast<std::uint32_t>(c);
  }
  return 0;
}

}  // namespace

bool ShiftJisToUtf16(const std::string& text, std::wstring& wide) {
  wide.clear();
  // MultiByteToWideChar refuses a length of 0.
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const int size =
      MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size <= 0) return false;
  std::wstring result(static_cast<size_t>(size), L'\0');
  if (MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text.data(), length, &result[0],
                          size) != size)
    return false;
  wide = std::move(result);
  return true;
}

bool Utf16ToShiftJis(const std::wstring& wide, std::string& text, std::uint32_t* unwritable) {
  text.clear();
  if (unwritable) *unwritable = 0;
  if (wide.empty()) return true;
  if (EncodeExactly(wide.data(), static_cast<int>(wide.size()), text)) return true;
  if (unwritable) *unwritable = FirstUnwritable(wide);
  return false;
}

std::wstring ShiftJisToUtf16ForDisplay(const std::string& text) {
  std::wstring wide;
  if (ShiftJisToUtf16(text, wide)) return wide;
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(kShiftJis, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  wide.assign(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(kShiftJis, 0, text.data(), length, &wide[0], size);
  return wide;
}

std::string Utf16ToShiftJisShowingCodePoints(const std::wstring& wide) {
  std::string shown, part;
  for (size_t i = 0; i < wide.size(); ++i) {
    const bool pair = IsHighSurrogate(wide[i]) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1]);
    const std::wstring character = wide.substr(i, pair ? 2 : 1);
    std::uint32_t code_point = 0;
    if (Utf16ToShiftJis(character, part, &code_point)) {
      shown += part;
    } else {
      shown += "[" + CodePointName(code_point) + "]";
    }
    if (pair) ++i;
  }
  return shown;
}

}  // namespace quillset
