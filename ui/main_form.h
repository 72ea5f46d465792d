// The main window Form1 of class TForm1: its components, the program-wide
// schedule values, and every handler of the program. It is portable: it reaches
// the real window through FormView, the shell (timers, tray icon, dialogs)
// through ShellServices and the operating system through OsServices, so the
// whole behaviour runs headless in the native tests.
//
// The handlers live in files by subject:
//   main_form.cpp         construction, FormCreate, FormActivate, FormClose, the
//                         end of the Windows session, menu dispatch, N1Click,
//                         Exit1Click, the locale broadcast
//   settings_startup.cpp  the settings step of FormCreate (first run, stored schedule)
//   list_commands.cpp     bakup1Click, Delete1Click, Edit1Click
//   backup_command.cpp    Copy1Click (the run itself is backup/backup_run.h)
//                         and the due dates the run moves on
//   schedule_commands.cpp TimeIniSet, TimSet, TimerSetClick, WeeClick, MonClick,
//                         Timer1Timer (failure boxes of ticks do not pile up)
//   form_journal.cpp      the journal beside the data file: applied and folded
//                         in after a load, appended after each change, removed
//                         after each full save
//   tray_icon.cpp         AddTrayIcon, RemoveTrayIcon, HideToTray,
//                         RestoreFromTray, TrayNotify, TaskbarCreated, and the
//                         retries of an icon the shell refused
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "backup/run_outcome.h"
#include "base/os_services.h"
#include "datafile/data_file.h"
#include "datafile/journal_writer.h"
#include "locale/locale_settings.h"
#include "schedule/schedule.h"
#include "store/packet_codec.h"
#include "store/record_store.h"
#include "ui/form_events.h"
#include "ui/form_texts.h"
#include "ui/form_view.h"
#include "ui/run_control.h"
#include "ui/shell_services.h"
#include "ui/timer_component.h"
#include "ui/tray_icon_retry.h"

namespace quillset {

class TForm1 : public FormEvents {
 public:
  // `codec` turns the store into data-packet bytes and back; all four must
  // outlive the form.
  TForm1(OsServices& os, FormView& view, ShellServices& shell, PacketCodec& codec);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // ---- FormEvents
  void FormCreate() override;
  void FormActivate() override;
  bool FormCloseQuery() override;
  void FormClose() override;
  void MenuClick(MenuItemId item) override;
  void PopupMenuOpening() override;
  void PopupMenuClosed(std::optional<MenuItemId> chosen) override;
  void Timer1Timer() override;
  void TrayIconRetryTimer() override;
  void TrayNotify(std::uint32_t mouse_message) override;
  void TaskbarCreated() override;
  void SettingChange() override;
  void QueryEndSession() override;
  void EndSession(bool ending) override;

  // ---- Menu handlers
  void bakup1Click();
  void Delete1Click();
  // The timer's tick runs it too (started_by_timer), and only such a run
  // tells of its failures in a balloon.
  void Copy1Click(bool started_by_timer = false);
  void Edit1Click();
  void TimerSetClick();
  void WeeClick();
  void MonClick();
  void N1Click();
  void Exit1Click();

  // ---- Schedule
  // Applies ScheduleMode and TimerSetValue to Timer1 and the caption.
  void TimeIniSet();
  // Asks for the minutes count and sets the timer from it. Returns false when
  // the answer was refused (a message was shown and nothing changed).
  bool TimSet();

  // ---- Tray icon
  void AddTrayIcon();
  void RemoveTrayIcon();
  void HideToTray();
  void RestoreFromTray();

  // ---- Components
  TClientDataSet& ClientDataSet1() { return *store_; }
  TStringField& ClientDataSet1Field();   // "バックアップファイル"
  TStringField& ClientDataSet1Field1();  // "保管場所"
  TStringField& ClientDataSet1Field2();  // "結果"
  TDateTimeField& ClientDataSet1Field3();  // "バックアップ日時"
  TTimer& Timer1() { return timer_; }
  const LocaleDateSettings& DateSettings() const { return date_settings_; }

  // A backup run is going on (Copy1Click has not returned).
  bool BackupRunning() const { return runs_.Running(); }

  // ---- Window state of the tray icon
  // Set from AddTrayIcon to RemoveTrayIcon: the window is in the tray, and the
  // icon is there or is being tried again (TrayIconAdded tells which).
  bool TrayIconShown = false;
  TrayIconRecord TrayIconData;
  // The shell holds the icon: it accepted the add, or the icon sent a message.
  bool TrayIconAdded() const { return tray_icon_added_; }
  const TrayIconRetry& TrayIconRetries() const { return tray_icon_retry_; }

  // ---- Program-wide values
  std::string DataFilePath;   // assigned after a successful load or creation
  std::string TimerSetValue;  // minutes text, or the next due date as short-date text
  std::int32_t ScheduleMode = 0;  // 1 minutes, 2 weekly, 3 monthly; other: none

 private:
  // settings_startup.cpp: FormCreate after the list is loaded: the settings
  // file is read (or made on the first run) and the stored schedule applied.
  void ReadSettingsAtStart();
  // What the user saw when the popup menu opened: the current row, and
  // whether the list stood at its end.
  struct ListSeen {
    TDataSet::RowMark row;
    bool at_end = true;
  };
  // list_commands.cpp: Delete1Click on the list as the user saw it.
  void DeleteSeenRow(const ListSeen& seen);
  // tray_icon.cpp: one NIM_ADD of TrayIconData; the retries start (or go on)
  // when the shell refuses it and stop when it accepts.
  void TryAddingTrayIcon();
  // tray_icon.cpp: at Timer1's tick, an icon the shell refused while the
  // system gave no retry timer is tried again.
  void RetryTrayIconWithoutItsTimer();
  // tray_icon.cpp: a backup run ended, also by a failure. While the window is
  // in the tray the icon and its tip show the run's outcome, and a run the
  // timer started with an entry that did not succeed says so in a balloon.
  void BackupRunEnded(bool started_by_timer);
  // tray_icon.cpp: the icon's image and tip in TrayIconData from the list's
  // outcome (the tip only with a schedule mode).
  void FillIconFromOutcome(const RunOutcome& outcome);
  // schedule_commands.cpp: the body of one tick.
  void RunTimerTick();
  // The schedule in force, as a value.
  Schedule CurrentSchedule() const { return Schedule{ScheduleMode, TimerSetValue}; }
  // backup_command.cpp: keeps a due date the backup run moved on and writes
  // it under TimerSet at once.
  void StoreDueDate(const std::string& due_date);
  // backup_command.cpp: at the end of a run, what waited for it (the first
  // activation, a tick) is posted, unless the program is closing.
  void PostWhatWaitedForTheRun();
  // A run going on ends at once, before its next entry or with the copy in
  // progress cancelled (the session ends, the user quits).
  void StopBackupRun();
  // backup_command.cpp: the menu commands that act during a run (hiding to
  // the tray, quitting); the others are greyed out then.
  static bool ActsDuringRun(MenuItemId item);
  // main_form.cpp: loads the data file, or creates the store empty.
  void LoadOrCreateStore();
  void LoadDataFile(const std::string& path);
  void SaveStore();
  // What tells whether the list changed since it was saved at the question
  // of the session's end: each commit, insert and delete adds a row version
  // or a change to the table.
  struct ListVersion {
    const void* table = nullptr;
    std::uint32_t last_slot = 0;
    std::size_t changes = 0;
    std::uint32_t rows = 0;
    bool operator==(const ListVersion& other) const {
      return table == other.table && last_slot == other.last_slot &&
             changes == other.changes && rows == other.rows;
    }
  };
  ListVersion CurrentListVersion();
  // The list as saved at WM_QUERYENDSESSION; none: not saved then.
  std::optional<ListVersion> saved_at_session_query_;

  // form_journal.cpp: after a load or a creation of the store from the data
  // file at `data_path`: its journal applied and folded in, or set aside.
  void TakeUpJournal(const std::string& data_path);
  void SetJournalAside(const char* message);
  void KeepJournalUntouched();
  // The data file written whole, beside the window's thread.
  void SaveWholeOffUiThread(const std::string& data_path);
  // The close: the list saved whole, then the journal removed.
  void SaveStoreAndRemoveJournal();
  void DropJournalAfterSave();
  // Appends and flushes what changed since the last append (beside the
  // window's thread); Later: from a posted message.
  void JournalChanges();
  void JournalChangesLater();
  // False: there is no journal to append to, the list must be saved whole.
  bool JournalAtSessionEnd();
  class JournalBusy;

  OsServices& os_;
  FormView& view_;
  ShellServices& shell_;
  PacketCodec& codec_;
  LocaleDateSettings date_settings_;
  std::unique_ptr<TClientDataSet> store_;
  TTimer timer_;
  TrayIconRetry tray_icon_retry_;
  bool tray_icon_added_ = false;
  // A balloon was given to the shell and has not been heard of as gone.
  bool balloon_shown_ = false;
  std::optional<ListSeen> list_seen_by_menu_;  // from PopupMenuOpening to PopupMenuClosed

  RunControl runs_;
  // What the data file was when this process last loaded or saved it.
  DataFileState data_file_;
  JournalWriter journal_;
  bool journal_busy_ = false;         // an append or a full save is under way
  bool journal_posted_ = false;       // an append waits in the message queue
  bool journal_untouchable_ = false;  // a journal that could be neither read nor set aside
};

}  // namespace quillset
