// PLACEHOLDER until the real handlers (TForm1, ui/main_form.h) are wired into
// app/main.cpp: handlers that do nothing but close the window on "終了", and a
// grid source with the four column titles and no rows. They let the program
// start, show its window and menu, and end.
#pragma once

#include "ui/form_events.h"
#include "ui/form_view.h"
#include "ui/grid_source.h"

namespace quillset {

class PlaceholderFormEvents : public FormEvents {
 public:
  explicit PlaceholderFormEvents(FormView& view) : view_(view) {}
  void FormCreate() override {}
  void FormActivate() override {}
  void FormClose() override {}
  void MenuClick(MenuItemId item) override {
    if (item == MenuItemId::Exit1) view_.CloseWindow();
  }
  void Timer1Timer() override {}
  void TrayNotify(std::uint32_t) override {}
  void TaskbarCreated() override {}
  void SettingChange() override {}
  void EndSession() override {}

 private:
  FormView& view_;
};

// The backup list's columns with no rows, read-only.
class PlaceholderGridSource : public GridSource {
 public:
  void SetObserver(GridSourceObserver*) override {}
  int ColumnCount() const override { return 4; }
  std::string ColumnTitle(int column) const override;
  int DisplayWidth(int column) const override;
  int WindowRowCount() const override { return 0; }
  int ActiveIndex() const override { return -1; }
  std::string CellText(int, int) const override { return std::string(); }
  bool IsNewRow(int) const override { return false; }
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
  void DeleteRow() override {}
  void DiscardRow() override {}
};

}  // namespace quillset
