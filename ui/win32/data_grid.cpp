#include "ui/win32/data_grid.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "base/win32_text.h"
#include "ui/win32/window_classes.h"

namespace quillset {

namespace {

bool KeyIsDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// Column widths that dragging may not go below.
constexpr int kMinColumnWidth = 4;

}  // namespace

DataGrid::DataGrid(HWND parent, const WindowFont& font, GridSource& source, Callbacks callbacks)
    : font_(font), source_(source), callbacks_(std::move(callbacks)) {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClassOnce(kDataGridClass, CS_DBLCLKS, nullptr, nullptr, nullptr);

  // Sizes from the font: rows and titles are the text height + 3, the
  // indicator column 11 pixels at the design text height.
  layout_.row_height = font_.TextHeight() + 3;
  layout_.title_height = font_.TextHeight() + 3;
  layout_.indicator_width = font_.Scale(11);
  ComputeColumnWidths();

  CreateBound(WS_EX_CLIENTEDGE, kDataGridClass, "",
              WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN, 0,
              0, 0, 0, parent);
  CreateEditor();

  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (tooltip_) {
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
    // The tool keeps a copy of the text.
    const std::wstring hint = ShiftJisToUtf16ForDisplay(kHint);
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Handle());
    tool.lpszText = const_cast<wchar_t*>(hint.c_str());
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  source_.SetObserver(this);
  SizeChanged();
}

DataGrid::~DataGrid() {
  source_.SetObserver(nullptr);
  if (tooltip_) DestroyWindow(tooltip_);
  DestroyBound();
}

void DataGrid::ComputeColumnWidths() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_.Handle());
  TEXTMETRICW tm = {};
  GetTextMetricsW(dc, &tm);
  SIZE zero = {};
  GetTextExtentPoint32W(dc, L"0", 1, &zero);
  layout_.column_widths.clear();
  for (int c = 0; c < source_.ColumnCount(); ++c) {
    const std::wstring title = ShiftJisToUtf16ForDisplay(source_.ColumnTitle(c));
    SIZE title_size = {};
    GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &title_size);
    layout_.column_widths.push_back(
        ColumnWidthFor(source_.DisplayWidth(c), zero.cx, tm.tmOverhang, title_size.cx));
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
}

void DataGrid::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  // An open editor stays open; while read-only its text cannot be changed.
}

bool DataGrid::Editable() const { return !read_only_ && source_.CanModify(); }

void DataGrid::RepaintNow() {
  if (Handle()) RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void DataGrid::SetRowProgress(int permille) {
  if (permille == progress_permille_) return;
  progress_permille_ = permille;
  const int row = source_.ActiveIndex();
  if (!Handle() || row < 0) return;
  RECT cell = CellRect(row, kProgressColumn);
  InvalidateRect(Handle(), &cell, FALSE);
  UpdateWindow(Handle());
}

void DataGrid::ReportFailure(const std::string& message) {
  if (!callbacks_.show_failure) return;
  ++failure_boxes_open_;
  try {
    callbacks_.show_failure(message);
  } catch (...) {
    --failure_boxes_open_;
    throw;
  }
  --failure_boxes_open_;
}

// ---- Source notifications

void DataGrid::RowsChanged() {
  if (!Handle()) return;
  InvalidateRect(Handle(), nullptr, FALSE);
  UpdateScrollBars();
  ReloadEditorIfUnchanged();
}

void DataGrid::RowsScrolled(int) { RowsChanged(); }

void DataGrid::EditStateChanged() {
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

// ---- Messages

LRESULT DataGrid::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      RECT client;
      GetClientRect(Handle(), &client);
      // Drawn off-screen first, so the grid does not flicker.
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right),
                                              std::max<LONG>(1, client.bottom));
      HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
      // A painting failure cannot be shown: a box would paint again and fail
      // again. The queries it makes do not throw by contract; this only keeps
      // BeginPaint and EndPaint paired if one does.
      try {
        Paint(memory, client);
      } catch (...) {
      }
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old_bitmap);
      DeleteObject(bitmap);
      DeleteDC(memory);
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      SizeChanged();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (KeyDown(static_cast<UINT>(wparam))) return 0;
      break;
    case WM_KEYUP:
      if (wparam == VK_APPS) return 0;  // the menu opened at the key press
      break;
    case WM_SYSKEYDOWN:
      if (wparam == VK_F10 && KeyIsDown(VK_SHIFT)) {
        OpenMenuAtCorner();
        return 0;
      }
      break;
    case WM_SYSKEYUP:
      // Shift+F10 opened the popup menu; its release must not enter the
      // window menu as a plain F10 would.
      if (wparam == VK_F10 && KeyIsDown(VK_SHIFT)) return 0;
      break;
    case WM_CHAR:
      Character(wparam, lparam);
      return 0;
    case WM_CONTEXTMENU:
      if (lparam == -1) {
        OpenMenuAtCorner();
      } else if (callbacks_.open_menu) {
        callbacks_.open_menu(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      }
      return 0;
    case WM_RBUTTONUP: {
      POINT at = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ClientToScreen(Handle(), &at);
      if (callbacks_.open_menu) callbacks_.open_menu(at);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (GetFocus() != Handle() && GetFocus() != editor_) SetFocus(Handle());
      ClickAt(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_MOUSEMOVE:
      if (sizing_column_ >= 0) {
        int width = sizing_start_width_ + GET_X_LPARAM(lparam) - sizing_start_x_;
        layout_.column_widths[sizing_column_] = std::max(kMinColumnWidth, width);
        layout_.scroll_x = layout_.ClampScroll(layout_.scroll_x);
        PositionEditor();
        UpdateScrollBars();
        InvalidateRect(Handle(), nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (sizing_column_ >= 0) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      sizing_column_ = -1;
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        POINT at;
        GetCursorPos(&at);
        ScreenToClient(Handle(), &at);
        auto hit = layout_.HitTest(at.x, at.y, source_.WindowRowCount());
        if (sizing_column_ >= 0 || hit.area == GridLayout::Area::TitleSeparator) {
          SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
          return TRUE;
        }
      }
      break;
    case WM_MOUSEWHEEL: {
      // A precision touchpad or a free-spinning wheel sends deltas below one
      // notch: what does not make a whole notch is kept for the next message,
      // and a turn the other way starts afresh.
      const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
      if ((delta < 0 && wheel_remainder_ > 0) || (delta > 0 && wheel_remainder_ < 0)) {
        wheel_remainder_ = 0;
      }
      wheel_remainder_ += delta;
      const int notches = wheel_remainder_ / WHEEL_DELTA;
      wheel_remainder_ -= notches * WHEEL_DELTA;
      if (notches != 0) {
        source_.MoveRows(-notches);
        CloseEditor();
      }
      return 0;
    }
    case WM_VSCROLL:
      VerticalScroll(LOWORD(wparam));
      return 0;
    case WM_HSCROLL:
      HorizontalScroll(LOWORD(wparam));
      return 0;
    case WM_SETFOCUS:
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS:
      wheel_remainder_ = 0;
      InvalidateRect(Handle(), nullptr, FALSE);
      FocusMovedTo(reinterpret_cast<HWND>(wparam));
      return 0;
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lparam) == editor_ && HIWORD(wparam) == EN_CHANGE &&
          !loading_editor_) {
        editor_changed_ = true;
      }
      return 0;
  }
  return DefaultHandling(message, wparam, lparam);
}

void DataGrid::SizeChanged() {
  RECT client;
  GetClientRect(Handle(), &client);
  layout_.client_width = client.right;
  layout_.client_height = client.bottom;
  layout_.scroll_x = layout_.ClampScroll(layout_.scroll_x);
  int rows = layout_.VisibleRows();
  if (rows != window_rows_) {
    window_rows_ = rows;
    source_.SetWindowRows(rows);
  }
  UpdateScrollBars();
  PositionEditor();
  InvalidateRect(Handle(), nullptr, FALSE);
}

void DataGrid::UpdateScrollBars() {
  if (!Handle()) return;
  SCROLLINFO h = {};
  h.cbSize = sizeof(h);
  h.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  h.nMin = 0;
  h.nMax = std::max(0, layout_.ColumnsWidth() - 1);
  h.nPage = static_cast<UINT>(layout_.DataWidth());
  h.nPos = layout_.scroll_x;
  SetScrollInfo(Handle(), SB_HORZ, &h, TRUE);

  // The vertical bar stands for the current row's place in the whole list.
  SCROLLINFO v = {};
  v.cbSize = sizeof(v);
  v.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  int total = source_.TotalRows();
  int number = source_.ActiveRowNumber();
  if (total > 1) {
    v.nMin = 1;
    v.nMax = total;
    v.nPage = 1;
    if (number > 0) {
      v.nPos = number;
    } else {
      v.nPos = source_.AtEnd() ? total : GetScrollPos(Handle(), SB_VERT);
    }
  }
  SetScrollInfo(Handle(), SB_VERT, &v, TRUE);
}

// ---- Keys

bool DataGrid::KeyDown(UINT key) {
  bool ctrl = KeyIsDown(VK_CONTROL);
  bool shift = KeyIsDown(VK_SHIFT);
  switch (key) {
    case VK_UP:
      PriorRow();
      return true;
    case VK_DOWN:
      NextRow();
      return true;
    case VK_PRIOR:
      source_.MoveRows(-layout_.VisibleRows());
      CloseEditor();
      return true;
    case VK_NEXT:
      source_.MoveRows(layout_.VisibleRows());
      CloseEditor();
      return true;
    case VK_HOME:
      if (ctrl) {
        source_.MoveFirst();
        CloseEditor();
      } else {
        SetColumn(0);
      }
      return true;
    case VK_END:
      if (ctrl) {
        source_.MoveLast();
        CloseEditor();
      } else {
        SetColumn(source_.ColumnCount() - 1);
      }
      return true;
    case VK_LEFT:
      SetColumn(column_ - 1);
      return true;
    case VK_RIGHT:
      SetColumn(column_ + 1);
      return true;
    case VK_TAB:
      if (!ctrl) Tab(!shift);
      return true;
    case VK_ESCAPE:
      Escape();
      return true;
    case VK_F2:
      if (!editor_open_) ShowEditor(true);
      return true;
    case VK_RETURN:
      if (editor_open_) {
        HideEditor();
      } else {
        ShowEditor(true);
      }
      return true;
    case VK_INSERT:
      if (!ctrl && !shift) InsertNewRow();
      return true;
    case VK_DELETE:
      if (ctrl) DeleteCurrentRow();
      return true;
    case VK_APPS:
      OpenMenuAtCorner();
      return true;
  }
  return false;
}

void DataGrid::Character(WPARAM ch, LPARAM lparam) {
  // The grid is a Unicode window: characters arrive in UTF-16 and go on to
  // the editor as they came.
  const wchar_t wide = static_cast<wchar_t>(ch);
  if (!editor_open_) {
    // Typing opens the editor on the current cell with its text selected, so
    // the first character replaces it.
    if (wide < 0x20 || wide == 0x7F) return;
    if (!ShowEditor(true)) return;
  }
  SendMessageW(editor_, WM_CHAR, wide, lparam);
}

void DataGrid::PriorRow() {
  // Moving up from an appended row that nothing was written to drops it, and
  // the row above (the former last row) is current again.
  if (source_.EditState() == GridEditState::Insert && !source_.RowModified() &&
      !editor_changed_ && source_.AtEnd()) {
    source_.DiscardRow();
  } else {
    source_.MoveRows(-1);
  }
  CloseEditor();
}

void DataGrid::NextRow() {
  if (source_.EditState() == GridEditState::Insert && !source_.RowModified() &&
      !editor_changed_) {
    // An unchanged new row: at the end it stays; in the middle it is dropped
    // and the row it was inserted before is current again.
    if (!source_.AtEnd()) {
      source_.DiscardRow();
      CloseEditor();
    }
    return;
  }
  source_.MoveRows(1);
  if (source_.AtEnd() && Editable()) source_.AppendRow();
  CloseEditor();
}

void DataGrid::Tab(bool forward) {
  int last = source_.ColumnCount() - 1;
  if (forward) {
    if (column_ < last) {
      SetColumn(column_ + 1);
    } else {
      NextRow();
      SetColumn(0);
    }
  } else {
    if (column_ > 0) {
      SetColumn(column_ - 1);
    } else {
      int before = source_.ActiveRowNumber();
      GridEditState state = source_.EditState();
      PriorRow();
      if (source_.ActiveRowNumber() != before || source_.EditState() != state) SetColumn(last);
    }
  }
}

void DataGrid::Escape() {
  if (editor_open_ && editor_changed_) {
    // Only the typed text goes; the row stays as it is.
    editor_changed_ = false;
    CloseEditor();
    InvalidateRect(Handle(), nullptr, FALSE);
    return;
  }
  CloseEditor();
  source_.DiscardRow();
}

void DataGrid::InsertNewRow() {
  if (!Editable()) return;
  source_.InsertRow();
  CloseEditor();
}

void DataGrid::DeleteCurrentRow() {
  if (!Editable() || source_.WindowRowCount() == 0) return;
  source_.DeleteRowAfter([this] {
    if (!callbacks_.confirm_delete || !callbacks_.confirm_delete()) return false;
    editor_changed_ = false;  // the typed text goes with the row
    CloseEditor();
    return true;
  });
}

void DataGrid::SetColumn(int column) {
  column = std::clamp(column, 0, std::max(0, source_.ColumnCount() - 1));
  if (column != column_ && editor_open_) HideEditor();  // writes the typed text first
  column_ = column;
  int scroll = layout_.ScrollToShow(column_);
  if (scroll != layout_.scroll_x) {
    layout_.scroll_x = scroll;
    UpdateScrollBars();
  }
  PositionEditor();
  InvalidateRect(Handle(), nullptr, FALSE);
}

void DataGrid::OpenMenuAtCorner() {
  POINT corner = {0, 0};
  ClientToScreen(Handle(), &corner);
  if (callbacks_.open_menu) callbacks_.open_menu(corner);
}

void DataGrid::ClickAt(int x, int y, bool double_click) {
  auto hit = layout_.HitTest(x, y, source_.WindowRowCount());
  switch (hit.area) {
    case GridLayout::Area::TitleSeparator:
      sizing_column_ = hit.column;
      sizing_start_x_ = x;
      sizing_start_width_ = layout_.column_widths[hit.column];
      SetCapture(Handle());
      return;
    case GridLayout::Area::Indicator:
      if (hit.row != source_.ActiveIndex()) {
        source_.SelectRow(hit.row);
        CloseEditor();
      }
      return;
    case GridLayout::Area::Cell: {
      bool same_cell = hit.row == source_.ActiveIndex() && hit.column == column_;
      if (hit.row != source_.ActiveIndex()) {
        source_.SelectRow(hit.row);
        CloseEditor();
      }
      SetColumn(hit.column);
      // A second click on the current cell, or a double-click, edits it.
      if ((same_cell || double_click) && !editor_open_) ShowEditor(true);
      return;
    }
    default:
      return;
  }
}

void DataGrid::FocusMovedTo(HWND new_focus) {
  if (!new_focus || new_focus == Handle() || new_focus == editor_) return;
  // Only a move to another control of the same window counts as leaving the
  // grid; boxes, dialogs and other programs leave the row alone.
  if (GetAncestor(new_focus, GA_ROOT) != GetAncestor(Handle(), GA_ROOT)) return;
  if (source_.EditState() == GridEditState::Insert && !source_.RowModified() &&
      !editor_changed_) {
    CloseEditor();
    source_.DiscardRow();
  }
}

void DataGrid::VerticalScroll(int request) {
  switch (request) {
    case SB_LINEUP:
      source_.MoveRows(-1);
      break;
    case SB_LINEDOWN:
      source_.MoveRows(1);
      break;
    case SB_PAGEUP:
      source_.MoveRows(-layout_.VisibleRows());
      break;
    case SB_PAGEDOWN:
      source_.MoveRows(layout_.VisibleRows());
      break;
    case SB_TOP:
      source_.MoveFirst();
      break;
    case SB_BOTTOM:
      source_.MoveLast();
      break;
    case SB_THUMBPOSITION: {
      SCROLLINFO info = {};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(Handle(), SB_VERT, &info);
      int number = source_.ActiveRowNumber();
      if (number > 0 && info.nTrackPos != number) source_.MoveRows(info.nTrackPos - number);
      break;
    }
    default:
      return;
  }
  CloseEditor();
  UpdateScrollBars();
}

void DataGrid::HorizontalScroll(int request) {
  int x = layout_.scroll_x;
  int line = font_.TextHeight() * 3;
  switch (request) {
    case SB_LINELEFT:
      x -= line;
      break;
    case SB_LINERIGHT:
      x += line;
      break;
    case SB_PAGELEFT:
      x -= layout_.DataWidth();
      break;
    case SB_PAGERIGHT:
      x += layout_.DataWidth();
      break;
    case SB_LEFT:
      x = 0;
      break;
    case SB_RIGHT:
      x = layout_.MaxScroll();
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info = {};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(Handle(), SB_HORZ, &info);
      x = info.nTrackPos;
      break;
    }
    default:
      return;
  }
  x = layout_.ClampScroll(x);
  if (x == layout_.scroll_x) return;
  layout_.scroll_x = x;
  UpdateScrollBars();
  PositionEditor();
  InvalidateRect(Handle(), nullptr, FALSE);
}

}  // namespace quillset
