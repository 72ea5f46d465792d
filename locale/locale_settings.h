// The user's date and time settings, taken from the thread's locale: what the
// short-date text and the grid's date-time text are written and read with.
// Read once when the program starts and again whenever the system announces a
// setting change (the main window calls Reload then).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/os_services.h"

namespace quillset {

// Calendar types of locale_item::kICalendarType that count years in eras.
constexpr int kCalendarGregorian = 1;
constexpr int kCalendarJapaneseEra = 3;
constexpr int kCalendarTaiwan = 4;
constexpr int kCalendarKoreanEra = 5;
bool IsEraCalendar(int calendar_type);

struct LocaleDateSettings {
  // Only a one-byte separator is taken (locale_item::kSDate read into 2 bytes); '\0'
  // when the locale has an empty one, which writes as nothing.
  char DateSeparatorChar = '/';
  // locale_item::kSShortDate / locale_item::kSLongDate, translated for the calendar type.
  std::string ShortDatePattern = "m/d/yy";
  std::string LongDatePattern = "mmmm d, yyyy";
  // Index 0 is January.
  std::string ShortMonthNames[12];
  std::string LongMonthNames[12];
  // Index 0 is Sunday, 6 Saturday.
  std::string ShortDayNames[7];
  std::string LongDayNames[7];
  // Morning and afternoon designators (locale_item::kS1159, locale_item::kS2359).
  std::string TimeAMString = "am";
  std::string TimePMString = "pm";
  // "h" or "hh", then ":mm:ss", with "AMPM " in front or " AMPM" behind on a
  // 12-hour clock; see BuildLongTimeFormat.
  std::string LongTimeFormat = "h:mm:ss AMPM";
  // Two-digit years are placed in the hundred years that start this many years
  // before the current year.
  int TwoDigitYearWindow = 50;
  // Lead bytes of the system code page, so that patterns and texts are walked
  // by characters; none by default. FarEast: the code page has lead bytes.
  std::array<bool, 256> LeadBytes{};
  bool FarEast = false;
  bool IsLeadByte(std::uint8_t byte) const { return LeadBytes[byte]; }
  // locale_item::kICalendarType, default 1 (Gregorian).
  int CalendarType = kCalendarGregorian;
  // Eras of an era calendar, oldest first; empty for the Gregorian calendar.
  std::vector<OsServices::Era> Eras;

  LocaleDateSettings();  // English names; every other member as above

  // Reads every setting for the thread's locale; a failed item keeps its default.
  void Load(OsServices& os);
  // Sets the thread's locale to the user's default locale, then Load.
  void Reload(OsServices& os);
  // Settings read once from `os` (Load on a fresh object).
  static LocaleDateSettings FromOs(OsServices& os);
};

// The short or long date pattern as the program uses it: on a calendar that is
// not an era calendar, "g"/"G" removed for Japanese, Chinese and Korean locales
// (primary language of `locale_id`); on an era calendar "gg" -> "ggg",
// "yyyy" -> "eeee", "yy" -> "ee", "y" -> "e". Double-byte characters are copied
// whole in both cases.
std::string TranslateDatePattern(const std::string& pattern, int calendar_type,
                                 std::uint32_t locale_id, const CodePage& cp);

// The long time format from the locale's time items as text ("0"/"1"); a
// missing item counts as "0".
std::string BuildLongTimeFormat(const std::string& leading_zero /*locale_item::kITLZero*/,
                                const std::string& clock /*locale_item::kITime*/,
                                const std::string& marker_first /*locale_item::kITimeMarkPosn*/);

}  // namespace quillset
