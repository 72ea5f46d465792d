// Copy1Click: the backup run over the list, from the menu and from the timer.
// The run itself is backup/backup_run.h; the window stores each due date the
// run moves on at once, and repaints the grid after each entry, so a long run
// shows its progress.
//
// The run goes on inside this one handler, however long its copies take.
// During each copy and between entries the window handles what must not wait
// (its paint, and messages sent by other programs: the end of the session, a
// probe whether it answers); everything else waits in the queue. A handler
// reached all the same during the run (a message sent to the window) does not
// start a second run and does not touch the list: it is done after the run.
#include <exception>

#include "backup/backup_run.h"
#include "settings/schedule_settings.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

// Marks the run as going on for as long as it lives, and tells Windows why
// the session should wait meanwhile.
class BackupRunScope {
 public:
  BackupRunScope(bool& running, FormView& view) : running_(running), view_(view) {
    running_ = true;
    view_.SetShutdownBlockReason(form_texts::kBackupRunningReason);
  }
  ~BackupRunScope() {
    running_ = false;
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
  bool& running_;
  FormView& view_;
};

}  // namespace

void TForm1::Copy1Click() {
  // A run reached from inside a run waits for it; after the end of the
  // session none starts, as the process may end in the middle of it.
  if (DeferDuringRun([this] { Copy1Click(); })) return;
  if (session_ended_) return;
  stop_requested_ = false;
  BackupRunScope running(backup_running_, view_);
  // Entries hold Windows paths: folder and file name are joined with "\".
  BackupRunContext context{os_, DateSettings(), ScheduleMode,
                           [this](const std::string& due_date) { StoreDueDate(due_date); },
                           "\\",
                           [this] {
                             view_.HideCopyProgress();
                             view_.RepaintGrid();
                             view_.KeepResponsive();
                           }};
  context.copy_progress = [this](std::uint64_t copied, std::uint64_t total) {
    view_.ShowCopyProgress(copied, total);
    view_.KeepResponsive();
    return stop_requested_ ? CopyProgressAnswer::kCancel : CopyProgressAnswer::kContinue;
  };
  context.stop_requested = [this] { return stop_requested_; };
  RunBackup(ClientDataSet1(), context);
}

bool TForm1::DeferDuringRun(std::function<void()> later) {
  if (!backup_running_) return false;
  view_.PostToSelf(std::move(later));
  return true;
}

void TForm1::StopBackupRun() {
  if (backup_running_) stop_requested_ = true;
}

void TForm1::StoreDueDate(const std::string& due_date) {
  // In memory first: a refused write ends the run with the new date kept.
  TimerSetValue = due_date;
  ScheduleSettings(os_).WriteDueDate(TimerSetValue);
}

}  // namespace quillset
