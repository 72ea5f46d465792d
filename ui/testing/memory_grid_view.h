// The grid control played in memory for the native tests of GridNavigation:
// a layout that scrolls the current column into view as the control does,
// the cell editor's text (typed characters replace a text shown all
// selected, as an EDIT control does), the delete question's answer and the
// failure boxes shown.
#pragma once

#include <string>
#include <vector>

#include "ui/grid_layout.h"
#include "ui/grid_navigation.h"
#include "ui/grid_view.h"

namespace quillset {
namespace testing_support {

class MemoryGridView : public GridView {
 public:
  // The design size of the window's client area, with the columns' widths at
  // 96 pixels per inch; `client_height` sets how many rows show.
  explicit MemoryGridView(int client_width = 421, int client_height = 95) {
    layout.client_width = client_width;
    layout.client_height = client_height;
    layout.column_widths = {604, 604, 124, 112};
  }

  // The navigation the view serves (for the current column).
  void Attach(GridNavigation& navigation) { nav = &navigation; }

  // Characters typed while the grid or its editor has the focus.
  void Type(const std::string& text) {
    if (!nav->CharacterTyped() || !nav->BeginChange()) return;
    editor_text = all_selected ? text : editor_text + text;
    all_selected = false;
    nav->EditorTextChanged();
  }

  int VisibleRows() const override { return layout.VisibleRows(); }
  void RowsChanged() override {}
  void ColumnChanged() override { layout.scroll_x = layout.ScrollToShow(nav->Column()); }
  void ShowEditor(int column, const std::string& text) override {
    layout.scroll_x = layout.ScrollToShow(column);
    editor_text = text;
    all_selected = true;
  }
  void HideEditor() override {}
  std::string EditorText() const override { return editor_text; }
  void SetEditorText(const std::string& text) override {
    editor_text = text;
    all_selected = true;
  }
  bool ConfirmDelete() override {
    ++questions;
    return confirm_answer;
  }
  void ShowFailure(const std::string& message) override { failures.push_back(message); }

  GridLayout layout;
  GridNavigation* nav = nullptr;
  std::string editor_text;
  bool all_selected = false;
  bool confirm_answer = true;
  int questions = 0;
  std::vector<std::string> failures;
};

}  // namespace testing_support
}  // namespace quillset
