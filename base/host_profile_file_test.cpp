#include "base/host_profile_file.h"

#include <gtest/gtest.h>

namespace quillset {
namespace {

const ShiftJisCodePage kSjis;

std::string Find(const std::string& text, const std::string& section, const std::string& key) {
  std::string value;
  if (!FindProfileValue(text, section, key, kSjis, value)) return "<missing>";
  return value;
}

TEST(ProfileText, FindsKeysOfTheFirstMatchingSectionWithoutRegardToCase) {
  const std::string text =
      "top=ignored\r\n"
      "[Other]\r\nTimerSet=other\r\n"
      "[time]\r\ntimerset=30\r\nTimerIniSet=1\r\nTimerSet=second\r\n"
      "[Time]\r\nTimerIniSet=2\r\n";
  EXPECT_EQ(Find(text, "Time", "TimerSet"), "30");
  EXPECT_EQ(Find(text, "TIME", "timeriniset"), "1");
  EXPECT_EQ(Find(text, "Other", "TimerSet"), "other");
  EXPECT_EQ(Find(text, "Time", "Missing"), "<missing>");
  EXPECT_EQ(Find(text, "Nowhere", "TimerSet"), "<missing>");
  // Lines before the first section belong to none.
  EXPECT_EQ(Find(text, "", "top"), "<missing>");
}

TEST(ProfileText, TrimsBlanksAndOneEnclosingPairOfQuotes) {
  const std::string text =
      "[S]\n"
      "  a  =  padded value \t\n"
      "b=\"quoted value \"\n"
      "c='single'\n"
      "d=\"mismatched'\n"
      "e=\"\n"
      "f=\"\"\n"
      "g=x=y\n"
      "h=\n";
  EXPECT_EQ(Find(text, "S", "a"), "padded value");
  EXPECT_EQ(Find(text, "S", "b"), "quoted value ");
  EXPECT_EQ(Find(text, "S", "c"), "single");
  EXPECT_EQ(Find(text, "S", "d"), "\"mismatched'");
  EXPECT_EQ(Find(text, "S", "e"), "\"");
  EXPECT_EQ(Find(text, "S", "f"), "");
  EXPECT_EQ(Find(text, "S", "g"), "x=y");
  EXPECT_EQ(Find(text, "S", "h"), "");
}

TEST(ProfileText, CaseFoldingLeavesDoubleByteCharactersAlone) {
  // ア is 83 41 and チ is 83 60: their trail bytes are "A" and "`", not letters
  // to fold, so ア must not match the bytes 83 61 ("a" after the lead byte).
  const std::string text = "[設定]\r\nアkey=1\r\n";
  EXPECT_EQ(Find(text, "設定", "アKEY"), "1");
  EXPECT_EQ(Find(text, "設定", std::string("\x83\x61key")), "<missing>");
}

TEST(ProfileText, SurvivesDamagedText) {
  const std::string damaged[] = {
      "",
      "[",
      "]",
      "[]",
      "[Time",
      "[Time]",
      "[Time]\n=novalue\nTimerSet",
      std::string("[Time]") + '\0' + "\nTimerSet=1" + '\0' + "x\n",
      "\r\r\r\n\n[Time]\r\r\nTimerSet\r=2",
      std::string(5000, '='),
      "[Time]\nTimerSet=" + std::string(3000, 'x'),
  };
  for (const std::string& text : damaged) {
    std::string value;
    FindProfileValue(text, "Time", "TimerSet", kSjis, value);
    std::string edited = SetProfileValue(text, "Time", "TimerSet", "7", kSjis);
    EXPECT_EQ(Find(edited, "Time", "TimerSet"), "7") << text.substr(0, 40);
  }
  // A section line without its closing bracket is no section.
  EXPECT_EQ(Find("[Time\nTimerSet=1\n", "Time", "TimerSet"), "<missing>");
}

TEST(ProfileText, ValuesAreCutToTheBufferWithoutSplittingACharacter) {
  std::string long_value(3000, 'x');
  EXPECT_EQ(Find("[S]\nk=" + long_value, "S", "k").size(), kProfileValueLimit);
  // 2,046 ASCII bytes then a double-byte character: it does not fit whole.
  std::string mixed = std::string(2046, 'a') + "表";
  EXPECT_EQ(Find("[S]\nk=" + mixed, "S", "k"), std::string(2046, 'a'));
  EXPECT_EQ(ProfileDefaultValue(long_value, kSjis).size(), kProfileValueLimit);
}

TEST(ProfileText, DefaultLosesTrailingBlanksButKeepsItsFirstCharacter) {
  EXPECT_EQ(ProfileDefaultValue("abc  ", kSjis), "abc");
  EXPECT_EQ(ProfileDefaultValue("  abc", kSjis), "  abc");
  EXPECT_EQ(ProfileDefaultValue("   ", kSjis), " ");
  EXPECT_EQ(ProfileDefaultValue("", kSjis), "");
}

TEST(ProfileText, WritingKeepsEveryOtherLineAndTheKeysPlace) {
  const std::string text =
      "; note\r\n[Time]\r\nTIMERSET=5\r\nTimerIniSet=1\r\n\r\n[Other]\r\nx=1\r\n";
  std::string edited = SetProfileValue(text, "time", "TimerSet", "30", kSjis);
  EXPECT_EQ(edited,
            "; note\r\n[Time]\r\nTIMERSET=30\r\nTimerIniSet=1\r\n\r\n[Other]\r\nx=1\r\n");
  // A new key goes after the last entry of its section, before the blank line.
  edited = SetProfileValue(edited, "Time", "New", "v", kSjis);
  EXPECT_EQ(edited,
            "; note\r\n[Time]\r\nTIMERSET=30\r\nTimerIniSet=1\r\nNew=v\r\n\r\n[Other]\r\nx=1\r\n");
  // A new section goes at the end.
  EXPECT_EQ(SetProfileValue("[A]\nk=1", "B", "k", "2", kSjis), "[A]\r\nk=1\r\n[B]\r\nk=2\r\n");
  EXPECT_EQ(SetProfileValue("", "Time", "TimerSet", "0", kSjis), "[Time]\r\nTimerSet=0\r\n");
}

}  // namespace
}  // namespace quillset
