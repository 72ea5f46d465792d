#include "ui/win32/win32_shell_services.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillset {

// The shell's documented numbers, defined once in ui/shell_services.h.
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first NOTIFYICONDATAA layout");
static_assert(sizeof(TrayIconRecord) == NOTIFYICONDATAA_V1_SIZE, "record matches the shell's");
static_assert(kNimAdd == NIM_ADD && kNimDelete == NIM_DELETE, "Shell_NotifyIcon messages");
static_assert(kNifMessage == NIF_MESSAGE && kNifIcon == NIF_ICON && kNifTip == NIF_TIP,
              "notification-icon flags");
static_assert(kWmTrayNotify == WM_USER + 100, "the icon's message");
static_assert(kWmLButtonDown == WM_LBUTTONDOWN && kWmRButtonDown == WM_RBUTTONDOWN,
              "mouse messages");

namespace {

constexpr DWORD kPathBufferSize = 260;

HWND AsWindow(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

// ---- File-open dialog placement

// Centres the dialog horizontally and puts its top at a third of the height
// left free on the monitor of the placement window.
void PlaceOpenFileDialog(HWND dialog, HWND placement) {
  RECT box;
  if (!GetWindowRect(dialog, &box)) return;
  HMONITOR monitor = MonitorFromWindow(placement, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info;
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return;
  const RECT& area = info.rcWork;
  LONG width = box.right - box.left, height = box.bottom - box.top;
  LONG x = area.left + ((area.right - area.left) - width) / 2;
  LONG y = area.top + ((area.bottom - area.top) - height) / 3;
  SetWindowPos(dialog, nullptr, x, std::max(y, area.top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK OpenFileDialogHook(HWND hook_dialog, UINT message, WPARAM, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    // The hook's child dialog carries the placement window until CDN_INITDONE.
    const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lparam);
    SetWindowLongPtrA(hook_dialog, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
  } else if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header->code == CDN_INITDONE) {
      HWND placement = reinterpret_cast<HWND>(GetWindowLongPtrA(hook_dialog, GWLP_USERDATA));
      PlaceOpenFileDialog(GetParent(hook_dialog), placement);
    }
  }
  return 0;
}

// ---- Folder browser: the program's windows are disabled while it is open.

BOOL CALLBACK DisableEnabledWindow(HWND window, LPARAM lparam) {
  if (IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(window);
  }
  return TRUE;
}

class ProgramWindowsDisabled {
 public:
  ProgramWindowsDisabled() {
    EnumThreadWindows(GetCurrentThreadId(), DisableEnabledWindow,
                      reinterpret_cast<LPARAM>(&disabled_));
  }
  ~ProgramWindowsDisabled() {
    for (HWND window : disabled_)
      if (IsWindow(window)) EnableWindow(window, TRUE);
  }

 private:
  std::vector<HWND> disabled_;
};

// The window that was active before a dialog is active again after it: the
// dialogs are owned by the invisible application window, which the system
// would otherwise activate when they close.
class ActiveWindowKept {
 public:
  ActiveWindowKept() : previous_(GetActiveWindow()) {}
  ~ActiveWindowKept() {
    if (previous_ != nullptr && IsWindow(previous_) && IsWindowVisible(previous_))
      SetActiveWindow(previous_);
  }

 private:
  HWND previous_;
};

class CriticalErrorBoxesOff {
 public:
  CriticalErrorBoxesOff() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
  ~CriticalErrorBoxesOff() { SetErrorMode(previous_); }

 private:
  UINT previous_;
};

}  // namespace

bool Win32ShellServices::TakeSingleInstanceGuard(const std::string& name) {
  // Creating and testing in one call leaves no gap for a second copy to slip
  // through between a test and a creation.
  SetLastError(ERROR_SUCCESS);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  DWORD error = GetLastError();
  if (mutex == nullptr) {
    // The name is taken by an object this process may not open: another copy
    // under other rights. Any other failure leaves the program unguarded.
    return error != ERROR_ACCESS_DENIED;
  }
  guard_handles_.push_back(mutex);  // never closed: released when the process ends
  return error != ERROR_ALREADY_EXISTS;
}

void Win32ShellServices::InitializeCom() { CoInitialize(nullptr); }
void Win32ShellServices::UninitializeCom() { CoUninitialize(); }

bool Win32ShellServices::SetWindowTimer(WindowHandle window, std::uint32_t id,
                                     std::uint32_t interval_ms) {
  return SetTimer(AsWindow(window), id, interval_ms, nullptr) != 0;
}

void Win32ShellServices::KillWindowTimer(WindowHandle window, std::uint32_t id) {
  KillTimer(AsWindow(window), id);
}

bool Win32ShellServices::NotifyIcon(std::uint32_t message, const TrayIconRecord& record) {
  // The shell reads cbSize bytes (88): the first layout of NOTIFYICONDATAA.
  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof data);
  std::memcpy(&data, &record, sizeof record);
  return Shell_NotifyIconA(message, &data) != 0;
}

std::uint32_t Win32ShellServices::MainIconHandle() {
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(LoadIconA(GetModuleHandleA(nullptr), "MAINICON")));
}

bool Win32ShellServices::ShowOpenFileDialog(WindowHandle owner, WindowHandle placement,
                                         std::string& path) {
  char buffer[kPathBufferSize] = {};
  OPENFILENAMEA ofn;
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = AsWindow(owner);
  ofn.lpstrFile = buffer;
  ofn.nMaxFile = kPathBufferSize;
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK;
  ofn.lpfnHook = OpenFileDialogHook;
  ofn.lCustData = static_cast<LPARAM>(placement);
  ActiveWindowKept active_window;
  if (!GetOpenFileNameA(&ofn)) return false;
  path = buffer;
  return true;
}

FolderBrowseResult Win32ShellServices::BrowseForFolder(WindowHandle owner, const std::string& prompt,
                                                    std::string& folder) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return FolderBrowseResult::kFailed;
  char display_name[kPathBufferSize] = {};
  BROWSEINFOA info;
  std::memset(&info, 0, sizeof info);
  info.hwndOwner = AsWindow(owner);
  info.pidlRoot = nullptr;
  info.pszDisplayName = display_name;
  info.lpszTitle = prompt.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  FolderBrowseResult result = FolderBrowseResult::kCancelled;
  {
    ActiveWindowKept active_window;
    ProgramWindowsDisabled windows_off;
    CriticalErrorBoxesOff error_boxes_off;
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (item != nullptr) {
      char chosen[MAX_PATH] = {};
      if (SHGetPathFromIDListA(item, chosen)) {
        folder = chosen;
        result = FolderBrowseResult::kChosen;
      } else {
        result = FolderBrowseResult::kFailed;
      }
      allocator->Free(item);
    }
  }
  allocator->Release();
  return result;
}

}  // namespace quillset
