#include "ui/win32/modal_scope.h"

namespace quillset {

ModalScope::ModalScope(HWND box_owner)
    : box_owner_(box_owner), previously_active_(GetActiveWindow()) {
  EnumThreadWindows(GetCurrentThreadId(), &ModalScope::DisableOne,
                    reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK ModalScope::DisableOne(HWND hwnd, LPARAM self) {
  auto* scope = reinterpret_cast<ModalScope*>(self);
  if (hwnd != scope->box_owner_ && IsWindowEnabled(hwnd)) {
    EnableWindow(hwnd, FALSE);
    scope->disabled_.push_back(hwnd);
  }
  return TRUE;
}

ModalScope::~ModalScope() {
  for (HWND hwnd : disabled_) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  }
  // The box's owner took the activation when the box went away; give it back
  // to the window that had it, unless the user has gone to another program.
  HWND prev = previously_active_;
  if (prev && IsWindow(prev) && IsWindowVisible(prev) && IsWindowEnabled(prev)) {
    HWND fg = GetForegroundWindow();
    DWORD fg_thread = fg ? GetWindowThreadProcessId(fg, nullptr) : 0;
    if (!fg || fg_thread == GetCurrentThreadId()) SetActiveWindow(prev);
  }
}

}  // namespace quillset
