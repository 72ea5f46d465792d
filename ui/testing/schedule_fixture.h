// Shared set-up of the schedule and tray-icon tests of the main window: OS
// services kept wholly in memory (clock, locale, settings files, files and
// folders) and headless shell services (window timers, the notification
// icon), so that the same tests run natively and under Wine, and a form built
// on them with an open, empty store.
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

#include "base/locale_items.h"
#include "base/testing/discarding_file.h"
#include "locale/fake_locale_os.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "store/packet_codec.h"
#include "ui/main_form.h"
#include "ui/testing/fake_form_view.h"
#include "ui/testing/fake_shell_services.h"

namespace quillset {
namespace schedule_fixture {

// FakeLocaleOs with files and folders kept in memory too.
class InMemoryOs : public FakeLocaleOs {
 public:
  InMemoryOs() {
    executable_path = "C:\\Quillset\\Quillset.exe";
    SetToday(2026, 12, 13);
    SetLocaleItem(locale_item::kITimeMarkPosn, "0");
  }

  // ---- What a test sets
  void SetToday(int year, int month, int day, int hour = 10, int minute = 0) {
    SetClock(year, month, day, hour, minute);
  }
  std::set<std::string> folders;
  std::map<std::string, std::string> files;  // path -> content

  // ---- What a test reads back
  std::vector<std::string> profile_writes;  // "<key>=<value>", in order
  int profile_flushes = 0;
  int copies = 0;  // successful CopyFile calls

  // ---- OsServices
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
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override {
    const auto it = files.find(source);
    const std::uint64_t size = it == files.end() ? 0 : it->second.size();
    if (progress && progress(0, size) == CopyProgressAnswer::kCancel) return false;
    return CopyFile(source, target, fail_if_exists);
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
  bool FlushFile(const std::string& path) override { return files.count(path) != 0; }
  // Only new files, as the safe copy makes them: these tests neither load nor
  // save the data file.
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                               FileOpenMode mode) override {
    if (mode != FileOpenMode::kCreateNew || files.count(path) != 0) return nullptr;
    files[path];
    return std::make_unique<testing_support::DiscardingFile>();
  }
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override {
    if (!FakeLocaleOs::WriteProfileString(section, key, value, path)) return false;
    profile_writes.push_back(key + "=" + value);
    return true;
  }
  void FlushProfile(const std::string& path) override {
    ++profile_flushes;
    FakeLocaleOs::FlushProfile(path);
  }
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
    shell.shared_log = &view.log;
    form = std::make_unique<TForm1>(os, view, shell, codec);
    form->ClientDataSet1().CreateEmpty();
  }

  // Timer1 as the OS sees it.
  FakeShellServices::TimerState Timer() {
    return shell.Timer(view.TimerWindow(), TTimer::kTimerId);
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

  // The caption of the minutes mode, spelt out here so that a wrong text in
  // the program shows.
  static std::string MinutesCaption(const std::string& text) {
    return "現在の設定 " + text + " 分間隔";
  }

  InMemoryOs os;
  FakeShellServices shell;
  FakeFormView view;
  UnusedCodec codec;
  std::unique_ptr<TForm1> form;
};

}  // namespace schedule_fixture
}  // namespace quillset
