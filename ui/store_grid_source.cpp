#include "ui/store_grid_source.h"

#include <algorithm>

namespace quillset {
namespace {
// A date and a time ("yyyy/MM/dd HH:mm:ss") fit in 18 characters.
constexpr int kDateTimeDisplayWidth = 18;
}  // namespace

StoreGridSource::StoreGridSource(TDataSet& store) : store_(store) { store_.SetDataLink(this); }

StoreGridSource::~StoreGridSource() { store_.SetDataLink(nullptr); }

int StoreGridSource::ColumnCount() const { return store_.FieldCount(); }

std::string StoreGridSource::ColumnTitle(int column) const {
  return store_.FieldAt(column).FieldName();
}

int StoreGridSource::DisplayWidth(int column) const {
  const TField& field = store_.FieldAt(column);
  if (field.DataType() == ColumnKind::kString) return static_cast<int>(field.Size());
  return kDateTimeDisplayWidth;
}

int StoreGridSource::WindowRowCount() const { return store_.WindowRowCount(); }

int StoreGridSource::ActiveIndex() const { return store_.ActiveWindowIndex(); }

std::string StoreGridSource::CellText(int index, int column) const {
  return store_.WindowGridText(index, column);
}

bool StoreGridSource::IsNewRow(int index) const {
  return store_.State() == StoreState::Insert && index == store_.ActiveWindowIndex();
}

bool StoreGridSource::NewRowAppended() const {
  const int active = store_.ActiveWindowIndex();
  return store_.State() == StoreState::Insert && active >= 0 &&
         store_.WindowRow(active).marker == PositionMarker::AfterLast;
}

GridEditState StoreGridSource::EditState() const {
  switch (store_.State()) {
    case StoreState::Edit: return GridEditState::Edit;
    case StoreState::Insert: return GridEditState::Insert;
    default: return GridEditState::Browse;
  }
}

int StoreGridSource::TotalRows() const {
  if (!store_.Active()) return 0;
  return const_cast<TDataSet&>(store_).RowCount();
}

int StoreGridSource::ActiveRowNumber() const {
  if (!store_.Active() || store_.WindowRowCount() == 0) return 0;
  return const_cast<TDataSet&>(store_).RowNumber();
}

void StoreGridSource::SetWindowRows(int count) { wanted_rows_ = std::max(1, count); }

void StoreGridSource::SelectRow(int index) {
  const int active = store_.ActiveWindowIndex();
  if (active < 0 || index == active) return;
  // Ending the pending row first may drop or place a new row above the one
  // clicked and shift it: the row is found again by its mark, and the move
  // keeps the window where it is as far as it can.
  const TDataSet::RowMark clicked = store_.MarkWindowRow(index);
  if (!clicked.valid) return;
  store_.EndRowEdit();
  const std::int32_t target = store_.MarkedRowNumber(clicked);
  if (target > 0) store_.MoveRows(target - store_.RowNumber());
}

std::string StoreGridSource::EditText(int column) const {
  return store_.FieldAt(column).GridText();
}

void StoreGridSource::WriteGridText(int column, const std::string& text) {
  store_.FieldAt(column).WriteGridText(text);
}

bool StoreGridSource::DeleteRowAfter(const std::function<bool()>& confirm) {
  const TDataSet::RowMark asked = store_.MarkCurrentRow();
  if (!confirm() || !store_.GoToMarkedRow(asked)) return false;
  store_.DeleteRow();
  return true;
}

void StoreGridSource::FieldChanged(int) {
  if (observer_) observer_->RowsChanged();
}
void StoreGridSource::RowChanged() {
  if (observer_) observer_->RowsChanged();
}
void StoreGridSource::ViewChanged() {
  if (observer_) observer_->RowsChanged();
}
void StoreGridSource::ViewScrolled(int rows) {
  if (observer_) observer_->RowsScrolled(rows);
}
void StoreGridSource::StateChanged() {
  if (observer_) observer_->EditStateChanged();
}
void StoreGridSource::PushPendingText() {
  if (observer_) observer_->PushPendingText();
}

}  // namespace quillset
