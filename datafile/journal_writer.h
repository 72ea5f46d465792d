// Appends the list's changes to the journal beside the data file (the format
// is datafile/journal.h) and flushes each append before it returns. The
// journal is created at the first change after a full save or a load, each
// append opens it, writes at its end, flushes and closes it, and the next
// full save removes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/os_services.h"
#include "datafile/journal.h"
#include "store/record_store.h"

namespace quillset {

// The bytes of one append, made from the list on the window's thread and
// written beside it.
struct JournalAppend {
  std::vector<std::uint8_t> bytes;
  bool whole = false;  // a new journal: header and every change since the data file
  TablePoint now;
  std::vector<std::uint8_t> pending;
};

class JournalWriter {
 public:
  explicit JournalWriter(OsServices& os) : os_(os) {}

  // From now on the journal extends the data file at `data_path` as it
  // stands, which holds the table up to `held`. A journal file on disk is
  // left to the caller. `usable` false turns the journal off until the next
  // Rebase: appends then write nothing.
  void Rebase(const std::string& data_path, TablePoint held, bool usable);
  // The journal file on disk already holds the table up to `journaled` (a
  // start whose fold could not write the data file): it is kept, and the
  // next append writes it anew with what followed.
  void Adopt(TablePoint journaled);
  // Appends write nothing until the next Rebase (a journal that could be
  // neither read nor set aside is never written over).
  void TurnOff() { on_ = false; }
  bool On() const { return on_; }
  const std::string& Path() const { return journal_path_; }

  // Appends every change committed since the last append, then the row
  // pending in `store` (what EndRowEdit would store now) when it changed,
  // and flushes. True when the journal holds the list as it is now (also
  // when nothing changed, or the journal is off). False when a write
  // failed: the next append writes the whole journal anew beside the old
  // one and puts it in its place.
  bool Append(TDataSet& store);
  // Append in two steps: the bytes from the list (false: nothing to write),
  // then the blocking write, which touches neither the list nor the store.
  bool Prepare(TDataSet& store, JournalAppend& append) const;
  bool Write(JournalAppend& append);
  // Removes the journal file; true when none is left.
  bool Remove();

 private:
  bool WriteTo(const std::string& path, FileOpenMode mode, const std::vector<std::uint8_t>& bytes);

  OsServices& os_;
  bool on_ = false;
  std::string journal_path_;
  JournalBase base_;
  TablePoint held_;       // what the data file holds
  TablePoint journaled_;  // what the journal file holds (committed records)
  // The pending row's last record, while it is the journal's last record.
  std::vector<std::uint8_t> pending_written_;
  // The journal file on disk holds journaled_ and pending_written_, as this
  // writer made it: the next append goes at its end. Otherwise the next
  // append writes it whole.
  bool appendable_ = false;
};

}  // namespace quillset
