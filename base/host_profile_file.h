// The text of a profile (.ini) file, read and edited the way the Windows profile
// functions do it, for both OS services (the Win32 one keeps the file's
// bytes Shift-JIS this way on every system):
//   [Section]
//   key=value
// Section and key names compare without regard to ASCII case (a trail byte of
// a double-byte character is never folded). The first section of a name and the
// first key of a name in it count. A value is read trimmed of surrounding blanks
// and, when the whole value is enclosed in a matching pair of double or single
// quotes, without them. Lines that are neither a section nor a key (no "="),
// and lines before the first section, are kept but never matched. Lines end in
// CR LF when written; LF alone and CR LF are both read.
#pragma once

#include <cstdint>
#include <string>

#include "base/code_page.h"

namespace quillset {

// The longest value a read gives: a 2,048-byte buffer less its terminator.
constexpr std::size_t kProfileValueLimit = 2047;

// Finds `key` in `section` of the profile text. True and the value (trimmed,
// unquoted, at most kProfileValueLimit bytes, never ending inside a double-byte
// character) when found.
bool FindProfileValue(const std::string& text, const std::string& section,
                      const std::string& key, const CodePage& cp, std::string& value);

// The profile text with `key` of `section` set to `value`: an existing key keeps
// its place and its spelling, a new key goes after the last entry of its
// section, a new section goes at the end. Every other line stays as it was.
std::string SetProfileValue(const std::string& text, const std::string& section,
                            const std::string& key, const std::string& value,
                            const CodePage& cp);

// The default text as the profile reader gives it: trailing blanks removed
// (its first character stays), at most kProfileValueLimit bytes.
std::string ProfileDefaultValue(const std::string& default_value, const CodePage& cp);

// How a profile file's bytes hold its text, told as Windows' profile
// functions tell it, by the first bytes: a UTF-16 LE byte-order mark (the
// text is UTF-16, as Notepad's "Unicode" and PowerShell 5.1's Out-File write
// it), a UTF-8 one (skipped, and written back; the bytes after it are taken as
// they are), or none (the program's Shift-JIS bytes).
enum class ProfileEncoding { kCodePage, kUtf8Marked, kUtf16Le };

struct ProfileFileText {
  ProfileEncoding encoding = ProfileEncoding::kCodePage;
  std::string text;    // Shift-JIS, without the byte-order mark
  bool exact = true;   // EncodeProfileFile gives back the file's bytes: a
                       // write loses nothing of what the file held
};

// The text of a profile file's bytes. UTF-16 lines with a character that
// Shift-JIS cannot write read as empty lines (they match nothing), and the
// text is not exact; so is a UTF-16 file of an odd length.
ProfileFileText DecodeProfileFile(const std::string& bytes);
// The file's bytes for `text` in `encoding`, byte-order mark first. False
// when `text` cannot be written in it exactly.
bool EncodeProfileFile(const std::string& text, ProfileEncoding encoding, std::string& bytes);

}  // namespace quillset
