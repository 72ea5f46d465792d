#include "ui/win32/window_base.h"

#include "base/errors.h"

namespace quillset {

WindowBase::~WindowBase() {
  // The derived part is gone: the window may no longer reach HandleMessage.
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  hwnd_ = nullptr;
}

void WindowBase::RegisterClassOnce(const char* class_name, UINT class_style, HBRUSH background,
                                   HICON icon, HCURSOR cursor) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExA(instance, class_name, &existing)) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = class_style;
  wc.lpfnWndProc = &WindowBase::Procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.hCursor = cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = class_name;
  RegisterClassExA(&wc);
}

void WindowBase::CreateBound(DWORD ex_style, const char* class_name, const std::string& title,
                             DWORD style, int x, int y, int width, int height, HWND parent) {
  HWND hwnd = CreateWindowExA(ex_style, class_name, title.c_str(), style, x, y, width, height,
                              parent, nullptr, GetModuleHandleA(nullptr), this);
  if (!hwnd) throw Exception(std::string("CreateWindowEx failed: ") + class_name);
}

void WindowBase::DestroyBound() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

LRESULT CALLBACK WindowBase::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowBase* self;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    self = static_cast<WindowBase*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<WindowBase*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcA(hwnd, message, wparam, lparam);
  }
  LRESULT result = 0;
  RunShowingFailure([self](const std::string& m) { self->ReportFailure(m); },
                    [&] { result = self->HandleMessage(message, wparam, lparam); });
  return result;
}

}  // namespace quillset
