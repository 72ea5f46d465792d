#include "datafile/journal.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "datafile/little_endian.h"
#include "store/row_arena.h"

namespace quillset {
namespace {

const std::uint8_t kMagic[8] = {'Q', 'S', 'J', 'O', 'U', 'R', 'N', 'L'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t kFlagDataFileExists = 1;
constexpr std::uint8_t kCommittedRecord = 0;
constexpr std::uint8_t kPendingRecord = 1;
constexpr std::size_t kFrameBytes = 8;
// The smallest payload: kind, two counters, three empty lists.
constexpr std::uint32_t kMinPayloadBytes = 1 + 4 * 5;
// Far above any record the program writes; a larger length is damage.
constexpr std::uint32_t kMaxPayloadBytes = 256u << 20;

// CRC-32 (IEEE 802.3, reflected), as zip and PNG use it.
std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t b[4];
  StoreU32(b, v);
  out.insert(out.end(), b, b + 4);
}
void PutU64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  PutU32(out, static_cast<std::uint32_t>(v));
  PutU32(out, static_cast<std::uint32_t>(v >> 32));
}
std::uint64_t LoadU64(const std::uint8_t* p) {
  return LoadU32(p) | (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}

void PutRow(std::vector<std::uint8_t>& out, std::uint8_t status, const FieldBytes* values,
            std::size_t count) {
  PutU8(out, status);
  for (std::size_t c = 0; c < count; ++c) {
    PutU8(out, values[c].status);
    PutU32(out, values[c].length);
    if (values[c].length > 0) out.insert(out.end(), values[c].bytes, values[c].bytes + values[c].length);
  }
}

// Writes the frame around the payload that follows `start` in `out`.
void CloseFrame(std::vector<std::uint8_t>& out, std::size_t start) {
  const std::size_t length = out.size() - start - kFrameBytes;
  StoreU32(&out[start], static_cast<std::uint32_t>(length));
  const std::uint32_t crc = Crc32(&out[start], 4);
  StoreU32(&out[start + 4], Crc32(&out[start + kFrameBytes], length, crc));
}

std::size_t OpenFrame(std::vector<std::uint8_t>& out, std::uint8_t kind, TablePoint point) {
  const std::size_t start = out.size();
  out.resize(start + kFrameBytes);
  PutU8(out, kind);
  PutU32(out, point.last_slot + 1);
  PutU32(out, static_cast<std::uint32_t>(point.log_size));
  return start;
}

// Reads a payload front to back; any read past its end fails the reader.
class PayloadReader {
 public:
  PayloadReader(const std::uint8_t* p, std::size_t n) : p_(p), left_(n) {}
  bool U8(std::uint8_t& v) {
    if (left_ < 1) return false;
    v = *p_;
    Skip(1);
    return true;
  }
  bool U32(std::uint32_t& v) {
    if (left_ < 4) return false;
    v = LoadU32(p_);
    Skip(4);
    return true;
  }
  bool Bytes(std::size_t n, const std::uint8_t*& at) {
    if (left_ < n) return false;
    at = p_;
    Skip(n);
    return true;
  }
  bool AtEnd() const { return left_ == 0; }

 private:
  void Skip(std::size_t n) {
    p_ += n;
    left_ -= n;
  }
  const std::uint8_t* p_;
  std::size_t left_;
};

// Checks one record's payload against a table whose changes stand at
// `point`, and moves `point` past it; with `apply`, also makes its changes.
// A record that passes the check with `apply` off cannot fail with it on.
bool VisitRecord(const std::uint8_t* payload, std::size_t length, DSBASE& table,
                 TablePoint& point, bool apply) {
  PayloadReader in(payload, length);
  std::uint8_t kind = 0;
  std::uint32_t first_new = 0, log_start = 0, count = 0;
  if (!in.U8(kind) || kind > kPendingRecord) return false;
  if (!in.U32(first_new) || !in.U32(log_start)) return false;
  if (point.last_slot >= 0xFFFFFFF0u || first_new != point.last_slot + 1 ||
      log_start != point.log_size)
    return false;
  const std::size_t columns = table.Columns().size();
  std::vector<FieldBytes> values(columns);
  if (!in.U32(count)) return false;
  for (std::uint32_t r = 0; r < count; ++r) {
    std::uint8_t status = 0;
    if (!in.U8(status)) return false;
    for (std::size_t c = 0; c < columns; ++c) {
      if (!in.U8(values[c].status) || !in.U32(values[c].length)) return false;
      if (values[c].length > table.Layout().AreaSize(c)) return false;
      if (!in.Bytes(values[c].length, values[c].bytes)) return false;
    }
    if (point.last_slot >= 0xFFFFFFF0u) return false;
    ++point.last_slot;
    if (apply && table.PlaceRowValues(values.data(), columns, status) != kStatusOk) return false;
  }
  if (!in.U32(count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t slot = 0;
    std::uint8_t status = 0;
    if (!in.U32(slot) || !in.U8(status)) return false;
    if (slot < 1 || slot >= first_new) return false;
    if (apply) table.SetSlotStatus(slot, status);
  }
  if (!in.U32(count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    ChangeLogEntry entry;
    if (!in.U32(entry.slot) || !in.U32(entry.replaced_slot) || !in.U32(entry.kind)) return false;
    if (entry.slot < 1 || entry.slot > point.last_slot || entry.replaced_slot > point.last_slot)
      return false;
    if (entry.kind != kChangeInsert && entry.kind != kChangeModify && entry.kind != kChangeDelete)
      return false;
    ++point.log_size;
    if (apply) table.AppendChangeLogEntry(entry);
  }
  return in.AtEnd();
}

struct Frame {
  std::size_t payload = 0;
  std::size_t length = 0;
};

// A whole record with a matching checksum starts at `at`.
bool SoundFrameAt(const std::vector<std::uint8_t>& bytes, std::size_t at, Frame& frame) {
  if (bytes.size() - at < kFrameBytes) return false;
  const std::uint32_t length = LoadU32(&bytes[at]);
  if (length < kMinPayloadBytes || length > kMaxPayloadBytes) return false;
  if (bytes.size() - at - kFrameBytes < length) return false;
  const std::uint32_t crc = Crc32(&bytes[at + kFrameBytes], length, Crc32(&bytes[at], 4));
  if (crc != LoadU32(&bytes[at + 4])) return false;
  frame = Frame{at + kFrameBytes, length};
  return true;
}

}  // namespace

std::string JournalPathFor(const std::string& data_file_path) {
  return data_file_path + ".journal";
}

JournalBase CurrentJournalBase(OsServices& os, const std::string& path) {
  JournalBase base;
  base.data_file_exists = os.FileStamp(path, base.write_time, base.size);
  if (!base.data_file_exists) base.write_time = base.size = 0;
  return base;
}

TablePoint PointOf(const DSBASE& table) {
  return TablePoint{table.LastSlot(), table.ChangeLog().size()};
}

bool TableCanBeJournaled(const DSBASE& table) {
  if (!table.Created() || !table.logging_on) return false;
  for (const ColumnDescription& column : table.Columns()) {
    if (column.kind == ColumnKind::kBlob || column.kind == ColumnKind::kNestedTable ||
        column.kind == ColumnKind::kReference)
      return false;
  }
  return true;
}

std::vector<std::uint8_t> EncodeJournalHeader(const JournalBase& base) {
  std::vector<std::uint8_t> out(kMagic, kMagic + 8);
  PutU32(out, kVersion);
  PutU32(out, base.data_file_exists ? kFlagDataFileExists : 0);
  PutU64(out, base.size);
  PutU64(out, base.write_time);
  PutU32(out, 0);
  PutU32(out, Crc32(out.data(), out.size()));
  return out;
}

void AppendCommittedRecord(const DSBASE& table, TablePoint from, std::vector<std::uint8_t>& out) {
  const std::size_t start = OpenFrame(out, kCommittedRecord, from);
  const std::size_t columns = table.Columns().size();
  std::vector<FieldBytes> values(columns);
  std::vector<std::uint8_t> scratch;
  PutU32(out, table.LastSlot() - from.last_slot);
  for (std::uint32_t slot = from.last_slot + 1; slot <= table.LastSlot(); ++slot) {
    (void)table.ReadSlotValues(slot, values.data(), scratch);  // a slot in range
    PutRow(out, table.SlotStatus(slot), values.data(), columns);
  }
  // Every status change of an older slot comes with a log entry naming it.
  const std::vector<ChangeLogEntry>& log = table.ChangeLog();
  std::vector<std::uint32_t> older;
  for (std::size_t i = from.log_size; i < log.size(); ++i) {
    for (std::uint32_t slot : {log[i].slot, log[i].replaced_slot})
      if (slot >= 1 && slot <= from.last_slot) older.push_back(slot);
  }
  std::sort(older.begin(), older.end());
  older.erase(std::unique(older.begin(), older.end()), older.end());
  PutU32(out, static_cast<std::uint32_t>(older.size()));
  for (std::uint32_t slot : older) {
    PutU32(out, slot);
    PutU8(out, table.SlotStatus(slot));
  }
  PutU32(out, static_cast<std::uint32_t>(log.size() - from.log_size));
  for (std::size_t i = from.log_size; i < log.size(); ++i) {
    PutU32(out, log[i].slot);
    PutU32(out, log[i].replaced_slot);
    PutU32(out, log[i].kind);
  }
  CloseFrame(out, start);
}

void AppendPendingRecord(const DSBASE& table, const std::vector<std::uint8_t>* image,
                         std::uint32_t replaced_slot, std::vector<std::uint8_t>& out) {
  const TablePoint point = PointOf(table);
  const std::size_t start = OpenFrame(out, kPendingRecord, point);
  if (image != nullptr && replaced_slot != 0) {
    // An edit that changed nothing stores nothing.
    std::vector<std::uint8_t> stored;
    if (table.ReadSlot(replaced_slot, stored) != kStatusOk || stored == *image) image = nullptr;
  }
  if (image == nullptr || image->size() != table.Layout().ImageSize()) {
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    CloseFrame(out, start);
    return;
  }
  const std::uint32_t slot = point.last_slot + 1;
  const std::uint8_t old_status = table.SlotStatus(replaced_slot);
  std::vector<FieldBytes> values(table.Columns().size());
  DescribeImage(table.Layout(), image->data(), values.data());
  PutU32(out, 1);
  PutRow(out,
         replaced_slot == 0
             ? RowStatusInserted
             : static_cast<std::uint8_t>(RowStatusModified | (old_status & RowStatusInserted)),
         values.data(), values.size());
  PutU32(out, replaced_slot == 0 ? 0 : 1);
  if (replaced_slot != 0) {
    PutU32(out, replaced_slot);
    PutU8(out, static_cast<std::uint8_t>(old_status | RowStatusOriginal));
  }
  PutU32(out, 1);
  PutU32(out, slot);
  PutU32(out, replaced_slot);
  PutU32(out, replaced_slot == 0 ? kChangeInsert : kChangeModify);
  CloseFrame(out, start);
}

JournalReplay ReplayJournal(const std::vector<std::uint8_t>& bytes, const JournalBase& base,
                            DSBASE& table) {
  JournalReplay replay;
  // Zeros only: the disk lost the first append's bytes (a crash keeps a
  // file's length, not its unflushed content).
  if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; })) {
    replay.verdict = JournalVerdict::kTornHeader;
    return replay;
  }
  if (bytes.size() < kJournalHeaderBytes) {
    // Cut inside the header: the first append never reached the disk.
    const std::size_t n = std::min<std::size_t>(bytes.size(), sizeof kMagic);
    replay.verdict = std::memcmp(bytes.data(), kMagic, n) == 0 ? JournalVerdict::kTornHeader
                                                                : JournalVerdict::kWrongHeader;
    return replay;
  }
  const std::uint8_t* h = bytes.data();
  if (std::memcmp(h, kMagic, 8) != 0 || LoadU32(h + 8) != kVersion ||
      (LoadU32(h + 12) & ~kFlagDataFileExists) != 0 || LoadU32(h + 32) != 0 ||
      LoadU32(h + 36) != Crc32(h, 36)) {
    replay.verdict = JournalVerdict::kWrongHeader;
    return replay;
  }
  JournalBase named;
  named.data_file_exists = (LoadU32(h + 12) & kFlagDataFileExists) != 0;
  named.size = LoadU64(h + 16);
  named.write_time = LoadU64(h + 24);
  if (!(named == base)) {
    replay.verdict = JournalVerdict::kOtherDataFile;
    return replay;
  }
  if (!TableCanBeJournaled(table)) {
    replay.verdict = JournalVerdict::kDamaged;
    return replay;
  }

  std::vector<Frame> frames;
  std::size_t at = kJournalHeaderBytes;
  while (at < bytes.size()) {
    Frame frame;
    if (SoundFrameAt(bytes, at, frame)) {
      frames.push_back(frame);
      at = frame.payload + frame.length;
      continue;
    }
    // A bad record is the torn last one only if no sound record follows.
    for (std::size_t q = at + 1; q + kFrameBytes <= bytes.size(); ++q) {
      if (SoundFrameAt(bytes, q, frame)) {
        replay.verdict = JournalVerdict::kDamaged;
        return replay;
      }
    }
    replay.last_record_dropped = true;
    break;
  }

  // The pending row's record counts only as the last one: a later record
  // holds its commit, or its end.
  const auto counts = [&](std::size_t i) {
    return i + 1 == frames.size() || bytes[frames[i].payload] != kPendingRecord;
  };
  TablePoint point = PointOf(table);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    TablePoint check = point;
    if (!VisitRecord(&bytes[frames[i].payload], frames[i].length, table, check, false)) {
      replay.verdict = JournalVerdict::kDamaged;
      return replay;
    }
    if (counts(i)) point = check;
  }
  point = PointOf(table);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (!counts(i)) continue;
    (void)VisitRecord(&bytes[frames[i].payload], frames[i].length, table, point, true);
    ++replay.records_applied;
  }
  return replay;
}

}  // namespace quillset
