// Shared set-up of the schedule and tray-icon tests of the main window: an
// OsServices kept wholly in memory (clock, locale, settings files, files and
// folders, window timers, the notification icon), so that the same tests run
// natively and under Wine, and a form built on it with an open, empty store.
//
// A backup run is observed through the file copies it makes: an entry added
// with AddCopyingEntry copies its file every time a run reaches it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/locale_items.h"
#include "app/os_services.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "store/packet_codec.h"
#include "ui/main_form.h"
#include "ui/testing/fake_form_view.h"

namespace quillset {
namespace schedule_fixture {

class InMemoryOs : public OsServices {
 public:
  InMemoryOs() {
    SetToday(2026, 12, 13);
    // A Japanese Windows with the short date pattern yyyy/MM/dd.
    locale_[LOCALE_SDATE] = "/";
    locale_[LOCALE_SSHORTDATE] = "yyyy/MM/dd";
    locale_[LOCALE_SLONGDATE] = "yyyy'年'M'月'd'日'";
    locale_[LOCALE_ICALENDARTYPE] = "1";
    locale_[LOCALE_ITIME] = "1";
    locale_[LOCALE_ITLZERO] = "0";
    locale_[LOCALE_ITIMEMARKPOSN] = "0";
    locale_[LOCALE_S1159] = "午前";
    locale_[LOCALE_S2359] = "午後";
  }

  // ---- What a test sets
  void SetToday(int year, int month, int day, int hour = 10, int minute = 0) {
    clock_ = SystemTime{};
    clock_.year = static_cast<std::uint16_t>(year);
    clock_.month = static_cast<std::uint16_t>(month);
    clock_.day = static_cast<std::uint16_t>(day);
    clock_.hour = static_cast<std::uint16_t>(hour);
    clock_.minute = static_cast<std::uint16_t>(minute);
  }
  void SetLocaleItem(std::uint32_t item, const std::string& value) { locale_[item] = value; }

  std::string executable_path = "C:\\Quillset\\Quillset.exe";
  bool profile_writes_fail = false;
  // The next this many SetWindowTimer calls are refused.
  int timer_refusals = 0;
  bool notify_icon_result = true;
  // Shell calls are also noted here ("notify-icon:<message>"), so that their
  // order against the window's calls can be checked.
  std::vector<std::string>* shared_log = nullptr;
  std::set<std::string> folders;
  std::map<std::string, std::string> files;  // path -> content

  // ---- What a test reads back
  struct TimerState {
    bool armed = false;
    std::uint32_t interval_ms = 0;
    int arm_count = 0;
  };
  std::map<std::pair<WindowHandle, std::uint32_t>, TimerState> timers;
  struct NotifyIconCall {
    std::uint32_t message;
    TrayIconRecord record;
  };
  std::vector<NotifyIconCall> notify_icon_calls;
  std::map<std::tuple<std::string, std::string, std::string>, std::string> profile;
  std::vector<std::string> profile_writes;  // "<key>=<value>", in order
  int profile_flushes = 0;
  int copies = 0;  // successful CopyFile calls
  int thread_locale_resets = 0;
  static constexpr std::uint32_t kMainIcon = 0x00010001;

  // ---- OsServices
  bool IsLeadByte(std::uint8_t byte) const override {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  }
  bool TakeSingleInstanceGuard(const std::string&) override { return true; }
  void InitializeCom() override {}
  void UninitializeCom() override {}
  std::string ExecutablePath() override { return executable_path; }
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  bool DirectoryExists(const std::string& path) override { return folders.count(path) != 0; }
  bool FileStamp(const std::string& path, std::uint64_t& write_time,
                 std::uint64_t& size) override {
    const auto it = files.find(path);
    if (it == files.end()) return false;
    write_time = 1;
    size = it->second.size();
    return true;
  }
  bool CopyFile(const std::string& source, const std::string& target,
                bool fail_if_exists) override {
    const auto it = files.find(source);
    if (it == files.end() || (fail_if_exists && files.count(target) != 0)) return false;
    files[target] = it->second;
    ++copies;
    return true;
  }
  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    const auto it = files.find(from);
    if (it == files.end()) return false;
    std::string content = it->second;
    files.erase(it);
    files[to] = std::move(content);
    return true;
  }
  bool RemoveFile(const std::string& path) override { return files.erase(path) != 0; }
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string&, FileOpenMode) override {
    return nullptr;  // these tests neither load nor save the data file
  }
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
    profile_writes.push_back(key + "=" + value);
    return true;
  }
  void FlushProfile(const std::string&) override { ++profile_flushes; }
  SystemTime LocalTime() override { return clock_; }
  bool LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) override {
    const auto it = locale_.find(item);
    if (it == locale_.end() || it->second.size() + 1 > buffer_size) return false;
    value = it->second;
    return true;
  }
  std::uint32_t ThreadLocale() override { return 0x0411; }
  void SetThreadLocaleToUserDefault() override { ++thread_locale_resets; }
  bool IsValidLocale(std::uint32_t) override { return true; }
  std::vector<Era> CalendarEras(int) override { return {}; }
  bool SetWindowTimer(WindowHandle window, std::uint32_t id, std::uint32_t interval_ms) override {
    TimerState& timer = timers[{window, id}];
    ++timer.arm_count;
    if (timer_refusals > 0) {
      --timer_refusals;
      return false;
    }
    timer.armed = true;
    timer.interval_ms = interval_ms;
    return true;
  }
  void KillWindowTimer(WindowHandle window, std::uint32_t id) override {
    TimerState& timer = timers[{window, id}];
    timer.armed = false;
    timer.interval_ms = 0;
  }
  bool NotifyIcon(std::uint32_t message, const TrayIconRecord& record) override {
    notify_icon_calls.push_back({message, record});
    if (shared_log) shared_log->push_back("notify-icon:" + std::to_string(message));
    return notify_icon_result;
  }
  std::uint32_t MainIconHandle() override { return kMainIcon; }
  bool ShowOpenFileDialog(WindowHandle, WindowHandle, std::string&) override { return false; }
  FolderBrowseResult BrowseForFolder(WindowHandle, const std::string&, std::string&) override {
    return FolderBrowseResult::kCancelled;
  }

 private:
  SystemTime clock_;
  std::map<std::uint32_t, std::string> locale_;
};

// The schedule tests never load or save the data file.
class UnusedCodec : public PacketCodec {
 public:
  Status StreamPacket(DSBASE&, std::vector<std::uint8_t>&) override { return Status(1); }
  Status AppendPacket(DSBASE&, const std::vector<std::uint8_t>&) override { return Status(1); }
};

class FormTest : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kTenMinutesMs = 600000;
  static constexpr std::uint32_t kDateCheckMs = 6000000;

  FormTest() {
    os.shared_log = &view.log;
    form = std::make_unique<TForm1>(os, view, codec);
    form->ClientDataSet1().CreateEmpty();
  }

  // Timer1 as the OS sees it.
  InMemoryOs::TimerState Timer() {
    const auto it = os.timers.find({view.TimerWindow(), TTimer::kTimerId});
    return it == os.timers.end() ? InMemoryOs::TimerState{} : it->second;
  }

  std::string SettingsPath() { return SettingsFilePath(os); }
  // A key of section Time of the settings file; "<none>" when it was never written.
  std::string Setting(const std::string& key) {
    return os.GetProfileString(kTimeSection, key, "<none>", SettingsPath());
  }
  void StoreSettings(const std::string& timer_set, const std::string& timer_ini_set) {
    os.profile[{SettingsPath(), kTimeSection, kTimerSetKey}] = timer_set;
    os.profile[{SettingsPath(), kTimeSection, kTimerIniSetKey}] = timer_ini_set;
  }

  // An entry whose file exists and whose folder exists: every run copies it.
  void AddCopyingEntry() {
    os.files["C:\\data\\report.txt"] = "report";
    os.folders.insert("D:\\backup");
    TClientDataSet& store = form->ClientDataSet1();
    store.AppendRow();
    form->ClientDataSet1Field().WriteText("C:\\data\\report.txt");
    form->ClientDataSet1Field1().WriteText("D:\\backup");
    store.EndRowEdit();
  }
  // The number of runs that reached the entry of AddCopyingEntry.
  int Runs() const { return os.copies; }

  std::string MinutesCaption(const std::string& text) {
    return std::string(form_texts::kCaptionPrefix) + text + form_texts::kMinutesCaptionSuffix;
  }

  InMemoryOs os;
  FakeFormView view;
  UnusedCodec codec;
  std::unique_ptr<TForm1> form;
};

}  // namespace schedule_fixture
}  // namespace quillset
