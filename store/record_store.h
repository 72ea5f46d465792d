// The record store: the row-editing layer over the record engine.
//
// TDataSet keeps the state machine (Inactive, Browse, Edit, Insert), the
// current-row flags AtStart, AtEnd and RowModified, the window of buffered rows
// around the current row, and the field objects; it reaches the rows only
// through the engine's table and cursor. TClientDataSet adds creating an empty
// table, closing into a held data packet and opening from one (through a
// PacketCodec).
//
// Errors: EDatabaseError with the text "<name>: <message>" for misuse; EDBClient
// carrying the status (empty text) for any engine status that is not expected.
//
// The window, for the grid: WindowRowCount() buffers, index 0 at the top;
// ActiveWindowIndex() is the current row (-1 when the window is empty);
// WindowRow(i) gives each buffer's RowInfo, WindowGridText(i, field) the text
// the grid shows for a field of buffer i. The grid's wanted size comes from
// DataLink::WantedWindowSize() (at least 1) and is read again at every re-read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "locale/locale_settings.h"
#include "store/data_link.h"
#include "store/field_values.h"
#include "store/packet_codec.h"
#include "store/record_engine.h"

namespace quillset {

enum class StoreState { Inactive, Browse, Edit, Insert };

enum class PositionMarker { OnRow, BeforeFirst, AfterLast, NewRow };

struct RowInfo {
  std::int32_t row_number = -1;  // 1-based view position; -1 for a new row
  PositionMarker marker = PositionMarker::OnRow;
  std::uint8_t status = RowStatusUnmodified;  // as read from the engine
  DSBookmark bookmark;
  bool has_bookmark = false;
};

struct RowBuffer {
  std::vector<std::uint8_t> image;  // the row image (field values, null flags)
  RowInfo info;
};

class TDataSet {
 public:
  explicit TDataSet(std::string name);
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  const std::string& Name() const { return name_; }

  // Field objects, in field order. The store owns them. Only while Inactive.
  TField& AddField(std::unique_ptr<TField> field);
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  // 0-based; throws EDatabaseError for a position out of range.
  TField& FieldAt(int index) const;
  // nullptr when no field has the name.
  TField* FindField(const std::string& name) const;

  void SetDataLink(DataLink* link) { link_ = link; }
  // Called after every commit and delete that reached the table, whoever
  // made it (a command, the grid, a backup run): the journal hears of it.
  void SetAfterTableChange(std::function<void()> hook) { after_table_change_ = std::move(hook); }
  // The settings the date-time field formats and parses grid text with, and
  // the services that give the current year for two-number dates. Without
  // settings the defaults of LocaleDateSettings are used; without services
  // typed date-time text is refused. Both must outlive the store.
  void SetDateTextContext(const LocaleDateSettings* settings, OsServices* os);
  const LocaleDateSettings& DateSettings() const;
  OsServices* DateOs() const { return date_os_; }

  StoreState State() const { return state_; }
  bool Active() const { return state_ != StoreState::Inactive; }
  bool AtStart() const { return at_start_; }
  bool AtEnd() const { return at_end_; }
  bool RowModified() const { return row_modified_; }

  void MoveFirst();
  void MoveLast();
  // Returns the signed number of rows actually moved.
  int MoveRows(int n);
  void InsertRow();
  void AppendRow();
  void EditRow();
  void CommitRow();
  void DiscardRow();
  void EndRowEdit();
  void DeleteRow();
  // Committed, visible rows only (a pending new row is not counted).
  std::int32_t RowCount();
  // The active row's 1-based view position; -1 for a pending new row, 0 when
  // the view is empty.
  std::int32_t RowNumber();
  // EndRowEdit, then row k becomes current (nothing moves when k is the
  // current row). k outside 1..RowCount(): EDBClient 0x2201 / 0x2202.
  void SetRowNumber(std::int32_t k);

  // A row of the list, to be found again after other changes: newer versions
  // of it (a commit, a backup run writing its result) and rows added or
  // removed around it. A mark of a pending new row follows the row into the
  // list when it is committed. Only valid while the store stays open.
  struct RowMark {
    bool valid = false;
    std::uint32_t opening = 0;  // which opening of the store it belongs to
    std::uint32_t slot = 0;     // the marked version of a committed row
    std::uint32_t new_row = 0;  // for a pending new row: its number among new rows
  };
  // The current row's mark; not valid when there is no current row.
  RowMark MarkCurrentRow() const;
  // The mark of the committed row in window buffer `index`; not valid for a
  // pending new row or an index outside the window.
  RowMark MarkWindowRow(int index) const;
  // The marked row's 1-based view position now; 0 when it is no longer in
  // the list (see GoToMarkedRow), -1 for a new row still pending.
  std::int32_t MarkedRowNumber(const RowMark& mark) const;
  // Makes the marked row current and returns true. A pending edit of another
  // row is ended first; one of the marked row itself stays pending. Returns
  // false and moves nothing when the row is no longer in the list (deleted,
  // or a new row dropped unchanged) or the store was closed since.
  bool GoToMarkedRow(const RowMark& mark);

  // Calls `visit` once for each row of the list, in view order, with the
  // fields reading that row: the row being edited reads as edited so far, a
  // pending new row is not visited. Moves nothing: the current row, the state
  // and the window stay as they are. Nothing happens when Inactive. REQUIRES:
  // `visit` only reads fields.
  void ReadEachRow(const std::function<void()>& visit) const;

  // The window of buffered rows (see the file comment).
  int WindowRowCount() const { return static_cast<int>(window_.size()); }
  int ActiveWindowIndex() const { return active_; }
  const RowInfo& WindowRow(int index) const { return window_.at(index).info; }
  std::string WindowGridText(int index, int field_index) const;
  bool WindowValueIsNull(int index, int field_index) const;

  // What EndRowEdit would store now, for the journal: true with the pending
  // row's image and, for an edit, the slot of the version it replaces (0 for
  // a new row); false when nothing is pending or nothing was written.
  bool PendingCommit(std::vector<std::uint8_t>& image, std::uint32_t& replaced_slot) const;
  // The engine table (nullptr while Inactive); for the packet layer and tests.
  DSBASE* Table() { return base_.get(); }

 protected:
  // Binds the fields to `base`'s columns by name and kind, takes the table and
  // opens on the first row. Throws (and stays Inactive) on a missing field or
  // a kind mismatch.
  void OpenTable(std::unique_ptr<DSBASE> base);
  // The column of `base` each field binds to; throws as OpenTable does.
  std::vector<std::size_t> FieldColumns(const DSBASE& base) const;
  // Drops the window and the cursor; the state becomes Inactive at once, so a
  // pending row is dropped. Returns the table.
  std::unique_ptr<DSBASE> ReleaseTable();
  [[noreturn]] void RaiseStoreError(const std::string& message) const;
  void CheckEngine(Status status) const;
  void CheckActive() const;
  // A table that a packet marked read-only: "書き込み禁止のデータは変更できません".
  void CheckChangeable() const;

 private:
  friend class TField;
  const std::uint8_t* ActiveImage() const;
  std::uint8_t* EditImage();
  void FieldWritten(int field_index);

  void SetState(StoreState state);
  int Capacity() const;
  RowBuffer ReadBufferAtCursor();
  void ClearWindow();
  // Fills the window around engine position p with the active row at index
  // `wanted_active` (clamped).
  void FillWindowAround(std::uint32_t p, int wanted_active);
  // Re-reads the window after a commit, a discard, a delete or SetRowNumber:
  // the cursor's row if it still stands on one, else the next, else the one
  // before; an empty window when there is none.
  void Resync(int wanted_active);
  void PositionCursorOnEditedRow();
  void StartNewRow(bool append);

  void NotifyFieldChanged(int i) { if (link_) link_->FieldChanged(i); }
  void NotifyRowChanged() { if (link_) link_->RowChanged(); }
  void NotifyViewChanged() { if (link_) link_->ViewChanged(); }
  void NotifyViewScrolled(int n) { if (link_) link_->ViewScrolled(n); }
  void NotifyStateChanged() { if (link_) link_->StateChanged(); }
  void NotifyPushPendingText() { if (link_) link_->PushPendingText(); }
  void NotifyLeavingRow() { if (link_) link_->LeavingRow(); }

  std::string name_;
  std::vector<std::unique_ptr<TField>> fields_;
  DataLink* link_ = nullptr;
  std::function<void()> after_table_change_;
  const LocaleDateSettings* date_settings_ = nullptr;
  OsServices* date_os_ = nullptr;

  StoreState state_ = StoreState::Inactive;
  bool at_start_ = true;
  bool at_end_ = true;
  bool row_modified_ = false;

  std::unique_ptr<DSBASE> base_;
  std::unique_ptr<DSCursor> cursor_;
  std::vector<RowBuffer> window_;
  int active_ = -1;
  // For row marks: openings of the store, new rows started, and the last new
  // row committed with the slot it took.
  std::uint32_t openings_ = 0;
  std::uint32_t new_rows_started_ = 0;
  std::uint32_t committed_new_row_ = 0;
  std::uint32_t committed_new_row_slot_ = 0;
  // While set, the fields read this image instead of the active row's
  // (WindowGridText reads the other buffered rows through the fields). Set
  // only by a ReadOverride, for the length of one read.
  class ReadOverride;
  const std::uint8_t* read_override_ = nullptr;
};

class TClientDataSet : public TDataSet {
 public:
  explicit TClientDataSet(std::string name = "ClientDataSet1", PacketCodec* codec = nullptr);

  void SetPacketCodec(PacketCodec* codec) { codec_ = codec; }

  // A new empty table from the field objects: logging on, state Browse, both
  // flags true. Open store: "データセットが開かれているため, この操作は実行でき
  // ません"; no fields: "項目が定義されていません。データセットを作成できません。".
  void CreateEmpty();
  // Inactive at once (a pending row is dropped, nothing logged); the whole
  // content is serialised into HeldPacket. Nothing happens when Inactive.
  // A failing codec leaves the store Inactive without a held packet and
  // raises EDBClient.
  void Close();
  // The held packet of a closed store, or nullptr.
  const std::vector<std::uint8_t>* HeldPacket() const;
  void SetHeldPacket(std::vector<std::uint8_t> packet);
  void ReleaseHeldPacket() { held_packet_.reset(); }
  // Opens from the held packet: none gives "データプロバイダ/パケットがありま
  // せん"; a packet the codec rejects gives EDBClient(status); a field without a
  // column "項目 '%s' が見つかりません"; a kind mismatch "項目 '%0:s' の型が一致
  // しません。%1:s に対して %2:s が渡されました。". On failure the store stays
  // Inactive and keeps the packet; on success the packet is released, state
  // Browse, first row current, AtStart true, AtEnd true only without rows.
  void OpenFromHeldPacket();
  // Opens from the packet `source` gives, read as the rows are placed (a
  // large data file is never held whole), with the errors of
  // OpenFromHeldPacket; a failing source gives EDBClient(kStatusReadFailed).
  // The new table is built and its fields checked before anything else
  // changes: on any failure the store is as it was (open with its rows and
  // a pending row, or closed with its held packet). On success an open
  // store's pending row is dropped, the held packet released, and the store
  // is open on the new table's first row.
  void OpenFromSource(PacketSource& source);
  // What closing and opening from the held packet gives, without the packet:
  // a pending row dropped, the rows in slot order, the first row current.
  // Nothing happens when Inactive.
  void Reopen();
  // Ends any row edit, then hands the whole content to `sink` as a packet as
  // the codec makes it. Inactive: the closed-store error; a codec or sink
  // failure: EDBClient(status). The store stays open as it was.
  void SaveTo(PacketSink& sink, const PacketSaving& how = PacketSaving());

 private:
  PacketCodec& Codec() const;
  // The table a codec built, checked and opened in place of any open one;
  // the held packet released. Throws before anything changes.
  void OpenBuiltTable(std::unique_ptr<DSBASE> base);
  PacketCodec* codec_;
  std::unique_ptr<std::vector<std::uint8_t>> held_packet_;
};

// ClientDataSet1 of the main window with its four field objects:
// ClientDataSet1Field "バックアップファイル" (100), ClientDataSet1Field1 "保管場所"
// (100), ClientDataSet1Field2 "結果" (20), ClientDataSet1Field3 "バックアップ日時".
std::unique_ptr<TClientDataSet> MakeBackupEntryStore(PacketCodec* codec);

}  // namespace quillset
