#include "backup/backup_run.h"

#include <memory>

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

// The blocking steps of one entry with everything they touch: an abandoned
// step may return after the run (and its caller's stack) are gone.
struct EntryCopy {
  OsServices* os;
  std::string file_path, folder, separator;
  CopyProgress progress;
  bool folder_found = false;
  bool copied = false;

  void Run() {
    if (!os->DirectoryExists(folder)) return;
    folder_found = true;
    const std::string target = BackupTargetPath(folder, file_path, *os, separator);
    copied = SafeCopyFile(*os, file_path, target, progress);
  }
};

const char* EntryResult(const EntryCopy& entry) {
  if (!entry.folder_found) return backup_texts::kFolderMissing;
  return entry.copied ? backup_texts::kCopied : backup_texts::kCopyFailed;
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
  bool any_copied = false;
  TDateTime last_copy_day = 0;
  for (std::int32_t position = 1; position <= count; ++position) {
    if (StopRequested(context)) return;
    store.SetRowNumber(position);
    auto entry = std::make_shared<EntryCopy>();
    entry->os = &context.os;
    entry->file_path = store.FieldAt(kFilePathField).ReadText();
    entry->folder = store.FieldAt(kFolderField).ReadText();
    entry->separator = context.path_separator;
    entry->progress = context.copy_progress;
    const auto steps = [entry] { entry->Run(); };
    if (context.run_blocking) {
      if (!context.run_blocking(steps)) return;  // abandoned after a stop
    } else {
      steps();
    }
    if (StopRequested(context)) return;
    if (entry->copied) {
      any_copied = true;
      // From the day of the copy: a run that passes midnight counts from the
      // new day.
      last_copy_day = TodayDate(context.os);
    }
    store.SetRowNumber(position);
    store.EditRow();
    store.FieldAt(kResultField).WriteText(EntryResult(*entry));
    static_cast<TDateTimeField&>(store.FieldAt(kTimeField))
        .WriteDateTime(CurrentDateTime(context.os));
    // Committed as the entry is left, the last one too: an Esc in the grid
    // would otherwise drop the result just shown. The row version and the
    // change-log entry are the ones the next row change would have written.
    store.CommitRow();
    if (context.after_entry) context.after_entry();
  }
  if (StopRequested(context)) return;
  if (any_copied && HasDueDate(context.schedule_mode) && context.due_date_moved) {
    context.due_date_moved(
        NextDueDateText(context.schedule_mode, last_copy_day, context.date_settings));
  }
}

}  // namespace quillset
