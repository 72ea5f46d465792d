// What a test sets about the machine its OS services stand for: the clock (the
// machine's one simulated clock, base/simulated_clock.h), the locale, the
// code page and the executable's path; and what it reads back: the
// thread-locale resets, the time slept. Shared by
// every test double (HostOsServices, InMemoryOs, the real-files test OS) so
// that each keeps them one way.
//
// WithSettableSystem<Files> puts it over any OS services `Files` that has the
// files: the clock, waits and locale calls are answered here.
//
// The defaults are those of a Japanese Windows: clock 2026-12-07 10:00
// (Monday), yyyy/MM/dd with "/", H:mm:ss, 午前/午後 before the time, month
// names "1月".., day names "月曜日".., era calendar 3 with the five modern
// eras, locales ja-JP (current) and en-US valid, Shift-JIS lead bytes.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/os_services.h"
#include "base/simulated_clock.h"

namespace quillset {

class SettableSystem {
 public:
  SettableSystem();

  // ---- Clock: the machine's one simulated clock (base/simulated_clock.h).
  // Every Sleep passes its time on it. Every LocalTime read answers the time,
  // then moves it on by the step (0: only waits move it).
  SimulatedClock& Clock() { return clock_; }
  void SetLocalTime(const SystemTime& time) { clock_.SetLocalTime(time); }
  void SetClock(const SystemTime& time) { clock_.SetLocalTime(time); }
  // Sets the day and time; the day of the week follows from the date.
  void SetClock(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                int milliseconds = 0);
  void SetClockStep(std::int64_t milliseconds) { clock_step_ms_ = milliseconds; }
  int ClockReads() const { return clock_reads_; }

  // ---- Locale. An item not set makes LocaleInfo fail, and so does a buffer
  // that cannot hold the value and its terminator.
  void SetLocaleItem(std::uint32_t item, const std::string& value) { locale_items_[item] = value; }
  void RemoveLocaleItem(std::uint32_t item) { locale_items_.erase(item); }
  void SetThreadLocaleId(std::uint32_t lcid) { thread_locale_ = lcid; }
  // The locale SetThreadLocaleToUserDefault switches to.
  void SetUserDefaultLocaleId(std::uint32_t lcid) { user_default_locale_ = lcid; }
  void SetValidLocales(std::set<std::uint32_t> lcids) { valid_locales_ = std::move(lcids); }
  void SetEras(int calendar, std::vector<OsServices::Era> eras) { eras_[calendar] = std::move(eras); }
  // A system code page without lead bytes (a Western Windows).
  void SetSingleByteCodePage(bool single_byte) { single_byte_ = single_byte; }

  void SetExecutablePath(const std::string& path) { executable_path_ = path; }

  // ---- What the test reads back
  int ThreadLocaleResets() const { return thread_locale_resets_; }
  // The time asked for by Sleep through this object.
  std::uint64_t SleptMilliseconds() const { return slept_ms_; }

 protected:
  bool LeadByte(std::uint8_t byte) const;
  SystemTime ReadClock();
  bool LocaleItem(std::uint32_t item, std::size_t buffer_size, std::string& value) const;
  std::uint32_t ThreadLocaleId() const { return thread_locale_; }
  void ResetThreadLocale() {
    thread_locale_ = user_default_locale_;
    ++thread_locale_resets_;
  }
  bool ValidLocale(std::uint32_t lcid) const { return valid_locales_.count(lcid) != 0; }
  std::vector<OsServices::Era> Eras(int calendar) const;
  const std::string& ExecutablePathSet() const { return executable_path_; }
  void NoteSleep(std::uint32_t milliseconds) {
    slept_ms_ += milliseconds;
    clock_.Pass(milliseconds, "Sleep");
  }

 private:
  SimulatedClock clock_;
  std::int64_t clock_step_ms_ = 0;
  int clock_reads_ = 0;
  std::map<std::uint32_t, std::string> locale_items_;
  std::uint32_t thread_locale_ = 0x0411;
  std::uint32_t user_default_locale_ = 0x0411;
  std::set<std::uint32_t> valid_locales_ = {0x0411, 0x0409};
  std::map<int, std::vector<OsServices::Era>> eras_;
  bool single_byte_ = false;
  std::string executable_path_ = "C:\\Quillset\\Quillset.exe";
  int thread_locale_resets_ = 0;
  std::uint64_t slept_ms_ = 0;
};

// `Files` with the clock, locale, code page, executable path and waiting of a
// SettableSystem. REQUIRES: `Files` derives from OsServices. `Files::Sleep` is
// not called.
template <class Files>
class WithSettableSystem : public Files, public SettableSystem {
 public:
  using Files::Files;

  bool IsLeadByte(std::uint8_t byte) const override { return LeadByte(byte); }
  std::string ExecutablePath() override { return ExecutablePathSet(); }
  // Test services never wait: the time passes on the clock.
  void Sleep(std::uint32_t milliseconds) override { NoteSleep(milliseconds); }
  SystemTime LocalTime() override { return ReadClock(); }
  bool LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) override {
    return LocaleItem(item, buffer_size, value);
  }
  std::uint32_t ThreadLocale() override { return ThreadLocaleId(); }
  void SetThreadLocaleToUserDefault() override { ResetThreadLocale(); }
  bool IsValidLocale(std::uint32_t lcid) override { return ValidLocale(lcid); }
  std::vector<OsServices::Era> CalendarEras(int calendar) override { return Eras(calendar); }
};

}  // namespace quillset
