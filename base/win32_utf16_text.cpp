#include "base/utf16_text.h"

#include "base/win32_text.h"

namespace quillset {

// wchar_t is UTF-16 on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

bool ShiftJisToUtf16Text(const std::string& text, std::u16string& wide) {
  std::wstring converted;
  if (!ShiftJisToUtf16(text, converted)) return false;
  wide.assign(converted.begin(), converted.end());
  return true;
}

bool Utf16TextToShiftJis(const std::u16string& wide, std::string& text) {
  return Utf16ToShiftJis(std::wstring(wide.begin(), wide.end()), text);
}

}  // namespace quillset
