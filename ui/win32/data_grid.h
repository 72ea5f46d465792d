// DBGrid1: the program's data grid, a control of its own (own window class,
// own painting) that shows the rows of a GridSource and turns keys and clicks
// into the source's requests.
//
// Look: a title row with the column titles in the window font; an indicator
// column at the left marking the current row (triangle), its edit state (an
// I-beam) and a new row (asterisk); vertical and horizontal grid lines; both
// scroll bars; column widths from the font (ColumnWidthFor), changeable by
// dragging the title separators; the hint "右クリックで設定用メニューが出ます" as
// a tooltip.
//
// Keys, always: arrows, Page Up/Down, Home, End, Ctrl+Home, Ctrl+End, Tab,
// Shift+Tab move; Esc restores an open cell editor's changed text, or else
// drops the current row's uncommitted changes (DiscardRow). Only while the
// grid is editable (its read-only switch off and the source changeable):
// typing, F2 and Enter open an in-place editor on the current cell; Insert
// starts a new row; Down on the last row appends one; Ctrl+Delete deletes the
// current row after the confirmation box, and only on "OK". An unchanged new
// row is dropped when moving up from it or when the focus goes to another
// control of the window. The context-menu key, Shift+F10 and a right-click
// open the popup menu (keyboard: at the grid's top-left corner).
//
// Every failure of the source is shown in the failure box; the grid then stays
// as it was (a refused cell text keeps the editor open with the typed text;
// but a commit from outside the grid while that box is open, a timer tick's
// run, commits the row without the refused text and closes the editor).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "ui/grid_source.h"
#include "ui/win32/grid_layout.h"
#include "ui/win32/window_base.h"
#include "ui/win32/window_font.h"

namespace quillset {

class DataGrid : public WindowBase, private GridSourceObserver {
 public:
  static constexpr char kHint[] = "右クリックで設定用メニューが出ます";
  // The column over which a copy's progress shows: the result.
  static constexpr int kProgressColumn = 2;

  struct Callbacks {
    // The failure box.
    std::function<void(const std::string&)> show_failure;
    // The delete confirmation; true on "OK".
    std::function<bool()> confirm_delete;
    // Opens the popup menu with its top-left corner at a screen point.
    std::function<void(POINT)> open_menu;
  };

  // A child of `parent` filling nothing yet (the parent sizes it). `font` and
  // `source` must outlive the grid. The grid starts read-only.
  DataGrid(HWND parent, const WindowFont& font, GridSource& source, Callbacks callbacks);
  ~DataGrid() override;

  void SetReadOnly(bool read_only);
  bool ReadOnly() const { return read_only_; }
  // Editable: the read-only switch is off and the source can be changed.
  bool Editable() const;
  // Redraws now (not at the next idle moment).
  void RepaintNow();
  // A bar over the current row's result cell showing how far the copy of its
  // file is, in thousandths; -1 removes it. Drawn now; display only.
  void SetRowProgress(int permille);
  int RowProgress() const { return progress_permille_; }

  int CurrentColumn() const { return column_; }
  int ColumnWidth(int column) const { return layout_.column_widths.at(column); }
  const GridLayout& Layout() const { return layout_; }
  bool EditorOpen() const { return editor_open_; }
  HWND Editor() const { return editor_; }
  HWND Tooltip() const { return tooltip_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void ReportFailure(const std::string& message) override;

 private:
  // ---- GridSourceObserver
  void RowsChanged() override;
  void RowsScrolled(int rows) override;
  void EditStateChanged() override;
  void PushPendingText() override;

  // ---- Keys and commands (data_grid.cpp)
  // True when the key was a grid key (handled here, also when it changed nothing).
  bool KeyDown(UINT key);
  void Character(WPARAM ch, LPARAM lparam);
  void PriorRow();
  void NextRow();
  void Tab(bool forward);
  void Escape();
  void InsertNewRow();
  void DeleteCurrentRow();
  void SetColumn(int column);
  void OpenMenuAtCorner();
  void ClickAt(int x, int y, bool double_click);
  void FocusMovedTo(HWND new_focus);
  void VerticalScroll(int request);
  void HorizontalScroll(int request);
  void SizeChanged();
  void UpdateScrollBars();

  // ---- Cell editor (data_grid_editor.cpp)
  void CreateEditor();
  // Opens the editor on the current cell; false when the grid is not editable.
  bool ShowEditor(bool select_all);
  // Writes changed text and closes the editor; throws what the write throws
  // (the editor then stays open).
  void HideEditor();
  // Closes the editor without writing (its text was written or dropped).
  void CloseEditor();
  // Writes the editor's changed text into its field (WriteGridText).
  void WriteEditorText();
  // Before the first change of the editor's text: puts the row into Edit.
  // False (and the change is refused) when the grid is not editable.
  bool EnsureEditing();
  void ReloadEditorIfUnchanged();
  void PositionEditor();
  std::string EditorText() const;
  // The editor's own keys and messages; true when handled here.
  bool EditorMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  static LRESULT CALLBACK EditorProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                          LPARAM lparam);

  // ---- Painting (data_grid_paint.cpp)
  void Paint(HDC dc, const RECT& client);
  void PaintFixedCell(HDC dc, const RECT& cell);
  void PaintIndicator(HDC dc, const RECT& cell, int row);
  void PaintProgress(HDC dc, const RECT& cell);
  RECT CellRect(int row, int column) const;

  void ComputeColumnWidths();

  const WindowFont& font_;
  GridSource& source_;
  Callbacks callbacks_;
  GridLayout layout_;
  bool read_only_ = true;
  int column_ = 0;
  int window_rows_ = 0;  // rows asked of the source

  HWND tooltip_ = nullptr;

  HWND editor_ = nullptr;
  WNDPROC editor_default_proc_ = nullptr;
  bool editor_open_ = false;
  bool editor_changed_ = false;  // typed text not yet written into the field
  std::optional<std::string> refused_text_;  // the editor's text the field last refused
  int failure_boxes_open_ = 0;  // the grid's own failure boxes, nested
  bool loading_editor_ = false;  // the grid itself sets the editor's text
  int editor_column_ = 0;

  int progress_permille_ = -1;  // the current row's copy progress; -1: none shown
  int wheel_remainder_ = 0;  // wheel delta short of a whole notch, kept for the next message

  int sizing_column_ = -1;  // title separator being dragged
  int sizing_start_x_ = 0;
  int sizing_start_width_ = 0;
};

}  // namespace quillset
