#include "ui/win32/window_base.h"

#include "base/errors.h"
#include "base/win32_text.h"

namespace quillset {

WindowBase::~WindowBase() {
  // The derived part is gone: the window may no longer reach HandleMessage.
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  hwnd_ = nullptr;
}

void WindowBase::RegisterClassOnce(const char* class_name, UINT class_style, HBRUSH background,
                                   HICON icon, HCURSOR cursor) {
  // Unicode windows: texts reach them in UTF-16, never through the system
  // code page.
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring wide_class = ShiftJisToUtf16ForDisplay(class_name);
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(instance, wide_class.c_str(), &existing)) return;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = class_style;
  wc.lpfnWndProc = &WindowBase::Procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = background;
  wc.lpszClassName = wide_class.c_str();
  RegisterClassExW(&wc);
}

void WindowBase::CreateBound(DWORD ex_style, const char* class_name, const std::string& title,
                             DWORD style, int x, int y, int width, int height, HWND parent) {
  HWND hwnd = CreateWindowExW(ex_style, ShiftJisToUtf16ForDisplay(class_name).c_str(),
                              ShiftJisToUtf16ForDisplay(title).c_str(), style, x, y, width,
                              height, parent, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd) throw Exception(std::string("CreateWindowEx failed: ") + class_name);
}

void WindowBase::DestroyBound() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

LRESULT CALLBACK WindowBase::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowBase* self;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    self = static_cast<WindowBase*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  LRESULT result = 0;
  RunShowingFailure([self](const std::string& m) { self->ReportFailure(m); },
                    [&] { result = self->HandleMessage(message, wparam, lparam); });
  return result;
}

}  // namespace quillset
