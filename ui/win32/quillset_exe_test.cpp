// The entry point end to end: Quillset.exe copied into a temporary folder,
// started, found, closed through its menu command "終了", and a second copy
// started while the first runs. Boxes the program shows at start (the
// first-run notice) are answered with OK.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/win32/popup_menu.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace {

// Windows form of the path CMake gives (a host path under Wine's Z: drive).
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

struct Found {
  DWORD pid;
  const char* class_name;
  HWND hwnd;
};

BOOL CALLBACK FindOfProcess(HWND hwnd, LPARAM lparam) {
  auto* found = reinterpret_cast<Found*>(lparam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  if (pid == found->pid && lstrcmpA(name, found->class_name) == 0 && IsWindowVisible(hwnd)) {
    found->hwnd = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND VisibleWindowOf(DWORD pid, const char* class_name) {
  Found found{pid, class_name, nullptr};
  EnumWindows(&FindOfProcess, reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

class QuillsetExeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    folder_ = std::string(temp) + "quillset_exe_test_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    exe_ = folder_ + "\\Quillset.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(QUILLSET_EXE).c_str(), exe_.c_str(), FALSE))
        << WindowsPath(QUILLSET_EXE);
  }
  void TearDown() override {
    for (auto& p : started_) {
      if (WaitForSingleObject(p.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(p.hProcess, 99);
      WaitForSingleObject(p.hProcess, 5000);
      CloseHandle(p.hProcess);
      CloseHandle(p.hThread);
    }
    for (const char* name : {"\\Quillset.exe", "\\Quillset.ini", "\\Quillset.cds"}) {
      DeleteFileA((folder_ + name).c_str());
    }
    RemoveDirectoryA(folder_.c_str());
  }

  PROCESS_INFORMATION Start() {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string command = "\"" + exe_ + "\"";
    EXPECT_TRUE(CreateProcessA(exe_.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               folder_.c_str(), &si, &pi));
    started_.push_back(pi);
    return pi;
  }

  // Waits up to 20 s for the main window, answering start-up boxes with OK.
  HWND WaitForMainWindow(const PROCESS_INFORMATION& pi) {
    for (int i = 0; i < 400; ++i) {
      HWND main = VisibleWindowOf(pi.dwProcessId, kMainWindowClass);
      if (main) return main;
      HWND box = VisibleWindowOf(pi.dwProcessId, "#32770");
      if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
      Sleep(50);
    }
    return nullptr;
  }

  std::string folder_, exe_;
  std::vector<PROCESS_INFORMATION> started_;
};

TEST_F(QuillsetExeTest, StartsCentredAndEndsWithZeroOnTheExitCommand) {
  PROCESS_INFORMATION pi = Start();
  HWND main = WaitForMainWindow(pi);
  ASSERT_NE(main, nullptr);
  RECT r;
  GetWindowRect(main, &r);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(r.left, (sw - (r.right - r.left)) / 2);
  EXPECT_EQ(r.top, (sh - (r.bottom - r.top)) / 2);
  EXPECT_NE(FindWindowExA(main, nullptr, kDataGridClass, nullptr), nullptr);
  HWND application = GetWindow(main, GW_OWNER);
  char title[64] = {};
  GetWindowTextA(application, title, sizeof(title));
  EXPECT_STREQ(title, "ファイルバックアップツール");

  PostMessageA(main, WM_COMMAND, MenuCommandId(MenuItemId::Exit1), 0);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 15000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

TEST_F(QuillsetExeTest, ASecondCopyEndsAtOnceWithZeroAndShowsNothing) {
  PROCESS_INFORMATION first = Start();
  HWND main = WaitForMainWindow(first);
  ASSERT_NE(main, nullptr);

  PROCESS_INFORMATION second = Start();
  ASSERT_EQ(WaitForSingleObject(second.hProcess, 15000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(VisibleWindowOf(second.dwProcessId, kMainWindowClass), nullptr);
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the first copy goes on";

  PostMessageA(main, WM_COMMAND, MenuCommandId(MenuItemId::Exit1), 0);
  ASSERT_EQ(WaitForSingleObject(first.hProcess, 15000), WAIT_OBJECT_0);

  // With the first copy gone, the next start runs normally.
  PROCESS_INFORMATION third = Start();
  HWND again = WaitForMainWindow(third);
  ASSERT_NE(again, nullptr);
  PostMessageA(again, WM_COMMAND, MenuCommandId(MenuItemId::Exit1), 0);
  EXPECT_EQ(WaitForSingleObject(third.hProcess, 15000), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace quillset
