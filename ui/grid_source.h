// The rows the data grid DBGrid1 shows and the requests it makes of them. The
// grid draws what a GridSource gives, and its logic (ui/grid_navigation.h)
// turns keys and clicks into its requests; the binding to the record store
// implements it (the store's window of buffered rows, its fields and its row
// operations).
//
// Rows are addressed by their index in the window of buffered rows: 0 is the
// top row the grid shows. Queries (the const members) never throw: a closed
// store simply has no rows and cannot be modified. Every request may throw a
// quillset::Exception (a refused value, a closed store); the grid then shows
// the failure box and stays as it was. Everything runs on the user-interface
// thread.
#pragma once

#include <functional>
#include <string>

namespace quillset {

// The edit state of the current row, shown in the indicator column.
enum class GridEditState { Browse, Edit, Insert };

// What the source tells the grid. Calls come from inside the source's own
// operations (also those the grid did not ask for: a menu command, a backup
// run), so the grid only redraws here and never changes rows.
class GridSourceObserver {
 public:
  virtual ~GridSourceObserver() = default;
  // Values, count or current row of the buffered rows changed: redraw them.
  virtual void RowsChanged() = 0;
  // The window of rows moved by `rows` (positive: towards the end).
  virtual void RowsScrolled(int rows) = 0;
  // EditState() changed.
  virtual void EditStateChanged() = 0;
  // A row is about to be committed: text typed into an open cell editor and
  // not yet written must be written now (WriteGridText). Throws what that
  // write throws, which stops the commit.
  virtual void PushPendingText() = 0;
};

class GridSource {
 public:
  virtual ~GridSource() = default;

  // At most one observer; nullptr detaches it. The grid attaches itself while
  // it lives.
  virtual void SetObserver(GridSourceObserver* observer) = 0;

  // ---- Columns, fixed for the life of the source.
  virtual int ColumnCount() const = 0;
  virtual std::string ColumnTitle(int column) const = 0;
  // Display width in characters (the field's width: 100, 100, 20, 18).
  virtual int DisplayWidth(int column) const = 0;

  // ---- The window of buffered rows.
  virtual int WindowRowCount() const = 0;
  // Index of the current row in the window; -1 when the window is empty.
  virtual int ActiveIndex() const = 0;
  // The display text of a cell of a buffered row.
  virtual std::string CellText(int index, int column) const = 0;
  // The row is a new row that is not committed yet.
  virtual bool IsNewRow(int index) const = 0;
  // The current row is a new row appended after the last row (Down on the
  // last row), not one inserted before a row: Up drops it unchanged, Down
  // leaves it. AtEnd cannot tell the two apart: it stays set through an
  // insert after Ctrl+End.
  virtual bool NewRowAppended() const = 0;
  virtual GridEditState EditState() const = 0;
  // A field of the current row was written since it entered Edit or Insert.
  virtual bool RowModified() const = 0;
  // The current row was reached by jumping to the end or by trying to move
  // past the last row.
  virtual bool AtEnd() const = 0;
  // Committed rows in the whole list, and the 1-based number of the current
  // row (-1 for a new row, 0 when there is none): for the vertical scroll bar.
  virtual int TotalRows() const = 0;
  virtual int ActiveRowNumber() const = 0;
  // The rows can be changed at all (the store is open). The grid's own
  // read-only switch comes on top of this.
  virtual bool CanModify() const = 0;

  // ---- Requests.
  // How many rows the grid shows; the source buffers at least one.
  virtual void SetWindowRows(int count) = 0;
  // Moves the current row by `n` rows (ends a pending row edit first);
  // returns the signed number of rows moved.
  virtual int MoveRows(int n) = 0;
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;
  // A click on the buffered row `index`: it becomes the current row.
  virtual void SelectRow(int index) = 0;
  // The user starts to change the current row in a cell editor (first
  // keystroke): puts the row into Edit (or Insert on an empty list).
  virtual void EditRow() = 0;
  // The current row's text of `column` as a cell editor starts with it.
  virtual std::string EditText(int column) const = 0;
  // Writes text typed into a cell of the current row into its field; the
  // field converts it (and may refuse it by throwing).
  virtual void WriteGridText(int column, const std::string& text) = 0;
  // A new empty row in front of the current one (Insert key).
  virtual void InsertRow() = 0;
  // A new empty row after the last one (Down on the last row).
  virtual void AppendRow() = 0;
  // Asks `confirm`; on yes deletes the row that was current when it was asked
  // (a pending new row is dropped instead) and returns true. The question's
  // own message loop may change the rows meanwhile (a timer tick's backup run
  // moves the current row to the last): the row asked about is still the one
  // deleted, and nothing is deleted when it is gone by then.
  virtual bool DeleteRowAfter(const std::function<bool()>& confirm) = 0;
  // Drops the current row's uncommitted changes (Esc); a pending new row is
  // removed.
  virtual void DiscardRow() = 0;
};

}  // namespace quillset
