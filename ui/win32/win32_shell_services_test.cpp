// The Win32 shell services against the real system (Wine in this project):
// the single-instance guard, window timers, the notification icon and the two
// dialogs do what the handlers and their fake assume of them.
#include "ui/win32/win32_shell_services.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace quillset {
namespace {

class ShellTest : public ::testing::Test {
 protected:
  Win32ShellServices shell_;
};

// ---- Single-instance guard

TEST_F(ShellTest, GuardIsTakenOnceEvenWithinOneProcess) {
  std::string name = "EX_QuillsetName_test_" + std::to_string(GetCurrentProcessId());
  EXPECT_TRUE(shell_.TakeSingleInstanceGuard(name));
  // A second call opens the existing mutex: ERROR_ALREADY_EXISTS.
  EXPECT_FALSE(shell_.TakeSingleInstanceGuard(name));
  Win32ShellServices other;
  EXPECT_FALSE(other.TakeSingleInstanceGuard(name));
  // The name stays taken: the handle is kept.
  HANDLE open = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
  EXPECT_NE(open, nullptr);
  if (open) CloseHandle(open);
}

// ---- Window services: a plain window of this thread

class WindowTest : public ShellTest {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuillsetOsTestWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "QuillsetOsTestWindow", "os test", WS_OVERLAPPEDWINDOW, 100, 100,
                              300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
  }
  WindowHandle Handle() const { return reinterpret_cast<WindowHandle>(window_); }

  // Runs `act` on another thread once a visible dialog of this process shows,
  // while this thread runs `modal`; the other thread gets the dialog.
  template <typename Modal, typename Act>
  void WithDialog(Modal modal, Act act) {
    std::atomic<bool> done{false};
    std::thread driver([&] {
      for (int i = 0; i < 300 && !done; ++i) {  // 15 s
        HWND dialog = FindProcessDialog();
        if (dialog) {
          Sleep(200);  // let it finish its set-up
          act(dialog);
          return;
        }
        Sleep(50);
      }
    });
    modal();
    done = true;
    driver.join();
  }

  struct DialogSearch {
    DWORD pid;
    HWND found;
  };
  static BOOL CALLBACK MatchDialog(HWND w, LPARAM lp) {
    auto* search = reinterpret_cast<DialogSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (pid == search->pid && IsWindowVisible(w) && std::string(cls) == "#32770") {
      search->found = w;
      return FALSE;
    }
    return TRUE;
  }
  static HWND FindProcessDialog() {
    DialogSearch search = {GetCurrentProcessId(), nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  HWND window_ = nullptr;
};

TEST_F(WindowTest, TimerTicksArriveAsMessages) {
  ASSERT_TRUE(shell_.SetWindowTimer(Handle(), 1, 10));
  MSG msg;
  bool ticked = false;
  DWORD start = GetTickCount();
  while (!ticked && GetTickCount() - start < 5000) {
    if (PeekMessageA(&msg, window_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
      ticked = msg.wParam == 1;
    } else {
      Sleep(5);
    }
  }
  EXPECT_TRUE(ticked);
  shell_.KillWindowTimer(Handle(), 1);
}

// ---- Work beside the UI thread, and the power request of a run

// As Windows sends WM_QUERYENDSESSION during a long flush: the message is
// answered while the work goes on, from the caller's pump.
TEST_F(WindowTest, WorkBesideTheUiThreadLetsSentMessagesThroughAndGivesBackItsFailure) {
  DWORD work_thread = 0;
  bool answered = false;
  int pumps = 0;
  shell_.RunOffUiThread(
      [&] {
        work_thread = GetCurrentThreadId();
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
      },
      [&] {
        ++pumps;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      });
  EXPECT_NE(work_thread, GetCurrentThreadId());
  EXPECT_TRUE(answered);
  EXPECT_GT(pumps, 0);
  EXPECT_THROW(shell_.RunOffUiThread([] { throw std::runtime_error("refused"); }, nullptr),
               std::runtime_error);
}

// A step that does not hear the stop (a share that stopped answering) is
// abandoned a few seconds after it; the work keeps what it uses.
TEST_F(ShellTest, WorkThatDoesNotEndAfterTheStopIsAbandoned) {
  auto never = std::shared_ptr<void>(CreateEventA(nullptr, TRUE, FALSE, nullptr), CloseHandle);
  EXPECT_FALSE(shell_.AbandonedWork());
  EXPECT_FALSE(shell_.RunOffUiThread([never] { WaitForSingleObject(never.get(), INFINITE); },
                                     nullptr, [] { return true; }));
  EXPECT_TRUE(shell_.AbandonedWork());
  SetEvent(never.get());  // the abandoned thread ends by itself
}

TEST_F(ShellTest, KeepingTheSystemAwakeIsTheThreadsPowerRequest) {
  shell_.KeepSystemAwake(true);
  EXPECT_NE(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) & ES_SYSTEM_REQUIRED, 0u);
  shell_.KeepSystemAwake(false);
  EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS) & ES_SYSTEM_REQUIRED, 0u);
}

TEST_F(WindowTest, NotifyIconAddsChangesAndDeletesTheIconAndItsBalloon) {
  std::uint32_t icon = shell_.MainIconHandle();
  EXPECT_NE(icon, 0u) << "the test program carries the MAINICON resource";
  const std::uint32_t warning = shell_.WarningIconHandle();
  EXPECT_NE(warning, 0u) << "the test program carries the WARNICON resource";
  EXPECT_NE(warning, icon);
  TrayIconRecord record;
  record.cbSize = 88;
  record.hWnd = static_cast<std::uint32_t>(Handle());
  record.uID = 1;
  record.uFlags = 7;
  record.uCallbackMessage = 1124;
  record.hIcon = icon;
  std::strcpy(record.szTip, "停止中");
  bool added = shell_.NotifyIcon(0, record);
  RecordProperty("notify_icon_add", added ? "accepted" : "refused");
  EXPECT_TRUE(added);
  record.hIcon = warning;
  EXPECT_TRUE(shell_.NotifyIcon(kNimModify, record));
  EXPECT_TRUE(shell_.NotifyIconBalloon(record, "バックアップに失敗したファイルがあります",
                                       "1 件中 1 件: 表.txt（バックアップ失敗）"));
  EXPECT_TRUE(shell_.NotifyIconBalloon(record, "", ""));
  EXPECT_TRUE(shell_.NotifyIcon(2, record));
}

TEST_F(WindowTest, OpenFileDialogIsPlacedOnTheMonitorAndCancels) {
  RECT box = {};
  bool found = false;
  PickedPath picked;
  picked.result = PickResult::kChosen;
  WithDialog([&] { picked = shell_.ShowOpenFileDialog(Handle(), Handle()); },
             [&](HWND dialog) {
               found = true;
               GetWindowRect(dialog, &box);
               PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
             });
  ASSERT_TRUE(found);
  EXPECT_EQ(picked.result, PickResult::kCancelled);
  EXPECT_EQ(picked.path, "");
  MONITORINFO info;
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &info));
  const RECT& screen = info.rcMonitor;
  LONG width = box.right - box.left, height = box.bottom - box.top;
  EXPECT_NEAR(box.left, screen.left + ((screen.right - screen.left) - width) / 2, 1);
  EXPECT_NEAR(box.top, screen.top + ((screen.bottom - screen.top) - height) / 3, 1);
}

// The file name field of the file-open dialog: edt1, or the edit field inside
// the combo box cmb13.
BOOL CALLBACK MatchFileNameField(HWND child, LPARAM lp) {
  char cls[16] = {};
  GetClassNameA(child, cls, sizeof cls);
  const int id = GetDlgCtrlID(child);
  if (std::string(cls) == "Edit" && (id == 0x480 || id == 0x47C)) {
    *reinterpret_cast<HWND*>(lp) = child;
    return FALSE;
  }
  return TRUE;
}
HWND FileNameField(HWND dialog) {
  HWND found = nullptr;
  EnumChildWindows(dialog, MatchFileNameField, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string CurrentFolder() {
  char folder[MAX_PATH + 1] = {};
  DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
  return std::string(folder, length);
}

TEST_F(WindowTest, OpenFileDialogDisablesTheProgramsWindowsAndKeepsTheCurrentFolder) {
  // A file in a folder of its own, as on a USB stick.
  char temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
  const std::string folder =
      std::string(temp) + "quillset_open_" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string file = folder + "\\chosen.txt";
  HANDLE created = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);

  // The test's window stands for the main window; the dialog's owner is
  // another window, as the application window owns it in the program.
  HWND owner = CreateWindowExA(0, "QuillsetOsTestWindow", "owner", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  ShowWindow(window_, SW_SHOWNA);
  const std::string before = CurrentFolder();
  ASSERT_NE(before, folder);
  bool found = false, disabled_while_open = false, typed = false;
  PickedPath picked;
  WithDialog(
      [&] { picked = shell_.ShowOpenFileDialog(reinterpret_cast<WindowHandle>(owner), Handle()); },
      [&](HWND dialog) {
        found = true;
        disabled_while_open = !IsWindowEnabled(window_);
        // As a user does: into the folder first, then the file by its name.
        HWND name = FileNameField(dialog);
        typed = name != nullptr &&
                SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        if (typed) {
          SendMessageA(dialog, WM_COMMAND, IDOK, 0);
          Sleep(300);
          typed = SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("chosen.txt"));
        }
        PostMessageA(dialog, WM_COMMAND, typed ? IDOK : IDCANCEL, 0);
      });
  const std::string after = CurrentFolder();
  DestroyWindow(owner);
  DeleteFileA(file.c_str());
  RemoveDirectoryA(folder.c_str());

  ASSERT_TRUE(found);
  ASSERT_TRUE(typed) << "no file name field in the dialog";
  EXPECT_TRUE(disabled_while_open) << "the program's windows take input behind the dialog";
  EXPECT_TRUE(IsWindowEnabled(window_));
  ASSERT_EQ(picked.result, PickResult::kChosen);
  EXPECT_EQ(lstrcmpiA(picked.path.c_str(), file.c_str()), 0) << picked.path;
  EXPECT_EQ(after, before) << "the chosen file's folder stays the current folder";
}

TEST_F(WindowTest, FolderBrowserDisablesTheProgramsWindowsWhileOpen) {
  ShowWindow(window_, SW_SHOWNA);
  bool disabled_while_open = false;
  bool found = false;
  PickedPath picked;
  picked.result = PickResult::kChosen;
  shell_.InitializeCom();
  UINT mode_before = SetErrorMode(0);
  SetErrorMode(mode_before);
  WithDialog([&] { picked = shell_.BrowseForFolder(Handle(), "保管場所を選択して下さい"); },
             [&](HWND dialog) {
               found = true;
               disabled_while_open = !IsWindowEnabled(window_);
               PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
             });
  shell_.UninitializeCom();
  ASSERT_TRUE(found);
  EXPECT_EQ(picked.result, PickResult::kCancelled);
  EXPECT_EQ(picked.path, "");
  EXPECT_TRUE(disabled_while_open);
  EXPECT_TRUE(IsWindowEnabled(window_));
  UINT mode_after = SetErrorMode(0);
  SetErrorMode(mode_after);
  EXPECT_EQ(mode_after, mode_before);
}

}  // namespace
}  // namespace quillset
