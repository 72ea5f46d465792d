// The journal beside the data file, from the window's side (the format and
// the writing are datafile/journal*.h). After the data file is loaded the
// journal is applied and folded in: the data file is written whole beside
// the window's thread, and the journal removed only after that. Every change
// is then appended and flushed as it is made: after each command, each grid
// commit (a posted message) and each entry of a backup run. Closing saves
// whole and removes the journal; the end of the session only appends.
#include <exception>
#include <vector>

#include "base/code_page.h"
#include "base/errors.h"
#include "datafile/journal.h"
#include "locale/whole_number_text.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

const char kJournalDamaged[] =
    "ジャーナルファイル %s は壊れているため、使いませんでした。一覧は最後に保存したときのものです。"
    "ジャーナルファイルは %s として残してあります。";
const char kJournalOfAnotherFile[] =
    "ジャーナルファイル %s は今のデータファイルのものではないため、使いませんでした。"
    "ジャーナルファイルは %s として残してあります。";

bool ReadWholeFile(OsServices& os, const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::unique_ptr<ExclusiveFile> file = os.OpenExclusive(path, FileOpenMode::kReadExisting);
  std::uint64_t size = 0;
  if (!file || !file->Size(size) || size > (std::uint64_t(1) << 31)) return false;
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t done = 0;
    if (!file->Read(bytes.data() + at, bytes.size() - at, done) || done == 0) return false;
    at += done;
  }
  return true;
}

}  // namespace

// Marks the journal as being written (or the data file as being saved) for
// as long as it lives: a session's end that arrives meanwhile finds the list
// in the journal already.
class TForm1::JournalBusy {
 public:
  explicit JournalBusy(bool& busy) : busy_(busy) { busy_ = true; }
  ~JournalBusy() { busy_ = false; }
  JournalBusy(const JournalBusy&) = delete;
  JournalBusy& operator=(const JournalBusy&) = delete;

 private:
  bool& busy_;
};

void TForm1::TakeUpJournal(const std::string& data_path) {
  DSBASE* table = store_->Table();
  if (table == nullptr) return;
  journal_untouchable_ = false;
  journal_.Rebase(data_path, PointOf(*table), TableCanBeJournaled(*table));
  const std::string journal_path = journal_.Path();
  if (!os_.FileExists(journal_path)) return;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(os_, journal_path, bytes)) {
    KeepJournalUntouched();  // never written over unread; the close saves whole as before
    return;
  }
  const JournalReplay replay = ReplayJournal(bytes, CurrentJournalBase(os_, data_path), *table);
  switch (replay.verdict) {
    case JournalVerdict::kApplied: break;
    case JournalVerdict::kTornHeader: journal_.Remove(); return;
    case JournalVerdict::kWrongHeader:
    case JournalVerdict::kOtherDataFile: SetJournalAside(kJournalOfAnotherFile); return;
    case JournalVerdict::kDamaged: SetJournalAside(kJournalDamaged); return;
  }
  if (replay.records_applied == 0) {
    journal_.Remove();
    return;
  }
  store_->Reopen();
  const TablePoint folded = PointOf(*store_->Table());
  try {
    SaveWholeOffUiThread(data_path);
  } catch (const std::exception&) {
    // The journal still holds every change; the close tries the save again.
    journal_.Adopt(folded);
    return;
  }
  journal_.Rebase(data_path, folded, true);
  journal_.Remove();
}

// Under the first free name "<journal>.1", "<journal>.2", ...; the user is
// told once, as the journal is no longer where the next start looks.
void TForm1::SetJournalAside(const char* message) {
  const std::string journal_path = journal_.Path();
  for (int n = 1; n < 1000; ++n) {
    const std::string aside = journal_path + "." + IntToText(n);
    std::uint32_t attributes = 0;
    if (os_.GetAttributes(aside, attributes)) continue;
    if (!os_.MoveFileReplacing(journal_path, aside)) break;
    view_.ShowPlainMessage(FormatMessageText(message, {journal_path, aside}));
    return;
  }
  KeepJournalUntouched();  // left in place, never written over nor removed
}

void TForm1::KeepJournalUntouched() {
  journal_.TurnOff();
  journal_untouchable_ = true;
}

void TForm1::SaveWholeOffUiThread(const std::string& data_path) {
  // The pending row is committed here: its notices reach the grid.
  store_->EndRowEdit();
  JournalBusy busy(journal_busy_);
  shell_.RunOffUiThread([this, &data_path] { SaveFile(*store_, os_, data_path, &data_file_); },
                        [this] { view_.KeepPainted(); });
}

void TForm1::SaveStoreAndRemoveJournal() {
  if (!store_->Active()) return;
  // A data file whose bytes a load refused is not written over, and its
  // journal stays with it.
  if (data_file_.HoldsRefusedBytes(os_, DataFilePath)) return;
  store_->EndRowEdit();
  JournalChanges();  // a crash during the save finds the last change in the journal
  SaveWholeOffUiThread(DataFilePath);
  DropJournalAfterSave();
}

void TForm1::DropJournalAfterSave() {
  DSBASE* table = store_->Table();
  if (table == nullptr || journal_untouchable_ ||
      data_file_.HoldsRefusedBytes(os_, DataFilePath))
    return;
  journal_.Rebase(DataFilePath, PointOf(*table), TableCanBeJournaled(*table));
  journal_.Remove();
}

void TForm1::JournalChanges() {
  if (journal_busy_) return;
  JournalBusy busy(journal_busy_);
  // An append the journal refused (gone, say) is made again as a whole new
  // journal at once; one that fails again waits for the next change, and at
  // the latest for the close.
  for (int attempt = 0; attempt < 2; ++attempt) {
    JournalAppend append;
    if (!journal_.Prepare(*store_, append)) return;
    bool written = false;
    shell_.RunOffUiThread([this, &append, &written] { written = journal_.Write(append); },
                          [this] { view_.KeepPainted(); });
    if (written || append.whole) return;
  }
}

void TForm1::JournalChangesLater() {
  if (journal_posted_ || runs_.Running() || !journal_.On()) return;
  journal_posted_ = true;
  view_.PostToSelf([this] {
    journal_posted_ = false;
    JournalChanges();
  });
}

// Windows wants an answer at once: only what changed is appended, on this
// thread. Without a journal (a list it cannot hold, one that failed) the
// list is saved whole, as before.
bool TForm1::JournalAtSessionEnd() {
  if (journal_busy_) return true;  // a save or an append is under way with the list as it is
  if (!journal_.On() || !store_->Active()) return false;
  return journal_.Append(*store_);
}

}  // namespace quillset
