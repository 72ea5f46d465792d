// The grid's geometry: column widths, scrolling a column into view, and what
// a point hits.
#include "ui/grid_layout.h"

#include <gtest/gtest.h>

namespace quillset {
namespace {

TEST(ColumnWidthForTest, CharactersTimesDigitWidthOrTheTitleWhenWider) {
  EXPECT_EQ(ColumnWidthFor(100, 6, 0, 120), 604);
  EXPECT_EQ(ColumnWidthFor(18, 6, 0, 96), 112);
  EXPECT_EQ(ColumnWidthFor(2, 6, 0, 96), 100) << "at least the title + 4";
  EXPECT_EQ(ColumnWidthFor(10, 7, 1, 10), 10 * 6 + 1 + 4) << "overhang counted once";
}

GridLayout SampleLayout() {
  GridLayout layout;
  layout.client_width = 400;
  layout.client_height = 100;
  layout.indicator_width = 11;
  layout.title_height = 15;
  layout.row_height = 15;
  layout.column_widths = {604, 604, 124, 112};
  return layout;
}

TEST(GridLayoutTest, RowsThatFitWholeAndAtLeastOne) {
  GridLayout layout = SampleLayout();
  EXPECT_EQ(layout.VisibleRows(), (100 - 16) / 16);
  layout.client_height = 5;
  EXPECT_EQ(layout.VisibleRows(), 1);
}

TEST(GridLayoutTest, ScrollingShowsAColumnFromItsLeftEdge) {
  GridLayout layout = SampleLayout();
  EXPECT_EQ(layout.ScrollToShow(0), 0);
  // Column 1 is wider than the window: its left edge is shown.
  EXPECT_EQ(layout.ScrollToShow(1), 605);
  // The last column fits: the grid scrolls until its right edge shows.
  int right = 605 + 605 + 125 + 113;
  EXPECT_EQ(layout.ScrollToShow(3), right - layout.DataWidth());
  EXPECT_EQ(layout.MaxScroll(), right - layout.DataWidth());
  layout.scroll_x = layout.ScrollToShow(3);
  EXPECT_EQ(layout.ScrollToShow(0), 0) << "back to the first column";
  EXPECT_EQ(layout.ClampScroll(-5), 0);
  EXPECT_EQ(layout.ClampScroll(1 << 20), layout.MaxScroll());
}

TEST(GridLayoutTest, HitTestFindsTitlesSeparatorsIndicatorAndCells) {
  GridLayout layout = SampleLayout();
  using Area = GridLayout::Area;
  EXPECT_EQ(layout.HitTest(3, 3, 2).area, Area::Corner);
  auto title = layout.HitTest(100, 5, 2);
  EXPECT_EQ(title.area, Area::Title);
  EXPECT_EQ(title.column, 0);
  auto separator = layout.HitTest(12 + 604 - 410, 5, 2);  // not there: a title
  EXPECT_EQ(separator.area, Area::Title);
  layout.scroll_x = 300;  // separator of column 0 now at 12 + 604 - 300 = 316
  separator = layout.HitTest(317, 5, 2);
  EXPECT_EQ(separator.area, Area::TitleSeparator);
  EXPECT_EQ(separator.column, 0);
  layout.scroll_x = 0;
  auto indicator = layout.HitTest(5, 16 + 16 + 3, 2);
  EXPECT_EQ(indicator.area, Area::Indicator);
  EXPECT_EQ(indicator.row, 1);
  auto cell = layout.HitTest(50, 16 + 3, 2);
  EXPECT_EQ(cell.area, Area::Cell);
  EXPECT_EQ(cell.row, 0);
  EXPECT_EQ(cell.column, 0);
  EXPECT_EQ(layout.HitTest(50, 16 + 2 * 16 + 3, 2).area, Area::Nothing) << "below the rows";
  EXPECT_EQ(layout.HitTest(-1, 5, 2).area, Area::Nothing);
}

}  // namespace
}  // namespace quillset
