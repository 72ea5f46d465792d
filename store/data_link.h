// The binding between the record store and the grid (DataSource1): the store
// tells the grid what changed, the grid tells the store how many rows it shows.
// All calls happen on the user-interface thread, inside store operations; a
// link must not call back into row-changing store operations from them
// (PushPendingText may write fields).
#pragma once

namespace quillset {

class DataLink {
 public:
  virtual ~DataLink() = default;
  // A field of the active row was written; `field_index` is its 0-based position.
  virtual void FieldChanged(int field_index) = 0;
  // The active row's values or edit status changed.
  virtual void RowChanged() = 0;
  // The buffered rows must be redrawn (content, count or active row changed).
  virtual void ViewChanged() = 0;
  // The window moved by `rows` rows (positive: towards the end).
  virtual void ViewScrolled(int rows) = 0;
  // TDataSet::State changed.
  virtual void StateChanged() = 0;
  // Before a commit: write the text of an open cell editor into its field.
  virtual void PushPendingText() = 0;
  // At the start of EndRowEdit, CommitRow, DiscardRow and DeleteRow.
  virtual void LeavingRow() = 0;
  // How many rows the grid shows; the store buffers at least one.
  virtual int WantedWindowSize() = 0;
};

}  // namespace quillset
