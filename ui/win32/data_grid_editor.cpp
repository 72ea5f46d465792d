// The grid's in-place cell editor: an EDIT control over the current cell,
// shown and hidden when GridNavigation asks; when its text is written into
// the field is GridNavigation's.
#include <windowsx.h>

#include <algorithm>

#include "base/errors.h"
#include "base/win32_text.h"
#include "ui/unwritable_text.h"
#include "ui/win32/data_grid.h"

namespace quillset {

namespace {
constexpr UINT_PTR kEditorId = 1;
}  // namespace

void DataGrid::CreateEditor() {
  editor_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_LEFT | ES_AUTOHSCROLL, 0, 0, 0, 0,
                            Handle(), reinterpret_cast<HMENU>(kEditorId),
                            GetModuleHandleW(nullptr), nullptr);
  if (!editor_) return;
  SendMessageW(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
  SendMessageW(editor_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
  SetWindowLongPtrW(editor_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // A Unicode procedure: typed characters reach the edit control as UTF-16
  // and are never converted through a code page on the way.
  editor_default_proc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      editor_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DataGrid::EditorProcedure)));
}

void DataGrid::ShowEditor(int column, const std::string& text) {
  if (!editor_) return;
  layout_.scroll_x = layout_.ScrollToShow(column);
  UpdateScrollBars();
  SetWindowTextW(editor_, ShiftJisToUtf16ForDisplay(text).c_str());
  PositionEditor();
  ShowWindow(editor_, SW_SHOW);
  SetFocus(editor_);
  SendMessageW(editor_, EM_SETSEL, 0, -1);
  InvalidateRect(Handle(), nullptr, FALSE);
}

void DataGrid::HideEditor() {
  if (!editor_) return;
  bool had_focus = GetFocus() == editor_;
  ShowWindow(editor_, SW_HIDE);
  if (had_focus) SetFocus(Handle());
  InvalidateRect(Handle(), nullptr, FALSE);
}

void DataGrid::SetEditorText(const std::string& text) {
  SetWindowTextW(editor_, ShiftJisToUtf16ForDisplay(text).c_str());
  SendMessageW(editor_, EM_SETSEL, 0, -1);
}

// The editor's text in Shift-JIS. A character Shift-JIS cannot write is
// refused by name rather than stored as "?" or a look-alike: the text stays
// in the editor to be corrected.
std::string DataGrid::EditorText() const {
  int length = GetWindowTextLengthW(editor_);
  std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(editor_, &wide[0], length + 1);
  wide.resize(got > 0 ? static_cast<size_t>(got) : 0);
  std::string text;
  std::uint32_t unwritable = 0;
  if (!Utf16ToShiftJis(wide, text, &unwritable))
    throw Exception(UnwritableTypedTextMessage(unwritable));
  return text;
}

RECT DataGrid::CellRect(int row, int column) const {
  int left = layout_.ColumnLeft(column);
  int top = layout_.RowTop(row);
  return RECT{left, top, left + layout_.column_widths.at(column), top + layout_.row_height};
}

void DataGrid::PositionEditor() {
  if (!nav_.EditorOpen() || !editor_) return;
  int row = std::max(0, source_.ActiveIndex());
  RECT cell = CellRect(row, nav_.EditorColumn());
  // Never over the indicator column when the cell is partly scrolled away.
  cell.left = std::max<LONG>(cell.left, layout_.DataLeft());
  cell.right = std::max(cell.right, cell.left);
  MoveWindow(editor_, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top, TRUE);
}

bool DataGrid::EditorMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  switch (message) {
    case WM_GETDLGCODE:
      result = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
      return true;
    case WM_KEYDOWN:
      switch (wparam) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_TAB:
        case VK_ESCAPE:
        case VK_RETURN:
        case VK_APPS:
          KeyDown(static_cast<UINT>(wparam));
          return true;
        case VK_HOME:
        case VK_END:
          if (!ctrl) return false;
          KeyDown(static_cast<UINT>(wparam));
          return true;
        case VK_INSERT:
          if (!ctrl && !shift) {
            KeyDown(VK_INSERT);
            return true;
          }
          // Shift+Insert pastes.
          return shift && !nav_.BeginChange();
        case VK_DELETE:
          if (ctrl) {
            KeyDown(VK_DELETE);
            return true;
          }
          return !nav_.BeginChange();
        case VK_LEFT:
        case VK_RIGHT: {
          // At the edge of the text the arrow moves to the next cell.
          DWORD start = 0, end = 0;
          SendMessageW(editor_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                       reinterpret_cast<LPARAM>(&end));
          DWORD length = static_cast<DWORD>(GetWindowTextLengthW(editor_));
          bool at_edge = start == end && (wparam == VK_LEFT ? start == 0 : end >= length);
          if (!at_edge || shift || ctrl) return false;
          KeyDown(static_cast<UINT>(wparam));
          return true;
        }
      }
      return false;
    case WM_SYSKEYDOWN:
      if (wparam == VK_F10 && shift) {
        OpenMenuAtCorner();
        return true;
      }
      return false;
    case WM_KEYUP:
      return wparam == VK_APPS;
    case WM_CHAR:
      if (wparam == '\t' || wparam == '\r' || wparam == 27 || wparam == '\n') return true;
      // Ctrl+C copies and Ctrl+A selects; every other character changes the text.
      if (wparam == 3 || wparam == 1) return false;
      return !nav_.BeginChange();
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
      return !nav_.BeginChange();
    case WM_CONTEXTMENU:
      if (callbacks_.open_menu) {
        if (lparam == -1) {
          OpenMenuAtCorner();
        } else {
          callbacks_.open_menu(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        }
      }
      return true;
    case WM_KILLFOCUS:
      InvalidateRect(Handle(), nullptr, FALSE);
      FocusMovedTo(reinterpret_cast<HWND>(wparam));
      return false;
  }
  return false;
}

LRESULT CALLBACK DataGrid::EditorProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  auto* grid = reinterpret_cast<DataGrid*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!grid) return DefWindowProcW(hwnd, message, wparam, lparam);
  WNDPROC next = grid->editor_default_proc_;
  LRESULT result = 0;
  bool handled = false;
  bool ok = RunShowingFailure([grid](const std::string& m) { grid->ReportFailure(m); },
                              [&] { handled = grid->EditorMessage(message, wparam, lparam, result); });
  // The edit control must always see its focus loss (caret, selection).
  if (handled || (!ok && message != WM_KILLFOCUS)) return result;
  return CallWindowProcW(next, hwnd, message, wparam, lparam);
}

}  // namespace quillset
