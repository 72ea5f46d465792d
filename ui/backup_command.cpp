// Copy1Click: the backup run over the list, from the menu and from the timer.
// The run itself is backup/backup_run.h; the window stores each due date the
// run moves on at once, and repaints the grid after each entry, so a long run
// shows its progress.
#include "backup/backup_run.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "ui/main_form.h"

namespace quillset {

void TForm1::Copy1Click() {
  // Entries hold Windows paths: folder and file name are joined with "\".
  BackupRunContext context{os_, DateSettings(), ScheduleMode,
                           [this](const std::string& due_date) { StoreDueDate(due_date); },
                           "\\", [this] { view_.RepaintGrid(); }};
  RunBackup(ClientDataSet1(), context);
}

void TForm1::StoreDueDate(const std::string& due_date) {
  // In memory first: a refused write ends the run with the new date kept.
  TimerSetValue = due_date;
  TIniFile settings(os_, SettingsFilePath(os_));
  settings.WriteString(kTimeSection, kTimerSetKey, TimerSetValue);
}

}  // namespace quillset
