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
    : font_(font), source_(source), callbacks_(std::move(callbacks)), nav_(source, *this) {
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

  SizeChanged();
}

DataGrid::~DataGrid() {
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

void DataGrid::ReportFailure(const std::string& message) { nav_.ShowFailure(message); }

// ---- GridView

void DataGrid::ShowFailure(const std::string& message) {
  if (callbacks_.show_failure) callbacks_.show_failure(message);
}

bool DataGrid::ConfirmDelete() { return callbacks_.confirm_delete && callbacks_.confirm_delete(); }

void DataGrid::RowsChanged() {
  if (!Handle()) return;
  InvalidateRect(Handle(), nullptr, FALSE);
  UpdateScrollBars();
  PositionEditor();
}

void DataGrid::ColumnChanged() {
  int scroll = layout_.ScrollToShow(nav_.Column());
  if (scroll != layout_.scroll_x) {
    layout_.scroll_x = scroll;
    UpdateScrollBars();
  }
  PositionEditor();
  InvalidateRect(Handle(), nullptr, FALSE);
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
    case WM_MOUSEWHEEL:
      nav_.Wheel(GET_WHEEL_DELTA_WPARAM(wparam));
      return 0;
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
      InvalidateRect(Handle(), nullptr, FALSE);
      FocusMovedTo(reinterpret_cast<HWND>(wparam));
      return 0;
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lparam) == editor_ && HIWORD(wparam) == EN_CHANGE) {
        nav_.EditorTextChanged();
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
  const bool ctrl = KeyIsDown(VK_CONTROL);
  const bool shift = KeyIsDown(VK_SHIFT);
  GridKey grid_key;
  switch (key) {
    case VK_UP: grid_key = GridKey::Up; break;
    case VK_DOWN: grid_key = GridKey::Down; break;
    case VK_PRIOR: grid_key = GridKey::PageUp; break;
    case VK_NEXT: grid_key = GridKey::PageDown; break;
    case VK_HOME: grid_key = GridKey::Home; break;
    case VK_END: grid_key = GridKey::End; break;
    case VK_LEFT: grid_key = GridKey::Left; break;
    case VK_RIGHT: grid_key = GridKey::Right; break;
    case VK_TAB: grid_key = GridKey::Tab; break;
    case VK_ESCAPE: grid_key = GridKey::Escape; break;
    case VK_F2: grid_key = GridKey::F2; break;
    case VK_RETURN: grid_key = GridKey::Enter; break;
    case VK_INSERT: grid_key = GridKey::Insert; break;
    case VK_DELETE: grid_key = GridKey::Delete; break;
    case VK_APPS:
      OpenMenuAtCorner();
      return true;
    default:
      return false;
  }
  nav_.KeyDown(grid_key, ctrl, shift);
  return true;
}

void DataGrid::Character(WPARAM ch, LPARAM lparam) {
  // The grid is a Unicode window: characters arrive in UTF-16 and go on to
  // the editor as they came.
  const wchar_t wide = static_cast<wchar_t>(ch);
  if (!nav_.EditorOpen() && (wide < 0x20 || wide == 0x7F)) return;
  if (!nav_.CharacterTyped()) return;
  SendMessageW(editor_, WM_CHAR, wide, lparam);
}

void DataGrid::ScrollToColumn(int column) {
  if (column < 0 || column >= static_cast<int>(layout_.column_widths.size())) return;
  const int scroll = layout_.ClampScroll(layout_.ColumnLeft(column) + layout_.scroll_x -
                                         layout_.DataLeft());
  if (scroll == layout_.scroll_x) return;
  layout_.scroll_x = scroll;
  UpdateScrollBars();
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
  if (hit.area == GridLayout::Area::TitleSeparator) {
    sizing_column_ = hit.column;
    sizing_start_x_ = x;
    sizing_start_width_ = layout_.column_widths[hit.column];
    SetCapture(Handle());
    return;
  }
  nav_.Click(hit, double_click);
}

void DataGrid::FocusMovedTo(HWND new_focus) {
  if (new_focus == Handle() || new_focus == editor_) return;
  // Only a move to another control of the same window counts as leaving the
  // grid; boxes, dialogs and other programs leave the row alone.
  nav_.FocusLeft(new_focus &&
                 GetAncestor(new_focus, GA_ROOT) == GetAncestor(Handle(), GA_ROOT));
}

void DataGrid::VerticalScroll(int request) {
  switch (request) {
    case SB_LINEUP:
      nav_.ScrollRows(-1);
      break;
    case SB_LINEDOWN:
      nav_.ScrollRows(1);
      break;
    case SB_PAGEUP:
      nav_.ScrollRows(-layout_.VisibleRows());
      break;
    case SB_PAGEDOWN:
      nav_.ScrollRows(layout_.VisibleRows());
      break;
    case SB_TOP:
      nav_.ScrollToFirst();
      break;
    case SB_BOTTOM:
      nav_.ScrollToLast();
      break;
    case SB_THUMBPOSITION: {
      SCROLLINFO info = {};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(Handle(), SB_VERT, &info);
      int number = source_.ActiveRowNumber();
      if (number > 0 && info.nTrackPos != number) nav_.ScrollRows(info.nTrackPos - number);
      break;
    }
    default:
      return;
  }
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
