#include "ui/win32/shell_message_filter.h"

#include "ui/win32/window_classes.h"

namespace quillset {

MessageFilterFunction LookUpMessageFilterFunction() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<MessageFilterFunction>(
      reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
}

int AllowShellMessages(HWND window, UINT taskbar_created, MessageFilterFunction filter) {
  if (filter == nullptr || window == nullptr) return 0;
  int allowed = 0;
  for (UINT message : {taskbar_created, static_cast<UINT>(kTrayNotifyMessage)}) {
    if (message != 0 && filter(window, message, kMessageFilterAllow, nullptr)) ++allowed;
  }
  return allowed;
}

}  // namespace quillset
