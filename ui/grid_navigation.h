// What a key or a click does to the list shown in the grid DBGrid1: which row
// becomes current, when a new row starts, is dropped or is deleted, when the
// cell editor opens, takes typed text and writes it. The control only turns
// window messages into these calls and draws (ui/win32/data_grid.h); the
// rules live here, so that they are tested natively over the real store.
//
// Keys, always: arrows, Page Up/Down, Home, End, Ctrl+Home, Ctrl+End, Tab,
// Shift+Tab move; Esc restores an open cell editor's changed text, or else
// drops the current row's uncommitted changes (DiscardRow). Only while
// editable (the read-only switch off and the source changeable): typing, F2
// and Enter open the editor on the current cell; Insert starts a new row;
// Down on the last row appends one; Ctrl+Delete deletes the current row after
// the confirmation, and only on "OK". An unchanged new row is dropped when
// the user moves up from it, when the focus goes to another control of the
// window, and by Down when it was inserted before a row (an appended one
// stays).
//
// Requests may throw what the source throws (a refused text, a closed
// store); the caller shows the failure (ShowFailure) and the grid stays as it
// was: a refused text keeps the editor open with the typed text.
#pragma once

#include <optional>
#include <string>

#include "ui/grid_layout.h"
#include "ui/grid_source.h"
#include "ui/grid_view.h"

namespace quillset {

enum class GridKey {
  Up, Down, PageUp, PageDown, Home, End, Left, Right, Tab, Escape, F2, Enter, Insert, Delete
};

class GridNavigation : private GridSourceObserver {
 public:
  // Attaches itself as the source's observer while it lives; `source` and
  // `view` must outlive it. Starts read-only.
  GridNavigation(GridSource& source, GridView& view);
  ~GridNavigation() override;
  GridNavigation(const GridNavigation&) = delete;
  GridNavigation& operator=(const GridNavigation&) = delete;

  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  bool ReadOnly() const { return read_only_; }
  // The read-only switch is off and the source can be changed.
  bool Editable() const;

  int Column() const { return column_; }
  bool EditorOpen() const { return editor_open_; }
  int EditorColumn() const { return editor_column_; }
  // Text typed into the editor and not yet written into its field.
  bool EditorChanged() const { return editor_changed_; }

  // A key of the grid (Home and End without Ctrl: first and last column).
  void KeyDown(GridKey key, bool ctrl, bool shift);
  // A printable character typed: opens the editor on the current cell first
  // (all selected, so the character replaces the text). True when the
  // character goes on to the editor.
  bool CharacterTyped();
  // Before the first change of the editor's text: puts the row into Edit.
  // False (the change is refused) when not editable or the row refuses;
  // the failure is shown here.
  bool BeginChange();
  // The editor's text changed (by the user, not by the grid itself).
  void EditorTextChanged();
  // A left click on a row's indicator or cell: the row becomes current; a
  // second click on the current cell, or a double-click, edits it.
  void Click(const GridLayout::Hit& hit, bool double_click);
  // Mouse wheel: whole notches (120) move rows, what is left is kept for the
  // next turn the same way.
  void Wheel(int delta);
  // The focus left the grid and its editor; `to_other_control` when it went
  // to another control of the same window (not a box, not another program).
  void FocusLeft(bool to_other_control);
  // The vertical scroll bar: rows, first, last.
  void ScrollRows(int n);
  void ScrollToFirst();
  void ScrollToLast();
  void SetColumn(int column);

  // Shows a failure through the view, counting the boxes open (a commit
  // from outside while one is open does not push the refused text again).
  void ShowFailure(const std::string& message);

 private:
  // ---- GridSourceObserver
  void RowsChanged() override;
  void RowsScrolled(int rows) override;
  void EditStateChanged() override;
  void PushPendingText() override;

  bool UnchangedNewRow() const;
  void PriorRow();
  void NextRow();
  void Tab(bool forward);
  void Escape();
  void InsertNewRow();
  void DeleteCurrentRow();
  // Opens the editor on the current cell; false when not editable.
  bool ShowEditor();
  // Writes changed text and closes the editor; throws what the write throws
  // (the editor then stays open).
  void WriteAndCloseEditor();
  // Closes the editor without writing (its text was written or dropped).
  void CloseEditor();
  void WriteEditorText();
  void ReloadEditorIfUnchanged();

  GridSource& source_;
  GridView& view_;
  bool read_only_ = true;
  int column_ = 0;
  bool editor_open_ = false;
  bool editor_changed_ = false;  // typed text not yet written into the field
  int editor_column_ = 0;
  bool loading_editor_ = false;  // the grid itself sets the editor's text
  std::optional<std::string> refused_text_;  // the editor's text the field last refused
  int failure_boxes_open_ = 0;
  int wheel_remainder_ = 0;  // wheel delta short of a whole notch
};

}  // namespace quillset
