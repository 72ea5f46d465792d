#include "datafile/journal_writer.h"

#include <memory>

namespace quillset {

void JournalWriter::Rebase(const std::string& data_path, TablePoint held, bool usable) {
  on_ = usable;
  journal_path_ = JournalPathFor(data_path);
  base_ = CurrentJournalBase(os_, data_path);
  held_ = journaled_ = held;
  pending_written_.clear();
  appendable_ = false;
}

void JournalWriter::Adopt(TablePoint journaled) {
  journaled_ = journaled;
  pending_written_.clear();
  appendable_ = false;
}

bool JournalWriter::Prepare(TDataSet& store, JournalAppend& append) const {
  if (!on_ || !store.Active() || store.Table() == nullptr) return false;
  const DSBASE& table = *store.Table();
  const TablePoint now = PointOf(table);
  std::vector<std::uint8_t> image;
  std::uint32_t replaced = 0;
  std::vector<std::uint8_t> pending_record;
  if (store.PendingCommit(image, replaced)) AppendPendingRecord(table, &image, replaced, pending_record);
  if (now == journaled_ && pending_record == pending_written_ && (appendable_ || now == held_))
    return false;  // the journal (or, without one, the data file) holds the list as it is

  std::vector<std::uint8_t>& out = append.bytes;
  out.clear();
  append.whole = !appendable_;
  if (append.whole) {
    // The whole journal: everything since the data file, then the pending row.
    out = EncodeJournalHeader(base_);
    if (now != held_) AppendCommittedRecord(table, held_, out);
    out.insert(out.end(), pending_record.begin(), pending_record.end());
  } else {
    // A committed record ends what the pending row's record said.
    const bool pending_counts = now == journaled_ && !pending_written_.empty();
    if (now != journaled_) AppendCommittedRecord(table, journaled_, out);
    if (!pending_record.empty() && !(pending_counts && pending_record == pending_written_)) {
      out.insert(out.end(), pending_record.begin(), pending_record.end());
    } else if (pending_record.empty() && pending_counts) {
      AppendPendingRecord(table, nullptr, 0, out);  // no row pending any more
    }
  }
  append.now = now;
  append.pending = std::move(pending_record);
  return true;
}

bool JournalWriter::WriteTo(const std::string& path, FileOpenMode mode,
                            const std::vector<std::uint8_t>& bytes) {
  std::unique_ptr<ExclusiveFile> file = os_.OpenExclusive(path, mode);
  if (file == nullptr) return false;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t done = 0;
    if (!file->Write(bytes.data() + at, bytes.size() - at, done) || done == 0 ||
        done > bytes.size() - at)
      return false;
    at += done;
  }
  return file->Flush();
}

bool JournalWriter::Write(JournalAppend& append) {
  bool written = false;
  if (!append.whole) {
    written = WriteTo(journal_path_, FileOpenMode::kAppendExisting, append.bytes);
  } else if (!os_.FileExists(journal_path_)) {
    // Nothing to lose yet: a cut first write is a torn header or last record.
    written = WriteTo(journal_path_, FileOpenMode::kCreateAlways, append.bytes);
  } else {
    // Beside the old journal first, so that it stays whole until the new one is.
    const std::string temporary = journal_path_ + ".new";
    written = WriteTo(temporary, FileOpenMode::kCreateAlways, append.bytes) &&
              os_.MoveFileReplacing(temporary, journal_path_);
    if (!written) os_.RemoveFile(temporary);
  }
  appendable_ = written;
  if (!written) return false;
  journaled_ = append.now;
  pending_written_ = std::move(append.pending);
  return true;
}

bool JournalWriter::Append(TDataSet& store) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    JournalAppend append;
    if (!Prepare(store, append)) return true;
    if (Write(append)) return true;
    if (append.whole) return false;
  }
  return false;
}

bool JournalWriter::Remove() {
  appendable_ = false;
  if (journal_path_.empty() || !os_.FileExists(journal_path_)) return true;
  return os_.RemoveFile(journal_path_);
}

}  // namespace quillset
