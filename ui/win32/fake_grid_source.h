// A small in-memory GridSource for the grid's tests: committed rows, one
// current row, a pending new or changed row that a commit stores and a
// discard drops, AtEnd as the record store keeps it, and a log of requests.
// The window of buffered rows is simply every row.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "ui/grid_source.h"

namespace quillset {

class FakeGridSource : public GridSource {
 public:
  using Row = std::vector<std::string>;

  std::vector<Row> rows;
  std::vector<std::string> log;     // requests, in order ("MoveRows 1", "EditRow", ...)
  bool refuse_writes = false;       // WriteGridText throws EConvertError
  bool can_modify = true;
  int window_rows = 0;

  void AddRows(int count) {
    for (int i = 0; i < count; ++i) {
      rows.push_back({"file" + std::to_string(i), "dir" + std::to_string(i), "", ""});
    }
  }
  int Current() const { return current_; }
  bool Logged(const std::string& entry) const {
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
  bool LoggedStartingWith(const std::string& prefix) const {
    for (const auto& e : log) {
      if (e.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }
  // What the store does before a commit it runs by itself (a menu command).
  void EndRowEditFromOutside() { EndRowEdit(); }

  // ---- GridSource
  void SetObserver(GridSourceObserver* observer) override { observer_ = observer; }
  int ColumnCount() const override { return 4; }
  std::string ColumnTitle(int column) const override {
    static const char* const titles[] = {"バックアップファイル", "保管場所", "結果",
                                         "バックアップ日時"};
    return titles[column];
  }
  int DisplayWidth(int column) const override {
    static const int widths[] = {100, 100, 20, 18};
    return widths[column];
  }
  int WindowRowCount() const override {
    return static_cast<int>(rows.size()) + (new_row_ ? 1 : 0);
  }
  int ActiveIndex() const override { return WindowRowCount() == 0 ? -1 : current_; }
  std::string CellText(int index, int column) const override {
    if (state_ != GridEditState::Browse && index == current_) return buffer_[column];
    int row = index;
    if (new_row_ && index > current_) --row;
    return rows.at(row)[column];
  }
  bool IsNewRow(int index) const override { return new_row_ && index == current_; }
  GridEditState EditState() const override { return state_; }
  bool RowModified() const override { return modified_; }
  bool AtEnd() const override { return at_end_; }
  int TotalRows() const override { return static_cast<int>(rows.size()); }
  int ActiveRowNumber() const override {
    if (new_row_) return -1;
    return rows.empty() ? 0 : current_ + 1;
  }
  bool CanModify() const override { return can_modify; }
  void SetWindowRows(int count) override { window_rows = count; }

  int MoveRows(int n) override {
    log.push_back("MoveRows " + std::to_string(n));
    EndRowEdit();
    if (n == 0 || (n > 0 && at_end_) || (n < 0 && at_start_)) return 0;
    at_start_ = at_end_ = false;
    int moved = 0;
    while (moved != n) {
      int step = n > 0 ? 1 : -1;
      int next = current_ + step;
      if (next < 0) {
        at_start_ = true;
        break;
      }
      if (next >= static_cast<int>(rows.size())) {
        at_end_ = true;
        break;
      }
      current_ = next;
      moved += step;
    }
    Changed();
    return moved;
  }
  void MoveFirst() override {
    log.push_back("MoveFirst");
    EndRowEdit();
    current_ = 0;
    at_start_ = true;
    at_end_ = rows.empty();
    Changed();
  }
  void MoveLast() override {
    log.push_back("MoveLast");
    EndRowEdit();
    current_ = std::max(0, static_cast<int>(rows.size()) - 1);
    at_end_ = true;
    at_start_ = rows.empty();
    Changed();
  }
  void SelectRow(int index) override {
    log.push_back("SelectRow " + std::to_string(index));
    EndRowEdit();
    current_ = index;
    at_start_ = at_end_ = false;
    Changed();
  }
  void EditRow() override {
    log.push_back("EditRow");
    if (state_ != GridEditState::Browse) return;
    if (rows.empty()) {
      StartNewRow(false);
      return;
    }
    state_ = GridEditState::Edit;
    buffer_ = rows[current_];
    modified_ = false;
    if (observer_) observer_->EditStateChanged();
  }
  std::string EditText(int column) const override { return CellText(current_, column); }
  void WriteGridText(int column, const std::string& text) override {
    log.push_back("WriteGridText " + std::to_string(column) + " " + text);
    if (refuse_writes) throw EConvertError("'" + text + "' は日付ではありません");
    if (state_ == GridEditState::Browse) throw EDatabaseError("ClientDataSet1: not editing");
    buffer_[column] = text;
    modified_ = true;
    Changed();
  }
  void InsertRow() override {
    log.push_back("InsertRow");
    EndRowEdit();
    StartNewRow(false);
  }
  void AppendRow() override {
    log.push_back("AppendRow");
    EndRowEdit();
    StartNewRow(true);
  }
  bool DeleteRowAfter(const std::function<bool()>& confirm) override {
    if (!confirm()) return false;
    DeleteRow();
    return true;
  }
  void DeleteRow() {
    log.push_back("DeleteRow");
    if (state_ == GridEditState::Insert) {
      Drop();
      return;
    }
    state_ = GridEditState::Browse;
    rows.erase(rows.begin() + current_);
    current_ = std::min(current_, std::max(0, static_cast<int>(rows.size()) - 1));
    at_start_ = at_end_ = rows.empty();
    Changed();
  }
  void DiscardRow() override {
    log.push_back("DiscardRow");
    Drop();
  }

 private:
  void Changed() {
    if (observer_) observer_->RowsChanged();
  }
  void StartNewRow(bool append) {
    if (append) current_ = static_cast<int>(rows.size());
    current_ = std::min(current_, static_cast<int>(rows.size()));
    new_row_ = true;
    append_ = append;
    state_ = GridEditState::Insert;
    buffer_ = Row(4);
    modified_ = false;
    if (observer_) observer_->EditStateChanged();
    Changed();
  }
  void EndRowEdit() {
    if (state_ == GridEditState::Browse) return;
    if (observer_) observer_->PushPendingText();
    if (modified_) {
      if (new_row_) {
        rows.insert(rows.begin() + current_, buffer_);
      } else {
        rows[current_] = buffer_;
      }
      new_row_ = false;
      state_ = GridEditState::Browse;
      modified_ = false;
      at_start_ = at_end_ = false;
      if (observer_) observer_->EditStateChanged();
      Changed();
    } else {
      Drop();
    }
  }
  void Drop() {
    if (state_ == GridEditState::Browse) return;
    if (new_row_ && append_) current_ = std::max(0, static_cast<int>(rows.size()) - 1);
    new_row_ = false;
    state_ = GridEditState::Browse;
    modified_ = false;
    if (observer_) observer_->EditStateChanged();
    Changed();
  }

  GridSourceObserver* observer_ = nullptr;
  int current_ = 0;
  bool at_start_ = true;
  bool at_end_ = false;
  bool modified_ = false;
  bool new_row_ = false;
  bool append_ = false;
  GridEditState state_ = GridEditState::Browse;
  Row buffer_;
};

}  // namespace quillset
