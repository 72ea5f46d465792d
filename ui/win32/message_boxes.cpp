#include "ui/win32/message_boxes.h"

#include <vector>

#include "base/win32_text.h"
#include "ui/win32/modal_scope.h"

namespace quillset {

namespace {

constexpr char kDeleteQuestion[] = "レコードを削除してもよいですか？";
constexpr char kConfirmCaption[] = "確認";

// A CBT hook centres the next dialog-class window that gets activated. Nested
// boxes each install their own hook; the newest pending request takes the
// first activation it sees.
struct CentreRequest {
  HHOOK hook = nullptr;
  bool done = false;
};
thread_local std::vector<CentreRequest*> g_centre_requests;

bool IsDialogClass(HWND hwnd) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  return lstrcmpW(name, L"#32770") == 0;
}

LRESULT CALLBACK CentreHook(int code, WPARAM wparam, LPARAM lparam) {
  HHOOK next = g_centre_requests.empty() ? nullptr : g_centre_requests.back()->hook;
  if (code == HCBT_ACTIVATE) {
    HWND hwnd = reinterpret_cast<HWND>(wparam);
    for (auto it = g_centre_requests.rbegin(); it != g_centre_requests.rend(); ++it) {
      if ((*it)->done) continue;
      if (IsDialogClass(hwnd)) {
        (*it)->done = true;
        RECT r;
        GetWindowRect(hwnd, &r);
        POINT p = ScreenCentredPosition(SIZE{r.right - r.left, r.bottom - r.top});
        SetWindowPos(hwnd, nullptr, p.x, p.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      break;
    }
  }
  return CallNextHookEx(next, code, wparam, lparam);
}

}  // namespace

POINT ScreenCentredPosition(SIZE size) {
  int sw = GetSystemMetrics(SM_CXSCREEN);
  int sh = GetSystemMetrics(SM_CYSCREEN);
  return POINT{(sw - size.cx) / 2, (sh - size.cy) / 2};
}

int CenteredMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       UINT type) {
  CentreRequest request;
  request.hook = SetWindowsHookExW(WH_CBT, CentreHook, nullptr, GetCurrentThreadId());
  g_centre_requests.push_back(&request);
  int result = MessageBoxW(owner, ShiftJisToUtf16ForDisplay(text).c_str(),
                           ShiftJisToUtf16ForDisplay(caption).c_str(), type);
  g_centre_requests.pop_back();
  if (request.hook) UnhookWindowsHookEx(request.hook);
  return result;
}

MessageBoxes::MessageBoxes(const CodePage& code_page, std::string title, HWND owner)
    : code_page_(code_page), title_(std::move(title)), owner_(owner) {}

void MessageBoxes::ShowFailure(const std::string& message) {
  std::string text = FailureBoxText(message, code_page_);
  ++open_failure_boxes_;
  {
    ModalScope scope(owner_);
    MessageBoxW(owner_, ShiftJisToUtf16ForDisplay(text).c_str(),
                ShiftJisToUtf16ForDisplay(title_).c_str(), MB_ICONERROR | MB_OK);
  }
  --open_failure_boxes_;
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

}  // namespace quillset
