#include "ui/win32/input_box.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/win32_text.h"
#include "ui/unwritable_text.h"
#include "ui/win32/message_boxes.h"
#include "ui/win32/modal_scope.h"

namespace quillset {

namespace {

constexpr char kOkCaption[] = "OK";
constexpr char kCancelCaption[] = "キャンセル";

struct InputBoxState {
  HFONT font;
  const std::string* title;
  const std::string* prompt;
  const std::string* preset;
  std::string result;
};

// An in-memory dialog template: the controls are laid out in pixels when the
// dialog starts, from the font's size, so every size here is a placeholder.
class DialogTemplate {
 public:
  explicit DialogTemplate(DWORD style) {
    Align();
    DLGTEMPLATE t = {};
    t.style = style;
    t.cdit = 0;
    t.cx = 100;
    t.cy = 50;
    count_at_ = bytes_.size() + offsetof(DLGTEMPLATE, cdit);
    Append(&t, sizeof(t));
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Word(0);  // title: set at WM_INITDIALOG
  }

  void AddItem(DWORD style, DWORD ex_style, WORD id, WORD class_atom) {
    Align();
    DLGITEMTEMPLATE item = {};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.dwExtendedStyle = ex_style;
    item.x = 0;
    item.y = 0;
    item.cx = 10;
    item.cy = 10;
    item.id = id;
    Append(&item, sizeof(item));
    Word(0xFFFF);
    Word(class_atom);
    Word(0);  // text: set at WM_INITDIALOG
    Word(0);  // no creation data
    auto* count = reinterpret_cast<WORD*>(&bytes_[count_at_]);
    ++*count;
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Append(const void* data, size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Word(WORD w) { Append(&w, sizeof(w)); }
  void Align() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }

  std::vector<std::uint8_t> bytes_;
  size_t count_at_ = 0;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

void LayOut(HWND dialog, const InputBoxState& state) {
  HDC dc = GetDC(dialog);
  HGDIOBJ old = SelectObject(dc, state.font);
  TEXTMETRICW tm = {};
  GetTextMetricsW(dc, &tm);
  SIZE letters = {};
  GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                        &letters);
  int unit_x = (letters.cx / 26 + 1) / 2;  // average character width, rounded
  int unit_y = tm.tmHeight;
  auto dx = [&](int n) { return MulDiv(n, unit_x, 4); };
  auto dy = [&](int n) { return MulDiv(n, unit_y, 8); };

  int left = dx(8);
  int width = dx(164);
  RECT text = {0, 0, width, 0};
  const std::wstring prompt = ShiftJisToUtf16ForDisplay(*state.prompt);
  DrawTextW(dc, prompt.c_str(), static_cast<int>(prompt.size()), &text,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(dialog, dc);

  int prompt_top = dy(8);
  int prompt_height = text.bottom - text.top;
  int edit_top = prompt_top + prompt_height + 5;
  int edit_height = unit_y + 8;
  int button_top = edit_top + edit_height + 15;
  int button_width = dx(50);
  int button_height = dy(14);
  int client_width = dx(180);
  int client_height = button_top + button_height + 13;

  MoveWindow(GetDlgItem(dialog, kInputBoxPromptId), left, prompt_top, width, prompt_height, FALSE);
  MoveWindow(GetDlgItem(dialog, kInputBoxFieldId), left, edit_top, width, edit_height, FALSE);
  MoveWindow(GetDlgItem(dialog, IDOK), dx(38), button_top, button_width, button_height, FALSE);
  MoveWindow(GetDlgItem(dialog, IDCANCEL), dx(92), button_top, button_width, button_height,
             FALSE);

  RECT frame = {0, 0, client_width, client_height};
  AdjustWindowRectEx(&frame, GetWindowLongW(dialog, GWL_STYLE), FALSE,
                     GetWindowLongW(dialog, GWL_EXSTYLE));
  SIZE size = {frame.right - frame.left, frame.bottom - frame.top};
  POINT at = ScreenCentredPosition(size);
  SetWindowPos(dialog, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<InputBoxState*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      SetWindowTextW(dialog, ShiftJisToUtf16ForDisplay(*state->title).c_str());
      SetDlgItemTextW(dialog, kInputBoxPromptId, ShiftJisToUtf16ForDisplay(*state->prompt).c_str());
      SetDlgItemTextW(dialog, IDOK, ShiftJisToUtf16ForDisplay(kOkCaption).c_str());
      SetDlgItemTextW(dialog, IDCANCEL, ShiftJisToUtf16ForDisplay(kCancelCaption).c_str());
      for (int id : {kInputBoxPromptId, kInputBoxFieldId, static_cast<int>(IDOK),
                     static_cast<int>(IDCANCEL)}) {
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), 0);
      }
      HWND field = GetDlgItem(dialog, kInputBoxFieldId);
      SendMessageW(field, EM_LIMITTEXT, kInputBoxMaxChars, 0);
      SetWindowTextW(field, ShiftJisToUtf16ForDisplay(*state->preset).c_str());
      LayOut(dialog, *state);
      SetFocus(field);
      SendMessageW(field, EM_SETSEL, 0, -1);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
      switch (LOWORD(wparam)) {
        case IDOK: {
          HWND field = GetDlgItem(dialog, kInputBoxFieldId);
          int length = GetWindowTextLengthW(field);
          std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
          int got = GetWindowTextW(field, &wide[0], length + 1);
          wide.resize(got > 0 ? static_cast<size_t>(got) : 0);
          std::uint32_t unwritable = 0;
          if (!Utf16ToShiftJis(wide, state->result, &unwritable)) {
            // Refused by name; the text stays in the field to be corrected.
            CenteredMessageBox(dialog, UnwritableTypedTextMessage(unwritable), *state->title,
                               MB_OK | MB_ICONERROR);
            SetFocus(field);
            return TRUE;
          }
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

}  // namespace

std::string ShowInputBox(HWND owner, HFONT font, const std::string& title,
                         const std::string& prompt, const std::string& preset) {
  DialogTemplate dialog(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  dialog.AddItem(SS_LEFT | SS_NOPREFIX, 0, kInputBoxPromptId, kStaticAtom);
  dialog.AddItem(ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kInputBoxFieldId, kEditAtom);
  dialog.AddItem(BS_DEFPUSHBUTTON | WS_TABSTOP, 0, IDOK, kButtonAtom);
  dialog.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 0, IDCANCEL, kButtonAtom);

  InputBoxState state{font, &title, &prompt, &preset, preset};
  INT_PTR answer;
  {
    ModalScope scope(owner);
    answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner,
                                     InputBoxProc, reinterpret_cast<LPARAM>(&state));
  }
  return answer == IDOK ? state.result : preset;
}

}  // namespace quillset
