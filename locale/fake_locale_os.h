// OS services for the date, locale and settings tests: a settable clock and
// locale, profile files kept in memory with a switch that makes writes fail,
// and a record of flushes. Every other call reaches the platform's real
// services (the tests make none).
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/locale_items.h"
#include "base/os_services_wrapper.h"
#include "base/testing/platform_os.h"

namespace quillset {

class FakeLocaleOs : public OsServicesWrapper {
 public:
  FakeLocaleOs() : OsServicesWrapper(testing_support::PlatformOs()) {
    // A Japanese Windows with the yyyy/MM/dd pattern.
    SetClock(2026, 12, 13, 10, 30, 0, 0);
    locale_[locale_item::kSDate] = "/";
    locale_[locale_item::kSShortDate] = "yyyy/MM/dd";
    locale_[locale_item::kSLongDate] = "yyyy'年'M'月'd'日'";
    locale_[locale_item::kICalendarType] = "1";
    locale_[locale_item::kITime] = "1";
    locale_[locale_item::kITLZero] = "0";
    locale_[locale_item::kITimeMarkPosn] = "1";
    locale_[locale_item::kS1159] = "午前";
    locale_[locale_item::kS2359] = "午後";
  }

  void SetClock(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                int ms = 0) {
    clock_.year = static_cast<std::uint16_t>(year);
    clock_.month = static_cast<std::uint16_t>(month);
    clock_.day = static_cast<std::uint16_t>(day);
    clock_.hour = static_cast<std::uint16_t>(hour);
    clock_.minute = static_cast<std::uint16_t>(minute);
    clock_.second = static_cast<std::uint16_t>(second);
    clock_.milliseconds = static_cast<std::uint16_t>(ms);
  }
  void SetLocaleItem(std::uint32_t item, const std::string& value) { locale_[item] = value; }
  void RemoveLocaleItem(std::uint32_t item) { locale_.erase(item); }

  bool lead_bytes = true;  // Shift-JIS when true, a single-byte code page otherwise
  std::uint32_t thread_locale = 0x0411;
  std::uint32_t user_default_locale = 0x0411;
  int set_to_user_default_calls = 0;
  std::map<int, std::vector<Era>> eras;
  std::string executable_path = "C:\\Tools\\Quillset.exe";
  bool profile_writes_fail = false;
  std::vector<std::string> flushed;  // file names, in order
  std::map<std::tuple<std::string, std::string, std::string>, std::string> profile;

  bool IsLeadByte(std::uint8_t byte) const override {
    return lead_bytes && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
  }
  SystemTime LocalTime() override { return clock_; }
  bool LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) override {
    const auto it = locale_.find(item);
    if (it == locale_.end() || it->second.size() + 1 > buffer_size) return false;
    value = it->second;
    return true;
  }
  std::uint32_t ThreadLocale() override { return thread_locale; }
  void SetThreadLocaleToUserDefault() override {
    ++set_to_user_default_calls;
    thread_locale = user_default_locale;
  }
  bool IsValidLocale(std::uint32_t) override { return true; }
  std::vector<Era> CalendarEras(int calendar) override {
    const auto it = eras.find(calendar);
    return it == eras.end() ? std::vector<Era>() : it->second;
  }
  std::string ExecutablePath() override { return executable_path; }
  std::string GetProfileString(const std::string& section, const std::string& key,
                               const std::string& default_value,
                               const std::string& path) override {
    const auto it = profile.find({path, section, key});
    return it == profile.end() ? default_value : it->second;
  }
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override {
    if (profile_writes_fail) return false;
    profile[{path, section, key}] = value;
    return true;
  }
  void FlushProfile(const std::string& path) override { flushed.push_back(path); }

 private:
  SystemTime clock_;
  std::map<std::uint32_t, std::string> locale_;
};

}  // namespace quillset
