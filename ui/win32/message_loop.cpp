#include "ui/win32/message_loop.h"

#include <windows.h>

namespace quillset {

// Unicode retrieval: a character typed into the grid's cell editor (a Unicode
// window) reaches it without a round trip through a code page.
int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

}  // namespace quillset
