// The input box: a modal dialog centred on the screen with the given title, the
// prompt word-wrapped above a one-line field of at most 255 characters that
// holds the preset text all selected, and the buttons "OK" (default) and
// "キャンセル". OK gives the field's text; "キャンセル", Esc and the close box
// give the preset. The dialog runs the system's nested message loop, in which
// timer messages go on; every other window of the program is disabled meanwhile.
#pragma once

#include <windows.h>

#include <string>

namespace quillset {

// Control identifiers, for tests and drivers (the dialog's class is "#32770").
inline constexpr int kInputBoxPromptId = 100;
inline constexpr int kInputBoxFieldId = 101;
inline constexpr int kInputBoxMaxChars = 255;

// `font` is the font of the dialog's controls (the main window's font).
std::string ShowInputBox(HWND owner, HFONT font, const std::string& title,
                         const std::string& prompt, const std::string& preset);

}  // namespace quillset
