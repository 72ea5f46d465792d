// The conversion between the program's Shift-JIS bytes and Windows' UTF-16,
// run against the real code-page 932 tables of the system (under Wine here).
#include "base/win32_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace quillset {
namespace {

struct SameText {
  const char* what;
  std::string shift_jis;
  std::wstring utf16;
};

// Each pair names the same text both ways.
const SameText kSameTexts[] = {
    {"empty", "", L""},
    {"ASCII path", "C:\\Backup\\a.txt", L"C:\\Backup\\a.txt"},
    // 表 and ソ end in 0x5C, the byte of "\".
    {"trail byte 0x5C", "\x95\x5C\x8E\xA6\\\x83\x5C.txt", L"\u8868\u793A\\\u30BD.txt"},
    {"half-width katakana", "\xB6\xC5", L"\uFF76\uFF85"},
    {"title", "ファイルバックアップツール",
     L"\u30D5\u30A1\u30A4\u30EB\u30D0\u30C3\u30AF\u30A2\u30C3\u30D7\u30C4\u30FC\u30EB"},
};

TEST(Win32TextTest, ShiftJisAndUtf16RoundTrip) {
  for (const SameText& t : kSameTexts) {
    std::wstring wide = L"stale";
    ASSERT_TRUE(ShiftJisToUtf16(t.shift_jis, wide)) << t.what;
    EXPECT_EQ(wide, t.utf16) << t.what;
    std::string bytes = "stale";
    std::uint32_t unwritable = 1;
    ASSERT_TRUE(Utf16ToShiftJis(t.utf16, bytes, &unwritable)) << t.what;
    EXPECT_EQ(bytes, t.shift_jis) << t.what;
    EXPECT_EQ(unwritable, 0u) << t.what;
    EXPECT_EQ(ShiftJisToUtf16ForDisplay(t.shift_jis), t.utf16) << t.what;
  }
}

// Code page 932 has the NEC special characters (row 13), the NEC-selected IBM
// extensions (rows 89-92) and the IBM extensions (0xFA-0xFC); some characters
// are in two or three of them. Every form reads as the character, and the
// character is written in the one form Windows writes.
TEST(Win32TextTest, NecAndIbmExtensionsReadAndWriteOneForm) {
  struct Extension {
    std::string bytes;
    wchar_t character;
    std::string written;
  };
  const Extension kExtensions[] = {
      {"\x87\x40", L'\u2460', "\x87\x40"},  // ① NEC row 13
      {"\x87\x54", L'\u2160', "\x87\x54"},  // Ⅰ NEC row 13
      {"\xFA\x4A", L'\u2160', "\x87\x54"},  // Ⅰ IBM: written as NEC
      {"\x87\x9A", L'\u2235', "\x81\xE6"},  // ∵ NEC: written as JIS
      {"\xFA\x5B", L'\u2235', "\x81\xE6"},  // ∵ IBM: written as JIS
      {"\xFA\x40", L'\u2170', "\xFA\x40"},  // ⅰ IBM
      {"\xEE\xEF", L'\u2170', "\xFA\x40"},  // ⅰ NEC-selected IBM: written as IBM
      {"\xFA\x5C", L'\u7E8A', "\xFA\x5C"},  // 纊 IBM, trail byte 0x5C
      {"\xED\x40", L'\u7E8A', "\xFA\x5C"},  // 纊 NEC-selected IBM: written as IBM
  };
  for (const Extension& e : kExtensions) {
    std::wstring wide;
    ASSERT_TRUE(ShiftJisToUtf16(e.bytes, wide)) << std::hex << +static_cast<unsigned char>(e.bytes[0]);
    EXPECT_EQ(wide, std::wstring(1, e.character));
    std::string bytes;
    ASSERT_TRUE(Utf16ToShiftJis(wide, bytes));
    EXPECT_EQ(bytes, e.written) << std::hex << static_cast<unsigned>(e.character);
  }
}

// No look-alike and no "?" comes out: "é" is not "e", "¥" is not the "\" that
// would split a path, a wave dash is not the full-width tilde.
TEST(Win32TextTest, CharactersShiftJisCannotWriteAreRefusedByCodePoint) {
  struct Unwritable {
    std::wstring text;
    std::uint32_t first;
  };
  const Unwritable kUnwritable[] = {
      {L"caf\u00E9.xlsx", 0xE9},
      {L"C:\\a\u00A5b", 0xA5},
      {L"\u301C", 0x301C},
      {L"\u20AC \u00E9", 0x20AC},
      {L"\u8868\xD83D\xDE00", 0x1F600},  // a surrogate pair: one character
      {std::wstring(L"a\xD800" L"b"), 0xD800},  // half a pair
      {std::wstring(L"a\xDC00"), 0xDC00},
  };
  for (const Unwritable& u : kUnwritable) {
    std::string bytes = "stale";
    std::uint32_t unwritable = 0;
    EXPECT_FALSE(Utf16ToShiftJis(u.text, bytes, &unwritable)) << std::hex << u.first;
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(unwritable, u.first);
  }
}

// A lone lead byte or an undefined pair is refused by the exact conversion;
// shown, the readable part stays readable.
TEST(Win32TextTest, BytesThatAreNotShiftJisAreRefusedButCanBeShown) {
  const std::string kNotShiftJis[] = {
      "abc\x83",       // lead byte at the end
      "abc\x83\x20",   // lead byte before a byte that cannot trail
      "abc\x85\x40",   // a pair code page 932 leaves undefined
  };
  for (const std::string& bytes : kNotShiftJis) {
    std::wstring wide = L"stale";
    EXPECT_FALSE(ShiftJisToUtf16(bytes, wide)) << bytes.size();
    EXPECT_EQ(wide, L"");
    const std::wstring shown = ShiftJisToUtf16ForDisplay(bytes);
    EXPECT_EQ(shown.substr(0, 3), L"abc");
    EXPECT_GT(shown.size(), 3u);
  }
}

// A name shown in a refusal keeps every character it can and spells the
// others, a pair of surrogates as one character.
TEST(Win32TextTest, ShownNamesSpellUnwritableCharactersByCodePoint) {
  EXPECT_EQ(Utf16ToShiftJisShowingCodePoints(L"\u8868caf\u00E9\xD83D\xDE00.x"),
            "\x95\x5C" "caf[U+00E9][U+1F600].x");
  EXPECT_EQ(Utf16ToShiftJisShowingCodePoints(L""), "");
}

}  // namespace
}  // namespace quillset
