// Shared set-up of the schedule and tray-icon tests of the main window: the
// in-memory OS services (clock, locale, settings files, files and folders)
// and headless shell services (window timers, the notification
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
#include "base/testing/in_memory_os.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "store/testing/refusing_packet_codec.h"
#include "ui/main_form.h"
#include "ui/testing/fake_form_view.h"
#include "ui/testing/fake_shell_services.h"
#include "ui/testing/ui_timed_os.h"

namespace quillset {
namespace schedule_fixture {

class FormTest : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kTenMinutesMs = 600000;
  static constexpr std::uint32_t kDateCheckMs = 6000000;

  FormTest() {
    os.AddFolder("C:\\Quillset");  // the program's folder, where its settings file goes
    SetToday(2026, 12, 13);
    shell.shared_log = &view.log;
    form = std::make_unique<TForm1>(os, view, shell, codec);
    form->ClientDataSet1().CreateEmpty();
  }

  // Timer1 as the OS sees it.
  FakeShellServices::TimerState Timer() {
    return shell.Timer(view.TimerWindow(), TTimer::kTimerId);
  }

  void SetToday(int year, int month, int day, int hour = 10, int minute = 0) {
    os.SetClock(year, month, day, hour, minute);
  }

  std::string SettingsPath() { return SettingsFilePath(os); }
  std::string SettingsText() { return os.FileContent(SettingsPath()); }
  // A read-only settings file refuses every write, as Windows does.
  void SetSettingsWritable(bool writable) {
    if (!os.FileExists(SettingsPath())) os.AddFile(SettingsPath(), "");
    os.SetAttributes(SettingsPath(), writable ? kAttributeNormal : kAttributeReadOnly);
  }
  // The settings file as a new schedule writes it, both keys in one write.
  static std::string SettingsWritten(const std::string& timer_set, int timer_ini_set) {
    return "[" + std::string(kTimeSection) + "]\r\n" + kTimerSetKey + "=" + timer_set + "\r\n" +
           kTimerIniSetKey + "=" + std::to_string(timer_ini_set) + "\r\n";
  }
  // A key of section Time of the settings file; "<none>" when it was never written.
  std::string Setting(const std::string& key) {
    return TIniFile(os, SettingsPath()).ReadString(kTimeSection, key, "<none>");
  }
  void StoreSettings(const std::string& timer_set, const std::string& timer_ini_set) {
    os.AddFile(SettingsPath(), "[" + std::string(kTimeSection) + "]\r\n" + kTimerSetKey + "=" +
                                   timer_set + "\r\n" + kTimerIniSetKey + "=" + timer_ini_set +
                                   "\r\n");
  }

  // An entry whose file exists and whose folder exists: every run copies it.
  void AddCopyingEntry() {
    os.AddFile("C:\\data\\report.txt", "report");
    os.AddFolder("D:\\backup");
    TClientDataSet& store = form->ClientDataSet1();
    store.AppendRow();
    form->ClientDataSet1Field().WriteText("C:\\data\\report.txt");
    form->ClientDataSet1Field1().WriteText("D:\\backup");
    store.EndRowEdit();
  }
  // The number of runs that reached the entry of AddCopyingEntry.
  int Runs() const { return os.CopiesMade(); }

  // The caption of the minutes mode, spelt out here so that a wrong text in
  // the program shows.
  static std::string MinutesCaption(const std::string& text) {
    return "現在の設定 " + text + " 分間隔";
  }

  UiTimedOs<testing_support::InMemoryOs> os;
  FakeShellServices shell;
  FakeFormView view;
  testing_support::RefusingPacketCodec codec;
  std::unique_ptr<TForm1> form;
};

}  // namespace schedule_fixture
}  // namespace quillset
