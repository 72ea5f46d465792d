// Writing date-time values as text in a pattern. The pattern is read from left
// to right; letters count without regard to case and a run of the same letter
// forms one element:
//   y, yy          year modulo 100, two digits
//   yyy and more   year, four digits
//   m, mm          month (mm two digits); minute when it follows an hour element
//   mmm, mmmm..    abbreviated, full month name
//   d, dd          day of the month (dd two digits)
//   ddd, dddd      abbreviated, full day name
//   ddddd          the short date pattern; dddddd and more: the long date pattern
//   g, gg..        era name, abbreviated (its first character) or full
//   e, ee..        year of the era (ee and more: at least two digits)
//   h, hh          hour (12-hour clock when the pattern has a marker element)
//   n, nn / s, ss  minute / second; z: milliseconds (zzz three digits)
//   t, tt          short, long time format; c: short date and, unless the time
//                  is midnight, long time format
//   am/pm, a/p, ampm   morning or afternoon marker
//   /              DateSeparatorChar (nothing when it is '\0')
//   "..." '...'    copied without the quotes
// A double-byte character is copied whole; every other character is copied.
#include <cstdio>
#include <string>

#include "locale/calendar_dates.h"

namespace quillset {
namespace {

constexpr std::size_t kMaxOutputBytes = 256;
// ddddd, dddddd, t, tt and c expand into other patterns, which might expand
// again (a locale pattern "ddddd" would otherwise never end).
constexpr int kMaxNesting = 3;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool StartsWithIgnoringCase(const std::string& text, std::size_t at, const char* lower) {
  for (std::size_t i = 0; lower[i] != '\0'; ++i) {
    if (at + i >= text.size() || Lower(text[at + i]) != lower[i]) return false;
  }
  return true;
}

std::string Digits(int value, int min_width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", min_width, value);
  return buffer;
}

std::string ShortTimeFormat(const std::string& long_format) {
  std::string result = long_format;
  const std::size_t seconds = result.find(":ss");
  if (seconds != std::string::npos) result.erase(seconds, 3);
  return result;
}

class PatternWriter {
 public:
  PatternWriter(TDateTime value, const LocaleDateSettings& settings)
      : settings_(settings) {
    DecodeDateFully(value, year_, month_, day_, day_of_week_);
    DecodeTime(value, hour_, minute_, second_, millisecond_);
  }

  void Write(const std::string& pattern, int depth) {
    if (depth > kMaxNesting) return;
    const bool twelve_hour = HasMarkerElement(pattern);
    bool after_hour = false;
    std::size_t i = 0;
    while (i < pattern.size() && !full_) {
      const char c = pattern[i];
      if (IsLead(pattern, i)) {
        Append(pattern.substr(i, 2));
        i += 2;
        continue;
      }
      if (c == '"' || c == '\'') {
        i = CopyQuoted(pattern, i);
        continue;
      }
      const char letter = Lower(c);
      if (letter == 'a') {
        i = WriteMarker(pattern, i);
        continue;
      }
      std::size_t run = 1;
      if (letter >= 'a' && letter <= 'z') {
        while (i + run < pattern.size() && Lower(pattern[i + run]) == letter) ++run;
      }
      switch (letter) {
        case 'y':
          Append(run <= 2 ? Digits(year_ % 100, 2) : Digits(year_, 4));
          break;
        case 'm':
          if (after_hour) {
            Append(Digits(minute_, run >= 2 ? 2 : 1));
          } else if (run <= 2) {
            Append(Digits(month_, static_cast<int>(run)));
          } else if (month_ >= 1 && month_ <= 12) {
            Append(run == 3 ? settings_.ShortMonthNames[month_ - 1]
                            : settings_.LongMonthNames[month_ - 1]);
          }
          break;
        case 'd':
          if (run <= 2) {
            Append(Digits(day_, static_cast<int>(run)));
          } else if (run <= 4) {
            if (day_of_week_ >= 1 && day_of_week_ <= 7) {
              Append(run == 3 ? settings_.ShortDayNames[day_of_week_ - 1]
                              : settings_.LongDayNames[day_of_week_ - 1]);
            }
          } else {
            Write(run == 5 ? settings_.ShortDatePattern : settings_.LongDatePattern, depth + 1);
          }
          break;
        case 'g':
          WriteEraName(run);
          break;
        case 'e':
          Append(Digits(EraYear(), run >= 2 ? 2 : 1));
          break;
        case 'h': {
          int hour = hour_;
          if (twelve_hour) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          Append(Digits(hour, run >= 2 ? 2 : 1));
          break;
        }
        case 'n':
          Append(Digits(minute_, run >= 2 ? 2 : 1));
          break;
        case 's':
          Append(Digits(second_, run >= 2 ? 2 : 1));
          break;
        case 'z':
          Append(Digits(millisecond_, run >= 3 ? 3 : 1));
          break;
        case 't':
          Write(run == 1 ? ShortTimeFormat(settings_.LongTimeFormat) : settings_.LongTimeFormat,
                depth + 1);
          break;
        case 'c':
          Write(settings_.ShortDatePattern, depth + 1);
          if (hour_ != 0 || minute_ != 0 || second_ != 0) {
            Append(" ");
            Write(settings_.LongTimeFormat, depth + 1);
          }
          break;
        case '/':
          if (settings_.DateSeparatorChar != '\0') Append(std::string(1, settings_.DateSeparatorChar));
          break;
        default:
          Append(pattern.substr(i, run));
          break;
      }
      if (letter >= 'a' && letter <= 'z') after_hour = letter == 'h';
      i += run;
    }
  }

  const std::string& Output() const { return out_; }

 private:
  bool IsLead(const std::string& text, std::size_t i) const {
    return settings_.IsLeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size();
  }

  // Appends whole characters while they fit in the output limit.
  void Append(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t length = IsLead(text, i) ? 2 : 1;
      if (out_.size() + length > kMaxOutputBytes) {
        full_ = true;
        return;
      }
      out_.append(text, i, length);
      i += length;
    }
  }

  std::size_t CopyQuoted(const std::string& pattern, std::size_t open) {
    const char quote = pattern[open];
    std::size_t i = open + 1;
    std::string text;
    while (i < pattern.size() && pattern[i] != quote) {
      const std::size_t length = IsLead(pattern, i) ? 2 : 1;
      text.append(pattern, i, length);
      i += length;
    }
    Append(text);
    return i < pattern.size() ? i + 1 : i;  // an unclosed quote runs to the end
  }

  static bool HasMarkerElement(const std::string& pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (StartsWithIgnoringCase(pattern, i, "am/pm") || StartsWithIgnoringCase(pattern, i, "a/p") ||
          StartsWithIgnoringCase(pattern, i, "ampm")) {
        return true;
      }
    }
    return false;
  }

  std::size_t WriteMarker(const std::string& pattern, std::size_t i) {
    const bool morning = hour_ < 12;
    if (StartsWithIgnoringCase(pattern, i, "am/pm")) {
      // Written in the case of the pattern's letters.
      const bool upper = pattern[morning ? i : i + 3] == 'A' || pattern[morning ? i : i + 3] == 'P';
      Append(morning ? (upper ? "AM" : "am") : (upper ? "PM" : "pm"));
      return i + 5;
    }
    if (StartsWithIgnoringCase(pattern, i, "a/p")) {
      const bool upper = pattern[morning ? i : i + 2] == 'A' || pattern[morning ? i : i + 2] == 'P';
      Append(morning ? (upper ? "A" : "a") : (upper ? "P" : "p"));
      return i + 3;
    }
    if (StartsWithIgnoringCase(pattern, i, "ampm")) {
      Append(morning ? settings_.TimeAMString : settings_.TimePMString);
      return i + 4;
    }
    Append(pattern.substr(i, 1));
    return i + 1;
  }

  // The era the date lies in: the newest one that began on or before it.
  const OsServices::Era* CurrentEra() const {
    if (!IsEraCalendar(settings_.CalendarType)) return nullptr;
    const OsServices::Era* found = nullptr;
    for (const OsServices::Era& era : settings_.Eras) {
      const bool begun =
          era.start_year < year_ ||
          (era.start_year == year_ &&
           (era.start_month < month_ || (era.start_month == month_ && era.start_day <= day_)));
      if (begun) found = &era;
    }
    return found;
  }

  int EraYear() const {
    const OsServices::Era* era = CurrentEra();
    return era ? year_ - era->start_year + 1 : year_;
  }

  void WriteEraName(std::size_t run) {
    const OsServices::Era* era = CurrentEra();
    if (!era || era->name.empty()) return;
    if (run >= 2) {
      Append(era->name);
    } else {
      Append(era->name.substr(0, IsLead(era->name, 0) ? 2 : 1));
    }
  }

  const LocaleDateSettings& settings_;
  int year_ = 0, month_ = 0, day_ = 0, day_of_week_ = 0;
  int hour_ = 0, minute_ = 0, second_ = 0, millisecond_ = 0;
  std::string out_;
  bool full_ = false;
};

}  // namespace

std::string FormatDateTimePattern(const std::string& pattern, TDateTime value,
                                  const LocaleDateSettings& settings) {
  PatternWriter writer(value, settings);
  writer.Write(pattern, 0);
  return writer.Output();
}

std::string FormatShortDate(TDateTime value, const LocaleDateSettings& settings) {
  return FormatDateTimePattern(settings.ShortDatePattern, value, settings);
}

std::string FormatDateTimeText(TDateTime value, const LocaleDateSettings& settings) {
  return FormatDateTimePattern("c", value, settings);
}

}  // namespace quillset
