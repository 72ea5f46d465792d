#include "ui/win32/application_window.h"

#include "ui/win32/window_classes.h"

namespace quillset {

namespace {
HICON LoadMainIcon() {
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  return icon ? icon : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}
}  // namespace

ApplicationWindow::ApplicationWindow(const std::string& title)
    : title_(title), icon_(LoadMainIcon()) {
  RegisterClassOnce(kApplicationWindowClass, 0, nullptr, icon_, nullptr);
  // A captioned popup of no size in the middle of the screen: it has a taskbar
  // entry while visible, but nothing of it can be seen.
  CreateBound(0, kApplicationWindowClass, title_,
              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
              GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
              nullptr);
  SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
}

ApplicationWindow::~ApplicationWindow() { DestroyBound(); }

void ApplicationWindow::ShowTaskbarEntry() {
  if (!IsWindowVisible(Handle())) ShowWindow(Handle(), SW_SHOWNA);
}

void ApplicationWindow::HideTaskbarEntry() {
  minimized_ = false;
  ShowWindow(Handle(), SW_HIDE);
}

void ApplicationWindow::Minimize(bool activate) {
  if (minimized_) return;
  minimized_ = true;
  if (client_.minimizing) client_.minimizing();
  ShowWindow(Handle(), activate ? SW_MINIMIZE : SW_SHOWMINNOACTIVE);
}

LRESULT ApplicationWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case SC_MINIMIZE:
          Minimize(true);
          return 0;
        case SC_CLOSE:
          if (client_.close_requested) client_.close_requested();
          return 0;
      }
      break;
    case WM_CLOSE:
      if (client_.close_requested) client_.close_requested();
      return 0;
    case WM_SIZE:
      // However the entry was restored (taskbar click, system menu), the main
      // window comes back with it.
      if (wparam != SIZE_MINIMIZED && minimized_ && !IsIconic(Handle())) {
        minimized_ = false;
        if (client_.restored) client_.restored();
      }
      break;
    case WM_SETFOCUS: {
      HWND target = client_.focus_target ? client_.focus_target() : nullptr;
      if (target && IsWindowVisible(target) && IsWindowEnabled(target)) {
        SetActiveWindow(target);
      }
      return 0;
    }
  }
  return DefaultHandling(message, wparam, lparam);
}

void ApplicationWindow::ReportFailure(const std::string& message) {
  if (client_.show_failure) client_.show_failure(message);
}

}  // namespace quillset
