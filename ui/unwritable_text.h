// The messages that refuse a name or a text Shift-JIS cannot write. The
// program's files hold Shift-JIS; a character outside it would come back as
// "?" or a look-alike and name another file, so it is refused at once, by its
// code point (the character itself cannot be shown in a Shift-JIS message).
#pragma once

#include <cstdint>
#include <string>

#include "base/code_page.h"
#include "base/errors.h"

namespace quillset {

// A file the user picked; `shown_path` spells such characters as "[U+00E9]".
inline std::string UnwritableFileNameMessage(std::uint32_t code_point,
                                             const std::string& shown_path) {
  return FormatMessageText(
      "ファイル名に Shift-JIS で表せない文字 %s があるため、登録できません。\r\n%s",
      {CodePointName(code_point), shown_path});
}

// A folder the user picked.
inline std::string UnwritableFolderNameMessage(std::uint32_t code_point,
                                               const std::string& shown_path) {
  return FormatMessageText(
      "フォルダ名に Shift-JIS で表せない文字 %s があるため、登録できません。\r\n%s",
      {CodePointName(code_point), shown_path});
}

// A text typed or pasted into the grid or the input box (shown as a failure,
// which ends in ".", like the other failures of typed text).
inline std::string UnwritableTypedTextMessage(std::uint32_t code_point) {
  return FormatMessageText("Shift-JIS で表せない文字 %s は入力できません",
                           {CodePointName(code_point)});
}

}  // namespace quillset
