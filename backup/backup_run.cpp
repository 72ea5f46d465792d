#include "backup/backup_run.h"

#include "base/code_page.h"
#include "backup/safe_copy.h"
#include "locale/calendar_dates.h"
#include "schedule/schedule.h"

namespace quillset {
namespace {

constexpr int kFilePathField = 0;
constexpr int kFolderField = 1;
constexpr int kResultField = 2;
constexpr int kTimeField = 3;

// Copies one entry: true when the folder exists, and then `copied`.
bool CopyEntry(const std::string& file_path, const std::string& folder,
               BackupRunContext& context, bool& copied) {
  if (!context.os.DirectoryExists(folder)) return false;
  const std::string target =
      BackupTargetPath(folder, file_path, context.os, context.path_separator);
  copied = SafeCopyFile(context.os, file_path, target, context.copy_progress);
  return true;
}

// The entry's result text; a successful copy moves the due date on first.
const char* EntryResult(bool folder_found, bool copied, BackupRunContext& context) {
  if (!folder_found) return backup_texts::kFolderMissing;
  if (!copied) return backup_texts::kCopyFailed;
  if (HasDueDate(context.schedule_mode)) {
    // From the day of this copy: a run that passes midnight moves it further.
    const std::string due_date = NextDueDateText(context.schedule_mode,
                                                 TodayDate(context.os), context.date_settings);
    if (context.due_date_moved) context.due_date_moved(due_date);
  }
  return backup_texts::kCopied;
}

bool StopRequested(BackupRunContext& context) {
  return context.stop_requested && context.stop_requested();
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
    if (StopRequested(context)) return;
    store.SetRowNumber(position);
    const std::string file_path = store.FieldAt(kFilePathField).ReadText();
    const std::string folder = store.FieldAt(kFolderField).ReadText();
    bool folder_found = false, copied = false;
    const auto steps = [&] { folder_found = CopyEntry(file_path, folder, context, copied); };
    if (context.run_blocking) {
      context.run_blocking(steps);
    } else {
      steps();
    }
    if (StopRequested(context)) return;
    // The due date's write, as the copy, lets the window handle messages (a
    // save at the session end ends any row edit): the entry is put in Edit
    // only after it.
    const char* result = EntryResult(folder_found, copied, context);
    if (StopRequested(context)) return;
    store.SetRowNumber(position);
    store.EditRow();
    store.FieldAt(kResultField).WriteText(result);
    static_cast<TDateTimeField&>(store.FieldAt(kTimeField))
        .WriteDateTime(CurrentDateTime(context.os));
    // Committed as the entry is left, the last one too: an Esc in the grid
    // would otherwise drop the result just shown. The row version and the
    // change-log entry are the ones the next row change would have written.
    store.CommitRow();
    if (context.after_entry) context.after_entry();
  }
}

}  // namespace quillset
