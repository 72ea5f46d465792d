#include "ui/grid_navigation.h"

#include <algorithm>

#include "ui/failure_guard.h"

namespace quillset {

namespace {
constexpr int kWheelNotch = 120;
}  // namespace

GridNavigation::GridNavigation(GridSource& source, GridView& view)
    : source_(source), view_(view) {
  source_.SetObserver(this);
}

GridNavigation::~GridNavigation() { source_.SetObserver(nullptr); }

bool GridNavigation::Editable() const { return !read_only_ && source_.CanModify(); }

void GridNavigation::ShowFailure(const std::string& message) {
  ++failure_boxes_open_;
  try {
    view_.ShowFailure(message);
  } catch (...) {
    --failure_boxes_open_;
    throw;
  }
  --failure_boxes_open_;
}

// ---- Source notifications

void GridNavigation::RowsChanged() {
  ReloadEditorIfUnchanged();
  view_.RowsChanged();
}

void GridNavigation::RowsScrolled(int) { RowsChanged(); }

void GridNavigation::EditStateChanged() {
  // The row's edit ended without the typed text being written (the row
  // deleted or discarded from the menu, the list reloaded): the text goes
  // with the row, or the next move would write it into another.
  if (editor_changed_ && source_.EditState() == GridEditState::Browse) CloseEditor();
  view_.RowsChanged();
}

// A commit from outside the grid (a timer tick's backup run) while the box
// for the editor's refused text is open would only have the same text
// refused again, fail the run and open one more box: the row is committed
// without it, and the refused text goes with the editor.
void GridNavigation::PushPendingText() {
  if (failure_boxes_open_ > 0 && editor_open_ && editor_changed_ && refused_text_ &&
      view_.EditorText() == *refused_text_) {
    CloseEditor();
    return;
  }
  WriteEditorText();
}

// ---- Keys

void GridNavigation::KeyDown(GridKey key, bool ctrl, bool shift) {
  switch (key) {
    case GridKey::Up:
      PriorRow();
      return;
    case GridKey::Down:
      NextRow();
      return;
    case GridKey::PageUp:
      ScrollRows(-view_.VisibleRows());
      return;
    case GridKey::PageDown:
      ScrollRows(view_.VisibleRows());
      return;
    case GridKey::Home:
      if (ctrl) {
        ScrollToFirst();
      } else {
        SetColumn(0);
      }
      return;
    case GridKey::End:
      if (ctrl) {
        ScrollToLast();
      } else {
        SetColumn(source_.ColumnCount() - 1);
      }
      return;
    case GridKey::Left:
      SetColumn(column_ - 1);
      return;
    case GridKey::Right:
      SetColumn(column_ + 1);
      return;
    case GridKey::Tab:
      if (!ctrl) Tab(!shift);
      return;
    case GridKey::Escape:
      Escape();
      return;
    case GridKey::F2:
      if (!editor_open_) ShowEditor();
      return;
    case GridKey::Enter:
      if (editor_open_) {
        WriteAndCloseEditor();
      } else {
        ShowEditor();
      }
      return;
    case GridKey::Insert:
      if (!ctrl && !shift) InsertNewRow();
      return;
    case GridKey::Delete:
      if (ctrl) DeleteCurrentRow();
      return;
  }
}

bool GridNavigation::CharacterTyped() { return editor_open_ || ShowEditor(); }

bool GridNavigation::UnchangedNewRow() const {
  return source_.EditState() == GridEditState::Insert && !source_.RowModified() &&
         !editor_changed_;
}

void GridNavigation::PriorRow() {
  // Up from an appended row that nothing was written to drops it, and the
  // row above (the former last row) is current again. From a row inserted
  // before another, the move itself drops it and goes on from that row.
  if (UnchangedNewRow() && source_.NewRowAppended()) {
    source_.DiscardRow();
  } else {
    source_.MoveRows(-1);
  }
  CloseEditor();
}

void GridNavigation::NextRow() {
  if (UnchangedNewRow()) {
    // An unchanged new row: appended at the end it stays; inserted before a
    // row it is dropped and that row is current again.
    if (!source_.NewRowAppended()) {
      source_.DiscardRow();
      CloseEditor();
    }
    return;
  }
  source_.MoveRows(1);
  if (source_.AtEnd() && Editable()) source_.AppendRow();
  CloseEditor();
}

void GridNavigation::Tab(bool forward) {
  const int last = source_.ColumnCount() - 1;
  if (forward) {
    if (column_ < last) {
      SetColumn(column_ + 1);
    } else {
      NextRow();
      SetColumn(0);
    }
  } else {
    if (column_ > 0) {
      SetColumn(column_ - 1);
    } else {
      const int before = source_.ActiveRowNumber();
      const GridEditState state = source_.EditState();
      PriorRow();
      if (source_.ActiveRowNumber() != before || source_.EditState() != state) SetColumn(last);
    }
  }
}

void GridNavigation::Escape() {
  if (editor_open_ && editor_changed_) {
    // Only the typed text goes; the row stays as it is.
    editor_changed_ = false;
    CloseEditor();
    return;
  }
  CloseEditor();
  source_.DiscardRow();
}

void GridNavigation::InsertNewRow() {
  if (!Editable()) return;
  source_.InsertRow();
  CloseEditor();
}

void GridNavigation::DeleteCurrentRow() {
  if (!Editable() || source_.WindowRowCount() == 0) return;
  source_.DeleteRowAfter([this] {
    if (!view_.ConfirmDelete()) return false;
    editor_changed_ = false;  // the typed text goes with the row
    CloseEditor();
    return true;
  });
}

void GridNavigation::SetColumn(int column) {
  column = std::clamp(column, 0, std::max(0, source_.ColumnCount() - 1));
  if (column != column_ && editor_open_) WriteAndCloseEditor();  // the typed text first
  column_ = column;
  view_.ColumnChanged();
}

// ---- Mouse and focus

void GridNavigation::Click(const GridLayout::Hit& hit, bool double_click) {
  if (hit.area != GridLayout::Area::Indicator && hit.area != GridLayout::Area::Cell) return;
  const bool same_cell = hit.row == source_.ActiveIndex() && hit.column == column_;
  if (hit.row != source_.ActiveIndex()) {
    source_.SelectRow(hit.row);
    CloseEditor();
  }
  if (hit.area == GridLayout::Area::Indicator) return;
  SetColumn(hit.column);
  // A second click on the current cell, or a double-click, edits it.
  if ((same_cell || double_click) && !editor_open_) ShowEditor();
}

void GridNavigation::Wheel(int delta) {
  // A precision touchpad or a free-spinning wheel sends deltas below one
  // notch: what does not make a whole notch is kept for the next message,
  // and a turn the other way starts afresh.
  if ((delta < 0 && wheel_remainder_ > 0) || (delta > 0 && wheel_remainder_ < 0)) {
    wheel_remainder_ = 0;
  }
  wheel_remainder_ += delta;
  const int notches = wheel_remainder_ / kWheelNotch;
  wheel_remainder_ -= notches * kWheelNotch;
  if (notches != 0) ScrollRows(-notches);
}

void GridNavigation::FocusLeft(bool to_other_control) {
  wheel_remainder_ = 0;
  // Boxes, dialogs and other programs leave the row alone.
  if (!to_other_control) return;
  if (UnchangedNewRow()) {
    CloseEditor();
    source_.DiscardRow();
  }
}

void GridNavigation::ScrollRows(int n) {
  source_.MoveRows(n);
  CloseEditor();
}

void GridNavigation::ScrollToFirst() {
  source_.MoveFirst();
  CloseEditor();
}

void GridNavigation::ScrollToLast() {
  source_.MoveLast();
  CloseEditor();
}

// ---- Cell editor

bool GridNavigation::ShowEditor() {
  if (!Editable()) return false;
  if (editor_open_) return true;
  column_ = std::clamp(column_, 0, std::max(0, source_.ColumnCount() - 1));
  editor_column_ = column_;
  const std::string text =
      source_.ActiveIndex() >= 0 ? source_.EditText(column_) : std::string();
  editor_open_ = true;
  editor_changed_ = false;
  loading_editor_ = true;
  view_.ShowEditor(editor_column_, text);
  loading_editor_ = false;
  return true;
}

void GridNavigation::WriteAndCloseEditor() {
  if (!editor_open_) return;
  WriteEditorText();  // a refused text leaves the editor open
  CloseEditor();
}

void GridNavigation::CloseEditor() {
  if (!editor_open_) return;
  editor_open_ = false;
  editor_changed_ = false;
  view_.HideEditor();
}

void GridNavigation::WriteEditorText() {
  if (!editor_open_ || !editor_changed_) return;
  const std::string text = view_.EditorText();
  try {
    source_.WriteGridText(editor_column_, text);
  } catch (...) {
    refused_text_ = text;
    throw;
  }
  editor_changed_ = false;
}

bool GridNavigation::BeginChange() {
  if (!Editable()) return false;
  if (source_.EditState() != GridEditState::Browse) return true;
  // The row's notifications while it enters Edit must not reload the editor.
  loading_editor_ = true;
  const bool ok = RunShowingFailure([this](const std::string& m) { ShowFailure(m); },
                                    [this] { source_.EditRow(); });
  loading_editor_ = false;
  return ok && source_.EditState() != GridEditState::Browse;
}

void GridNavigation::EditorTextChanged() {
  if (editor_open_ && !loading_editor_) editor_changed_ = true;
}

void GridNavigation::ReloadEditorIfUnchanged() {
  if (!editor_open_ || editor_changed_ || loading_editor_) return;
  const std::string text =
      source_.ActiveIndex() >= 0 ? source_.EditText(editor_column_) : std::string();
  if (text == view_.EditorText()) return;
  loading_editor_ = true;
  view_.SetEditorText(text);
  loading_editor_ = false;
}

}  // namespace quillset
