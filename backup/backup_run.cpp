#include "backup/backup_run.h"

#include "app/code_page.h"
#include "backup/safe_copy.h"
#include "locale/calendar_dates.h"
#include "settings/ini_file.h"
#include "schedule/schedule_modes.h"
#include "settings/settings_keys.h"

namespace quillset {
namespace {

constexpr int kFilePathField = 0;
constexpr int kFolderField = 1;
constexpr int kResultField = 2;
constexpr int kTimeField = 3;

// Moves the next due date on from today and stores it at once. A refused
// write throws EIniFileException; the new date stays in memory.
void MoveDueDate(BackupRunContext& context) {
  const TDateTime today = TodayDate(context.os);
  const TDateTime due = context.schedule_mode == kWeeklyMode ? AddWeeksToDate(today, 1)
                                                             : AddMonthsToDate(today, 1);
  context.timer_set_value = FormatShortDate(due, context.date_settings);
  TIniFile settings(context.os, context.settings_file_path);
  settings.WriteString(kTimeSection, kTimerSetKey, context.timer_set_value);
}

// Copies one entry and gives its result text.
const char* BackUpEntry(const std::string& file_path, const std::string& folder,
                        BackupRunContext& context) {
  if (!context.os.DirectoryExists(folder)) return backup_texts::kFolderMissing;
  const std::string target =
      BackupTargetPath(folder, file_path, context.os, context.path_separator);
  if (!SafeCopyFile(context.os, file_path, target)) return backup_texts::kCopyFailed;
  if (context.schedule_mode == kWeeklyMode || context.schedule_mode == kMonthlyMode) {
    MoveDueDate(context);
  }
  return backup_texts::kCopied;
}

}  // namespace

std::string BackupTargetPath(const std::string& folder, const std::string& file_path,
                             const CodePage& cp, const std::string& separator) {
  return folder + separator + FileNamePart(file_path, cp);
}

void RunBackup(TClientDataSet& store, BackupRunContext& context) {
  store.EndRowEdit();
  const std::int32_t count = store.RowCount();
  for (std::int32_t position = 1; position <= count; ++position) {
    store.SetRowNumber(position);
    const std::string file_path = store.FieldAt(kFilePathField).ReadText();
    const std::string folder = store.FieldAt(kFolderField).ReadText();
    store.EditRow();
    const char* result = BackUpEntry(file_path, folder, context);
    store.FieldAt(kResultField).WriteText(result);
    static_cast<TDateTimeField&>(store.FieldAt(kTimeField))
        .WriteDateTime(CurrentDateTime(context.os));
    if (context.after_entry) context.after_entry();
  }
}

}  // namespace quillset
