#include "base/settable_system.h"

#include "base/code_page.h"
#include "base/locale_items.h"

namespace quillset {
namespace {

const ShiftJisCodePage kShiftJis;

}  // namespace

SettableSystem::SettableSystem() {
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
  SystemTime time = MakeSystemTime(year, month, day, hour, minute, second, milliseconds);
  time.day_of_week = static_cast<std::uint16_t>(DayOfWeek(year, month, day));
  clock_.SetLocalTime(time);
}

bool SettableSystem::LeadByte(std::uint8_t byte) const {
  return !single_byte_ && kShiftJis.IsLeadByte(byte);
}

SystemTime SettableSystem::ReadClock() {
  ++clock_reads_;
  const SystemTime now = clock_.LocalTime();
  if (clock_step_ms_ != 0) clock_.Step(clock_step_ms_);
  return now;
}

bool SettableSystem::LocaleItem(std::uint32_t item, std::size_t buffer_size,
                                std::string& value) const {
  const auto it = locale_items_.find(item);
  // The value and its terminator must fit, as in the Windows build.
  if (it == locale_items_.end() || it->second.size() + 1 > buffer_size) return false;
  value = it->second;
  return true;
}

std::vector<OsServices::Era> SettableSystem::Eras(int calendar) const {
  const auto it = eras_.find(calendar);
  return it == eras_.end() ? std::vector<OsServices::Era>() : it->second;
}

}  // namespace quillset
