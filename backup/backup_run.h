// The backup run: every entry of the backup list is copied into its
// destination folder, and the outcome and the time of the attempt are written
// back into the entry. In the weekly and monthly schedule modes a run that
// visited every entry and copied at least one moves the next due date on,
// once, at its end; the run hands the new date to its caller, who keeps and
// stores it. A run cut short (a stop, the end of the session, a failure)
// leaves the due date as it was, so the next check runs the whole list again
// rather than leaving the entries not reached for a week or a month.
//
// The run works on the record store alone; the main window (Copy1Click) gives
// it the schedule mode, stores the new due date and repaints the grid after
// each entry.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/os_services.h"
#include "locale/locale_settings.h"
#include "store/record_store.h"

namespace quillset {

// The result texts as given; the 20-byte result field keeps the first 20
// bytes, so the folder message reads back as "フォルダーが見つかり".
namespace backup_texts {
inline constexpr char kCopied[] = "バックアップ成功";
inline constexpr char kCopyFailed[] = "バックアップ失敗";
inline constexpr char kFolderMissing[] = "フォルダーが見つかりません";
}  // namespace backup_texts

// Everything the run needs besides the store. References must outlive the run.
struct BackupRunContext {
  OsServices& os;
  // For the short-date text of the next due date.
  const LocaleDateSettings& date_settings;
  // ScheduleMode: 2 weekly and 3 monthly move the due date; others do not.
  std::int32_t schedule_mode;
  // Called once in modes 2 and 3, after every entry has its result, when at
  // least one copy succeeded: the new due date as short-date text (the day
  // of the last successful copy + 7 days or + 1 month). Not called when the
  // run was cut short. A failure it throws leaves RunBackup after that.
  std::function<void(const std::string& due_date)> due_date_moved;
  // What joins the folder and the file name. Entries hold Windows paths, so
  // the program always joins with "\"; the native tests, whose folders are
  // host paths, join with "/".
  std::string path_separator = "\\";
  // Called after each entry got its result and time (the grid repaints).
  std::function<void()> after_entry;
  // Hears how far each copy is, and may cancel it (the window stays
  // answering and shows the progress). Called from the blocking steps
  // (below), which keep a copy of it: it must own what it uses.
  CopyProgress copy_progress = nullptr;
  // Asked after each copy and before each entry: true ends the run there.
  std::function<bool()> stop_requested = nullptr;
  // Runs the blocking steps of one entry (the folder test, and the safe copy:
  // the copy, its flush, the replace, the waits between retries) and returns
  // true when they are done; the window runs them beside its own thread,
  // which keeps handling messages meanwhile. False: a stop came and the
  // steps did not return in time (a share that stopped answering); they were
  // abandoned and the run ends there. The steps own what they touch (copies
  // of the entry's texts, of `copy_progress`, the OS services, which outlive
  // the run), so an abandoned step harms nothing when it returns at last.
  // Unset: they run on the calling thread.
  std::function<bool(const std::function<void()>& steps)> run_blocking = nullptr;
};

// The target path of an entry: the folder text, the separator, then the
// file-name part of the file path (after the last "\" or ":" that is a
// character of its own), each unchanged. A folder that already ends in "\"
// (a drive root) gives two backslashes in a row; the path goes to the copy as
// it stands.
std::string BackupTargetPath(const std::string& folder, const std::string& file_path,
                             const CodePage& cp, const std::string& separator = "\\");

// Runs the backup over every row of `store`.
// REQUIRES: `store` has the backup entry's fields (MakeBackupEntryStore).
// Step by step:
//   EndRowEdit (a pending new entry is committed and counted); RowCount once;
//   no rows: nothing is written, the settings file is not touched. For each
//   position i in 1..n: SetRowNumber(i), read the
//   file path (field 0) and folder (field 1), then (through run_blocking)
//     folder missing (or a file): result "フォルダーが見つかりません";
//     otherwise a safe copy to BackupTargetPath: "バックアップ成功" or
//     "バックアップ失敗";
//   then SetRowNumber(i), EditRow, the result and the time of the attempt
//   (CurrentDateTime), CommitRow. The entry is not in Edit while its copy
//   goes on, so the list can be saved then (the end of the session) with
//   nothing of the entry half-written.
// Every entry is committed as the run leaves it, the last one included, so
// the run leaves the store in Browse on the last row (AtEnd clear): an Esc in
// the grid cannot drop a result. The versions and log entries are those the
// next row change would have written, so the saved bytes are the same.
// After the last entry, in modes 2/3 with at least one copy: due_date_moved.
// A failure of the record store (EDatabaseError) ends the run at that entry
// and propagates: that entry gets no result and no time, the entries after
// it are not visited, and the due date stays.
// A stop (stop_requested) ends the run quietly: before the next entry, or
// after the copy of the entry in progress, which then gets no result, no time
// and no new due date, as an entry the run has not reached; its copy was
// cancelled (up to the replace) and its older backup is whole. Nothing of
// the store is touched after the stop, so whoever asked for it may have
// saved the list in the meantime. The due date stays.
void RunBackup(TClientDataSet& store, BackupRunContext& context);

}  // namespace quillset
