#include "store/record_store.h"

#include <algorithm>

#include "base/errors.h"

namespace quillset {
namespace {

const char kClosedStore[] = "データセットは閉じているため, この操作は実行できません";
const char kNotEditing[] = "データセットが編集または挿入モードではありません";
const char kEmptyStore[] = "空のデータセットには, この操作は実行できません";
const char kOpenStore[] = "データセットが開かれているため, この操作は実行できません";
const char kNoFields[] = "項目が定義されていません。データセットを作成できません。";
const char kNoPacket[] = "データプロバイダ/パケットがありません";
const char kFieldNotFound[] = "項目 '%s' が見つかりません";
const char kFieldTypeMismatch[] = "項目 '%0:s' の型が一致しません。%1:s に対して %2:s が渡されました。";
const char kReadOnlyData[] = "書き込み禁止のデータは変更できません";
const char kFieldIndexOutOfRange[] = "リストのインデックスが範囲を超えています (%d)";


}  // namespace

// --- TDataSet: fields, errors, state ----------------------------------------

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}
TDataSet::~TDataSet() = default;

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
  if (Active()) RaiseStoreError(kOpenStore);
  field->dataset_ = this;
  field->index_ = static_cast<int>(fields_.size());
  fields_.push_back(std::move(field));
  return *fields_.back();
}

TField& TDataSet::FieldAt(int index) const {
  if (index < 0 || index >= FieldCount())
    RaiseStoreError(FormatMessageText(kFieldIndexOutOfRange, {std::to_string(index)}));
  return *fields_[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(const std::string& name) const {
  for (const auto& field : fields_)
    if (field->FieldName() == name) return field.get();
  return nullptr;
}

void TDataSet::SetDateTextContext(const LocaleDateSettings* settings, OsServices* os) {
  date_settings_ = settings;
  date_os_ = os;
}

const LocaleDateSettings& TDataSet::DateSettings() const {
  static const LocaleDateSettings kDefaults;
  return date_settings_ ? *date_settings_ : kDefaults;
}

void TDataSet::RaiseStoreError(const std::string& message) const {
  throw EDatabaseError(FormatMessageText("%s: %s", {name_, message}));
}

void TDataSet::CheckEngine(Status status) const {
  if (status != kStatusOk) throw EDBClient(status.Code());
}

void TDataSet::CheckActive() const {
  if (!Active()) RaiseStoreError(kClosedStore);
}

void TDataSet::CheckChangeable() const {
  if (base_ && base_->read_only) RaiseStoreError(kReadOnlyData);
}

void TDataSet::SetState(StoreState state) {
  row_modified_ = false;
  if (state_ == state) return;
  state_ = state;
  NotifyStateChanged();
}

int TDataSet::Capacity() const {
  const int wanted = link_ ? link_->WantedWindowSize() : 1;
  return std::max(1, wanted);
}

// --- Field access -------------------------------------------------------------

const std::uint8_t* TDataSet::ActiveImage() const {
  if (read_override_) return read_override_;
  if (!Active() || active_ < 0) return nullptr;
  return window_[static_cast<std::size_t>(active_)].image.data();
}

std::uint8_t* TDataSet::EditImage() {
  if (state_ != StoreState::Edit && state_ != StoreState::Insert) RaiseStoreError(kNotEditing);
  return window_[static_cast<std::size_t>(active_)].image.data();
}

void TDataSet::FieldWritten(int field_index) {
  row_modified_ = true;
  NotifyFieldChanged(field_index);
}

// While it lives, the fields read `image` instead of the active row's; the
// override ends with it, also when the read throws.
class TDataSet::ReadOverride {
 public:
  ReadOverride(const TDataSet& dataset, const std::uint8_t* image)
      : dataset_(const_cast<TDataSet&>(dataset)) {
    dataset_.read_override_ = image;
  }
  ~ReadOverride() { dataset_.read_override_ = nullptr; }
  ReadOverride(const ReadOverride&) = delete;
  ReadOverride& operator=(const ReadOverride&) = delete;

 private:
  TDataSet& dataset_;
};

std::string TDataSet::WindowGridText(int index, int field_index) const {
  const RowBuffer& buffer = window_.at(static_cast<std::size_t>(index));
  TField& field = FieldAt(field_index);
  ReadOverride reading(*this, buffer.image.data());
  return field.GridText();
}

bool TDataSet::WindowValueIsNull(int index, int field_index) const {
  const RowBuffer& buffer = window_.at(static_cast<std::size_t>(index));
  TField& field = FieldAt(field_index);
  ReadOverride reading(*this, buffer.image.data());
  return field.ValueIsNull();
}

// --- Window ---------------------------------------------------------------------

void TDataSet::ClearWindow() {
  window_.clear();
  active_ = -1;
  at_start_ = true;
  at_end_ = true;
}

RowBuffer TDataSet::ReadBufferAtCursor() {
  RowBuffer buffer;
  CheckEngine(cursor_->ReadCurrentRow(buffer.image));
  std::uint32_t position = 0;
  CheckEngine(cursor_->CurrentPosition(position));
  buffer.info.row_number = static_cast<std::int32_t>(position);
  buffer.info.marker = PositionMarker::OnRow;
  CheckEngine(cursor_->CurrentRowStatus(buffer.info.status));
  CheckEngine(cursor_->GetBookmark(buffer.info.bookmark));
  buffer.info.has_bookmark = true;
  return buffer;
}

void TDataSet::FillWindowAround(std::uint32_t p, int wanted_active) {
  std::uint32_t n = 0;
  CheckEngine(cursor_->RowTotal(n));
  const std::int64_t count = std::min<std::int64_t>(Capacity(), n);
  const std::int64_t active = std::clamp<std::int64_t>(wanted_active, 0, count - 1);
  std::int64_t first = static_cast<std::int64_t>(p) - active;
  if (first + count - 1 > n) first = n - count + 1;
  if (first < 1) first = 1;
  std::vector<RowBuffer> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int64_t position = first; position < first + count; ++position) {
    CheckEngine(cursor_->MoveToPosition(position));
    rows.push_back(ReadBufferAtCursor());
  }
  CheckEngine(cursor_->MoveToPosition(p));
  window_ = std::move(rows);
  active_ = static_cast<int>(static_cast<std::int64_t>(p) - first);
}

void TDataSet::Resync(int wanted_active) {
  std::vector<std::uint8_t> probe;
  Status status = cursor_->ReadCurrentRow(probe);
  if (status != kStatusOk) status = cursor_->Step(+1);
  if (status != kStatusOk) status = cursor_->Step(-1);
  if (status != kStatusOk) {
    ClearWindow();
    NotifyViewChanged();
    return;
  }
  std::uint32_t p = 0;
  CheckEngine(cursor_->CurrentPosition(p));
  FillWindowAround(p, wanted_active);
  at_start_ = false;
  at_end_ = false;
  NotifyViewChanged();
}

void TDataSet::PositionCursorOnEditedRow() {
  const RowInfo& info = window_[static_cast<std::size_t>(active_)].info;
  if (info.has_bookmark) {
    CheckEngine(cursor_->GoToBookmark(info.bookmark));
  } else if (info.marker == PositionMarker::AfterLast) {
    CheckEngine(cursor_->MoveToEnd());
  } else {
    CheckEngine(cursor_->MoveToStart());
  }
}

bool TDataSet::PendingCommit(std::vector<std::uint8_t>& image,
                             std::uint32_t& replaced_slot) const {
  if ((state_ != StoreState::Edit && state_ != StoreState::Insert) || !row_modified_ ||
      active_ < 0)
    return false;
  const RowBuffer& row = window_[static_cast<std::size_t>(active_)];
  replaced_slot = 0;
  if (state_ == StoreState::Edit) {
    if (!row.info.has_bookmark) return false;
    replaced_slot = row.info.bookmark.slot;
  }
  image = row.image;
  return true;
}

// --- Row editing ----------------------------------------------------------------

void TDataSet::EndRowEdit() {
  CheckActive();
  NotifyLeavingRow();
  if (state_ == StoreState::Edit || state_ == StoreState::Insert) {
    NotifyPushPendingText();
    if (row_modified_) {
      CommitRow();
    } else {
      DiscardRow();
    }
  }
}

void TDataSet::StartNewRow(bool append) {
  ++new_rows_started_;
  RowBuffer buffer;
  buffer.image = base_->Layout().NewImage();
  buffer.info.row_number = -1;
  buffer.info.marker = PositionMarker::NewRow;
  buffer.info.status = RowStatusInserted;
  if (append) {
    buffer.info.marker = PositionMarker::AfterLast;
    ClearWindow();
    // The rows before the new one, read backwards from the end of the view.
    std::vector<RowBuffer> before;
    const int room = Capacity() - 1;
    CheckEngine(cursor_->MoveToEnd());
    while (static_cast<int>(before.size()) < room && cursor_->Step(-1) == kStatusOk)
      before.push_back(ReadBufferAtCursor());
    CheckEngine(cursor_->MoveToEnd());
    window_.assign(std::make_move_iterator(before.rbegin()), std::make_move_iterator(before.rend()));
    window_.push_back(std::move(buffer));
    active_ = static_cast<int>(window_.size()) - 1;
    at_start_ = false;
  } else {
    int place = 0;
    if (active_ >= 0) {
      const RowInfo& current = window_[static_cast<std::size_t>(active_)].info;
      buffer.info.bookmark = current.bookmark;
      buffer.info.has_bookmark = current.has_bookmark;
      place = active_;
    } else {
      buffer.info.marker = PositionMarker::BeforeFirst;
    }
    window_.insert(window_.begin() + place, std::move(buffer));
    active_ = place;
    if (static_cast<int>(window_.size()) > Capacity()) {
      // Keep the row the new one was opened before in view when it was last.
      if (place + 1 == static_cast<int>(window_.size()) - 1 && place > 0) {
        window_.erase(window_.begin());
        --active_;
      } else {
        window_.pop_back();
      }
    }
  }
  CheckEngine(cursor_->MarkInsertPending());
  cursor_->ForgetSynchronisedPosition();
  SetState(StoreState::Insert);
  NotifyViewChanged();
}

void TDataSet::InsertRow() {
  EndRowEdit();
  CheckChangeable();
  StartNewRow(false);
}

void TDataSet::AppendRow() {
  EndRowEdit();
  CheckChangeable();
  StartNewRow(true);
}

void TDataSet::EditRow() {
  CheckActive();
  if (state_ == StoreState::Edit || state_ == StoreState::Insert) return;
  if (active_ < 0) {
    InsertRow();
    return;
  }
  EndRowEdit();
  CheckChangeable();
  SetState(StoreState::Edit);
  NotifyRowChanged();
}

void TDataSet::CommitRow() {
  if (state_ != StoreState::Edit && state_ != StoreState::Insert) RaiseStoreError(kNotEditing);
  NotifyPushPendingText();
  NotifyLeavingRow();
  PositionCursorOnEditedRow();
  const std::vector<std::uint8_t>& image = window_[static_cast<std::size_t>(active_)].image;
  // A failing engine step leaves the row pending in Edit or Insert.
  if (state_ == StoreState::Edit) {
    CheckEngine(cursor_->StoreChangedRow(image));
  } else {
    CheckEngine(cursor_->StoreNewRow(image));
    DSBookmark committed;
    CheckEngine(cursor_->GetBookmark(committed));
    committed_new_row_ = new_rows_started_;
    committed_new_row_slot_ = committed.slot;
  }
  SetState(StoreState::Browse);
  Resync(active_);
  if (after_table_change_) after_table_change_();
}

void TDataSet::DiscardRow() {
  if (state_ != StoreState::Edit && state_ != StoreState::Insert) return;
  NotifyLeavingRow();
  PositionCursorOnEditedRow();
  SetState(StoreState::Browse);
  Resync(active_);
}

void TDataSet::DeleteRow() {
  CheckActive();
  if (state_ == StoreState::Insert) {
    DiscardRow();
    return;
  }
  if (active_ < 0) RaiseStoreError(kEmptyStore);
  CheckChangeable();
  NotifyLeavingRow();
  PositionCursorOnEditedRow();
  CheckEngine(cursor_->RemoveCurrentRow());
  SetState(StoreState::Browse);
  Resync(active_);
  if (after_table_change_) after_table_change_();
}

// --- Row marks ----------------------------------------------------------------

TDataSet::RowMark TDataSet::MarkCurrentRow() const {
  RowMark mark;
  if (!Active() || active_ < 0) return mark;
  mark.opening = openings_;
  if (state_ == StoreState::Insert) {
    mark.new_row = new_rows_started_;
  } else {
    const RowInfo& info = window_[static_cast<std::size_t>(active_)].info;
    if (!info.has_bookmark) return mark;
    mark.slot = info.bookmark.slot;
  }
  mark.valid = true;
  return mark;
}

TDataSet::RowMark TDataSet::MarkWindowRow(int index) const {
  RowMark mark;
  if (!Active() || index < 0 || index >= WindowRowCount()) return mark;
  if (state_ == StoreState::Insert && index == active_) return mark;
  const RowInfo& info = window_[static_cast<std::size_t>(index)].info;
  if (!info.has_bookmark) return mark;
  mark.opening = openings_;
  mark.slot = info.bookmark.slot;
  mark.valid = true;
  return mark;
}

std::int32_t TDataSet::MarkedRowNumber(const RowMark& mark) const {
  if (!mark.valid || !Active() || mark.opening != openings_) return 0;
  std::uint32_t slot = mark.slot;
  if (mark.new_row != 0) {
    if (state_ == StoreState::Insert && new_rows_started_ == mark.new_row) return -1;
    if (committed_new_row_ != mark.new_row) return 0;  // dropped, never committed
    slot = committed_new_row_slot_;
  }
  // Follow the row's newer versions through the change log to the one in view.
  const std::vector<ChangeLogEntry>& log = base_->ChangeLog();
  while (!IsVisibleRowStatus(base_->SlotStatus(slot))) {
    if ((base_->SlotStatus(slot) & RowStatusOriginal) == 0) return 0;  // deleted
    auto newer = std::find_if(log.rbegin(), log.rend(), [slot](const ChangeLogEntry& e) {
      return e.kind == kChangeModify && e.replaced_slot == slot;
    });
    if (newer == log.rend()) return 0;
    slot = newer->slot;
  }
  return static_cast<std::int32_t>(base_->DefaultOrder().FindSlot(slot));
}

bool TDataSet::GoToMarkedRow(const RowMark& mark) {
  const std::int32_t position = MarkedRowNumber(mark);
  if (position == -1) return true;  // the pending new row itself
  if (position == 0) return false;
  // An edit of the marked row itself stays pending.
  if (state_ == StoreState::Edit && position == RowNumber()) return true;
  EndRowEdit();
  // Ending another row's edit may have moved the marked row.
  const std::int32_t now = MarkedRowNumber(mark);
  if (now <= 0) return false;
  SetRowNumber(now);
  return true;
}

// --- Moves and positions ----------------------------------------------------------

void TDataSet::MoveFirst() {
  EndRowEdit();
  ClearWindow();
  CheckEngine(cursor_->MoveToStart());
  if (cursor_->Step(+1) == kStatusOk) {
    std::uint32_t p = 0;
    CheckEngine(cursor_->CurrentPosition(p));
    FillWindowAround(p, 0);
    at_start_ = true;
    at_end_ = false;
  }
  NotifyViewChanged();
}

void TDataSet::MoveLast() {
  EndRowEdit();
  ClearWindow();
  CheckEngine(cursor_->MoveToEnd());
  if (cursor_->Step(-1) == kStatusOk) {
    std::uint32_t p = 0;
    CheckEngine(cursor_->CurrentPosition(p));
    FillWindowAround(p, Capacity() - 1);
    at_start_ = false;
    at_end_ = true;
  }
  NotifyViewChanged();
}

int TDataSet::MoveRows(int n) {
  EndRowEdit();
  if (n == 0 || (n > 0 && at_end_) || (n < 0 && at_start_)) return 0;
  if (active_ < 0) {
    at_start_ = true;
    at_end_ = true;
    return 0;
  }
  at_start_ = false;
  at_end_ = false;
  const std::int32_t from = window_[static_cast<std::size_t>(active_)].info.row_number;
  const std::int32_t old_first = window_.front().info.row_number;
  const int old_count = WindowRowCount();
  std::uint32_t total = 0;
  CheckEngine(cursor_->RowTotal(total));
  // Row by row the moves would end at the first or the last row; the result
  // is the same arithmetic.
  std::int64_t position = std::int64_t(from) + n;
  if (position > total) {
    position = total;
    at_end_ = true;
  } else if (position < 1) {
    position = 1;
    at_start_ = true;
  }
  const int moved = static_cast<int>(position - from);
  // The window moves only as far as needed to keep the active row inside it.
  const std::int64_t count = std::min<std::int64_t>(Capacity(), total);
  std::int64_t first = old_first;
  if (position < first) first = position;
  if (position > first + count - 1) first = position - count + 1;
  if (first + count - 1 > total) first = total - count + 1;
  if (first < 1) first = 1;
  FillWindowAround(static_cast<std::uint32_t>(position), static_cast<int>(position - first));
  if (WindowRowCount() != old_count) {
    NotifyViewChanged();
  } else {
    NotifyViewScrolled(static_cast<int>(window_.front().info.row_number - old_first));
  }
  return moved;
}

std::int32_t TDataSet::RowCount() {
  CheckActive();
  std::uint32_t n = 0;
  CheckEngine(cursor_->RowTotal(n));
  return static_cast<std::int32_t>(n);
}

void TDataSet::ReadEachRow(const std::function<void()>& visit) const {
  if (!Active()) return;
  // The row in Edit has its new values in its window buffer only.
  const std::uint8_t* edited = nullptr;
  std::uint32_t edited_slot = 0;
  if (state_ == StoreState::Edit && active_ >= 0) {
    const RowBuffer& buffer = window_[static_cast<std::size_t>(active_)];
    if (buffer.info.has_bookmark) {
      edited = buffer.image.data();
      edited_slot = buffer.info.bookmark.slot;
    }
  }
  // A cursor of its own: the store's stays where it is.
  DSCursor cursor(*base_);
  static_cast<void>(cursor.MoveToStart());  // always succeeds
  std::vector<std::uint8_t> image;
  while (cursor.Step(1).Ok()) {
    CheckEngine(cursor.ReadCurrentRow(image));
    DSBookmark mark;
    CheckEngine(cursor.GetBookmark(mark));
    ReadOverride reading(*this, edited && mark.slot == edited_slot ? edited : image.data());
    visit();
  }
}

std::int32_t TDataSet::RowNumber() {
  CheckActive();
  if (active_ < 0) return 0;
  return window_[static_cast<std::size_t>(active_)].info.row_number;
}

void TDataSet::SetRowNumber(std::int32_t k) {
  EndRowEdit();
  if (k == RowNumber()) return;
  CheckEngine(cursor_->MoveToPosition(k));
  Resync(Capacity() / 2);
}

// --- Opening and closing ----------------------------------------------------------------

std::vector<std::size_t> TDataSet::FieldColumns(const DSBASE& base) const {
  const std::vector<ColumnDescription>& columns = base.Columns();
  std::vector<std::size_t> binding;
  for (const auto& field : fields_) {
    const std::string wanted = CutColumnName(field->FieldName());
    std::size_t c = 0;
    while (c < columns.size() && columns[c].name != wanted) ++c;
    if (c == columns.size()) RaiseStoreError(FormatMessageText(kFieldNotFound, {field->FieldName()}));
    if (columns[c].kind != field->DataType()) {
      RaiseStoreError(FormatMessageText(
          kFieldTypeMismatch, {field->FieldName(), ColumnKindName(field->DataType()),
                               ColumnKindName(columns[c].kind)}));
    }
    // A text column narrower than its field would cut every text for good:
    // the file's width is damaged (the store writes its fields' widths).
    if (field->DataType() == ColumnKind::kString && columns[c].width < field->Size())
      throw EDBClient(kStatusBadPacket.Code());
    binding.push_back(c);
  }
  return binding;
}

void TDataSet::OpenTable(std::unique_ptr<DSBASE> base) {
  const std::vector<std::size_t> binding = FieldColumns(*base);
  for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->column_ = binding[i];
  base_ = std::move(base);
  cursor_ = std::make_unique<DSCursor>(*base_);
  ++openings_;
  ClearWindow();
  SetState(StoreState::Browse);
  CheckEngine(cursor_->MoveToStart());
  if (cursor_->Step(+1) == kStatusOk) {
    std::uint32_t p = 0;
    CheckEngine(cursor_->CurrentPosition(p));
    FillWindowAround(p, 0);
    at_start_ = true;
    at_end_ = false;
  }
  NotifyViewChanged();
}

std::unique_ptr<DSBASE> TDataSet::ReleaseTable() {
  SetState(StoreState::Inactive);
  ClearWindow();
  cursor_.reset();
  NotifyViewChanged();
  return std::move(base_);
}

// --- TClientDataSet -------------------------------------------------------------------

TClientDataSet::TClientDataSet(std::string name, PacketCodec* codec)
    : TDataSet(std::move(name)), codec_(codec) {}

PacketCodec& TClientDataSet::Codec() const {
  if (codec_ == nullptr) throw EDBClient(kStatusNoReader.Code());
  return *codec_;
}

void TClientDataSet::CreateEmpty() {
  if (Active()) RaiseStoreError(kOpenStore);
  if (FieldCount() == 0) RaiseStoreError(kNoFields);
  std::vector<ColumnDescription> columns;
  for (int i = 0; i < FieldCount(); ++i) columns.push_back(FieldAt(i).Describe());
  auto base = std::make_unique<DSBASE>();
  CheckEngine(base->Create(std::move(columns)));
  CheckEngine(base->BuildView());
  OpenTable(std::move(base));
}

void TClientDataSet::Close() {
  if (!Active()) return;
  std::unique_ptr<DSBASE> base = ReleaseTable();
  held_packet_.reset();
  auto packet = std::make_unique<std::vector<std::uint8_t>>();
  CheckEngine(Codec().StreamPacket(*base, *packet));
  held_packet_ = std::move(packet);
}

const std::vector<std::uint8_t>* TClientDataSet::HeldPacket() const { return held_packet_.get(); }

void TClientDataSet::SetHeldPacket(std::vector<std::uint8_t> packet) {
  held_packet_ = std::make_unique<std::vector<std::uint8_t>>(std::move(packet));
}

void TClientDataSet::OpenFromHeldPacket() {
  if (Active()) RaiseStoreError(kOpenStore);
  if (!held_packet_) RaiseStoreError(kNoPacket);
  auto base = std::make_unique<DSBASE>();
  CheckEngine(Codec().AppendPacket(*base, *held_packet_));
  OpenBuiltTable(std::move(base));
}

void TClientDataSet::OpenFromSource(PacketSource& source) {
  auto base = std::make_unique<DSBASE>();
  CheckEngine(Codec().AppendPacketFrom(*base, source));
  OpenBuiltTable(std::move(base));
}

void TClientDataSet::OpenBuiltTable(std::unique_ptr<DSBASE> base) {
  if (!base->Created()) throw EDBClient(kStatusBadPacket.Code());
  CheckEngine(base->BuildView());
  FieldColumns(*base);  // a field without its column fails before the old rows go
  if (Active()) ReleaseTable();
  OpenTable(std::move(base));
  held_packet_.reset();
}

void TClientDataSet::Reopen() {
  if (!Active()) return;
  std::unique_ptr<DSBASE> base = ReleaseTable();
  CheckEngine(base->BuildView());
  OpenTable(std::move(base));
}

void TClientDataSet::SaveTo(PacketSink& sink, const PacketSaving& how) {
  CheckActive();
  EndRowEdit();
  CheckEngine(Codec().StreamPacketTo(*Table(), sink, how));
}

std::unique_ptr<TClientDataSet> MakeBackupEntryStore(PacketCodec* codec) {
  auto store = std::make_unique<TClientDataSet>("ClientDataSet1", codec);
  store->AddField(std::make_unique<TStringField>("バックアップファイル", 100));
  store->AddField(std::make_unique<TStringField>("保管場所", 100));
  store->AddField(std::make_unique<TStringField>("結果"));
  store->AddField(std::make_unique<TDateTimeField>("バックアップ日時"));
  return store;
}

}  // namespace quillset
