// The record engine: every version of every row in numbered slots with its row
// status and the change log (DSBASE), one ordered view of the visible rows
// (DSIDX DEFAULT_ORDER), and a cursor over that view (DSCursor).
//
// Every operation returns a 16-bit status, 0 for success. Every table and cursor
// operation holds the table's one lock for its duration.
//
// What the packet layer uses to build and serialise a table:
//   Create(columns)                    empty table, logging on, empty view
//   Columns(), Layout(), KeptTableProperties()
//   LastSlot(), SlotStatus(s), ReadSlot(s, image)   iterate slots 1..LastSlot()
//   PlaceRow(image, status)            next slot, no log entry, view untouched
//   PlaceRowValues(values, status)     the same from one FieldBytes per column
//   DSRowLoader                        PlaceRowValues for many rows, one lock
//   ReserveSlots(n)                    room for n more slots (a hint)
//   ChangeLog(), SetChangeLog(entries)
//   BuildView()                        view = visible slots in ascending order
//   StoreSideValue / SideValue         bytes of blob, nested-table and reference values
//   the plain table flags below (logging, read_only, disable_*, lcid, autoinc)
// Slot numbers never change and are never reused while the table exists.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/record_layout.h"
#include "store/row_arena.h"

namespace quillset {

using DSStatus = std::uint16_t;

// Statuses of this engine. The gap states double as cursor statuses.
constexpr DSStatus kDSOk = 0;
constexpr DSStatus kDSBeforeFirst = 0x2201;   // cursor before the first row
constexpr DSStatus kDSAfterLast = 0x2202;     // after the last row; also "no more"
constexpr DSStatus kDSRemovedRow = 0x2204;    // on a row that was just removed
constexpr DSStatus kDSInsertPoint = 0x2205;   // at an insert point
constexpr DSStatus kDSInvalidArgument = 0x2702;  // bad slot, image size, bookmark
constexpr DSStatus kDSBadLayout = 0x2710;     // columns that cannot be laid out
constexpr DSStatus kDSReadOnly = 0x2A0B;      // the table refuses changes
constexpr DSStatus kDSInsertsDisabled = 0x2A0C;
constexpr DSStatus kDSEditsDisabled = 0x2A0D;
constexpr DSStatus kDSDeletesDisabled = 0x2A0E;
constexpr DSStatus kDSNoColumns = 0x4005;     // a table without columns
constexpr DSStatus kDSNotCreated = 0x4006;    // operation on a table not yet created

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
  // kDSNoColumns for none, kDSBadLayout for a description the engine cannot
  // lay out, kDSInvalidArgument when the table was created before.
  DSStatus Create(std::vector<ColumnDescription> columns);
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
  DSStatus ReadSlot(std::uint32_t slot, std::vector<std::uint8_t>& image) const;
  // The slot's row column by column without building its image: `values`
  // (Columns().size() of them) get each column's field status and its data
  // area's bytes up to the last nonzero one (the rest of the area is zero),
  // valid until the next call with the same `scratch` or the next change of
  // the table. The saving path.
  DSStatus ReadSlotValues(std::uint32_t slot, FieldBytes* values,
                          std::vector<std::uint8_t>& scratch) const;
  // Puts a row straight into the next slot with the given status: no log
  // entry, the view is not touched (BuildView afterwards). `image` must be
  // Layout().ImageSize() bytes (kDSInvalidArgument otherwise).
  DSStatus PlaceRow(const std::vector<std::uint8_t>& image, std::uint8_t status);
  // PlaceRow for the image that `values` describes, one per column (see
  // FieldBytes), without building it: the loading path. kDSInvalidArgument
  // when the count differs from Columns().size() or a value is longer than
  // its column's area (nothing is placed then).
  DSStatus PlaceRowValues(const FieldBytes* values, std::size_t count, std::uint8_t status);
  // Room for `slots` more slots without growing. Callers bound the number by
  // what they actually hold (never by a count read from outside). May throw
  // std::bad_alloc.
  void ReserveSlots(std::size_t slots);

  // The count of visible slots.
  std::uint32_t VisibleCount() const { return visible_count_; }

  const std::vector<ChangeLogEntry>& ChangeLog() const { return change_log_; }
  void SetChangeLog(std::vector<ChangeLogEntry> entries);

  // Rebuilds DEFAULT_ORDER over the visible slots in ascending slot order and
  // recounts the visible slots.
  DSStatus BuildView();
  const DSIDX& DefaultOrder() const { return default_order_; }

  // Variable-length values of blob, nested-table and reference columns: the
  // image holds a 32-bit id (little-endian, 0 = none), the bytes live here.
  std::uint32_t StoreSideValue(std::vector<std::uint8_t> bytes);
  // Empty for id 0 or an unknown id.
  const std::vector<std::uint8_t>& SideValue(std::uint32_t id) const;

  // The text for a status: this program has none, so it is empty.
  std::string ErrorText(DSStatus status) const;

  std::recursive_mutex& Lock() const { return lock_; }

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
  friend class DSRowLoader;
  std::uint32_t AppendSlot(const std::uint8_t* image, std::uint8_t status);
  DSStatus PlaceRowValuesHeld(const FieldBytes* values, std::size_t count, std::uint8_t status);

  mutable std::recursive_mutex lock_;
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

// Loading many rows: holds the table's lock from construction to destruction
// and places rows without taking it again for each one.
class DSRowLoader {
 public:
  explicit DSRowLoader(DSBASE& base) : hold_(base.lock_), base_(base) {}
  DSRowLoader(const DSRowLoader&) = delete;
  DSRowLoader& operator=(const DSRowLoader&) = delete;
  // DSBASE::PlaceRowValues.
  DSStatus PlaceRowValues(const FieldBytes* values, std::size_t count, std::uint8_t status) {
    return base_.PlaceRowValuesHeld(values, count, status);
  }

 private:
  std::lock_guard<std::recursive_mutex> hold_;
  DSBASE& base_;
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

  DSStatus MoveToStart();                 // always 0
  DSStatus MoveToEnd();                   // always 0
  // delta +1 or -1: 0 on a row, kDSBeforeFirst or kDSAfterLast otherwise.
  DSStatus Step(int delta);
  // k < 1: before the first (kDSBeforeFirst); k > n: after the last
  // (kDSAfterLast); otherwise on row k, 0.
  DSStatus MoveToPosition(std::int64_t k);
  DSStatus GetBookmark(DSBookmark& bookmark);
  DSStatus GoToBookmark(const DSBookmark& bookmark);

  // The current row's image; in a gap the gap status.
  DSStatus ReadCurrentRow(std::vector<std::uint8_t>& image);
  // The 1-based position; in a gap the gap status.
  DSStatus CurrentPosition(std::uint32_t& position);
  // The current slot's status byte (a changed version of a row inserted while
  // the log was kept reports RowStatusInserted); in a gap the gap status.
  DSStatus CurrentRowStatus(std::uint8_t& status);
  DSStatus RowTotal(std::uint32_t& count);
  std::uint32_t GapState() const { return gap_; }

  // On a row: the gap becomes kDSInsertPoint; otherwise nothing.
  DSStatus MarkInsertPending();
  void ForgetSynchronisedPosition() { synced_position_ = 0; }

  // A new row lands immediately before the row the cursor stands on (gap 0,
  // synchronised position above 0), or last; the cursor is then on it.
  DSStatus StoreNewRow(const std::vector<std::uint8_t>& image);
  // The current row gets a new version unless `image` equals the stored one.
  DSStatus StoreChangedRow(const std::vector<std::uint8_t>& image);
  // The current row leaves the view; the cursor is left on kDSRemovedRow.
  DSStatus RemoveCurrentRow();

 private:
  void Synchronise();
  DSBASE& base_;
  std::int64_t position_ = 0;
  std::uint32_t gap_ = kDSBeforeFirst;
  std::uint32_t slot_ = 0;
  std::int64_t synced_position_ = 0;
  std::uint32_t stamp_ = 0;
};

}  // namespace quillset
