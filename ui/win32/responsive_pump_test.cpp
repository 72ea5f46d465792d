// What the thread handles while a long task keeps it busy: inside another
// loop, paint and messages sent from another thread, never input, posted
// commands or timer messages; otherwise everything, a quit message put back.
#include "ui/win32/responsive_pump.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace quillset {
namespace {

constexpr UINT kSentProbe = WM_APP + 41;

std::vector<UINT>* g_seen = nullptr;

LRESULT CALLBACK RecordingProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_seen && (message == WM_PAINT || message == kSentProbe || message == WM_COMMAND ||
                 message == WM_TIMER || message == WM_KEYDOWN || message == WM_CLOSE))
    g_seen->push_back(message);
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == kSentProbe) return 7;
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

TEST(ResponsivePumpTest, InsideAnotherLoopOnlyPaintAndSentMessagesOtherwiseEverything) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = RecordingProcedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuillsetPumpTestWindow";
  RegisterClassA(&wc);
  HWND window = CreateWindowA(wc.lpszClassName, "pump", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  UpdateWindow(window);
  std::vector<UINT> seen;
  g_seen = &seen;

  // Queued for the thread: a command, a key, a close and a timer; and a
  // region to paint.
  PostMessageA(window, WM_COMMAND, 103, 0);
  PostMessageA(window, WM_KEYDOWN, VK_DELETE, 0);
  PostMessageA(window, WM_CLOSE, 0, 0);
  SetTimer(window, 1, 1, nullptr);
  Sleep(20);
  InvalidateRect(window, nullptr, TRUE);
  // Another thread sends and waits for the answer.
  std::atomic<LRESULT> answer{0};
  std::thread sender([&] { answer = SendMessageA(window, kSentProbe, 0, 0); });
  const DWORD start = GetTickCount();
  while (answer.load() == 0 && GetTickCount() - start < 5000) {
    HandlePaintAndSentMessages();
    Sleep(5);
  }
  sender.join();
  HandlePaintAndSentMessages();
  g_seen = nullptr;

  EXPECT_EQ(answer.load(), 7) << "the sent message was not delivered";
  EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_PAINT)), seen.end());
  for (UINT message : {WM_COMMAND, WM_KEYDOWN, WM_CLOSE, WM_TIMER})
    EXPECT_EQ(std::find(seen.begin(), seen.end(), message), seen.end()) << message;
  // Everything queued is still there, in order, for after the task.
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_TRUE(PeekMessageA(&msg, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_TRUE(PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  EXPECT_TRUE(PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE));
  KillTimer(window, 1);

  // Outside another loop everything is handled; the quit message stays.
  seen.clear();
  g_seen = &seen;
  PostMessageA(window, WM_COMMAND, 103, 0);
  PostQuitMessage(3);
  HandleWaitingMessages();
  g_seen = nullptr;
  EXPECT_EQ(seen, std::vector<UINT>{WM_COMMAND});
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  DestroyWindow(window);
}

}  // namespace
}  // namespace quillset
