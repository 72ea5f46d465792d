#include "ui/grid_layout.h"

#include <algorithm>

namespace quillset {

namespace {
// Half width of the zone around a title separator where dragging resizes.
constexpr int kSeparatorGrip = 3;
}  // namespace

int ColumnWidthFor(int display_width, int zero_width, int overhang, int title_width) {
  int width = display_width * (zero_width - overhang) + overhang + 4;
  return std::max(width, title_width + 4);
}

int GridLayout::DataWidth() const { return std::max(0, client_width - DataLeft()); }

int GridLayout::ColumnsWidth() const {
  int total = 0;
  for (int w : column_widths) total += w + kLine;
  return total;
}

int GridLayout::ColumnLeft(int column) const {
  int x = DataLeft() - scroll_x;
  for (int c = 0; c < column && c < static_cast<int>(column_widths.size()); ++c) {
    x += column_widths[c] + kLine;
  }
  return x;
}

int GridLayout::VisibleRows() const {
  return std::max(1, (client_height - DataTop()) / RowPitch());
}

int GridLayout::MaxScroll() const { return std::max(0, ColumnsWidth() - DataWidth()); }

int GridLayout::ClampScroll(int x) const { return std::clamp(x, 0, MaxScroll()); }

int GridLayout::ScrollToShow(int column) const {
  if (column < 0 || column >= static_cast<int>(column_widths.size())) return ClampScroll(scroll_x);
  int left = ColumnLeft(column) + scroll_x - DataLeft();  // unscrolled offset
  int right = left + column_widths[column] + kLine;
  int x = scroll_x;
  if (right > x + DataWidth()) x = right - DataWidth();
  if (left < x) x = left;
  return ClampScroll(x);
}

GridLayout::Hit GridLayout::HitTest(int x, int y, int row_count) const {
  Hit hit;
  if (x < 0 || y < 0 || x >= client_width || y >= client_height) return hit;
  int columns = static_cast<int>(column_widths.size());
  if (y < DataTop()) {
    if (x < DataLeft()) {
      hit.area = Area::Corner;
      return hit;
    }
    for (int c = 0; c < columns; ++c) {
      int edge = ColumnLeft(c) + column_widths[c];  // the separator line
      if (edge >= DataLeft() && x >= edge - kSeparatorGrip && x <= edge + kSeparatorGrip) {
        hit.area = Area::TitleSeparator;
        hit.column = c;
        return hit;
      }
    }
    for (int c = 0; c < columns; ++c) {
      int left = ColumnLeft(c);
      if (x >= left && x < left + column_widths[c] + kLine) {
        hit.area = Area::Title;
        hit.column = c;
        return hit;
      }
    }
    return hit;
  }
  int row = (y - DataTop()) / RowPitch();
  if (row >= row_count) return hit;
  if (x < DataLeft()) {
    hit.area = Area::Indicator;
    hit.row = row;
    return hit;
  }
  for (int c = 0; c < columns; ++c) {
    int left = ColumnLeft(c);
    if (x >= left && x < left + column_widths[c] + kLine) {
      hit.area = Area::Cell;
      hit.row = row;
      hit.column = c;
      return hit;
    }
  }
  return hit;
}

}  // namespace quillset
