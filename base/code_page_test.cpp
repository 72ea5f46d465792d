#include "base/code_page.h"
#include "base/errors.h"

#include <gtest/gtest.h>

namespace quillset {
namespace {

const ShiftJisCodePage kSjis;

TEST(FileNamePart, SplitsOnlyAtRealSeparators) {
  EXPECT_EQ(FileNamePart("C:\\data\\report.xls", kSjis), "report.xls");
  EXPECT_EQ(FileNamePart("C:report.xls", kSjis), "report.xls");
  EXPECT_EQ(FileNamePart("report.xls", kSjis), "report.xls");
  EXPECT_EQ(FileNamePart("C:\\data\\", kSjis), "");
  // 表 is 95 5C and ソ is 83 5C in Shift-JIS: their trail byte is no separator.
  EXPECT_EQ(FileNamePart("C:\\一覧表\\表.txt", kSjis), "表.txt");
  EXPECT_EQ(FileNamePart("C:\\d\\ソフト表", kSjis), "ソフト表");
  // A lone lead byte at the very end is a character of its own.
  EXPECT_EQ(FileNamePart(std::string("C:\\a\\b\x81"), kSjis), std::string("b\x81"));
}

TEST(ReplaceExtension, ReplacesTheLastExtensionOfTheFileNameOnly) {
  EXPECT_EQ(ReplaceExtension("C:\\Tools\\Quillset.exe", ".cds", kSjis), "C:\\Tools\\Quillset.cds");
  EXPECT_EQ(ReplaceExtension("C:\\Tools\\Quillset", ".ini", kSjis), "C:\\Tools\\Quillset.ini");
  EXPECT_EQ(ReplaceExtension("C:\\v1.2\\Quillset", ".ini", kSjis), "C:\\v1.2\\Quillset.ini");
  EXPECT_EQ(ReplaceExtension("C:\\a.b\\q.tar.exe", ".ini", kSjis), "C:\\a.b\\q.tar.ini");
  EXPECT_EQ(ReplaceExtension("C:x", ".ini", kSjis), "C:x.ini");
  EXPECT_EQ(ReplaceExtension("C:\\表.d\\ソ", ".cds", kSjis), "C:\\表.d\\ソ.cds");
}

TEST(FailureBoxText, AppendsAPeriodUnlessTheLastCharacterSortsAtOrBeforeIt) {
  EXPECT_EQ(FailureBoxText("タイマーを取得できません", kSjis), "タイマーを取得できません.");
  EXPECT_EQ(FailureBoxText("done.", kSjis), "done.");
  EXPECT_EQ(FailureBoxText("why!", kSjis), "why!");
  EXPECT_EQ(FailureBoxText("(x)", kSjis), "(x)");
  EXPECT_EQ(FailureBoxText("abc", kSjis), "abc.");
  EXPECT_EQ(FailureBoxText("x/", kSjis), "x/.");
  EXPECT_EQ(FailureBoxText("", kSjis), ".");
  // 。 ends in byte 0x42 but counts whole (81 42) and sorts after ".".
  EXPECT_EQ(FailureBoxText("です。", kSjis), "です。.");
}

TEST(CodePointName, HasAtLeastFourHexDigits) {
  EXPECT_EQ(CodePointName(0xE9), "U+00E9");
  EXPECT_EQ(CodePointName(0x301C), "U+301C");
  EXPECT_EQ(CodePointName(0x1F600), "U+1F600");
  EXPECT_EQ(CodePointName(0), "U+0000");
}

TEST(FormatMessageText, FillsPlaceholdersInOrderAndByIndex) {
  EXPECT_EQ(FormatMessageText("'%s' は整数ではありません", {"abc"}), "'abc' は整数ではありません");
  EXPECT_EQ(FormatMessageText("'%d.%d' x", {"0", "5"}), "'0.5' x");
  EXPECT_EQ(FormatMessageText("%0:s|%1:s|%2:s", {"a", "b", "c"}), "a|b|c");
  EXPECT_EQ(FormatMessageText("100%% %s", {"x"}), "100% x");
  EXPECT_EQ(FormatMessageText("%s and %s", {"only"}), "only and ");
}

}  // namespace
}  // namespace quillset
