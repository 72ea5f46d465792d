// Drawing of the grid: title row, indicator column, cells and grid lines, in
// the system's colours and the window font.
#include <algorithm>
#include <string>

#include "base/win32_text.h"
#include "ui/win32/data_grid.h"

namespace quillset {

namespace {

void Fill(HDC dc, const RECT& r, int colour_index) {
  FillRect(dc, &r, GetSysColorBrush(colour_index));
}

void HorizontalLine(HDC dc, int left, int right, int y, COLORREF colour) {
  RECT r = {left, y, right, y + 1};
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void VerticalLine(HDC dc, int x, int top, int bottom, COLORREF colour) {
  RECT r = {x, top, x + 1, bottom};
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Halfway between two system colours: the lines between cells, visible on
// the window colour but lighter than the fixed cells' lines.
COLORREF Mix(int first, int second) {
  COLORREF a = GetSysColor(first), b = GetSysColor(second);
  return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
             (GetBValue(a) + GetBValue(b)) / 2);
}

void Text(HDC dc, const RECT& cell, const std::string& text, int colour_index) {
  SetTextColor(dc, GetSysColor(colour_index));
  SetBkMode(dc, TRANSPARENT);
  // GDI draws UTF-16: its "A" calls would read the bytes in the system code
  // page, whatever the process's own is.
  const std::wstring wide = ShiftJisToUtf16ForDisplay(text);
  ExtTextOutW(dc, cell.left + 2, cell.top + 2, ETO_CLIPPED, &cell, wide.data(),
              static_cast<UINT>(wide.size()), nullptr);
}

}  // namespace

void DataGrid::PaintFixedCell(HDC dc, const RECT& cell) {
  Fill(dc, cell, COLOR_BTNFACE);
  RECT edge = cell;
  DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
}

void DataGrid::PaintIndicator(HDC dc, const RECT& cell, int row) {
  if (row != source_.ActiveIndex()) return;
  int cx = (cell.left + cell.right) / 2;
  int cy = (cell.top + cell.bottom) / 2;
  int half = std::max(2, font_.Scale(4));
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  GridEditState state = source_.EditState();
  if (state == GridEditState::Insert || source_.IsNewRow(row)) {
    // Asterisk: a new row.
    int d = half * 3 / 4;
    MoveToEx(dc, cx, cy - half, nullptr);
    LineTo(dc, cx, cy + half + 1);
    MoveToEx(dc, cx - d, cy - d, nullptr);
    LineTo(dc, cx + d + 1, cy + d + 1);
    MoveToEx(dc, cx + d, cy - d, nullptr);
    LineTo(dc, cx - d - 1, cy + d + 1);
    MoveToEx(dc, cx - half, cy, nullptr);
    LineTo(dc, cx + half + 1, cy);
  } else if (state == GridEditState::Edit) {
    // I-beam: the row is being edited.
    int serif = std::max(1, half / 2);
    MoveToEx(dc, cx, cy - half, nullptr);
    LineTo(dc, cx, cy + half + 1);
    MoveToEx(dc, cx - serif, cy - half, nullptr);
    LineTo(dc, cx + serif + 1, cy - half);
    MoveToEx(dc, cx - serif, cy + half, nullptr);
    LineTo(dc, cx + serif + 1, cy + half);
  } else {
    // Triangle pointing right: the current row.
    int w = std::max(2, half / 2 + 1);
    POINT points[3] = {{cx - w, cy - half}, {cx - w, cy + half}, {cx + w, cy}};
    Polygon(dc, points, 3);
  }
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
}

// The bar fills the cell's width in the highlight colour as far as the copy
// has come, with the percentage over it.
void DataGrid::PaintProgress(HDC dc, const RECT& cell) {
  Fill(dc, cell, COLOR_WINDOW);
  RECT bar = {cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1};
  if (bar.right <= bar.left || bar.bottom <= bar.top) return;
  RECT done = bar;
  done.right = bar.left + static_cast<int>(
                              static_cast<long long>(bar.right - bar.left) * progress_permille_ / 1000);
  Fill(dc, done, COLOR_HIGHLIGHT);
  FrameRect(dc, &bar, GetSysColorBrush(COLOR_BTNSHADOW));
  const std::wstring percent = std::to_wstring(progress_permille_ / 10) + L"%";
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  RECT text = bar;
  DrawTextW(dc, percent.c_str(), static_cast<int>(percent.size()), &text,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void DataGrid::Paint(HDC dc, const RECT& client) {
  Fill(dc, client, COLOR_WINDOW);
  HGDIOBJ old_font = SelectObject(dc, font_.Handle());

  const COLORREF cell_line = Mix(COLOR_BTNFACE, COLOR_BTNSHADOW);
  const COLORREF fixed_line = GetSysColor(COLOR_BTNSHADOW);
  const int rows = source_.WindowRowCount();
  const int active = source_.ActiveIndex();
  const int columns = static_cast<int>(layout_.column_widths.size());
  const bool focused = GetFocus() == Handle();
  const int columns_right = layout_.ColumnLeft(columns);
  const int data_left = layout_.DataLeft();
  int shown_rows = 0;
  for (int r = 0; r < rows && layout_.RowTop(r) < client.bottom; ++r) shown_rows = r + 1;
  const int rows_bottom = layout_.RowTop(shown_rows);

  // Cells and their lines, clipped to the data area right of the indicator.
  int saved = SaveDC(dc);
  IntersectClipRect(dc, data_left, layout_.DataTop(), client.right, client.bottom);
  for (int r = 0; r < shown_rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      RECT cell = CellRect(r, c);
      if (cell.right < data_left) continue;
      if (cell.left >= client.right) break;
      bool current = r == active && c == nav_.Column();
      bool highlight = current && focused && !nav_.EditorOpen();
      Fill(dc, cell, highlight ? COLOR_HIGHLIGHT : COLOR_WINDOW);
      Text(dc, cell, source_.CellText(r, c), highlight ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
      if (highlight) DrawFocusRect(dc, &cell);
      if (r == active && c == kProgressColumn && progress_permille_ >= 0) PaintProgress(dc, cell);
    }
    HorizontalLine(dc, data_left, columns_right, layout_.RowTop(r) + layout_.row_height,
                   cell_line);
  }
  for (int c = 0; c < columns; ++c) {
    VerticalLine(dc, layout_.ColumnLeft(c) + layout_.column_widths[c], layout_.DataTop(),
                 rows_bottom, cell_line);
  }
  RestoreDC(dc, saved);

  // Title row.
  saved = SaveDC(dc);
  IntersectClipRect(dc, data_left, 0, client.right, layout_.DataTop());
  for (int c = 0; c < columns; ++c) {
    int left = layout_.ColumnLeft(c);
    RECT cell = {left, 0, left + layout_.column_widths[c], layout_.title_height};
    if (cell.right < data_left) continue;
    if (cell.left >= client.right) break;
    PaintFixedCell(dc, cell);
    Text(dc, cell, source_.ColumnTitle(c), COLOR_BTNTEXT);
    VerticalLine(dc, cell.right, 0, layout_.DataTop(), fixed_line);
  }
  HorizontalLine(dc, data_left, columns_right, layout_.title_height, fixed_line);
  RestoreDC(dc, saved);

  // Indicator column with its corner cell.
  RECT corner = {0, 0, layout_.indicator_width, layout_.title_height};
  PaintFixedCell(dc, corner);
  HorizontalLine(dc, 0, data_left, layout_.title_height, fixed_line);
  for (int r = 0; r < shown_rows; ++r) {
    int top = layout_.RowTop(r);
    RECT cell = {0, top, layout_.indicator_width, top + layout_.row_height};
    PaintFixedCell(dc, cell);
    PaintIndicator(dc, cell, r);
    HorizontalLine(dc, 0, data_left, cell.bottom, fixed_line);
  }
  VerticalLine(dc, layout_.indicator_width, 0, std::max(rows_bottom, layout_.DataTop()),
               fixed_line);

  SelectObject(dc, old_font);
}

}  // namespace quillset
