// Geometry of the data grid, in client pixels: the indicator column at the
// left, the title row at the top, one grid line (1 pixel) after every column
// and row, and the data columns scrolled sideways by `scroll_x` pixels under
// the fixed indicator column. No Win32 here: the control feeds it its sizes.
#pragma once

#include <vector>

namespace quillset {

// A column's width: display width in characters x (width of "0" - overhang)
// + overhang + 4, but at least the title's width + 4.
int ColumnWidthFor(int display_width, int zero_width, int overhang, int title_width);

struct GridLayout {
  static constexpr int kLine = 1;

  int client_width = 0;
  int client_height = 0;
  int indicator_width = 11;  // without its line
  int title_height = 15;     // without its line
  int row_height = 15;       // without its line
  int scroll_x = 0;
  std::vector<int> column_widths;  // without their lines

  int DataLeft() const { return indicator_width + kLine; }
  int DataTop() const { return title_height + kLine; }
  int RowPitch() const { return row_height + kLine; }
  int DataWidth() const;  // visible width of the data area
  // Width of all columns with their lines.
  int ColumnsWidth() const;
  // Client x of a column's left edge, after scrolling.
  int ColumnLeft(int column) const;
  int RowTop(int row) const { return DataTop() + row * RowPitch(); }
  // Rows that fit whole below the title row; at least 1.
  int VisibleRows() const;
  int MaxScroll() const;
  int ClampScroll(int x) const;
  // The scroll position nearest to `scroll_x` that shows `column`: its left
  // edge, and its right edge too when the column fits.
  int ScrollToShow(int column) const;

  enum class Area { Nothing, Corner, Title, TitleSeparator, Indicator, Cell };
  struct Hit {
    Area area = Area::Nothing;
    int row = -1;     // data row (window index) for Indicator and Cell
    int column = -1;  // column for Title and Cell; the column left of a separator
  };
  // `row_count`: rows that exist; clicks below them hit nothing.
  Hit HitTest(int x, int y, int row_count) const;
};

}  // namespace quillset
