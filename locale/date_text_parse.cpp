// Reading dates (and grid date-times) written in the user's formats.
#include <string>

#include "base/errors.h"
#include "locale/calendar_dates.h"

namespace quillset {
namespace {

const char kNotDateMessage[] = "'%s' は日付ではありません";
const char kNotDateTimeMessage[] = "'%s' は日付または時刻ではありません";
constexpr char kTimeSeparator = ':';

enum class DateOrder { kMonthDayYear, kDayMonthYear, kYearMonthDay };

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// The order comes from the first of d, y, e and m in the pattern. Quoted text
// is no element, so its letters do not count.
DateOrder OrderOf(const LocaleDateSettings& settings) {
  const std::string& pattern = settings.ShortDatePattern;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (settings.IsLeadByte(static_cast<std::uint8_t>(pattern[i])) && i + 1 < pattern.size()) {
      ++i;
      continue;
    }
    if (pattern[i] == '"' || pattern[i] == '\'') {
      const char quote = pattern[i];
      ++i;
      while (i < pattern.size() && pattern[i] != quote) {
        const bool lead = settings.IsLeadByte(static_cast<std::uint8_t>(pattern[i]));
        i += lead ? 2 : 1;
      }
      continue;
    }
    switch (Lower(pattern[i])) {
      case 'd': return DateOrder::kDayMonthYear;
      case 'y':
      case 'e': return DateOrder::kYearMonthDay;
      case 'm': return DateOrder::kMonthDayYear;
      default: break;
    }
  }
  return DateOrder::kMonthDayYear;
}

bool PatternHasDayName(const LocaleDateSettings& settings) {
  const std::string& pattern = settings.ShortDatePattern;
  for (std::size_t i = 0; i + 2 < pattern.size(); ++i) {
    if (settings.IsLeadByte(static_cast<std::uint8_t>(pattern[i]))) {
      ++i;
      continue;
    }
    if (Lower(pattern[i]) == 'd' && Lower(pattern[i + 1]) == 'd' && Lower(pattern[i + 2]) == 'd') {
      return true;
    }
  }
  return false;
}

class DateScanner {
 public:
  // Today's date comes from the OS clock, read once when the text needs it...
  DateScanner(const std::string& text, const LocaleDateSettings& settings, OsServices& os)
      : text_(text), settings_(settings), os_(&os) {}
  // ... or is given.
  DateScanner(const std::string& text, const LocaleDateSettings& settings,
              const SystemTime& today)
      : text_(text), settings_(settings), today_(today), clock_read_(true) {}

  bool AtEnd() const { return pos_ >= text_.size(); }

  // Reads a short date: an optional era name, two or three numbers with the
  // date separator between them in the locale's order (no year: this year; a
  // year of one or two digits: a year of the era, or placed in the year
  // window), then the date is made. Leaves the position after the date, its
  // trailing separator and blanks (and on Far East systems the day name).
  // `stop_at_digit`: the day-name skipping stops at a word that begins with a
  // digit, so that a time after the day name is not thrown away.
  bool ScanDate(TDateTime& date, bool stop_at_digit) {
    const DateOrder order = OrderOf(settings_);
    const int current_year = CurrentYear();
    const OsServices::Era* era = ScanEraName();

    int n1 = 0, n2 = 0, n3 = 0, len1 = 0, len2 = 0, len3 = 0;
    if (!ScanNumber(n1, len1)) return false;
    if (!ScanChar(settings_.DateSeparatorChar)) return false;
    if (!ScanNumber(n2, len2)) return false;

    int year = 0, month = 0, day = 0, year_length = 4;
    if (ScanChar(settings_.DateSeparatorChar)) {
      if (!ScanNumber(n3, len3)) return false;
      switch (order) {
        case DateOrder::kMonthDayYear: month = n1; day = n2; year = n3; year_length = len3; break;
        case DateOrder::kDayMonthYear: day = n1; month = n2; year = n3; year_length = len3; break;
        case DateOrder::kYearMonthDay: year = n1; year_length = len1; month = n2; day = n3; break;
      }
      if (IsEraCalendar(settings_.CalendarType) && !settings_.Eras.empty() &&
          (era != nullptr || year_length <= 2)) {
        // A year of an era: the era named in front, or the era of today.
        const OsServices::Era& base = era ? *era : EraOfToday();
        year = base.start_year + year - 1;
      } else if (year_length <= 2) {
        year = PlaceInYearWindow(year, current_year);
      }
    } else {
      year = current_year;
      if (order == DateOrder::kDayMonthYear) {
        day = n1;
        month = n2;
      } else {
        month = n1;
        day = n2;
      }
    }

    ScanChar(settings_.DateSeparatorChar);
    SkipBlanks();
    if (settings_.FarEast && PatternHasDayName(settings_)) SkipDayName(stop_at_digit);
    return TryEncodeDate(year, month, day, date);
  }

  // hours:minutes[:seconds[.milliseconds]], the morning or afternoon marker
  // before or after it; the rest of the text must be the time.
  bool ScanTime(TDateTime& time) {
    SkipBlanks();
    int marker = ScanMarker();  // 0 none, 1 morning, 2 afternoon
    int hour = 0, minute = 0, second = 0, millisecond = 0, length = 0;
    if (!ScanNumber(hour, length)) return false;
    if (!ScanChar(kTimeSeparator)) return false;
    if (!ScanNumber(minute, length)) return false;
    if (ScanChar(kTimeSeparator)) {
      if (!ScanNumber(second, length)) return false;
      if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        if (!ScanNumber(millisecond, length) || length > 3) return false;
        while (length++ < 3) millisecond *= 10;  // ".5" is half a second
      }
    }
    SkipBlanks();
    if (marker == 0) {
      marker = ScanMarker();
      SkipBlanks();
    }
    if (!AtEnd()) return false;
    if (marker != 0) {
      if (hour > 12) return false;
      if (marker == 2 && hour < 12) hour += 12;
      if (marker == 1 && hour == 12) hour = 0;
    }
    return TryEncodeTime(hour, minute, second, millisecond, time);
  }

 private:
  bool IsLead(std::size_t i) const {
    return settings_.IsLeadByte(static_cast<std::uint8_t>(text_[i])) && i + 1 < text_.size();
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  // Blanks, then `c`. A blank separator is any run of blanks.
  bool ScanChar(char c) {
    const std::size_t start = pos_;
    SkipBlanks();
    if (c == ' ') return pos_ > start;
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  // Blanks, then decimal digits, taken while the value read so far is below
  // 1000: at most four significant digits. `length` counts the characters.
  bool ScanNumber(int& value, int& length) {
    SkipBlanks();
    const std::size_t start = pos_;
    int result = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && result < 1000) {
      result = result * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ == start) return false;
    value = result;
    length = static_cast<int>(pos_ - start);
    return true;
  }

  // Text at the position begins with `word`: single-byte letters compared
  // without regard to case, double-byte characters exactly.
  bool TextStartsWith(const std::string& word) const {
    if (word.empty() || pos_ + word.size() > text_.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      const char a = text_[pos_ + i];
      const char b = word[i];
      if (settings_.IsLeadByte(static_cast<std::uint8_t>(b)) && i + 1 < word.size()) {
        if (a != b || text_[pos_ + i + 1] != word[i + 1]) return false;
        ++i;
        continue;
      }
      if (Lower(a) != Lower(b)) return false;
    }
    return true;
  }

  bool AtMarkerWord() const {
    return TextStartsWith(settings_.TimeAMString) || TextStartsWith(settings_.TimePMString);
  }

  int ScanMarker() {
    // The longer designator first, should one begin with the other.
    const std::string* words[4] = {&settings_.TimeAMString, &settings_.TimePMString, nullptr,
                                   nullptr};
    static const std::string kAm = "am", kPm = "pm";
    words[2] = &kAm;
    words[3] = &kPm;
    int best = 0;
    std::size_t best_length = 0;
    for (int i = 0; i < 4; ++i) {
      if (words[i]->size() > best_length && TextStartsWith(*words[i])) {
        best = (i % 2 == 0) ? 1 : 2;
        best_length = words[i]->size();
      }
    }
    pos_ += best_length;
    return best;
  }

  // Skips the words after the date (a day name) up to the end or up to a word
  // that begins with the morning or afternoon designator.
  void SkipDayName(bool stop_at_digit) {
    while (!AtEnd() && !AtMarkerWord()) {
      if (stop_at_digit && text_[pos_] >= '0' && text_[pos_] <= '9') return;
      while (!AtEnd() && text_[pos_] != ' ') pos_ += IsLead(pos_) ? 2 : 1;
      SkipBlanks();
    }
  }

  // An era name (or its first character) in front of the date, on era
  // calendars; null when there is none.
  const OsServices::Era* ScanEraName() {
    SkipBlanks();
    if (!IsEraCalendar(settings_.CalendarType)) return nullptr;
    const OsServices::Era* found = nullptr;
    std::size_t found_length = 0;
    for (const OsServices::Era& era : settings_.Eras) {
      if (era.name.empty()) continue;
      const bool lead = settings_.IsLeadByte(static_cast<std::uint8_t>(era.name[0]));
      const std::string first = era.name.substr(0, lead && era.name.size() > 1 ? 2 : 1);
      for (const std::string* word : {&era.name, &first}) {
        if (word->size() > found_length && pos_ + word->size() <= text_.size() &&
            text_.compare(pos_, word->size(), *word) == 0) {
          found = &era;
          found_length = word->size();
        }
      }
    }
    pos_ += found_length;
    return found;
  }

  // REQUIRES: settings_.Eras is not empty.
  const OsServices::Era& EraOfToday() {
    const SystemTime& today = Today();
    const OsServices::Era* found = &settings_.Eras.front();
    for (const OsServices::Era& era : settings_.Eras) {
      const bool begun =
          era.start_year < today.year ||
          (era.start_year == today.year &&
           (era.start_month < today.month ||
            (era.start_month == today.month && era.start_day <= today.day)));
      if (begun) found = &era;
    }
    return *found;
  }

  const SystemTime& Today() {
    if (!clock_read_) {
      today_ = os_->LocalTime();
      clock_read_ = true;
    }
    return today_;
  }
  int CurrentYear() { return Today().year; }

  // A one- or two-digit year goes into the hundred years that begin
  // TwoDigitYearWindow years before the current year.
  int PlaceInYearWindow(int year, int current_year) const {
    const int base = current_year - settings_.TwoDigitYearWindow;
    year += base / 100 * 100;
    if (year < base) year += 100;
    return year;
  }

  const std::string& text_;
  const LocaleDateSettings& settings_;
  OsServices* os_ = nullptr;
  std::size_t pos_ = 0;
  SystemTime today_;
  bool clock_read_ = false;
};

bool ScanWholeShortDate(DateScanner& scanner, TDateTime& value) {
  TDateTime date = 0;
  if (!scanner.ScanDate(date, false) || !scanner.AtEnd()) return false;
  value = date;
  return true;
}

}  // namespace

bool TryParseShortDate(const std::string& text, const LocaleDateSettings& settings,
                       OsServices& os, TDateTime& value) {
  DateScanner scanner(text, settings, os);
  return ScanWholeShortDate(scanner, value);
}

TDateTime ParseShortDate(const std::string& text, const LocaleDateSettings& settings,
                         OsServices& os) {
  TDateTime value = 0;
  if (!TryParseShortDate(text, settings, os, value)) {
    throw EConvertError(FormatMessageText(kNotDateMessage, {text}));
  }
  return value;
}

TDateTime ParseShortDate(const std::string& text, const LocaleDateSettings& settings,
                         const SystemTime& today) {
  DateScanner scanner(text, settings, today);
  TDateTime value = 0;
  if (!ScanWholeShortDate(scanner, value)) {
    throw EConvertError(FormatMessageText(kNotDateMessage, {text}));
  }
  return value;
}

bool TryParseDateTimeText(const std::string& text, const LocaleDateSettings& settings,
                          OsServices& os, TDateTime& value) {
  DateScanner scanner(text, settings, os);
  TDateTime date = 0;
  if (!scanner.ScanDate(date, true)) return false;
  TDateTime time = 0;
  if (!scanner.AtEnd() && !scanner.ScanTime(time)) return false;
  value = ComposeDateTime(date, time);
  return true;
}

TDateTime ParseDateTimeText(const std::string& text, const LocaleDateSettings& settings,
                            OsServices& os) {
  TDateTime value = 0;
  if (!TryParseDateTimeText(text, settings, os, value)) {
    throw EConvertError(FormatMessageText(kNotDateTimeMessage, {text}));
  }
  return value;
}

}  // namespace quillset
