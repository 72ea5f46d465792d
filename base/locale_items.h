// The locale items the program asks for (pass them to OsServices::LocaleInfo),
// with the numbers Windows gives them: locale_item::kSShortDate is
// LOCALE_SSHORTDATE. Portable code uses these; the Win32 services check them
// against the Windows headers.
#pragma once

#include <cstdint>

namespace quillset {
namespace locale_item {
inline constexpr std::uint32_t kILanguage = 0x00000001;  // LOCALE_ILANGUAGE
inline constexpr std::uint32_t kSDate = 0x0000001d;  // LOCALE_SDATE
inline constexpr std::uint32_t kSShortDate = 0x0000001f;  // LOCALE_SSHORTDATE
inline constexpr std::uint32_t kSLongDate = 0x00000020;  // LOCALE_SLONGDATE
inline constexpr std::uint32_t kITime = 0x00000023;  // LOCALE_ITIME
inline constexpr std::uint32_t kITLZero = 0x00000025;  // LOCALE_ITLZERO
inline constexpr std::uint32_t kS1159 = 0x00000028;  // LOCALE_S1159
inline constexpr std::uint32_t kS2359 = 0x00000029;  // LOCALE_S2359
inline constexpr std::uint32_t kSDayName1 = 0x0000002a;  // LOCALE_SDAYNAME1
inline constexpr std::uint32_t kSDayName2 = 0x0000002b;  // LOCALE_SDAYNAME2
inline constexpr std::uint32_t kSDayName3 = 0x0000002c;  // LOCALE_SDAYNAME3
inline constexpr std::uint32_t kSDayName4 = 0x0000002d;  // LOCALE_SDAYNAME4
inline constexpr std::uint32_t kSDayName5 = 0x0000002e;  // LOCALE_SDAYNAME5
inline constexpr std::uint32_t kSDayName6 = 0x0000002f;  // LOCALE_SDAYNAME6
inline constexpr std::uint32_t kSDayName7 = 0x00000030;  // LOCALE_SDAYNAME7
inline constexpr std::uint32_t kSAbbrevDayName1 = 0x00000031;  // LOCALE_SABBREVDAYNAME1
inline constexpr std::uint32_t kSAbbrevDayName2 = 0x00000032;  // LOCALE_SABBREVDAYNAME2
inline constexpr std::uint32_t kSAbbrevDayName3 = 0x00000033;  // LOCALE_SABBREVDAYNAME3
inline constexpr std::uint32_t kSAbbrevDayName4 = 0x00000034;  // LOCALE_SABBREVDAYNAME4
inline constexpr std::uint32_t kSAbbrevDayName5 = 0x00000035;  // LOCALE_SABBREVDAYNAME5
inline constexpr std::uint32_t kSAbbrevDayName6 = 0x00000036;  // LOCALE_SABBREVDAYNAME6
inline constexpr std::uint32_t kSAbbrevDayName7 = 0x00000037;  // LOCALE_SABBREVDAYNAME7
inline constexpr std::uint32_t kSMonthName1 = 0x00000038;  // LOCALE_SMONTHNAME1
inline constexpr std::uint32_t kSMonthName2 = 0x00000039;  // LOCALE_SMONTHNAME2
inline constexpr std::uint32_t kSMonthName3 = 0x0000003a;  // LOCALE_SMONTHNAME3
inline constexpr std::uint32_t kSMonthName4 = 0x0000003b;  // LOCALE_SMONTHNAME4
inline constexpr std::uint32_t kSMonthName5 = 0x0000003c;  // LOCALE_SMONTHNAME5
inline constexpr std::uint32_t kSMonthName6 = 0x0000003d;  // LOCALE_SMONTHNAME6
inline constexpr std::uint32_t kSMonthName7 = 0x0000003e;  // LOCALE_SMONTHNAME7
inline constexpr std::uint32_t kSMonthName8 = 0x0000003f;  // LOCALE_SMONTHNAME8
inline constexpr std::uint32_t kSMonthName9 = 0x00000040;  // LOCALE_SMONTHNAME9
inline constexpr std::uint32_t kSMonthName10 = 0x00000041;  // LOCALE_SMONTHNAME10
inline constexpr std::uint32_t kSMonthName11 = 0x00000042;  // LOCALE_SMONTHNAME11
inline constexpr std::uint32_t kSMonthName12 = 0x00000043;  // LOCALE_SMONTHNAME12
inline constexpr std::uint32_t kSAbbrevMonthName1 = 0x00000044;  // LOCALE_SABBREVMONTHNAME1
inline constexpr std::uint32_t kSAbbrevMonthName2 = 0x00000045;  // LOCALE_SABBREVMONTHNAME2
inline constexpr std::uint32_t kSAbbrevMonthName3 = 0x00000046;  // LOCALE_SABBREVMONTHNAME3
inline constexpr std::uint32_t kSAbbrevMonthName4 = 0x00000047;  // LOCALE_SABBREVMONTHNAME4
inline constexpr std::uint32_t kSAbbrevMonthName5 = 0x00000048;  // LOCALE_SABBREVMONTHNAME5
inline constexpr std::uint32_t kSAbbrevMonthName6 = 0x00000049;  // LOCALE_SABBREVMONTHNAME6
inline constexpr std::uint32_t kSAbbrevMonthName7 = 0x0000004a;  // LOCALE_SABBREVMONTHNAME7
inline constexpr std::uint32_t kSAbbrevMonthName8 = 0x0000004b;  // LOCALE_SABBREVMONTHNAME8
inline constexpr std::uint32_t kSAbbrevMonthName9 = 0x0000004c;  // LOCALE_SABBREVMONTHNAME9
inline constexpr std::uint32_t kSAbbrevMonthName10 = 0x0000004d;  // LOCALE_SABBREVMONTHNAME10
inline constexpr std::uint32_t kSAbbrevMonthName11 = 0x0000004e;  // LOCALE_SABBREVMONTHNAME11
inline constexpr std::uint32_t kSAbbrevMonthName12 = 0x0000004f;  // LOCALE_SABBREVMONTHNAME12
inline constexpr std::uint32_t kSTimeFormat = 0x00001003;  // LOCALE_STIMEFORMAT
inline constexpr std::uint32_t kIDefaultAnsiCodePage = 0x00001004;  // LOCALE_IDEFAULTANSICODEPAGE
inline constexpr std::uint32_t kITimeMarkPosn = 0x00001005;  // LOCALE_ITIMEMARKPOSN
inline constexpr std::uint32_t kICalendarType = 0x00001009;  // LOCALE_ICALENDARTYPE
}  // namespace locale_item

// SetThreadLocale(LOCALE_USER_DEFAULT): the user's default locale.
constexpr std::uint32_t kLocaleUserDefault = 0x0400;
// ja-JP, the locale the program is written for.
constexpr std::uint32_t kLocaleJapanese = 0x0411;

}  // namespace quillset
