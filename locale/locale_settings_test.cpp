#include "locale/locale_settings.h"

#include <gtest/gtest.h>

#include "base/locale_items.h"
#include "base/testing/in_memory_os.h"

namespace quillset {
namespace {

TEST(LocaleDateSettingsTest, ReadsTheLocaleItems) {
  testing_support::InMemoryOs os;
  os.SetLocaleItem(locale_item::kSMonthName1, "1月");
  os.SetLocaleItem(locale_item::kSAbbrevMonthName12, "12");
  os.RemoveLocaleItem(locale_item::kSMonthName2);
  os.SetLocaleItem(locale_item::kSDayName1, "月曜日");   // Monday
  os.SetLocaleItem(locale_item::kSDayName7, "日曜日");   // Sunday
  os.SetLocaleItem(locale_item::kSAbbrevDayName7, "日");
  const LocaleDateSettings s = LocaleDateSettings::FromOs(os);
  EXPECT_EQ(s.DateSeparatorChar, '/');
  EXPECT_EQ(s.ShortDatePattern, "yyyy/MM/dd");
  EXPECT_EQ(s.LongDatePattern, "yyyy'年'M'月'd'日'");
  EXPECT_EQ(s.LongMonthNames[0], "1月");
  EXPECT_EQ(s.LongMonthNames[1], "February");  // item missing: default kept
  EXPECT_EQ(s.ShortMonthNames[11], "12");
  EXPECT_EQ(s.LongDayNames[0], "日曜日");
  EXPECT_EQ(s.LongDayNames[1], "月曜日");
  EXPECT_EQ(s.ShortDayNames[0], "日");
  EXPECT_EQ(s.TimeAMString, "午前");
  EXPECT_EQ(s.TimePMString, "午後");
  EXPECT_EQ(s.LongTimeFormat, "h:mm:ss");
  EXPECT_EQ(s.TwoDigitYearWindow, 50);
  EXPECT_TRUE(s.FarEast);
  EXPECT_TRUE(s.IsLeadByte(0x82));
  EXPECT_FALSE(s.IsLeadByte('/'));
}

TEST(LocaleDateSettingsTest, FailedItemsGiveTheDefaults) {
  testing_support::InMemoryOs os;
  for (std::uint32_t item : {locale_item::kSDate, locale_item::kSShortDate, locale_item::kSLongDate, locale_item::kS1159,
                             locale_item::kS2359, locale_item::kITime, locale_item::kITLZero, locale_item::kITimeMarkPosn,
                             locale_item::kICalendarType, locale_item::kSMonthName12}) {
    os.RemoveLocaleItem(item);
  }
  os.SetSingleByteCodePage(true);
  const LocaleDateSettings s = LocaleDateSettings::FromOs(os);
  EXPECT_EQ(s.DateSeparatorChar, '/');
  EXPECT_EQ(s.ShortDatePattern, "m/d/yy");
  EXPECT_EQ(s.LongDatePattern, "mmmm d, yyyy");
  EXPECT_EQ(s.TimeAMString, "am");
  EXPECT_EQ(s.TimePMString, "pm");
  EXPECT_EQ(s.LongTimeFormat, "h:mm:ss AMPM");  // missing items count as "0"
  EXPECT_EQ(s.CalendarType, kCalendarGregorian);
  EXPECT_FALSE(s.FarEast);
  EXPECT_EQ(s.LongMonthNames[11], "December");
}

TEST(LocaleDateSettingsTest, OnlyAOneByteSeparatorIsTaken) {
  testing_support::InMemoryOs os;
  os.SetLocaleItem(locale_item::kSDate, "-");
  EXPECT_EQ(LocaleDateSettings::FromOs(os).DateSeparatorChar, '-');
  os.SetLocaleItem(locale_item::kSDate, "--");  // does not fit the two-byte buffer
  EXPECT_EQ(LocaleDateSettings::FromOs(os).DateSeparatorChar, '/');
  os.SetLocaleItem(locale_item::kSDate, "／");  // a double-byte character neither
  EXPECT_EQ(LocaleDateSettings::FromOs(os).DateSeparatorChar, '/');
  os.SetLocaleItem(locale_item::kSDate, "");
  EXPECT_EQ(LocaleDateSettings::FromOs(os).DateSeparatorChar, '\0');
}

TEST(LocaleDateSettingsTest, ReloadTakesTheUserDefaultLocaleAndForgetsOldValues) {
  testing_support::InMemoryOs os;
  LocaleDateSettings s = LocaleDateSettings::FromOs(os);
  os.SetLocaleItem(locale_item::kSShortDate, "dd.MM.yyyy");
  os.SetLocaleItem(locale_item::kSDate, ".");
  os.RemoveLocaleItem(locale_item::kS1159);
  os.SetThreadLocaleId(0x0409);
  os.SetUserDefaultLocaleId(0x0411);
  s.Reload(os);
  EXPECT_EQ(os.ThreadLocaleResets(), 1);
  EXPECT_EQ(os.ThreadLocale(), 0x0411u);
  EXPECT_EQ(s.ShortDatePattern, "dd.MM.yyyy");
  EXPECT_EQ(s.DateSeparatorChar, '.');
  EXPECT_EQ(s.TimeAMString, "am");
}

TEST(TranslateDatePatternTest, GregorianDropsEraMarkersForEastAsianLanguages) {
  const ShiftJisCodePage sjis;
  EXPECT_EQ(TranslateDatePattern("ggyyyy/MM/dd", 1, 0x0411, sjis), "yyyy/MM/dd");   // Japanese
  EXPECT_EQ(TranslateDatePattern("Gyyyy/MM/dd", 1, 0x0404, sjis), "yyyy/MM/dd");    // Chinese
  EXPECT_EQ(TranslateDatePattern("gg yyyy-MM-dd", 2, 0x0412, sjis), " yyyy-MM-dd");  // Korean
  EXPECT_EQ(TranslateDatePattern("gg yyyy/MM/dd", 1, 0x0409, sjis), "gg yyyy/MM/dd");  // English
  // A trail byte that looks like "g" (ｇ is 0x82 0x87; ぇ... any 0x67 trail) stays.
  const std::string with_trail_g = "yyyy\x88\x67MM";
  EXPECT_EQ(TranslateDatePattern(with_trail_g, 1, 0x0411, sjis), with_trail_g);
}

TEST(TranslateDatePatternTest, EraCalendarsCountYearsInEras) {
  const ShiftJisCodePage sjis;
  for (int calendar : {3, 4, 5}) {
    EXPECT_EQ(TranslateDatePattern("ggyyyy/MM/dd", calendar, 0x0411, sjis), "gggeeee/MM/dd");
    EXPECT_EQ(TranslateDatePattern("GGyy/M/d", calendar, 0x0411, sjis), "gggee/M/d");
    EXPECT_EQ(TranslateDatePattern("gy/M/d", calendar, 0x0411, sjis), "ge/M/d");
    EXPECT_EQ(TranslateDatePattern("Yyyyy", calendar, 0x0411, sjis), "eeeee");
  }
  // Double-byte characters whole: 0x8F 0x79 ends in "y".
  EXPECT_EQ(TranslateDatePattern("yy\x8F\x79", 3, 0x0411, sjis), "ee\x8F\x79");
}

TEST(LongTimeFormatTest, BuiltFromTheLocaleTimeItems) {
  EXPECT_EQ(BuildLongTimeFormat("0", "1", "0"), "h:mm:ss");
  EXPECT_EQ(BuildLongTimeFormat("1", "1", "0"), "hh:mm:ss");
  EXPECT_EQ(BuildLongTimeFormat("0", "0", "0"), "h:mm:ss AMPM");
  EXPECT_EQ(BuildLongTimeFormat("1", "0", "0"), "hh:mm:ss AMPM");
  EXPECT_EQ(BuildLongTimeFormat("0", "0", "1"), "AMPM h:mm:ss");
  EXPECT_EQ(BuildLongTimeFormat("1", "0", "1"), "AMPM hh:mm:ss");
  EXPECT_EQ(BuildLongTimeFormat("0", "1", "1"), "h:mm:ss");  // 24 hours: no marker
  testing_support::InMemoryOs os;
  os.SetLocaleItem(locale_item::kITime, "0");
  os.SetLocaleItem(locale_item::kITLZero, "1");
  os.SetLocaleItem(locale_item::kITimeMarkPosn, "1");
  EXPECT_EQ(LocaleDateSettings::FromOs(os).LongTimeFormat, "AMPM hh:mm:ss");
}

}  // namespace
}  // namespace quillset
