// Test double: the backup list's four columns with no rows, read-only.
#pragma once

#include <string>

#include "ui/grid_source.h"

namespace quillset {

class EmptyGridSource : public GridSource {
 public:
  void SetObserver(GridSourceObserver*) override {}
  int ColumnCount() const override { return 4; }
  std::string ColumnTitle(int column) const override {
    static const char* const kTitles[4] = {"バックアップファイル", "保管場所", "結果",
                                           "バックアップ日時"};
    return kTitles[column];
  }
  int DisplayWidth(int column) const override {
    static const int kWidths[4] = {100, 100, 20, 18};
    return kWidths[column];
  }
  int WindowRowCount() const override { return 0; }
  int ActiveIndex() const override { return -1; }
  std::string CellText(int, int) const override { return std::string(); }
  bool IsNewRow(int) const override { return false; }
  bool NewRowAppended() const override { return false; }
  GridEditState EditState() const override { return GridEditState::Browse; }
  bool RowModified() const override { return false; }
  bool AtEnd() const override { return true; }
  int TotalRows() const override { return 0; }
  int ActiveRowNumber() const override { return 0; }
  bool CanModify() const override { return false; }
  void SetWindowRows(int) override {}
  int MoveRows(int) override { return 0; }
  void MoveFirst() override {}
  void MoveLast() override {}
  void SelectRow(int) override {}
  void EditRow() override {}
  std::string EditText(int) const override { return std::string(); }
  void WriteGridText(int, const std::string&) override {}
  void InsertRow() override {}
  void AppendRow() override {}
  bool DeleteRowAfter(const std::function<bool()>&) override { return false; }
  void DiscardRow() override {}
};

}  // namespace quillset
