#include <gtest/gtest.h>

#include <random>

#include "base/errors.h"
#include "locale/calendar_dates.h"
#include "base/locale_items.h"
#include "base/testing/in_memory_os.h"
#include "locale/whole_number_text.h"

namespace quillset {
namespace {

// Settings as a Japanese system gives them, with the pattern under test.
LocaleDateSettings JapaneseSettings(const std::string& pattern = "yyyy/MM/dd",
                                    char separator = '/') {
  testing_support::InMemoryOs os;
  LocaleDateSettings settings = LocaleDateSettings::FromOs(os);
  settings.ShortDatePattern = pattern;
  settings.DateSeparatorChar = separator;
  return settings;
}

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s, ms));
}

std::string Format(const std::string& pattern, TDateTime value) {
  return FormatDateTimePattern(pattern, value, JapaneseSettings());
}

TEST(FormatShortDateTest, NumericElementsAndTheSeparator) {
  const TDateTime dec13 = EncodeDate(2026, 12, 13);
  EXPECT_EQ(FormatShortDate(dec13, JapaneseSettings("yyyy/MM/dd")), "2026/12/13");
  EXPECT_EQ(FormatShortDate(dec13, JapaneseSettings("yy/MM/dd")), "26/12/13");
  const TDateTime mar5 = EncodeDate(2027, 3, 5);
  EXPECT_EQ(Format("m/d/y", mar5), "3/5/27");
  EXPECT_EQ(Format("mm/dd/yyy", mar5), "03/05/2027");
  EXPECT_EQ(Format("YYYYY-M-D", mar5), "2027-3-5");  // case does not matter; "-" is copied
  EXPECT_EQ(Format("yyyy yy", EncodeDate(26, 1, 1)), "0026 26");
  EXPECT_EQ(Format("yy", EncodeDate(2000, 1, 1)), "00");
  EXPECT_EQ(FormatShortDate(dec13, JapaneseSettings("yyyy/MM/dd", '-')), "2026-12-13");
  EXPECT_EQ(FormatShortDate(dec13, JapaneseSettings("yyyy/MM/dd", '\0')), "20261213");
  EXPECT_EQ(FormatShortDate(dec13, LocaleDateSettings()), "12/13/26");  // defaults: m/d/yy
}

TEST(FormatShortDateTest, NamesNestedPatternsAndLiteralText) {
  LocaleDateSettings settings;  // English names
  settings.ShortDatePattern = "d/m/yyyy";
  settings.LongDatePattern = "dddd d mmmm yyyy";
  const TDateTime sunday = EncodeDate(2026, 12, 13);
  EXPECT_EQ(FormatDateTimePattern("ddd mmm", sunday, settings), "Sun Dec");
  EXPECT_EQ(FormatDateTimePattern("dddd mmmm", sunday, settings), "Sunday December");
  EXPECT_EQ(FormatDateTimePattern("mmmmmm", sunday, settings), "December");
  EXPECT_EQ(FormatDateTimePattern("ddddd", sunday, settings), "13/12/2026");
  EXPECT_EQ(FormatDateTimePattern("dddddd", sunday, settings), "Sunday 13 December 2026");
  EXPECT_EQ(FormatDateTimePattern("\"dd\"'/mm' d", sunday, settings), "dd/mm 13");
  EXPECT_EQ(FormatDateTimePattern("yyyy 'open", sunday, settings), "2026 open");
  EXPECT_EQ(FormatDateTimePattern("hh:nn:ss.zzz", At(2026, 1, 1, 7, 8, 9, 45), settings),
            "07:08:09.045");
}

TEST(FormatShortDateTest, DoubleByteCharactersAreCopiedWhole) {
  // Ｅ (0x82 0x64) ends in the byte of "d"; 表 (0x95 0x5C) in that of "\".
  EXPECT_EQ(Format("yyyy年M月d日", EncodeDate(2026, 12, 13)), "2026年12月13日");
  EXPECT_EQ(Format("yyyyＥmm表d", EncodeDate(2026, 12, 13)), "2026Ｅ12表13");
  // Without lead bytes the same bytes are separate characters.
  LocaleDateSettings single_byte = JapaneseSettings();
  single_byte.LeadBytes.fill(false);
  EXPECT_EQ(FormatDateTimePattern("\x82\x64", EncodeDate(2026, 12, 13), single_byte), "\x82" "13");
}

TEST(FormatShortDateTest, OutputStopsAt256BytesAndSelfReferenceEnds) {
  LocaleDateSettings settings = JapaneseSettings();
  const std::string long_text = FormatDateTimePattern(std::string(300, 'x'), 1.0, settings);
  EXPECT_EQ(long_text.size(), 256u);
  // 255 single bytes and then a double-byte character: the character does not fit.
  const std::string cut = FormatDateTimePattern(std::string(255, 'x') + "年", 1.0, settings);
  EXPECT_EQ(cut, std::string(255, 'x'));
  settings.ShortDatePattern = "ddddd ddddd";  // refers to itself
  const std::string nested = FormatShortDate(EncodeDate(2026, 12, 13), settings);
  EXPECT_LE(nested.size(), 256u);
}

TEST(FormatShortDateTest, EraCalendarWritesEraNamesAndYears) {
  testing_support::InMemoryOs os;
  os.SetLocaleItem(locale_item::kICalendarType, "3");
  os.SetLocaleItem(locale_item::kSShortDate, "gg y/MM/dd");
  os.SetEras(3, {{"平成", 1989, 1, 8}, {"令和", 2019, 5, 1}});
  const LocaleDateSettings settings = LocaleDateSettings::FromOs(os);
  EXPECT_EQ(settings.ShortDatePattern, "ggg e/MM/dd");
  EXPECT_EQ(FormatShortDate(EncodeDate(2026, 12, 13), settings), "令和 8/12/13");
  EXPECT_EQ(FormatShortDate(EncodeDate(2019, 4, 30), settings), "平成 31/04/30");
  EXPECT_EQ(FormatDateTimePattern("g", EncodeDate(2019, 5, 1), settings), "令");
  EXPECT_EQ(FormatDateTimePattern("gge", EncodeDate(1970, 1, 1), settings), "1970");  // no era yet
}

TEST(FormatDateTimeTextTest, TimeShownUnlessHoursMinutesAndSecondsAreZero) {
  LocaleDateSettings settings = JapaneseSettings();
  settings.LongTimeFormat = "h:mm:ss";
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 9, 5, 7), settings), "2026/12/13 9:05:07");
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13), settings), "2026/12/13");
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 0, 0, 0, 500), settings), "2026/12/13");
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 10, 0, 0, 500), settings), "2026/12/13 10:00:00");
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 0, 0, 1), settings), "2026/12/13 0:00:01");
  settings.LongTimeFormat = "AMPM h:mm:ss";
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 15, 5, 7), settings), "2026/12/13 午後 3:05:07");
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 0, 5, 7), settings), "2026/12/13 午前 12:05:07");
  settings.LongTimeFormat = "hh:mm:ss AMPM";
  settings.TimeAMString = "am";
  settings.TimePMString = "pm";
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 12, 0, 1), settings), "2026/12/13 12:00:01 pm");
  EXPECT_EQ(FormatDateTimeText(At(2026, 12, 13, 9, 0, 0), settings), "2026/12/13 09:00:00 am");
  EXPECT_EQ(FormatDateTimePattern("h:nn am/pm A/P", At(2026, 1, 1, 13, 4), settings), "1:04 pm P");
}

class ParseShortDateTest : public ::testing::Test {
 protected:
  TDateTime Parse(const std::string& text, const std::string& pattern = "yyyy/MM/dd",
                  char separator = '/') {
    return ParseShortDate(text, JapaneseSettings(pattern, separator), os_);
  }
  bool Reads(const std::string& text, const std::string& pattern = "yyyy/MM/dd",
             char separator = '/') {
    TDateTime value = 0;
    return TryParseShortDate(text, JapaneseSettings(pattern, separator), os_, value);
  }
  testing_support::InMemoryOs os_;  // clock: 13 December 2026
};

TEST_F(ParseShortDateTest, BlanksSeparatorsAndTrailingText) {
  EXPECT_EQ(Parse("2026/12/13"), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("2026/2/28"), EncodeDate(2026, 2, 28));
  EXPECT_EQ(Parse("2026/12/13 "), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("  2026 / 12 /13/  "), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("0002026/012/013"), EncodeDate(2026, 12, 13));
  EXPECT_FALSE(Reads("2026/12/13x"));
  EXPECT_FALSE(Reads("2026/12/13."));
  EXPECT_FALSE(Reads("2026/12/13//"));
  EXPECT_FALSE(Reads("2026/12/13 1"));
  EXPECT_FALSE(Reads("\t2026/12/13"));  // only the space character is a blank
  EXPECT_FALSE(Reads(""));
  EXPECT_FALSE(Reads("   "));
  EXPECT_FALSE(Reads("2026"));
  EXPECT_FALSE(Reads("2026/"));
  EXPECT_FALSE(Reads("2026/12/"));
  EXPECT_FALSE(Reads("2026-12-13"));
  EXPECT_FALSE(Reads("/12/13"));
  EXPECT_EQ(Parse("2026-12-13", "yyyy/MM/dd", '-'), EncodeDate(2026, 12, 13));
}

TEST_F(ParseShortDateTest, InvalidDatesAndTheFailureMessage) {
  EXPECT_FALSE(Reads("2026/2/30"));
  EXPECT_FALSE(Reads("2026/2/29"));
  EXPECT_TRUE(Reads("2028/2/29"));
  EXPECT_FALSE(Reads("2026/13/1"));
  EXPECT_FALSE(Reads("2026/0/1"));
  EXPECT_FALSE(Reads("000/1/1"));  // year 0
  try {
    Parse("2026/2/30");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'2026/2/30' は日付ではありません");
  }
}

TEST_F(ParseShortDateTest, TwoNumbersAreInTheCurrentYear) {
  os_.SetClock(2027, 6, 1);
  EXPECT_EQ(Parse("12/13"), EncodeDate(2027, 12, 13));
  EXPECT_FALSE(Reads("12/13/"));  // a second separator asks for the year
  EXPECT_EQ(Parse("13.12", "dd.MM.yyyy", '.'), EncodeDate(2027, 12, 13));
  EXPECT_EQ(Parse("12/13", "M/d/yy"), EncodeDate(2027, 12, 13));
  EXPECT_FALSE(Reads("2/29"));
  os_.SetClock(2028, 6, 1);
  EXPECT_EQ(Parse("2/29"), EncodeDate(2028, 2, 29));
}

TEST_F(ParseShortDateTest, DateOrderComesFromThePattern) {
  EXPECT_EQ(Parse("13.12.2026", "dd.MM.yyyy", '.'), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("12/13/2026", "M/d/yyyy"), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("12/13/2026", "'Date' M/d/yyyy"), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("12/13/2026", "//"), EncodeDate(2026, 12, 13));  // no element: m/d/y
}

TEST_F(ParseShortDateTest, TwoDigitYearsFallInTheWindowAroundTheCurrentYear) {
  os_.SetClock(2026, 1, 1);
  EXPECT_EQ(Parse("26/1/1"), EncodeDate(2026, 1, 1));
  EXPECT_EQ(Parse("76/1/1"), EncodeDate(1976, 1, 1));
  EXPECT_EQ(Parse("75/1/1"), EncodeDate(2075, 1, 1));
  EXPECT_EQ(Parse("00/1/1"), EncodeDate(2000, 1, 1));
  EXPECT_EQ(Parse("1/1/1"), EncodeDate(2001, 1, 1));
  EXPECT_EQ(Parse("99/1/1"), EncodeDate(1999, 1, 1));
  EXPECT_EQ(Parse("026/1/1"), EncodeDate(26, 1, 1));
  EXPECT_EQ(Parse("0026/1/1"), EncodeDate(26, 1, 1));
  EXPECT_EQ(Parse("02026/1/1"), EncodeDate(2026, 1, 1));  // five characters, four digits
  EXPECT_FALSE(Reads("20261/1/1"));    // the fifth significant digit is left over
  EXPECT_FALSE(Reads("2026/1/12345"));
  // yy/MM/dd: written and read back while the current year is 2076 or earlier.
  const LocaleDateSettings yy = JapaneseSettings("yy/MM/dd");
  const std::string text = FormatShortDate(EncodeDate(2026, 12, 13), yy);
  EXPECT_EQ(text, "26/12/13");
  os_.SetClock(2076, 12, 31);
  EXPECT_EQ(ParseShortDate(text, yy, os_), EncodeDate(2026, 12, 13));
  os_.SetClock(2077, 1, 1);
  EXPECT_EQ(ParseShortDate(text, yy, os_), EncodeDate(2126, 12, 13));
}

TEST_F(ParseShortDateTest, FarEastDayNamesAfterTheDateAreSkipped) {
  const std::string pattern = "yyyy/MM/dd ddd";
  EXPECT_EQ(Parse("2026/12/13 日", pattern), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("2026/12/13 (日) 曜日  ", pattern), EncodeDate(2026, 12, 13));
  EXPECT_EQ(Parse("2026/12/13 Sun", "yyyy/MM/dd DDDD"), EncodeDate(2026, 12, 13));
  // A word that begins with a designator stops the skipping: the text is not all read.
  EXPECT_FALSE(Reads("2026/12/13 日 午後", pattern));
  EXPECT_FALSE(Reads("2026/12/13 午前中", pattern));
  // Not without "ddd" in the pattern, and not on single-byte systems.
  EXPECT_FALSE(Reads("2026/12/13 日"));
  LocaleDateSettings single_byte = JapaneseSettings(pattern);
  single_byte.FarEast = false;
  single_byte.LeadBytes.fill(false);
  TDateTime value = 0;
  EXPECT_FALSE(TryParseShortDate("2026/12/13 Sun", single_byte, os_, value));
}

TEST_F(ParseShortDateTest, EraCalendarReadsEraYears) {
  os_.SetLocaleItem(locale_item::kICalendarType, "3");
  os_.SetLocaleItem(locale_item::kSShortDate, "ggy/MM/dd");
  os_.SetEras(3, {{"平成", 1989, 1, 8}, {"令和", 2019, 5, 1}});
  const LocaleDateSettings settings = LocaleDateSettings::FromOs(os_);
  EXPECT_EQ(ParseShortDate("令和8/12/13", settings, os_), EncodeDate(2026, 12, 13));
  EXPECT_EQ(ParseShortDate("平成30/1/1", settings, os_), EncodeDate(2018, 1, 1));
  EXPECT_EQ(ParseShortDate("8/12/13", settings, os_), EncodeDate(2026, 12, 13));
  EXPECT_EQ(ParseShortDate("2026/12/13", settings, os_), EncodeDate(2026, 12, 13));
  EXPECT_EQ(ParseShortDate(FormatShortDate(EncodeDate(2019, 4, 30), settings), settings, os_),
            EncodeDate(2019, 4, 30));
}

class ParseDateTimeTextTest : public ::testing::Test {
 protected:
  testing_support::InMemoryOs os_;
  LocaleDateSettings settings_ = JapaneseSettings();
};

TEST_F(ParseDateTimeTextTest, DateWithOptionalTime) {
  settings_.LongTimeFormat = "h:mm:ss";
  EXPECT_EQ(ParseDateTimeText("2026/12/13", settings_, os_), At(2026, 12, 13));
  EXPECT_EQ(ParseDateTimeText("2026/12/13 9:05:07", settings_, os_), At(2026, 12, 13, 9, 5, 7));
  EXPECT_EQ(ParseDateTimeText("2026/12/13 9:05", settings_, os_), At(2026, 12, 13, 9, 5));
  EXPECT_EQ(ParseDateTimeText(" 12/13  23:59:59.999 ", settings_, os_),
            At(2026, 12, 13, 23, 59, 59, 999));
  EXPECT_EQ(ParseDateTimeText("2026/12/13 午後 3:05:07", settings_, os_),
            At(2026, 12, 13, 15, 5, 7));
  EXPECT_EQ(ParseDateTimeText("2026/12/13 12:00:00 am", settings_, os_), At(2026, 12, 13));
  EXPECT_EQ(ParseDateTimeText("2026/12/13 12:30:00 PM", settings_, os_), At(2026, 12, 13, 12, 30));
  for (const char* bad : {"", "9:05:07", "2026/12/13 25:00:00", "2026/12/13 10",
                          "2026/12/13 10:60", "2026/12/13 10:00 x", "2026/12/13 13:00 午後",
                          "2026/12/13 10:00:00.1234", "2026/2/30 10:00"}) {
    TDateTime value = 0;
    EXPECT_FALSE(TryParseDateTimeText(bad, settings_, os_, value)) << bad;
  }
  try {
    ParseDateTimeText("2026/12/13 99:00", settings_, os_);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'2026/12/13 99:00' は日付または時刻ではありません");
  }
}

TEST_F(ParseDateTimeTextTest, GridTextReadsBackForEveryTimeFormat) {
  for (const char* format : {"h:mm:ss", "hh:mm:ss", "AMPM h:mm:ss", "hh:mm:ss AMPM"}) {
    settings_.LongTimeFormat = format;
    for (int hour : {0, 1, 11, 12, 13, 23}) {
      const TDateTime value = At(2026, 12, 13, hour, 7, 9);
      const std::string text = FormatDateTimeText(value, settings_);
      EXPECT_EQ(ParseDateTimeText(text, settings_, os_), value) << format << " " << text;
    }
  }
  // Far East day names in the date pattern do not swallow the time.
  settings_.ShortDatePattern = "yyyy/MM/dd(ddd)";
  settings_.LongTimeFormat = "h:mm:ss";
  EXPECT_EQ(ParseDateTimeText("2026/12/13 (日) 10:00:00", settings_, os_), At(2026, 12, 13, 10));
}

// Random short texts of the characters that matter to the readers: nothing
// crashes, reads stay within the text, and what reads is a real value.
TEST(DateAndNumberTextRobustnessTest, RandomShortTextsNeverCrash) {
  testing_support::InMemoryOs os;
  LocaleDateSettings settings = JapaneseSettings("yyyy/MM/dd ddd");
  settings.LongTimeFormat = "AMPM h:mm:ss";
  std::mt19937 random(20261213);
  static const char kAlphabet[] = "0123456789/ :.-+$xX0aApPfF\x81\x40\x93\xFA\x8C\x8E";
  int dates_read = 0, numbers_read = 0;
  for (int round = 0; round < 300000; ++round) {
    std::string text(random() % 14, ' ');
    for (char& c : text) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    if (round % 7 == 0) text += "午前";
    TDateTime value = 0;
    if (TryParseShortDate(text, settings, os, value)) {
      ++dates_read;
      int y, m, d;
      ASSERT_TRUE(DecodeDate(value, y, m, d)) << text;
      ASSERT_EQ(value, EncodeDate(y, m, d)) << text;
    }
    if (TryParseDateTimeText(text, settings, os, value)) {
      int y, m, d;
      ASSERT_TRUE(DecodeDate(value, y, m, d)) << text;
    }
    std::int32_t number = 0;
    if (TryTextToInt(text, number)) {
      ++numbers_read;
      std::int32_t again = 0;
      ASSERT_TRUE(TryTextToInt(IntToText(number), again));
      ASSERT_EQ(again, number);
    }
  }
  EXPECT_GT(dates_read, 0);
  EXPECT_GT(numbers_read, 0);
}

}  // namespace
}  // namespace quillset
