// The backup run: every entry of the backup list is copied into its
// destination folder, and the outcome and the time of the attempt are written
// back into the entry. In the weekly and monthly schedule modes each
// successful copy also moves the next due date on; the run hands the new date
// to its caller at once, who keeps and stores it.
//
// The run works on the record store alone; the main window (Copy1Click) gives
// it the schedule mode, stores each new due date and repaints the grid after
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
  // Called after each successful copy in modes 2 and 3, before the entry gets
  // its result, with the new due date as short-date text (today + 7 days or
  // + 1 month). A failure it throws ends the run at that entry.
  std::function<void(const std::string& due_date)> due_date_moved;
  // What joins the folder and the file name. Entries hold Windows paths, so
  // the program always joins with "\"; the native tests, whose folders are
  // host paths, join with "/".
  std::string path_separator = "\\";
  // Called after each entry got its result and time (the grid repaints).
  std::function<void()> after_entry;
  // Hears how far each copy is, and may cancel it (the window stays
  // answering and shows the progress).
  CopyProgress copy_progress = nullptr;
  // Asked after each copy and before each entry: true ends the run there.
  // Also asked from the thread of the blocking steps (below).
  std::function<bool()> stop_requested = nullptr;
  // Runs the blocking steps of one entry (the folder test, and the safe copy:
  // the copy, its flush, the replace, the waits between retries) and returns
  // when they are done; the window runs them beside its own thread, which
  // keeps handling messages meanwhile. The steps touch neither the store nor
  // the window: `copy_progress` and `stop_requested` are called from them.
  // Unset: they run on the calling thread.
  std::function<void(const std::function<void()>& steps)> run_blocking = nullptr;
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
//     otherwise a safe copy to BackupTargetPath; on success in modes 2/3 the
//     new due date goes to due_date_moved, then "バックアップ成功"; on
//     failure "バックアップ失敗";
//   then SetRowNumber(i), EditRow, the result and the time of the attempt
//   (CurrentDateTime), CommitRow. The entry is not in Edit while its copy and
//   its due date's write go on, so the list can be saved then (the end of the
//   session) with nothing of the entry half-written.
// Every entry is committed as the run leaves it, the last one included, so
// the run leaves the store in Browse on the last row (AtEnd clear): an Esc in
// the grid cannot drop a result. The versions and log entries are those the
// next row change would have written, so the saved bytes are the same.
// A failure (thrown by due_date_moved, or the record store's EDatabaseError)
// ends the run at that entry and propagates: that entry gets no result and
// no time, the entries after it are not visited.
// A stop (stop_requested) ends the run quietly: before the next entry, or
// after the copy of the entry in progress, which then gets no result, no time
// and no new due date, as an entry the run has not reached; its copy was
// cancelled (up to the replace) and its older backup is whole. Nothing of
// the store is touched after the stop, so whoever asked for it may have
// saved the list in the meantime.
void RunBackup(TClientDataSet& store, BackupRunContext& context);

}  // namespace quillset
