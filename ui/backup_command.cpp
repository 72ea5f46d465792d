// Copy1Click: the backup run over the list, from the menu and from the timer.
// The run itself is backup/backup_run.h; the window stores each due date the
// run moves on at once, and repaints the grid after each entry, so a long run
// shows its progress.
//
// The run goes on inside this one handler, however long its copies take.
// The blocking steps of each copy (the copy, its flush, the replace, the
// waits between retries) run beside the window's thread, which meanwhile
// only handles what must not wait (its paint, and messages sent by other
// programs: the end of the session, a probe whether it answers), at short
// intervals; everything else waits in the queue. A handler reached all the
// same during the run (a message sent to the window) does not start a second
// run and does not touch the list: it is done after the run.
#include <atomic>
#include <cstdint>
#include <exception>

#include "backup/backup_run.h"
#include "settings/schedule_settings.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

// Marks the run as going on for as long as it lives, tells Windows why the
// session should wait meanwhile, and keeps the system from sleeping.
class BackupRunScope {
 public:
  BackupRunScope(RunControl& runs, FormView& view, ShellServices& shell)
      : runs_(runs), view_(view), shell_(shell) {
    runs_.Begin();
    shell_.KeepSystemAwake(true);
    view_.SetShutdownBlockReason(form_texts::kBackupRunningReason);
  }
  ~BackupRunScope() {
    runs_.End();
    shell_.KeepSystemAwake(false);
    try {
      view_.HideCopyProgress();
      view_.SetShutdownBlockReason(std::string());
    } catch (const std::exception&) {
      // display only: the run's outcome stands
    }
  }
  BackupRunScope(const BackupRunScope&) = delete;
  BackupRunScope& operator=(const BackupRunScope&) = delete;

 private:
  RunControl& runs_;
  FormView& view_;
  ShellServices& shell_;
};

// How far the copy in progress is, told by the copying thread and shown by
// the window's.
struct CopyReport {
  std::atomic<bool> heard{false};
  std::atomic<std::uint64_t> copied{0};
  std::atomic<std::uint64_t> total{0};
};

}  // namespace

void TForm1::Copy1Click() {
  // A run reached from inside a run waits for it; after the end of the
  // session none starts, as the process may end in the middle of it.
  if (DeferDuringRun([this] { Copy1Click(); })) return;
  if (!runs_.MayStart()) return;
  BackupRunScope running(runs_, view_, shell_);
  // Entries hold Windows paths: folder and file name are joined with "\".
  BackupRunContext context{os_, DateSettings(), ScheduleMode,
                           [this](const std::string& due_date) { StoreDueDate(due_date); },
                           "\\",
                           [this] {
                             view_.HideCopyProgress();
                             view_.RepaintGrid();
                             view_.KeepResponsive();
                           }};
  CopyReport report;
  // On the copying thread.
  context.copy_progress = [this, &report](std::uint64_t copied, std::uint64_t total) {
    report.copied = copied;
    report.total = total;
    report.heard = true;
    return runs_.StopRequested() ? CopyProgressAnswer::kCancel : CopyProgressAnswer::kContinue;
  };
  context.stop_requested = [this] { return runs_.StopRequested(); };
  context.run_blocking = [this, &report](const std::function<void()>& steps) {
    report.heard = false;
    shell_.RunOffUiThread(steps, [this, &report] {
      if (report.heard) view_.ShowCopyProgress(report.copied, report.total);
      view_.KeepResponsive();
    });
  };
  RunBackup(ClientDataSet1(), context);
}

bool TForm1::DeferDuringRun(std::function<void()> later) {
  if (!runs_.Running()) return false;
  view_.PostToSelf(std::move(later));
  return true;
}

void TForm1::StopBackupRun() {
  runs_.RequestStop();
}

void TForm1::StoreDueDate(const std::string& due_date) {
  // In memory first: a refused write ends the run with the new date kept.
  TimerSetValue = due_date;
  // The write may wait for a settings file another program holds a moment:
  // beside the window's thread, as the copy.
  shell_.RunOffUiThread([this, &due_date] { ScheduleSettings(os_).WriteDueDate(due_date); },
                        [this] { view_.KeepResponsive(); });
}

}  // namespace quillset
