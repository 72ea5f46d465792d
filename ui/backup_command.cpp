// Copy1Click: the backup run over the list, from the menu and from the timer.
// The run itself is backup/backup_run.h; the window stores the due date the
// run moves on at its end, and repaints the grid after each entry, so a long
// run shows its progress.
//
// The run goes on inside this one handler, however long its copies take.
// The blocking steps of each copy (the copy, its flush, the replace, the
// waits between retries) run beside the window's thread, which meanwhile
// handles its messages as the message loop would: the window opens from the
// tray, scrolls, hides to the tray again, and asks, when it is closed,
// whether to stop the run and quit. The commands that change the list or
// start a run are greyed out and the grid is read-only until the run ends;
// one that comes all the same is dropped, so nothing runs later behind the
// user's back. While a menu or box of the program is open, the copy in
// progress goes on and the run waits for it to close before its next entry.
//
// A stop (the user's, or the end of the session) cancels the copy in
// progress; a step that does not return within a few seconds of the stop (a
// share that stopped answering) is abandoned, so the program neither waits
// for it nor keeps the system awake.
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <utility>

#include "backup/backup_run.h"
#include "settings/schedule_settings.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

// What a run greys out: everything that changes the list or the schedule, or
// starts a run. Hiding to the tray and quitting stay.
constexpr MenuItemId kGreyedDuringRun[] = {MenuItemId::bakup1, MenuItemId::Delete1,
                                           MenuItemId::Copy1,  MenuItemId::Edit1,
                                           MenuItemId::TimerSet, MenuItemId::Wee,
                                           MenuItemId::Mon};

// Marks the run as going on for as long as it lives, keeps the system from
// sleeping, greys out the list's commands and makes the grid read-only. Every
// part is put back however the run ends, a failure of one part included.
class BackupRunScope {
 public:
  // `at_end` runs once the run is over, however it ended.
  BackupRunScope(RunControl& runs, FormView& view, ShellServices& shell,
                 std::function<void()> at_end)
      : runs_(runs), view_(view), shell_(shell), at_end_(std::move(at_end)) {
    runs_.Begin();
    try {
      shell_.KeepSystemAwake(true);
      grid_was_read_only_ = view_.GridReadOnly();
      view_.SetGridReadOnly(true);
      for (MenuItemId item : kGreyedDuringRun) view_.SetMenuEnabled(item, false);
    } catch (...) {
      Restore();
      throw;
    }
  }
  ~BackupRunScope() { Restore(); }
  BackupRunScope(const BackupRunScope&) = delete;
  BackupRunScope& operator=(const BackupRunScope&) = delete;

 private:
  template <typename Step>
  static void DisplayOnly(Step step) {
    try {
      step();
    } catch (const std::exception&) {
      // display only: the run's outcome stands
    }
  }
  void Restore() {
    runs_.End();
    DisplayOnly([this] { shell_.KeepSystemAwake(false); });
    DisplayOnly([this] { view_.HideCopyProgress(); });
    DisplayOnly([this] { view_.SetGridReadOnly(grid_was_read_only_); });
    for (MenuItemId item : kGreyedDuringRun)
      DisplayOnly([this, item] { view_.SetMenuEnabled(item, true); });
    DisplayOnly(at_end_);
  }

  RunControl& runs_;
  FormView& view_;
  ShellServices& shell_;
  std::function<void()> at_end_;
  bool grid_was_read_only_ = true;
};

// How far the copy in progress is, told by the copying thread and shown by
// the window's. Shared: an abandoned copy may report after the run.
struct CopyReport {
  std::atomic<bool> heard{false};
  std::atomic<std::uint64_t> copied{0};
  std::atomic<std::uint64_t> total{0};
};

}  // namespace

bool TForm1::ActsDuringRun(MenuItemId item) {
  return item == MenuItemId::N1 || item == MenuItemId::Exit1;
}

void TForm1::Copy1Click(bool started_by_timer) {
  // Reached during a run only by a command that came although greyed out;
  // after the end of the session none starts, as the process may end in the
  // middle of it.
  if (runs_.Running() || !runs_.MayStart()) return;
  {
    BackupRunScope running(runs_, view_, shell_, [this] { PostWhatWaitedForTheRun(); });
    // Entries hold Windows paths: folder and file name are joined with "\".
    BackupRunContext context{os_, DateSettings(), ScheduleMode,
                             [this](const std::string& due_date) { StoreDueDate(due_date); },
                             "\\",
                             [this] {
                               view_.HideCopyProgress();
                               view_.RepaintGrid();
                               view_.KeepResponsive();
                               JournalChanges();  // each entry's result is durable at once
                             }};
    auto report = std::make_shared<CopyReport>();
    // On the copying thread.
    context.copy_progress = [report, stop = runs_.StopFlag()](std::uint64_t copied,
                                                              std::uint64_t total) {
      report->copied = copied;
      report->total = total;
      report->heard = true;
      return *stop ? CopyProgressAnswer::kCancel : CopyProgressAnswer::kContinue;
    };
    context.stop_requested = [this] { return runs_.StopRequested(); };
    context.run_blocking = [this, report](const std::function<void()>& steps) {
      report->heard = false;
      // The progress shows in the entry's row; the user may look at another
      // meanwhile.
      const std::int32_t row = store_->RowNumber();
      return shell_.RunOffUiThread(
          steps,
          [this, report, row] {
            if (report->heard && store_->RowNumber() == row) {
              view_.ShowCopyProgress(report->copied, report->total);
            } else {
              view_.HideCopyProgress();
            }
            view_.KeepResponsive();
          },
          [this] { return runs_.StopRequested(); });
    };
    // The results are appended to the journal and the tray icon shows how the
    // run ended, also when a failure ended it.
    try {
      RunBackup(ClientDataSet1(), context);
    } catch (...) {
      JournalChanges();
      BackupRunEnded(started_by_timer);
      throw;
    }
    JournalChanges();
    BackupRunEnded(started_by_timer);
  }
  // The user chose to stop the run and quit: the window closes now, saving
  // the results so far.
  if (runs_.QuitRequested()) view_.CloseWindow();
}

void TForm1::PostWhatWaitedForTheRun() {
  const bool activation = runs_.TakeWaitingActivation();
  const bool tick = runs_.TakeWaitingTick();
  if (runs_.QuitRequested()) return;  // nothing starts behind a closing window
  // A message that cannot be posted (a full queue) drops its work: the next
  // tick comes all the same, and the list is loaded as it is.
  if (activation) view_.PostToSelf([this] { FormActivate(); });
  if (tick) view_.PostToSelf([this] { Timer1Timer(); });
}

void TForm1::StopBackupRun() {
  runs_.RequestStop();
}

void TForm1::StoreDueDate(const std::string& due_date) {
  // In memory first: a refused write leaves the new date in force here.
  TimerSetValue = due_date;
  // The write may wait for a settings file another program holds a moment:
  // beside the window's thread, as the copy, and abandoned as the copy is.
  OsServices* os = &os_;
  shell_.RunOffUiThread([os, due_date] { ScheduleSettings(*os).WriteDueDate(due_date); },
                        [this] { view_.KeepResponsive(); },
                        [this] { return runs_.StopRequested(); });
}

}  // namespace quillset
