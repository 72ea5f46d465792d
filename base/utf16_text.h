// The program's Shift-JIS text and UTF-16, for files kept in UTF-16 (a
// settings file that Notepad saved as "Unicode"). Code page 932 is named, never
// the system's. Exact or nothing: a conversion that would change a character
// fails. Implemented by the system's tables: win32_utf16_text.cpp in the
// Windows build, host_utf16_text.cpp (iconv's CP932) natively.
#pragma once

#include <string>

namespace quillset {

// False when `text` is not Shift-JIS.
bool ShiftJisToUtf16Text(const std::string& text, std::u16string& wide);
// False when `wide` holds a character Shift-JIS cannot write, or half a
// surrogate pair.
bool Utf16TextToShiftJis(const std::u16string& wide, std::string& text);

}  // namespace quillset
