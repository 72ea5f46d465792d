#include "base/settable_system.h"

#include "base/code_page.h"
#include "base/locale_items.h"

namespace quillset {
namespace {

const ShiftJisCodePage kShiftJis;

// Days since 1970-01-01 of a Gregorian date (proleptic), and back.
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = static_cast<int>(year - era * 400);
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int day_of_era = static_cast<int>(days - era * 146097);
  const int year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int shifted_month = (5 * day_of_year + 2) / 153;
  day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  year = static_cast<int>(year_of_era + era * 400) + (month <= 2);
}

constexpr std::int64_t kMillisecondsPerDay = 86400000;

SystemTime MakeTime(std::int64_t days, std::int64_t ms_of_day) {
  int year, month, day;
  CivilFromDays(days, year, month, day);
  SystemTime t;
  t.year = static_cast<std::uint16_t>(year);
  t.month = static_cast<std::uint16_t>(month);
  t.day = static_cast<std::uint16_t>(day);
  t.day_of_week = static_cast<std::uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  t.hour = static_cast<std::uint16_t>(ms_of_day / 3600000);
  t.minute = static_cast<std::uint16_t>(ms_of_day / 60000 % 60);
  t.second = static_cast<std::uint16_t>(ms_of_day / 1000 % 60);
  t.milliseconds = static_cast<std::uint16_t>(ms_of_day % 1000);
  return t;
}

}  // namespace

SettableSystem::SettableSystem() {
  SetClock(2026, 12, 7, 10, 0);
  locale_items_[locale_item::kILanguage] = "0411";
  locale_items_[locale_item::kIDefaultAnsiCodePage] = "932";
  locale_items_[locale_item::kSDate] = "/";
  locale_items_[locale_item::kSShortDate] = "yyyy/MM/dd";
  locale_items_[locale_item::kSLongDate] = "yyyy'年'M'月'd'日'";
  locale_items_[locale_item::kSTimeFormat] = "H:mm:ss";
  locale_items_[locale_item::kITime] = "1";
  locale_items_[locale_item::kITLZero] = "0";
  locale_items_[locale_item::kITimeMarkPosn] = "0";
  locale_items_[locale_item::kS1159] = "午前";
  locale_items_[locale_item::kS2359] = "午後";
  locale_items_[locale_item::kICalendarType] = "1";
  // locale_item::kSDayName1 is Monday.
  static const char* const kDayNames[7] = {"月曜日", "火曜日", "水曜日", "木曜日",
                                           "金曜日", "土曜日", "日曜日"};
  static const char* const kDayAbbrevs[7] = {"月", "火", "水", "木", "金", "土", "日"};
  for (std::uint32_t i = 0; i < 7; ++i) {
    locale_items_[locale_item::kSDayName1 + i] = kDayNames[i];
    locale_items_[locale_item::kSAbbrevDayName1 + i] = kDayAbbrevs[i];
  }
  for (std::uint32_t i = 0; i < 12; ++i) {
    const std::string name = std::to_string(i + 1) + "月";
    locale_items_[locale_item::kSMonthName1 + i] = name;
    locale_items_[locale_item::kSAbbrevMonthName1 + i] = name;
  }
  // The Japanese era calendar as a Japanese Windows lists it, oldest first.
  eras_[3] = {{"明治", 1868, 1, 1}, {"大正", 1912, 7, 30}, {"昭和", 1926, 12, 25},
              {"平成", 1989, 1, 8}, {"令和", 2019, 5, 1}};
}

void SettableSystem::SetClock(int year, int month, int day, int hour, int minute, int second,
                              int milliseconds) {
  // Kept as given, even a date that does not exist (a clock gone wrong).
  clock_ = MakeSystemTime(year, month, day, hour, minute, second, milliseconds);
  clock_.day_of_week = MakeTime(DaysFromCivil(year, month, day), 0).day_of_week;
}

bool SettableSystem::LeadByte(std::uint8_t byte) const {
  return !single_byte_ && kShiftJis.IsLeadByte(byte);
}

SystemTime SettableSystem::ReadClock() {
  ++clock_reads_;
  const SystemTime now = clock_;
  if (clock_step_ms_ != 0) {
    const std::int64_t at = DaysFromCivil(now.year, now.month, now.day) * kMillisecondsPerDay +
                            ((now.hour * 60 + now.minute) * 60 + now.second) * 1000 +
                            now.milliseconds + clock_step_ms_;
    std::int64_t days = at / kMillisecondsPerDay, ms = at % kMillisecondsPerDay;
    if (ms < 0) {
      ms += kMillisecondsPerDay;
      --days;
    }
    clock_ = MakeTime(days, ms);
  }
  return now;
}

bool SettableSystem::LocaleItem(std::uint32_t item, std::size_t buffer_size,
                                std::string& value) const {
  const auto it = locale_items_.find(item);
  // The value and its terminator must fit, as GetLocaleInfoA demands.
  if (it == locale_items_.end() || it->second.size() + 1 > buffer_size) return false;
  value = it->second;
  return true;
}

std::vector<OsServices::Era> SettableSystem::Eras(int calendar) const {
  const auto it = eras_.find(calendar);
  return it == eras_.end() ? std::vector<OsServices::Era>() : it->second;
}

}  // namespace quillset
