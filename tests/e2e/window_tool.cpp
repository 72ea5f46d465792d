// quillset_window_tool: helps scripts/run watch a Quillset started under Wine.
//   quillset_window_tool wait   waits (20 s) until Quillset's main window exists
//                               and, for up to 3 s more, until one of its windows
//                               shows; prints the caption of what shows. Exit 0
//                               when the main window exists, 1 otherwise.
//   quillset_window_tool dismiss presses OK on Quillset's boxes (the first-run
//                               notice) and waits up to 3 s for the main window
//                               to show; prints its caption. Exit 0 when it shows.
//   quillset_window_tool close  ends Quillset as a user does: OK on its boxes,
//                               then the main window closed; waits up to 15 s.
//                               Exit 0 when no main window is left.
//   quillset_window_tool session-end  sends Quillset's main window the end
//                               of the session as Windows does
//                               (WM_QUERYENDSESSION, then WM_ENDSESSION TRUE,
//                               each by SendMessageTimeout, 60 s) and prints
//                               how long each took to answer: "query <s>",
//                               "end <s>". Exit 0 when both were answered.
//   ... wait --stamp, close --stamp  as above, and print on a line of its own
//                               "stamp <seconds>": the Unix time at which the
//                               window was seen (wait, polling every 2 ms) or
//                               the first close was sent (close). scripts/bench
//                               times the program with these, free of the
//                               tool's own start, end and polling.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/e2e/e2e_driver.h"
#include "ui/win32/window_classes.h"

namespace {

using namespace quillset;
using namespace quillset::e2e;

DWORD poll_ms = kPollInterval;

// Now as Unix seconds, to the microsecond where the system allows it.
void PrintStamp() {
  using PreciseTime = VOID(WINAPI*)(LPFILETIME);
  static const auto precise = reinterpret_cast<PreciseTime>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME now;
  if (precise) precise(&now);
  else GetSystemTimeAsFileTime(&now);
  const ULONGLONG ticks = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const ULONGLONG unix_ticks = ticks - 116444736000000000ULL;  // 100 ns since 1970
  std::printf("stamp %llu.%07llu\n", unix_ticks / 10000000ULL, unix_ticks % 10000000ULL);
  std::fflush(stdout);
}

bool stamp = false;

HWND MainWindow() { return FindWindowExA(nullptr, nullptr, kMainWindowClass, nullptr); }

// A visible box or dialog of the process that owns `form`.
HWND VisibleBoxOf(HWND form) {
  DWORD form_pid = 0;
  GetWindowThreadProcessId(form, &form_pid);
  HWND box = nullptr;
  while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    if (pid == form_pid && IsWindowVisible(box)) return box;
  }
  return nullptr;
}

int Wait() {
  HWND form = nullptr;
  if (!WaitUntil([&] { return (form = MainWindow()) != nullptr; }, kWindowTimeout, poll_ms)) {
    std::fprintf(stderr, "quillset_window_tool: no Quillset main window appeared\n");
    return 1;
  }
  HWND shown = nullptr;
  WaitUntil(
      [&] {
        if (IsWindowVisible(form)) shown = form;
        else shown = VisibleBoxOf(form);
        return shown != nullptr;
      },
      3000, poll_ms);
  if (stamp) PrintStamp();
  if (shown == nullptr) {
    std::printf("main window hidden (in the notification area)\n");
  } else {
    std::string text = WindowCaption(shown);
    if (shown != form) text += ": " + MessageBoxText(shown);
    std::printf("%s\n", text.c_str());
  }
  Sleep(300);  // let it finish painting before the screenshot
  return 0;
}

int Dismiss() {
  HWND form = MainWindow();
  if (form == nullptr) return 1;
  const bool shown = WaitUntil(
      [&] {
        if (HWND box = VisibleBoxOf(form)) PressButton(box, IDOK);
        return IsWindowVisible(form) && VisibleBoxOf(form) == nullptr;
      },
      3000);
  if (!shown) return 1;
  std::printf("%s\n", WindowCaption(form).c_str());
  Sleep(300);  // let it finish painting before the screenshot
  return 0;
}

int Close() {
  DWORD last_close = 0;
  bool ended = WaitUntil(
      [&] {
        HWND form = MainWindow();
        if (!form) return true;
        if (HWND box = VisibleBoxOf(form)) {
          PressButton(box, IDOK);
        } else if (last_close == 0 || GetTickCount() - last_close > 2000) {
          if (stamp && last_close == 0) PrintStamp();
          PostMessageA(form, WM_CLOSE, 0, 0);
          last_close = GetTickCount();
        }
        return false;
      },
      kExitTimeout);
  return ended ? 0 : 1;
}

int SessionEnd() {
  HWND form = MainWindow();
  if (form == nullptr) return 1;
  LARGE_INTEGER frequency, start, asked, ended;
  QueryPerformanceFrequency(&frequency);
  DWORD_PTR answer = 0;
  QueryPerformanceCounter(&start);
  const bool query_answered =
      SendMessageTimeoutA(form, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 60000, &answer) != 0;
  QueryPerformanceCounter(&asked);
  const bool end_answered =
      SendMessageTimeoutA(form, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 60000, &answer) != 0;
  QueryPerformanceCounter(&ended);
  const double unit = static_cast<double>(frequency.QuadPart);
  std::printf("query %.3f\nend %.3f\n", (asked.QuadPart - start.QuadPart) / unit,
              (ended.QuadPart - asked.QuadPart) / unit);
  return query_answered && end_answered ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[2], "--stamp") == 0) {
    stamp = true;
    poll_ms = 2;
    --argc;
  }
  if (argc == 2 && std::strcmp(argv[1], "wait") == 0) return Wait();
  if (argc == 2 && std::strcmp(argv[1], "dismiss") == 0) return Dismiss();
  if (argc == 2 && std::strcmp(argv[1], "close") == 0) return Close();
  if (argc == 2 && std::strcmp(argv[1], "session-end") == 0) return SessionEnd();
  std::fprintf(stderr, "usage: quillset_window_tool wait|dismiss|close|session-end [--stamp]\n");
  return 2;
}
