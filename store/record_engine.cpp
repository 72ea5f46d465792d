#include "store/record_engine.h"

#include <algorithm>
#include <atomic>

namespace quillset {
namespace {

// Row images above this size are refused (kDSBadLayout): no column set of a
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

DSStatus DSBASE::Create(std::vector<ColumnDescription> columns) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (created_) return kDSInvalidArgument;
  if (columns.empty()) return kDSNoColumns;
  for (ColumnDescription& column : columns) column.name = CutColumnName(column.name);
  RecordLayout layout(columns);
  std::uint64_t total = columns.size();
  for (std::size_t c = 0; c < columns.size(); ++c) total += layout.AreaSize(c);
  if (total > kMaxImageSize) return kDSBadLayout;
  columns_ = std::move(columns);
  layout_ = layout;
  rows_ = std::make_unique<RowArena>(layout_, columns_);
  default_order_.identity_ = NextViewIdentity();
  created_ = true;
  return kDSOk;
}

std::uint32_t DSBASE::LastSlot() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return static_cast<std::uint32_t>(statuses_.size());
}

std::uint8_t DSBASE::SlotStatus(std::uint32_t slot) const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (slot < 1 || slot > statuses_.size()) return RowStatusUnused;
  return statuses_[slot - 1];
}

DSStatus DSBASE::ReadSlot(std::uint32_t slot, std::vector<std::uint8_t>& image) const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!created_) return kDSNotCreated;
  if (slot < 1 || slot > statuses_.size()) return kDSInvalidArgument;
  image.resize(layout_.ImageSize());
  rows_->Read(slot - 1, image.data());
  return kDSOk;
}

DSStatus DSBASE::ReadSlotValues(std::uint32_t slot, FieldBytes* values,
                                std::vector<std::uint8_t>& scratch) const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!created_) return kDSNotCreated;
  if (slot < 1 || slot > statuses_.size()) return kDSInvalidArgument;
  rows_->ReadValues(slot - 1, values, scratch);
  return kDSOk;
}

std::uint32_t DSBASE::AppendSlot(const std::uint8_t* image, std::uint8_t status) {
  rows_->Append(image);
  statuses_.push_back(status);
  return static_cast<std::uint32_t>(statuses_.size());
}

DSStatus DSBASE::PlaceRow(const std::vector<std::uint8_t>& image, std::uint8_t status) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!created_) return kDSNotCreated;
  if (image.size() != layout_.ImageSize()) return kDSInvalidArgument;
  if (statuses_.size() >= 0xFFFFFFFEu) return kDSInvalidArgument;
  AppendSlot(image.data(), status);
  if (IsVisibleRowStatus(status)) ++visible_count_;
  return kDSOk;
}

DSStatus DSBASE::PlaceRowValues(const FieldBytes* values, std::size_t count,
                                std::uint8_t status) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return PlaceRowValuesHeld(values, count, status);
}

DSStatus DSBASE::PlaceRowValuesHeld(const FieldBytes* values, std::size_t count,
                                    std::uint8_t status) {
  if (!created_) return kDSNotCreated;
  if (values == nullptr || count != columns_.size()) return kDSInvalidArgument;
  for (std::size_t c = 0; c < count; ++c) {
    if (values[c].length > layout_.AreaSize(c) ||
        (values[c].length > 0 && values[c].bytes == nullptr))
      return kDSInvalidArgument;
  }
  if (statuses_.size() >= 0xFFFFFFFEu) return kDSInvalidArgument;
  rows_->AppendValues(values);
  statuses_.push_back(status);
  if (IsVisibleRowStatus(status)) ++visible_count_;
  return kDSOk;
}

void DSBASE::ReserveSlots(std::size_t slots) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!created_) return;
  rows_->Reserve(slots);
  statuses_.reserve(statuses_.size() + slots);
}

void DSBASE::SetChangeLog(std::vector<ChangeLogEntry> entries) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  change_log_ = std::move(entries);
}

DSStatus DSBASE::BuildView() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!created_) return kDSNotCreated;
  default_order_.Clear();
  std::uint32_t visible = 0;
  for (std::uint8_t status : statuses_)
    if (IsVisibleRowStatus(status)) ++visible;
  default_order_.Reserve(visible);
  for (std::size_t i = 0; i < statuses_.size(); ++i)
    if (IsVisibleRowStatus(statuses_[i]))
      default_order_.slots_.push_back(static_cast<std::uint32_t>(i + 1));
  visible_count_ = visible;
  return kDSOk;
}

std::uint32_t DSBASE::StoreSideValue(std::vector<std::uint8_t> bytes) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  side_values_.push_back(std::move(bytes));
  return static_cast<std::uint32_t>(side_values_.size());
}

const std::vector<std::uint8_t>& DSBASE::SideValue(std::uint32_t id) const {
  static const std::vector<std::uint8_t> kNone;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (id < 1 || id > side_values_.size()) return kNone;
  return side_values_[id - 1];
}

std::string DSBASE::ErrorText(DSStatus) const { return std::string(); }

std::size_t DSBASE::MemoryBytes() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
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
  if (gap_ != kDSBeforeFirst && gap_ != kDSAfterLast) {
    const std::int64_t n = view.Count();
    if (!(position_ >= 1 && position_ <= n && view.SlotAt(static_cast<std::uint32_t>(position_)) == slot_)) {
      const std::uint32_t found = view.FindSlot(slot_);
      if (found != 0) {
        position_ = found;
      } else {
        gap_ = kDSRemovedRow;
      }
    }
  }
  stamp_ = view.Stamp();
}

DSStatus DSCursor::MoveToStart() {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  position_ = 0;
  gap_ = kDSBeforeFirst;
  slot_ = 0;
  stamp_ = base_.default_order_.Stamp();
  return kDSOk;
}

DSStatus DSCursor::MoveToEnd() {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  position_ = base_.default_order_.Count() + std::int64_t(1);
  gap_ = kDSAfterLast;
  slot_ = 0;
  stamp_ = base_.default_order_.Stamp();
  return kDSOk;
}

DSStatus DSCursor::MoveToPosition(std::int64_t k) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  const DSIDX& view = base_.default_order_;
  const std::int64_t n = view.Count();
  stamp_ = view.Stamp();
  if (k < 1) {
    position_ = 0;
    gap_ = kDSBeforeFirst;
    slot_ = 0;
    return kDSBeforeFirst;
  }
  if (k > n) {
    position_ = n + 1;
    gap_ = kDSAfterLast;
    slot_ = 0;
    return kDSAfterLast;
  }
  position_ = k;
  gap_ = kDSOk;
  slot_ = view.SlotAt(static_cast<std::uint32_t>(k));
  synced_position_ = k;
  return kDSOk;
}

DSStatus DSCursor::Step(int delta) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  Synchronise();
  const std::int64_t n = base_.default_order_.Count();
  std::int64_t target;
  switch (gap_) {
    case kDSBeforeFirst:
      target = delta > 0 ? 1 : 0;
      break;
    case kDSAfterLast:
      target = delta > 0 ? n + 1 : n;
      break;
    case kDSRemovedRow:
      // p names the row that followed the removed one.
      target = delta > 0 ? position_ : std::min(position_, n);
      break;
    default:  // on a row or at an insert point
      target = position_ + (delta > 0 ? 1 : -1);
      break;
  }
  return MoveToPosition(target);
}

DSStatus DSCursor::GetBookmark(DSBookmark& bookmark) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  Synchronise();
  bookmark.position = static_cast<std::int32_t>(position_);
  bookmark.gap = gap_;
  bookmark.slot = slot_;
  bookmark.stamp = base_.default_order_.Stamp();
  bookmark.view = base_.default_order_.Identity();
  return kDSOk;
}

DSStatus DSCursor::GoToBookmark(const DSBookmark& bookmark) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
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
  gap_ = bookmark.gap;
  slot_ = view.SlotAt(static_cast<std::uint32_t>(p));
  stamp_ = view.Stamp();
  synced_position_ = p;
  return kDSOk;
}

DSStatus DSCursor::ReadCurrentRow(std::vector<std::uint8_t>& image) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  Synchronise();
  if (gap_ != kDSOk) return static_cast<DSStatus>(gap_);
  return base_.ReadSlot(slot_, image);
}

DSStatus DSCursor::CurrentPosition(std::uint32_t& position) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  Synchronise();
  if (gap_ != kDSOk) return static_cast<DSStatus>(gap_);
  position = static_cast<std::uint32_t>(position_);
  return kDSOk;
}

DSStatus DSCursor::CurrentRowStatus(std::uint8_t& status) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  Synchronise();
  if (gap_ != kDSOk) return static_cast<DSStatus>(gap_);
  status = base_.SlotStatus(slot_);
  if (status & RowStatusInserted) status = RowStatusInserted;
  return kDSOk;
}

DSStatus DSCursor::RowTotal(std::uint32_t& count) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  count = base_.default_order_.Count();
  return kDSOk;
}

DSStatus DSCursor::MarkInsertPending() {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  Synchronise();
  if (gap_ == kDSOk) gap_ = kDSInsertPoint;
  return kDSOk;
}

DSStatus DSCursor::StoreNewRow(const std::vector<std::uint8_t>& image) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  if (!base_.created_) return kDSNotCreated;
  if (image.size() != base_.layout_.ImageSize()) return kDSInvalidArgument;
  if (base_.read_only) return kDSReadOnly;
  if (base_.disable_inserts) return kDSInsertsDisabled;
  Synchronise();
  DSIDX& view = base_.default_order_;
  if (gap_ == kDSOk && synced_position_ > 0 && position_ >= 1) {
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
  gap_ = kDSOk;
  slot_ = slot;
  synced_position_ = position;
  stamp_ = view.Stamp();
  return kDSOk;
}

DSStatus DSCursor::StoreChangedRow(const std::vector<std::uint8_t>& image) {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  if (!base_.created_) return kDSNotCreated;
  if (image.size() != base_.layout_.ImageSize()) return kDSInvalidArgument;
  Synchronise();
  if (gap_ != kDSOk) return static_cast<DSStatus>(gap_);
  if (base_.rows_->Equals(slot_ - 1, image.data())) return kDSOk;
  if (base_.read_only) return kDSReadOnly;
  if (base_.disable_edits) return kDSEditsDisabled;

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
  return kDSOk;
}

DSStatus DSCursor::RemoveCurrentRow() {
  std::lock_guard<std::recursive_mutex> hold(base_.lock_);
  if (!base_.created_) return kDSNotCreated;
  Synchronise();
  if (gap_ != kDSOk) return static_cast<DSStatus>(gap_);
  if (base_.read_only) return kDSReadOnly;
  if (base_.disable_deletes) return kDSDeletesDisabled;
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
  gap_ = kDSRemovedRow;
  return kDSOk;
}

}  // namespace quillset
