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
// What keys and clicks do to the list is GridNavigation's (ui/grid_navigation.h):
// the control turns messages into its calls, shows the cell editor it asks
// for, and paints. The context-menu key, Shift+F10 and a right-click open the
// popup menu (keyboard: at the grid's top-left corner).
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

#include "ui/grid_layout.h"
#include "ui/grid_navigation.h"
#include "ui/grid_source.h"
#include "ui/grid_view.h"
#include "ui/win32/window_base.h"
#include "ui/win32/window_font.h"

namespace quillset {

class DataGrid : public WindowBase, private GridView {
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

  void SetReadOnly(bool read_only) { nav_.SetReadOnly(read_only); }
  bool ReadOnly() const { return nav_.ReadOnly(); }
  // Editable: the read-only switch is off and the source can be changed.
  bool Editable() const { return nav_.Editable(); }
  // Redraws now (not at the next idle moment).
  void RepaintNow();
  // A bar over the current row's result cell showing how far the copy of its
  // file is, in thousandths; -1 removes it. Drawn now; display only.
  void SetRowProgress(int permille);
  int RowProgress() const { return progress_permille_; }

  // Scrolls sideways so that `column` starts at the left of the data area,
  // as far as the columns reach; the current cell stays where it is.
  void ScrollToColumn(int column);

  int CurrentColumn() const { return nav_.Column(); }
  int ColumnWidth(int column) const { return layout_.column_widths.at(column); }
  const GridLayout& Layout() const { return layout_; }
  bool EditorOpen() const { return nav_.EditorOpen(); }
  bool EditorChanged() const { return nav_.EditorChanged(); }
  HWND Editor() const { return editor_; }
  HWND Tooltip() const { return tooltip_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void ReportFailure(const std::string& message) override;

 private:
  // ---- GridView
  int VisibleRows() const override { return layout_.VisibleRows(); }
  void RowsChanged() override;
  void ColumnChanged() override;
  void ShowEditor(int column, const std::string& text) override;
  void HideEditor() override;
  std::string EditorText() const override;
  void SetEditorText(const std::string& text) override;
  bool ConfirmDelete() override;
  void ShowFailure(const std::string& message) override;

  // ---- Messages (data_grid.cpp)
  // True when the key was a grid key (handled, also when it changed nothing).
  bool KeyDown(UINT key);
  void Character(WPARAM ch, LPARAM lparam);
  void OpenMenuAtCorner();
  void ClickAt(int x, int y, bool double_click);
  void FocusMovedTo(HWND new_focus);
  void VerticalScroll(int request);
  void HorizontalScroll(int request);
  void SizeChanged();
  void UpdateScrollBars();

  // ---- Cell editor (data_grid_editor.cpp)
  void CreateEditor();
  void PositionEditor();
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
  GridNavigation nav_;
  GridLayout layout_;
  int window_rows_ = 0;  // rows asked of the source

  HWND tooltip_ = nullptr;

  HWND editor_ = nullptr;
  WNDPROC editor_default_proc_ = nullptr;

  int progress_permille_ = -1;  // the current row's copy progress; -1: none shown

  int sizing_column_ = -1;  // title separator being dragged
  int sizing_start_x_ = 0;
  int sizing_start_width_ = 0;
};

}  // namespace quillset
