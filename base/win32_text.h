// Text at the Windows boundary. The program keeps every text as Shift-JIS
// bytes (code page 932, named here, never the system's code page) and talks to
// Windows through the "W" functions in UTF-16; this is the one place where the
// two meet. Windows build only (it calls MultiByteToWideChar and
// WideCharToMultiByte, which no other file calls).
//
// Conversions that feed a path or a stored text are exact or fail: no "?",
// no best-fit look-alike ("e" for "é") ever comes out of them.
#pragma once

#include <cstdint>
#include <string>

namespace quillset {

// Shift-JIS bytes to UTF-16. False (and `wide` empty) when `text` is not
// Shift-JIS: a lead byte without its trail byte, a pair code page 932 does not
// define. An empty text is an empty result, not a failure.
bool ShiftJisToUtf16(const std::string& text, std::wstring& wide);

// UTF-16 to Shift-JIS bytes. False (and `text` empty) when `wide` holds a
// character Shift-JIS cannot write, or half a surrogate pair; then
// `*unwritable`, when given, is the first such character's code point.
// A character with two Shift-JIS forms (the NEC and IBM extensions) gets the
// one Windows writes; both name the same character.
bool Utf16ToShiftJis(const std::wstring& wide, std::string& text,
                     std::uint32_t* unwritable = nullptr);

// For texts that are only shown (a grid cell, a box): bytes that are not
// Shift-JIS show as Windows shows them instead of failing, so that a damaged
// entry stays visible and can be corrected or deleted.
std::wstring ShiftJisToUtf16ForDisplay(const std::string& text);

// `wide` in Shift-JIS for a message, each character Shift-JIS cannot write
// spelt by its code point in brackets ("caf[U+00E9].xlsx").
std::string Utf16ToShiftJisShowingCodePoints(const std::wstring& wide);

}  // namespace quillset
