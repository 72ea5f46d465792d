#include "store/record_engine.h"

#include <algorithm>
#include <atomic>

namespace quillset {
namespace {

// Row images above this size are refused (kStatusBadType): no column set of a
// data file needs anything near it.
constexpr std::uint32_t kMaxImageSize = 64u * 1024u * 1024u;

std::uint32_t NextViewIdentity() {
  static std::atomic<std::uint32_t> next{1};
  return next++;
}

}  // namespace

// --- DSIDX -----------------------------------------------------------------

std::uint32_t DSIDX::FindSlot(std::uint32_t slot) const {
  for (std::size_t i = 0; i < slots_.size(); ++i)
    if (slots_[i] == slot) return static_cast<std::uint32_t>(i + 1);
  return 0;
}

void DSIDX::Clear() {
  slots_.clear();
  ++stamp_;
  insert_hint_ = 0;
}

void DSIDX::InsertAt(std::uint32_t position, std::uint32_t slot) {
  slots_.insert(slots_.begin() + (position - 1), slot);
  ++stamp_;
}

void DSIDX::RemoveAt(std::uint32_t position) {
  slots_.erase(slots_.begin() + (position - 1));
  ++stamp_;
}

void DSIDX::Reserve(std::size_t n) { slots_.reserve(n); }

// --- DSBASE ----------------------------------------------------------------

Status DSBASE::Create(std::vector<ColumnDescription> columns) {
  if (created_) return kStatusInvalidArgument;
  if (columns.empty()) return kStatusBadPacket;
  for (ColumnDescription& column : columns) column.name = CutColumnName(column.name);
  RecordLayout layout(columns);
  std::uint64_t total = columns.size();
  for (std::size_t c = 0; c < columns.size(); ++c) total += layout.AreaSize(c);
  if (total > kMaxImageSize) return kStatusBadType;
  columns_ = std::move(columns);
  layout_ = layout;
  rows_ = std::make_unique<RowArena>(layout_, columns_);
  default_order_.identity_ = NextViewIdentity();
  created_ = true;
  return kStatusOk;
}

std::uint32_t DSBASE::LastSlot() const {
  return static_cast<std::uint32_t>(statuses_.size());
}

std::uint8_t DSBASE::SlotStatus(std::uint32_t slot) const {
  if (slot < 1 || slot > statuses_.size()) return RowStatusUnused;
  return statuses_[slot - 1];
}

Status DSBASE::ReadSlot(std::uint32_t slot, std::vector<std::uint8_t>& image) const {
  if (!created_) return kStatusNotCreated;
  if (slot < 1 || slot > statuses_.size()) return kStatusInvalidArgument;
  image.resize(layout_.ImageSize());
  rows_->Read(slot - 1, image.data());
  return kStatusOk;
}

Status DSBASE::ReadSlotValues(std::uint32_t slot, FieldBytes* values,
                                std::vector<std::uint8_t>& scratch) const {
  if (!created_) return kStatusNotCreated;
  if (slot < 1 || slot > statuses_.size()) return kStatusInvalidArgument;
  rows_->ReadValues(slot - 1, values, scratch);
  return kStatusOk;
}

std::uint32_t DSBASE::AppendSlot(const std::uint8_t* image, std::uint8_t status) {
  rows_->Append(image);
  statuses_.push_back(status);
  return static_cast<std::uint32_t>(statuses_.size());
}

Status DSBASE::PlaceRowValues(const FieldBytes* values, std::size_t count,
                              std::uint8_t status) {
  if (!created_) return kStatusNotCreated;
  if (values == nullptr || count != columns_.size()) return kStatusInvalidArgument;
  for (std::size_t c = 0; c < count; ++c) {
    if (values[c].length > layout_.AreaSize(c) ||
        (values[c].length > 0 && values[c].bytes == nullptr))
      return kStatusInvalidArgument;
  }
  if (statuses_.size() >= 0xFFFFFFFEu) return kStatusInvalidArgument;
  rows_->AppendValues(values);
  statuses_.push_back(status);
  if (IsVisibleRowStatus(status)) ++visible_count_;
  return kStatusOk;
}

void DSBASE::ReserveSlots(std::size_t slots) {
  if (!created_) return;
  rows_->Reserve(slots);
  statuses_.reserve(statuses_.size() + slots);
}

void DSBASE::SetChangeLog(std::vector<ChangeLogEntry> entries) {
  change_log_ = std::move(entries);
}

Status DSBASE::BuildView() {
  if (!created_) return kStatusNotCreated;
  default_order_.Clear();
  std::uint32_t visible = 0;
  for (std::uint8_t status : statuses_)
    if (IsVisibleRowStatus(status)) ++visible;
  default_order_.Reserve(visible);
  for (std::size_t i = 0; i < statuses_.size(); ++i)
    if (IsVisibleRowStatus(statuses_[i]))
      default_order_.slots_.push_back(static_cast<std::uint32_t>(i + 1));
  visible_count_ = visible;
  return kStatusOk;
}

std::uint32_t DSBASE::StoreSideValue(std::vector<std::uint8_t> bytes) {
  side_values_.push_back(std::move(bytes));
  return static_cast<std::uint32_t>(side_values_.size());
}

const std::vector<std::uint8_t>& DSBASE::SideValue(std::uint32_t id) const {
  static const std::vector<std::uint8_t> kNone;
  if (id < 1 || id > side_values_.size()) return kNone;
  return side_values_[id - 1];
}

std::string DSBASE::ErrorText(Status) const { return std::string(); }

std::size_t DSBASE::MemoryBytes() const {
  std::size_t bytes = statuses_.capacity() + change_log_.capacity() * sizeof(ChangeLogEntry) +
                      default_order_.slots_.capacity() * sizeof(std::uint32_t);
  if (rows_) bytes += rows_->MemoryBytes();
  for (const auto& value : side_values_) bytes += value.capacity() + sizeof(value);
  return bytes;
}

// --- DSCursor --------------------------------------------------------------

DSCursor::DSCursor(DSBASE& base) : base_(base), stamp_(base.default_order_.Stamp()) {}

void DSCursor::Synchronise() {
  const DSIDX& view = base_.default_order_;
  if (view.Stamp() == stamp_) return;
  if (gap_ != kStatusBeforeFirst && gap_ != kStatusNoMore) {
    const std::int64_t n = view.Count();
    if (!(position_ >= 1 && position_ <= n && view.SlotAt(static_cast<std::uint32_t>(position_)) == slot_)) {
      const std::uint32_t found = view.FindSlot(slot_);
      if (found != 0) {
        position_ = found;
      } else {
        gap_ = kStatusRemovedRow;
      }
    }
  }
  stamp_ = view.Stamp();
}

Status DSCursor::MoveToStart() {
  position_ = 0;
  gap_ = kStatusBeforeFirst;
  slot_ = 0;
  stamp_ = base_.default_order_.Stamp();
  return kStatusOk;
}

Status DSCursor::MoveToEnd() {
  position_ = base_.default_order_.Count() + std::int64_t(1);
  gap_ = kStatusNoMore;
  slot_ = 0;
  stamp_ = base_.default_order_.Stamp();
  return kStatusOk;
}

Status DSCursor::MoveToPosition(std::int64_t k) {
  const DSIDX& view = base_.default_order_;
  const std::int64_t n = view.Count();
  stamp_ = view.Stamp();
  if (k < 1) {
    position_ = 0;
    gap_ = kStatusBeforeFirst;
    slot_ = 0;
    return kStatusBeforeFirst;
  }
  if (k > n) {
    position_ = n + 1;
    gap_ = kStatusNoMore;
    slot_ = 0;
    return kStatusNoMore;
  }
  position_ = k;
  gap_ = kStatusOk;
  slot_ = view.SlotAt(static_cast<std::uint32_t>(k));
  synced_position_ = k;
  return kStatusOk;
}

Status DSCursor::Step(int delta) {
  Synchronise();
  const std::int64_t n = base_.default_order_.Count();
  std::int64_t target;
  switch (gap_.Code()) {
    case kStatusBeforeFirst.Code():
      target = delta > 0 ? 1 : 0;
      break;
    case kStatusNoMore.Code():
      target = delta > 0 ? n + 1 : n;
      break;
    case kStatusRemovedRow.Code():
      // p names the row that followed the removed one.
      target = delta > 0 ? position_ : std::min(position_, n);
      break;
    default:  // on a row or at an insert point
      target = position_ + (delta > 0 ? 1 : -1);
      break;
  }
  return MoveToPosition(target);
}

Status DSCursor::GetBookmark(DSBookmark& bookmark) {
  Synchronise();
  bookmark.position = static_cast<std::int32_t>(position_);
  bookmark.gap = gap_.Code();
  bookmark.slot = slot_;
  bookmark.stamp = base_.default_order_.Stamp();
  bookmark.view = base_.default_order_.Identity();
  return kStatusOk;
}

Status DSCursor::GoToBookmark(const DSBookmark& bookmark) {
  const DSIDX& view = base_.default_order_;
  const std::int64_t n = view.Count();
  std::int64_t p;
  if (bookmark.view == view.Identity() && bookmark.stamp == view.Stamp()) {
    p = bookmark.position;
  } else {
    p = bookmark.slot == 0 ? 0 : view.FindSlot(bookmark.slot);
  }
  if (p > n) return MoveToEnd();
  if (p < 1) return MoveToStart();
  position_ = p;
  gap_ = Status(static_cast<std::uint16_t>(bookmark.gap));
  slot_ = view.SlotAt(static_cast<std::uint32_t>(p));
  stamp_ = view.Stamp();
  synced_position_ = p;
  return kStatusOk;
}

Status DSCursor::ReadCurrentRow(std::vector<std::uint8_t>& image) {
  Synchronise();
  if (gap_ != kStatusOk) return gap_;
  return base_.ReadSlot(slot_, image);
}

Status DSCursor::CurrentPosition(std::uint32_t& position) {
  Synchronise();
  if (gap_ != kStatusOk) return gap_;
  position = static_cast<std::uint32_t>(position_);
  return kStatusOk;
}

Status DSCursor::CurrentRowStatus(std::uint8_t& status) {
  Synchronise();
  if (gap_ != kStatusOk) return gap_;
  status = base_.SlotStatus(slot_);
  if (status & RowStatusInserted) status = RowStatusInserted;
  return kStatusOk;
}

Status DSCursor::RowTotal(std::uint32_t& count) {
  count = base_.default_order_.Count();
  return kStatusOk;
}

Status DSCursor::MarkInsertPending() {
  Synchronise();
  if (gap_ == kStatusOk) gap_ = kStatusInsertPoint;
  return kStatusOk;
}

Status DSCursor::StoreNewRow(const std::vector<std::uint8_t>& image) {
  if (!base_.created_) return kStatusNotCreated;
  if (image.size() != base_.layout_.ImageSize()) return kStatusInvalidArgument;
  if (base_.read_only) return kStatusReadOnly;
  if (base_.disable_inserts) return kStatusInsertsDisabled;
  Synchronise();
  DSIDX& view = base_.default_order_;
  if (gap_ == kStatusOk && synced_position_ > 0 && position_ >= 1) {
    view.insert_hint_ = static_cast<std::uint32_t>(position_);
  }
  const std::uint8_t status = base_.logging_on ? RowStatusInserted : RowStatusUnmodified;
  const std::uint32_t slot = base_.AppendSlot(image.data(), status);
  ++base_.visible_count_;
  if (base_.logging_on) base_.change_log_.push_back({slot, 0, kChangeInsert});

  const std::uint32_t n = view.Count();
  const std::uint32_t hint = view.insert_hint_;
  const std::uint32_t position = (hint >= 1 && hint <= n) ? hint : n + 1;
  view.InsertAt(position, slot);
  view.insert_hint_ = 0;

  position_ = position;
  gap_ = kStatusOk;
  slot_ = slot;
  synced_position_ = position;
  stamp_ = view.Stamp();
  return kStatusOk;
}

Status DSCursor::StoreChangedRow(const std::vector<std::uint8_t>& image) {
  if (!base_.created_) return kStatusNotCreated;
  if (image.size() != base_.layout_.ImageSize()) return kStatusInvalidArgument;
  Synchronise();
  if (gap_ != kStatusOk) return gap_;
  if (base_.rows_->Equals(slot_ - 1, image.data())) return kStatusOk;
  if (base_.read_only) return kStatusReadOnly;
  if (base_.disable_edits) return kStatusEditsDisabled;

  const std::uint32_t old_slot = slot_;
  const std::uint8_t old_status = base_.statuses_[old_slot - 1];
  std::uint8_t new_status;
  if (base_.logging_on) {
    new_status = static_cast<std::uint8_t>(RowStatusModified | (old_status & RowStatusInserted));
  } else {
    new_status = old_status;
  }
  const std::uint32_t slot = base_.AppendSlot(image.data(), new_status);
  std::uint8_t& replaced = base_.statuses_[old_slot - 1];
  replaced = base_.logging_on ? static_cast<std::uint8_t>(replaced | RowStatusOriginal)
                              : RowStatusUnused;
  if (base_.logging_on) base_.change_log_.push_back({slot, old_slot, kChangeModify});
  // The new version takes the old one's place; nothing is added or removed.
  base_.default_order_.slots_[position_ - 1] = slot;
  slot_ = slot;
  return kStatusOk;
}

Status DSCursor::RemoveCurrentRow() {
  if (!base_.created_) return kStatusNotCreated;
  Synchronise();
  if (gap_ != kStatusOk) return gap_;
  if (base_.read_only) return kStatusReadOnly;
  if (base_.disable_deletes) return kStatusDeletesDisabled;
  std::uint8_t& status = base_.statuses_[slot_ - 1];
  if (base_.logging_on) {
    status = static_cast<std::uint8_t>(status | RowStatusDeleted);
    base_.change_log_.push_back({slot_, 0, kChangeDelete});
  } else {
    status = RowStatusUnused;
  }
  --base_.visible_count_;
  DSIDX& view = base_.default_order_;
  view.RemoveAt(static_cast<std::uint32_t>(position_));
  stamp_ = view.Stamp();
  gap_ = kStatusRemovedRow;
  return kStatusOk;
}

}  // namespace quillset
