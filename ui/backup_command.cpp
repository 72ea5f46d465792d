// Copy1Click: the backup run over the list, from the menu and from the timer.
// The run itself is backup/backup_run.h; the window repaints the grid after
// each entry, so a long run shows its progress.
#include "backup/backup_run.h"
#include "settings/ini_file.h"
#include "ui/main_form.h"

namespace quillset {

void TForm1::Copy1Click() {
  // Entries hold Windows paths: folder and file name are joined with "\".
  BackupRunContext context{os_, DateSettings(), ScheduleMode, TimerSetValue,
                           SettingsFilePath(os_), "\\", [this] { view_.RepaintGrid(); }};
  RunBackup(ClientDataSet1(), context);
}

}  // namespace quillset
