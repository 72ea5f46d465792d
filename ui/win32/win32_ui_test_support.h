// Helpers of the window layer's tests (in-process, real windows under Wine):
// pumping messages, answering the modal boxes that a test opens, and holding
// Ctrl or Shift down in the thread's key state.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace quillset {
namespace testing_win32 {

// Dispatches this thread's messages for `ms` milliseconds.
inline void Pump(int ms = 50) {
  DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  MSG msg;
  do {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // a test's own close: not ours to end
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (static_cast<int>(GetTickCount() - end) < 0);
}

// Dispatches messages until `done` or `ms` milliseconds; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
  DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (!done()) {
    if (static_cast<int>(GetTickCount() - end) >= 0) return false;
    Pump(10);
  }
  return true;
}

inline std::string WindowText(HWND hwnd) {
  char buffer[1024] = {};
  GetWindowTextA(hwnd, buffer, sizeof(buffer));
  return buffer;
}

inline std::string ClassOf(HWND hwnd) {
  char buffer[64] = {};
  GetClassNameA(hwnd, buffer, sizeof(buffer));
  return buffer;
}

// The text of a message box (its static control 0xFFFF).
inline std::string MessageBoxText(HWND box) {
  char buffer[1024] = {};
  GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
  return buffer;
}

// What a test saw of one dialog-class window while it was open.
struct SeenDialog {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;  // message-box text (empty for other dialogs)
  RECT rect = {};
  std::vector<std::string> buttons;
};

// While it lives, every dialog-class window ("#32770") that this thread shows
// is recorded and handed to `answer` once, from a thread timer that the
// dialog's own message loop dispatches. `answer` presses a button.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::function<void(HWND)> answer) : answer_(std::move(answer)) {
    current() = this;
    timer_ = SetTimer(nullptr, 0, 40, &DialogAnswerer::Tick);
  }
  ~DialogAnswerer() {
    KillTimer(nullptr, timer_);
    current() = nullptr;
  }
  const std::vector<SeenDialog>& Seen() const { return seen_; }

  // Answers: press a button by its id.
  static std::function<void(HWND)> Press(int id) {
    return [id](HWND box) { PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
  }

 private:
  static DialogAnswerer*& current() {
    static DialogAnswerer* instance = nullptr;
    return instance;
  }
  static BOOL CALLBACK Find(HWND hwnd, LPARAM found) {
    if (IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770") {
      *reinterpret_cast<HWND*>(found) = hwnd;
    }
    return TRUE;
  }
  static BOOL CALLBACK Button(HWND hwnd, LPARAM list) {
    if (ClassOf(hwnd) == "Button") {
      reinterpret_cast<std::vector<std::string>*>(list)->push_back(WindowText(hwnd));
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogAnswerer* self = current();
    if (!self) return;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &DialogAnswerer::Find,
                      reinterpret_cast<LPARAM>(&box));
    if (!box || self->answered_.count(box)) return;
    self->answered_.insert(box);
    SeenDialog seen;
    seen.hwnd = box;
    seen.caption = WindowText(box);
    seen.text = MessageBoxText(box);
    GetWindowRect(box, &seen.rect);
    EnumChildWindows(box, &DialogAnswerer::Button, reinterpret_cast<LPARAM>(&seen.buttons));
    self->seen_.push_back(seen);
    if (self->answer_) self->answer_(box);
  }

  std::function<void(HWND)> answer_;
  UINT_PTR timer_ = 0;
  std::set<HWND> answered_;
  std::vector<SeenDialog> seen_;
};

// Holds keys down in this thread's key state (GetKeyState) while it lives.
class HeldKeys {
 public:
  explicit HeldKeys(std::vector<int> keys) {
    GetKeyboardState(saved_);
    BYTE state[256];
    GetKeyboardState(state);
    for (int key : keys) state[key] = 0x80;
    SetKeyboardState(state);
  }
  ~HeldKeys() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256];
};

// Whether a rectangle sits in the middle of the primary screen (integer
// division, so within one pixel).
inline bool IsCentredOnScreen(const RECT& r) {
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  int w = r.right - r.left, h = r.bottom - r.top;
  return r.left == (sw - w) / 2 && r.top == (sh - h) / 2;
}

}  // namespace testing_win32
}  // namespace quillset
