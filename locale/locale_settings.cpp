#include "locale/locale_settings.h"

#include "base/locale_items.h"
#include "locale/whole_number_text.h"

namespace quillset {
namespace {

const char* const kDefaultShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDefaultLongMonthNames[12] = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
const char* const kDefaultShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDefaultLongDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};

// Primary languages whose Gregorian patterns may carry era markers.
constexpr std::uint32_t kLangChinese = 0x04;
constexpr std::uint32_t kLangJapanese = 0x11;
constexpr std::uint32_t kLangKorean = 0x12;

// The buffers (in Shift-JIS bytes) the program reads locale values into.
constexpr std::size_t kLocaleBufferSize = 256;
constexpr std::size_t kSeparatorBufferSize = 2;  // one byte and the terminating zero

std::string LocaleText(OsServices& os, std::uint32_t item, const std::string& fallback) {
  std::string value;
  if (!os.LocaleInfo(item, kLocaleBufferSize, value)) return fallback;
  return value;
}

class LeadByteTable : public CodePage {
 public:
  explicit LeadByteTable(const std::array<bool, 256>& table) : table_(table) {}
  bool IsLeadByte(std::uint8_t byte) const override { return table_[byte]; }

 private:
  const std::array<bool, 256>& table_;
};

bool LettersMatch(const std::string& text, std::size_t at, const char* lower) {
  for (std::size_t i = 0; lower[i] != '\0'; ++i) {
    if (at + i >= text.size()) return false;
    const char c = text[at + i];
    if (c != lower[i] && c != lower[i] - ('a' - 'A')) return false;
  }
  return true;
}

}  // namespace

bool IsEraCalendar(int calendar_type) {
  return calendar_type == kCalendarJapaneseEra || calendar_type == kCalendarTaiwan ||
         calendar_type == kCalendarKoreanEra;
}

LocaleDateSettings::LocaleDateSettings() {
  for (int i = 0; i < 12; ++i) {
    ShortMonthNames[i] = kDefaultShortMonthNames[i];
    LongMonthNames[i] = kDefaultLongMonthNames[i];
  }
  for (int i = 0; i < 7; ++i) {
    ShortDayNames[i] = kDefaultShortDayNames[i];
    LongDayNames[i] = kDefaultLongDayNames[i];
  }
}

void LocaleDateSettings::Load(OsServices& os) {
  *this = LocaleDateSettings();
  const std::uint32_t locale_id = os.ThreadLocale();

  FarEast = false;
  for (int byte = 0; byte < 256; ++byte) {
    LeadBytes[byte] = os.IsLeadByte(static_cast<std::uint8_t>(byte));
    FarEast = FarEast || LeadBytes[byte];
  }
  const LeadByteTable code_page(LeadBytes);

  std::int32_t calendar = kCalendarGregorian;
  if (!TryTextToInt(LocaleText(os, locale_item::kICalendarType, "1"), calendar)) {
    calendar = kCalendarGregorian;
  }
  CalendarType = calendar;
  if (IsEraCalendar(CalendarType)) Eras = os.CalendarEras(CalendarType);

  // A separator longer than one byte does not fit the buffer: the call fails.
  std::string separator;
  if (os.LocaleInfo(locale_item::kSDate, kSeparatorBufferSize, separator) && separator.size() <= 1) {
    DateSeparatorChar = separator.empty() ? '\0' : separator[0];
  }

  ShortDatePattern = TranslateDatePattern(LocaleText(os, locale_item::kSShortDate, "m/d/yy"),
                                          CalendarType, locale_id, code_page);
  LongDatePattern = TranslateDatePattern(LocaleText(os, locale_item::kSLongDate, "mmmm d, yyyy"),
                                         CalendarType, locale_id, code_page);

  for (std::uint32_t i = 0; i < 12; ++i) {
    ShortMonthNames[i] = LocaleText(os, locale_item::kSAbbrevMonthName1 + i, ShortMonthNames[i]);
    LongMonthNames[i] = LocaleText(os, locale_item::kSMonthName1 + i, LongMonthNames[i]);
  }
  // The locale counts days from Monday; the program's tables start with Sunday.
  for (std::uint32_t i = 0; i < 7; ++i) {
    const std::uint32_t locale_index = (i + 6) % 7;
    ShortDayNames[i] = LocaleText(os, locale_item::kSAbbrevDayName1 + locale_index, ShortDayNames[i]);
    LongDayNames[i] = LocaleText(os, locale_item::kSDayName1 + locale_index, LongDayNames[i]);
  }

  TimeAMString = LocaleText(os, locale_item::kS1159, "am");
  TimePMString = LocaleText(os, locale_item::kS2359, "pm");
  LongTimeFormat = BuildLongTimeFormat(LocaleText(os, locale_item::kITLZero, "0"),
                                       LocaleText(os, locale_item::kITime, "0"),
                                       LocaleText(os, locale_item::kITimeMarkPosn, "0"));
}

void LocaleDateSettings::Reload(OsServices& os) {
  os.SetThreadLocaleToUserDefault();
  Load(os);
}

LocaleDateSettings LocaleDateSettings::FromOs(OsServices& os) {
  LocaleDateSettings settings;
  settings.Load(os);
  return settings;
}

std::string TranslateDatePattern(const std::string& pattern, int calendar_type,
                                 std::uint32_t locale_id, const CodePage& cp) {
  std::string result;
  std::size_t i = 0;
  if (!IsEraCalendar(calendar_type)) {
    const std::uint32_t language = locale_id & 0x3FF;
    const bool remove_era =
        language == kLangJapanese || language == kLangChinese || language == kLangKorean;
    if (!remove_era) return pattern;
    while (i < pattern.size()) {
      // A trail byte may be 'g' or 'G' (0x67, 0x47): characters go whole.
      if (cp.IsLeadByte(static_cast<std::uint8_t>(pattern[i])) && i + 1 < pattern.size()) {
        result.append(pattern, i, 2);
        i += 2;
        continue;
      }
      if (pattern[i] != 'g' && pattern[i] != 'G') result += pattern[i];
      ++i;
    }
    return result;
  }
  while (i < pattern.size()) {
    if (cp.IsLeadByte(static_cast<std::uint8_t>(pattern[i])) && i + 1 < pattern.size()) {
      result.append(pattern, i, 2);
      i += 2;
    } else if (LettersMatch(pattern, i, "gg")) {
      result += "ggg";
      i += 2;
    } else if (LettersMatch(pattern, i, "yyyy")) {
      result += "eeee";
      i += 4;
    } else if (LettersMatch(pattern, i, "yy")) {
      result += "ee";
      i += 2;
    } else if (pattern[i] == 'y' || pattern[i] == 'Y') {
      result += "e";
      ++i;
    } else {
      result += pattern[i];
      ++i;
    }
  }
  return result;
}

std::string BuildLongTimeFormat(const std::string& leading_zero, const std::string& clock,
                                const std::string& marker_first) {
  std::string format = leading_zero != "0" ? "hh" : "h";
  format += ":mm:ss";
  if (clock == "0") {  // 12-hour clock
    if (marker_first != "0") {
      format = "AMPM " + format;
    } else {
      format += " AMPM";
    }
  }
  return format;
}

}  // namespace quillset
