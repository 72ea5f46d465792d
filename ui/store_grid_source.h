// DataSource1: binds the grid DBGrid1 to the record store ClientDataSet1. It
// answers the grid from the store's window of buffered rows and field objects,
// turns the grid's requests into store operations, and passes the store's
// notifications on to the grid.
#pragma once

#include "store/data_link.h"
#include "store/record_store.h"
#include "ui/grid_source.h"

namespace quillset {

class StoreGridSource : public GridSource, public DataLink {
 public:
  // Attaches itself as the store's data link; `store` must outlive it.
  explicit StoreGridSource(TDataSet& store);
  ~StoreGridSource() override;
  StoreGridSource(const StoreGridSource&) = delete;
  StoreGridSource& operator=(const StoreGridSource&) = delete;

  // ---- GridSource
  void SetObserver(GridSourceObserver* observer) override { observer_ = observer; }
  int ColumnCount() const override;
  std::string ColumnTitle(int column) const override;
  int DisplayWidth(int column) const override;
  int WindowRowCount() const override;
  int ActiveIndex() const override;
  std::string CellText(int index, int column) const override;
  bool IsNewRow(int index) const override;
  bool NewRowAppended() const override;
  GridEditState EditState() const override;
  bool RowModified() const override { return store_.RowModified(); }
  bool AtEnd() const override { return store_.AtEnd(); }
  int TotalRows() const override;
  int ActiveRowNumber() const override;
  bool CanModify() const override { return store_.Active(); }
  void SetWindowRows(int count) override;
  int MoveRows(int n) override { return store_.MoveRows(n); }
  void MoveFirst() override { store_.MoveFirst(); }
  void MoveLast() override { store_.MoveLast(); }
  void SelectRow(int index) override;
  void EditRow() override { store_.EditRow(); }
  std::string EditText(int column) const override;
  void WriteGridText(int column, const std::string& text) override;
  void InsertRow() override { store_.InsertRow(); }
  void AppendRow() override { store_.AppendRow(); }
  bool DeleteRowAfter(const std::function<bool()>& confirm) override;
  void DiscardRow() override { store_.DiscardRow(); }

  // ---- DataLink
  void FieldChanged(int field_index) override;
  void RowChanged() override;
  void ViewChanged() override;
  void ViewScrolled(int rows) override;
  void StateChanged() override;
  void PushPendingText() override;
  void LeavingRow() override {}
  int WantedWindowSize() override { return wanted_rows_; }

 private:
  TDataSet& store_;
  GridSourceObserver* observer_ = nullptr;
  int wanted_rows_ = 1;
};

}  // namespace quillset
