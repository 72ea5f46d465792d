// What the grid's key and click logic (GridNavigation) asks of the control
// that shows the grid: the page size, redrawing, the window of the in-place
// cell editor, and the boxes. The Win32 control (ui/win32/data_grid.h)
// implements it; the native tests play it in memory.
#pragma once

#include <string>

namespace quillset {

class GridView {
 public:
  virtual ~GridView() = default;
  // Whole rows the grid shows: one page for Page Up and Page Down.
  virtual int VisibleRows() const = 0;
  // The rows, their values or the edit state changed: redraw them.
  virtual void RowsChanged() = 0;
  // The current column changed: scroll it into view and redraw.
  virtual void ColumnChanged() = 0;
  // Shows the editor over the current row's cell in `column` with `text`,
  // all of it selected, and gives it the focus.
  virtual void ShowEditor(int column, const std::string& text) = 0;
  // Hides the editor; the focus it had goes back to the grid.
  virtual void HideEditor() = 0;
  // The editor's text in Shift-JIS; throws for a character Shift-JIS cannot
  // write (the text stays in the editor).
  virtual std::string EditorText() const = 0;
  // Replaces the editor's text, all of it selected.
  virtual void SetEditorText(const std::string& text) = 0;
  // The delete question; true on "OK".
  virtual bool ConfirmDelete() = 0;
  // The failure box; returns when it is closed.
  virtual void ShowFailure(const std::string& message) = 0;
};

}  // namespace quillset
