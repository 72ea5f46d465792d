#include "ui/win32/message_boxes.h"

#include <vector>

#include "base/win32_text.h"
#include "ui/win32/modal_scope.h"

namespace quillset {

namespace {

constexpr char kDeleteQuestion[] = "レコードを削除してもよいですか？";
constexpr char kConfirmCaption[] = "確認";

// While a box is open, a CBT hook of its own notes the box's window when it
// is created (so that it can be brought to the front later) and, when asked,
// centres it at its first activation. Nested boxes each install their own
// hook; the newest open box takes the first dialog-class window it sees.
struct OpenBox {
  HHOOK hook = nullptr;
  bool centre = false;
  bool topmost = false;
  HWND hwnd = nullptr;
};
thread_local std::vector<OpenBox*> g_open_boxes;

bool IsDialogClass(HWND hwnd) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  return lstrcmpW(name, L"#32770") == 0;
}

LRESULT CALLBACK BoxHook(int code, WPARAM wparam, LPARAM lparam) {
  HHOOK next = g_open_boxes.empty() ? nullptr : g_open_boxes.back()->hook;
  HWND hwnd = reinterpret_cast<HWND>(wparam);
  if (!g_open_boxes.empty() && (code == HCBT_CREATEWND || code == HCBT_ACTIVATE)) {
    OpenBox& box = *g_open_boxes.back();
    if (code == HCBT_CREATEWND && !box.hwnd && IsDialogClass(hwnd)) box.hwnd = hwnd;
    // MB_TOPMOST asks for this; done here too, before the box first shows, so
    // that no system that overlooks the flag (Wine does) leaves it behind.
    if (code == HCBT_ACTIVATE && box.topmost && hwnd == box.hwnd) {
      box.topmost = false;
      SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (code == HCBT_ACTIVATE && box.centre && hwnd == box.hwnd) {
      box.centre = false;
      RECT r;
      GetWindowRect(hwnd, &r);
      POINT p = ScreenCentredPosition(SIZE{r.right - r.left, r.bottom - r.top});
      SetWindowPos(hwnd, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  return CallNextHookEx(next, code, wparam, lparam);
}

// A box opened while the program's windows are hidden (its owner, the
// application window, hides with the main window) would open behind the
// program the user works in, with no taskbar entry to find it by: it is put
// above other programs' windows, and takes the foreground if Windows lets the
// program have it (otherwise Windows only flashes it).
UINT FrontFlags(HWND owner) {
  return owner && IsWindowVisible(owner) ? 0 : MB_TOPMOST | MB_SETFOREGROUND;
}

// The box's hook and its place among the open boxes, given back however the
// box ends (a text that cannot be shown throws).
class OpenBoxScope {
 public:
  explicit OpenBoxScope(OpenBox& box) {
    box.hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
    g_open_boxes.push_back(&box);
  }
  ~OpenBoxScope() {
    OpenBox* box = g_open_boxes.back();
    g_open_boxes.pop_back();
    if (box->hook) UnhookWindowsHookEx(box->hook);
  }
  OpenBoxScope(const OpenBoxScope&) = delete;
  OpenBoxScope& operator=(const OpenBoxScope&) = delete;
};

int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type,
            bool centre) {
  const std::wstring wide_text = ShiftJisToUtf16ForDisplay(text);
  const std::wstring wide_caption = ShiftJisToUtf16ForDisplay(caption);
  OpenBox box;
  box.centre = centre;
  const UINT front = FrontFlags(owner);
  box.topmost = (front & MB_TOPMOST) != 0;
  OpenBoxScope open(box);
  return MessageBoxW(owner, wide_text.c_str(), wide_caption.c_str(), type | front);
}

}  // namespace

POINT ScreenCentredPosition(SIZE size) {
  int sw = GetSystemMetrics(SM_CXSCREEN);
  int sh = GetSystemMetrics(SM_CYSCREEN);
  return POINT{(sw - size.cx) / 2, (sh - size.cy) / 2};
}

int CenteredMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       UINT type) {
  return ShowBox(owner, text, caption, type, true);
}

bool BringOpenBoxToFront() {
  for (auto it = g_open_boxes.rbegin(); it != g_open_boxes.rend(); ++it) {
    HWND box = (*it)->hwnd;
    if (!box || !IsWindow(box)) continue;
    SetForegroundWindow(box);
    SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetActiveWindow(box);
    return true;
  }
  return false;
}

MessageBoxes::MessageBoxes(const CodePage& code_page, std::string title, HWND owner)
    : code_page_(code_page), title_(std::move(title)), owner_(owner) {}

void MessageBoxes::ShowFailure(const std::string& message) {
  std::string text = FailureBoxText(message, code_page_);
  struct Counted {
    int& count;
    explicit Counted(int& c) : count(c) { ++count; }
    ~Counted() { --count; }
  } counted(open_failure_boxes_);
  ModalScope scope(owner_);
  ShowBox(owner_, text, title_, MB_ICONERROR | MB_OK, false);
}

void MessageBoxes::ShowPlainMessage(const std::string& text) {
  ModalScope scope(owner_);
  CenteredMessageBox(owner_, text, title_, MB_OK);
}

bool MessageBoxes::ConfirmDelete() {
  ModalScope scope(owner_);
  return CenteredMessageBox(owner_, kDeleteQuestion, kConfirmCaption,
                            MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

bool MessageBoxes::AskYesNo(const std::string& question) {
  ModalScope scope(owner_);
  return CenteredMessageBox(owner_, question, title_, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace quillset
