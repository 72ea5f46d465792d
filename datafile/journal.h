// The journal beside the data file ("Quillset.cds.journal"): every change to
// the list since the last full save, as records appended and flushed one by
// one, in the manner of a database's write-ahead log. The next start applies
// them to the list the data file gives and writes the data file whole.
//
// Bytes (little-endian):
//   header, 40 bytes: "QSJOURNL", version 1 (u32), flags (u32: bit 0, a data
//     file existed), the data file's size and last-write time (u64 each) as
//     the last full save (or the load) left them, 4 zero bytes, and the CRC-32
//     of the 36 bytes before it.
//   record: payload length (u32), CRC-32 of the length's 4 bytes and the
//     payload (u32), payload:
//     u8 kind: 0 committed changes, 1 the row pending in the grid (what
//        EndRowEdit would store now; counts only as the journal's last record)
//     u32 first new slot (the table's last slot + 1), u32 change-log length
//        before; both must continue the table exactly, so no record can be
//        applied twice or out of order
//     u32 n, then n new slots: u8 row status, per column u8 field status,
//        u32 length, the data area's bytes up to its last nonzero one
//     u32 n, then n (u32 slot, u8 status): older slots' statuses as they are now
//     u32 n, then n change-log entries (u32 slot, u32 replaced slot, u32 kind)
//
// Reading: a record cut short or failing its checksum is the torn last record
// when no sound record follows it anywhere in the file, and is dropped; when
// one does, the journal is damaged and nothing of it is applied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/os_services.h"
#include "store/record_engine.h"

namespace quillset {

constexpr std::size_t kJournalHeaderBytes = 40;

// "<data file path>.journal".
std::string JournalPathFor(const std::string& data_file_path);

// The data file a journal extends, as a full save or a load left it.
struct JournalBase {
  bool data_file_exists = false;
  std::uint64_t size = 0;
  std::uint64_t write_time = 0;
  bool operator==(const JournalBase& o) const {
    return data_file_exists == o.data_file_exists && size == o.size &&
           write_time == o.write_time;
  }
};
// The data file at `path` as it stands now.
JournalBase CurrentJournalBase(OsServices& os, const std::string& path);

// How far a table's changes go: its last slot and its change log's length.
struct TablePoint {
  std::uint32_t last_slot = 0;
  std::size_t log_size = 0;
  bool operator==(const TablePoint& o) const {
    return last_slot == o.last_slot && log_size == o.log_size;
  }
  bool operator!=(const TablePoint& o) const { return !(*this == o); }
};
TablePoint PointOf(const DSBASE& table);

// A table the journal can hold: change logging on (every status change then
// comes with a log entry) and no values kept beside the rows.
bool TableCanBeJournaled(const DSBASE& table);

std::vector<std::uint8_t> EncodeJournalHeader(const JournalBase& base);
// Appends one framed record of every committed change from `from` to the
// table as it stands. REQUIRES the table reached `from` and went on from it.
void AppendCommittedRecord(const DSBASE& table, TablePoint from, std::vector<std::uint8_t>& out);
// Appends one framed record of the pending row: `image` stored as a new row
// (`replaced_slot` 0) or as a new version of `replaced_slot`, as the table
// stands. With a null `image`, a record that holds nothing: no row pending
// any more.
void AppendPendingRecord(const DSBASE& table, const std::vector<std::uint8_t>* image,
                         std::uint32_t replaced_slot, std::vector<std::uint8_t>& out);

enum class JournalVerdict {
  kApplied,        // every sound record applied (perhaps none)
  kTornHeader,     // zeros, or shorter than a header and a start of one: nothing was flushed
  kWrongHeader,    // not a journal of this program
  kOtherDataFile,  // the journal of another data file (or of none, or of an older one)
  kDamaged,        // damage before the last record, or a record that does not fit the table
};
struct JournalReplay {
  JournalVerdict verdict = JournalVerdict::kApplied;
  std::size_t records_applied = 0;  // the pending row's record counts
  bool last_record_dropped = false;
};
// Applies the journal `bytes` to `table` when its header names `base` and
// every record but a torn last one is sound; otherwise the table is left
// exactly as it was. The view is not rebuilt (the store reopens afterwards).
JournalReplay ReplayJournal(const std::vector<std::uint8_t>& bytes, const JournalBase& base,
                            DSBASE& table);

}  // namespace quillset
