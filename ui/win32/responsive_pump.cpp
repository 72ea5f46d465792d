#include "ui/win32/responsive_pump.h"

#include <windows.h>

namespace quillset {
namespace {

// A window whose paint leaves its update region would be painted again at
// once; a bound keeps one call short.
constexpr int kMostPaintsPerCall = 32;
// Likewise for a flood of input: the task looks at its own work between.
constexpr int kMostMessagesPerCall = 256;

}  // namespace

void HandlePaintAndSentMessages() {
  MSG msg;
  // Looking at the queue delivers the messages sent to the thread; asking
  // only for sent messages, none of the queue's own messages is taken.
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  for (int i = 0; i < kMostPaintsPerCall; ++i) {
    if (!PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT)) break;
    DispatchMessageW(&msg);
  }
}

void HandleWaitingMessages() {
  MSG msg;
  for (int i = 0; i < kMostMessagesPerCall; ++i) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace quillset
