// The record engine: every version of every row in numbered slots with its row
// status and the change log (DSBASE), one ordered view of the visible rows
// (DSIDX DEFAULT_ORDER), and a cursor over that view (DSCursor).
//
// Every operation returns a Status, kStatusOk for success. The program has one
// thread that touches the store, so nothing here takes a lock.
//
// What the packet layer uses to build and serialise a table:
//   Create(columns)                    empty table, logging on, empty view
//   Columns(), Layout(), KeptTableProperties()
//   LastSlot(), SlotStatus(s), ReadSlot(s, image)   iterate slots 1..LastSlot()
//   PlaceRowValues(values, status)     next slot from one FieldBytes per
//                                      column, no log entry, view untouched
//   ReserveSlots(n)                    room for n more slots (a hint)
//   ChangeLog(), SetChangeLog(entries)
//   BuildView()                        view = visible slots in ascending order
//   StoreSideValue / SideValue         bytes of blob, nested-table and reference values
//   the plain table flags below (logging, read_only, disable_*, lcid, autoinc)
// Slot numbers never change and are never reused while the table exists.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/record_layout.h"
#include "store/status.h"
#include "store/row_arena.h"

namespace quillset {

// Row status byte (bit values shared with the data file). A slot is visible
// when none of Original, Deleted and Unused is set.
constexpr std::uint8_t RowStatusUnmodified = 0x00;
constexpr std::uint8_t RowStatusOriginal = 0x01;   // replaced by a newer version
constexpr std::uint8_t RowStatusDeleted = 0x02;
constexpr std::uint8_t RowStatusInserted = 0x04;   // inserted while the log was kept
constexpr std::uint8_t RowStatusModified = 0x08;   // replaced an older version
constexpr std::uint8_t RowStatusUnused = 0x20;     // an emptied slot
constexpr std::uint8_t kRowStatusHiddenBits =
    RowStatusOriginal | RowStatusDeleted | RowStatusUnused;
inline bool IsVisibleRowStatus(std::uint8_t status) {
  return (status & kRowStatusHiddenBits) == 0;
}

// Kinds of change-log entries.
constexpr std::uint32_t kChangeInsert = 4;
constexpr std::uint32_t kChangeModify = 8;
constexpr std::uint32_t kChangeDelete = 2;

struct ChangeLogEntry {
  std::uint32_t slot = 0;           // the changed row (for a change: the new version)
  std::uint32_t replaced_slot = 0;  // for a change: the replaced version; else 0
  std::uint32_t kind = 0;           // kChangeInsert, kChangeModify, kChangeDelete
  bool operator==(const ChangeLogEntry& o) const {
    return slot == o.slot && replaced_slot == o.replaced_slot && kind == o.kind;
  }
};

// The view DEFAULT_ORDER: the visible slots in display order, no key fields.
class DSIDX {
 public:
  std::string name = "DEFAULT_ORDER";
  std::uint32_t Count() const { return static_cast<std::uint32_t>(slots_.size()); }
  // 1-based position; REQUIRES 1 <= position <= Count().
  std::uint32_t SlotAt(std::uint32_t position) const { return slots_[position - 1]; }
  // 1-based position of `slot`, 0 if absent (linear search).
  std::uint32_t FindSlot(std::uint32_t slot) const;
  std::uint32_t Stamp() const { return stamp_; }
  std::uint32_t Identity() const { return identity_; }
  std::uint32_t InsertHint() const { return insert_hint_; }

 private:
  friend class DSBASE;
  friend class DSCursor;
  void Clear();
  void InsertAt(std::uint32_t position, std::uint32_t slot);  // moves the tail
  void RemoveAt(std::uint32_t position);                      // moves the tail
  void Reserve(std::size_t n);

  std::vector<std::uint32_t> slots_;
  std::uint32_t stamp_ = 0;
  std::uint32_t identity_ = 1;
  std::uint32_t insert_hint_ = 0;
};

class DSBASE {
 public:
  DSBASE() = default;
  DSBASE(const DSBASE&) = delete;
  DSBASE& operator=(const DSBASE&) = delete;

  // An empty table from the column descriptions: logging on, empty view.
  // kStatusBadPacket for none, kStatusBadType for a description the engine cannot
  // lay out, kStatusInvalidArgument when the table was created before.
  Status Create(std::vector<ColumnDescription> columns);
  bool Created() const { return created_; }

  const std::vector<ColumnDescription>& Columns() const { return columns_; }
  const RecordLayout& Layout() const { return layout_; }
  // Table properties read from a packet and written back unchanged.
  std::vector<KeptProperty>& KeptTableProperties() { return kept_table_properties_; }
  const std::vector<KeptProperty>& KeptTableProperties() const { return kept_table_properties_; }

  // Slots 1..LastSlot(); 0 for an empty table.
  std::uint32_t LastSlot() const;
  // Status byte of a slot; RowStatusUnused for a slot number out of range.
  std::uint8_t SlotStatus(std::uint32_t slot) const;
  // Copies the slot's row image (Layout().ImageSize() bytes) into `image`.
  Status ReadSlot(std::uint32_t slot, std::vector<std::uint8_t>& image) const;
  // The slot's row column by column without building its image: `values`
  // (Columns().size() of them) get each column's field status and its data
  // area's bytes up to the last nonzero one (the rest of the area is zero),
  // valid until the next call with the same `scratch` or the next change of
  // the table. The saving path.
  Status ReadSlotValues(std::uint32_t slot, FieldBytes* values,
                          std::vector<std::uint8_t>& scratch) const;
  // Puts a row straight into the next slot with the given status, from the
  // image that `values` describes, one per column (see FieldBytes), without
  // building it: no log entry, the view is not touched (BuildView afterwards).
  // kStatusInvalidArgument when the count differs from Columns().size() or a
  // value is longer than its column's area (nothing is placed then).
  Status PlaceRowValues(const FieldBytes* values, std::size_t count, std::uint8_t status);
  // Room for `slots` more slots without growing. Callers bound the number by
  // what they actually hold (never by a count read from outside). May throw
  // std::bad_alloc.
  void ReserveSlots(std::size_t slots);

  // The count of visible slots.
  std::uint32_t VisibleCount() const { return visible_count_; }

  const std::vector<ChangeLogEntry>& ChangeLog() const { return change_log_; }
  void SetChangeLog(std::vector<ChangeLogEntry> entries);
  // The journal's replay: a slot's status as a later commit left it, and one
  // more change-log entry. REQUIRES 1 <= slot <= LastSlot(); the view is not
  // touched (BuildView afterwards).
  void SetSlotStatus(std::uint32_t slot, std::uint8_t status) { statuses_[slot - 1] = status; }
  void AppendChangeLogEntry(const ChangeLogEntry& entry) { change_log_.push_back(entry); }

  // Rebuilds DEFAULT_ORDER over the visible slots in ascending slot order and
  // recounts the visible slots.
  Status BuildView();
  const DSIDX& DefaultOrder() const { return default_order_; }

  // Variable-length values of blob, nested-table and reference columns: the
  // image holds a 32-bit id (little-endian, 0 = none), the bytes live here.
  std::uint32_t StoreSideValue(std::vector<std::uint8_t> bytes);
  // Empty for id 0 or an unknown id.
  const std::vector<std::uint8_t>& SideValue(std::uint32_t id) const;

  // The text for a status: this program has none, so it is empty.
  std::string ErrorText(Status status) const;

  // Bytes held by slot storage, view, change log and side values (benchmarks).
  std::size_t MemoryBytes() const;

  // Table-level flags that a packet may set. Plain members.
  bool logging_on = true;        // off for change (delta) packets
  bool read_only = false;
  bool disable_inserts = false;
  bool disable_edits = false;
  bool disable_deletes = false;
  bool has_lcid = false;
  std::uint32_t lcid = 0;
  bool has_autoinc = false;
  std::int32_t autoinc_value = 0;

 private:
  friend class DSCursor;
  std::uint32_t AppendSlot(const std::uint8_t* image, std::uint8_t status);

  bool created_ = false;
  std::vector<ColumnDescription> columns_;
  RecordLayout layout_;
  std::vector<KeptProperty> kept_table_properties_;
  std::unique_ptr<RowArena> rows_;
  std::vector<std::uint8_t> statuses_;  // index slot - 1
  std::uint32_t visible_count_ = 0;
  std::vector<ChangeLogEntry> change_log_;
  DSIDX default_order_;
  std::vector<std::vector<std::uint8_t>> side_values_;  // id - 1
};

// A cursor's saved place, 20 bytes.
struct DSBookmark {
  std::int32_t position = 0;
  std::uint32_t gap = 0;
  std::uint32_t slot = 0;
  std::uint32_t stamp = 0;
  std::uint32_t view = 0;
};
static_assert(sizeof(DSBookmark) == 20, "a bookmark is 20 bytes");

// A position in the view of one table. Position 0 and n + 1 stand before the
// first and after the last row. The table must outlive the cursor.
class DSCursor {
 public:
  explicit DSCursor(DSBASE& base);

  Status MoveToStart();                 // always 0
  Status MoveToEnd();                   // always 0
  // delta +1 or -1: 0 on a row, kStatusBeforeFirst or kStatusNoMore otherwise.
  Status Step(int delta);
  // k < 1: before the first (kStatusBeforeFirst); k > n: after the last
  // (kStatusNoMore); otherwise on row k, 0.
  Status MoveToPosition(std::int64_t k);
  Status GetBookmark(DSBookmark& bookmark);
  Status GoToBookmark(const DSBookmark& bookmark);

  // The current row's image; in a gap the gap status.
  Status ReadCurrentRow(std::vector<std::uint8_t>& image);
  // The 1-based position; in a gap the gap status.
  Status CurrentPosition(std::uint32_t& position);
  // The current slot's status byte (a changed version of a row inserted while
  // the log was kept reports RowStatusInserted); in a gap the gap status.
  Status CurrentRowStatus(std::uint8_t& status);
  Status RowTotal(std::uint32_t& count);
  Status GapState() const { return gap_; }

  // On a row: the gap becomes kStatusInsertPoint; otherwise nothing.
  Status MarkInsertPending();
  void ForgetSynchronisedPosition() { synced_position_ = 0; }

  // A new row lands immediately before the row the cursor stands on (gap 0,
  // synchronised position above 0), or last; the cursor is then on it.
  Status StoreNewRow(const std::vector<std::uint8_t>& image);
  // The current row gets a new version unless `image` equals the stored one.
  Status StoreChangedRow(const std::vector<std::uint8_t>& image);
  // The current row leaves the view; the cursor is left on kStatusRemovedRow.
  Status RemoveCurrentRow();

 private:
  void Synchronise();
  DSBASE& base_;
  std::int64_t position_ = 0;
  Status gap_ = kStatusBeforeFirst;
  std::uint32_t slot_ = 0;
  std::int64_t synced_position_ = 0;
  std::uint32_t stamp_ = 0;
};

}  // namespace quillset
