#include "ui/win32/win32_shell_services.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "base/win32_text.h"
#include "ui/win32/modal_scope.h"

namespace quillset {

// The shell's documented numbers, defined once in ui/shell_services.h.
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first NOTIFYICONDATAA layout");
static_assert(sizeof(TrayIconRecord) == NOTIFYICONDATAA_V1_SIZE, "record matches the shell's");
static_assert(NOTIFYICONDATAW_V1_SIZE == 152, "first NOTIFYICONDATAW layout");
static_assert(kNimAdd == NIM_ADD && kNimModify == NIM_MODIFY && kNimDelete == NIM_DELETE,
              "Shell_NotifyIcon messages");
static_assert(kNinBalloonHide == NIN_BALLOONHIDE && kNinBalloonTimeout == NIN_BALLOONTIMEOUT &&
                  kNinBalloonUserClick == NIN_BALLOONUSERCLICK,
              "balloon notifications");
static_assert(kNifMessage == NIF_MESSAGE && kNifIcon == NIF_ICON && kNifTip == NIF_TIP,
              "notification-icon flags");
static_assert(kWmTrayNotify == WM_USER + 100, "the icon's message");
static_assert(kWmLButtonDown == WM_LBUTTONDOWN && kWmRButtonDown == WM_RBUTTONDOWN,
              "mouse messages");

namespace {

constexpr DWORD kPathBufferSize = 260;

HWND AsWindow(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

// A path a dialog gave back, in Shift-JIS or refused by the character that
// Shift-JIS cannot write.
PickedPath Picked(const std::wstring& wide) {
  PickedPath picked;
  if (Utf16ToShiftJis(wide, picked.path, &picked.unwritable)) {
    picked.result = PickResult::kChosen;
  } else {
    picked.result = PickResult::kNotShiftJis;
    picked.path = Utf16ToShiftJisShowingCodePoints(wide);
  }
  return picked;
}

// ---- File-open dialog placement

// Centres the dialog horizontally on the monitor of the placement window and
// puts its top at a third of the height the dialog leaves free there; kept
// inside the work area, so that no taskbar covers it.
void PlaceOpenFileDialog(HWND dialog, HWND placement) {
  RECT box;
  if (!GetWindowRect(dialog, &box)) return;
  HMONITOR monitor = MonitorFromWindow(placement, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info;
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return;
  const RECT& screen = info.rcMonitor;
  const RECT& work = info.rcWork;
  const LONG width = box.right - box.left, height = box.bottom - box.top;
  LONG x = screen.left + ((screen.right - screen.left) - width) / 2;
  LONG y = screen.top + ((screen.bottom - screen.top) - height) / 3;
  x = std::max(work.left, std::min(x, work.right - width));
  y = std::max(work.top, std::min(y, work.bottom - height));
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK OpenFileDialogHook(HWND hook_dialog, UINT message, WPARAM, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    // The hook's child dialog carries the placement window until CDN_INITDONE.
    const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lparam);
    SetWindowLongPtrW(hook_dialog, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
  } else if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header->code == CDN_INITDONE) {
      HWND placement = reinterpret_cast<HWND>(GetWindowLongPtrW(hook_dialog, GWLP_USERDATA));
      PlaceOpenFileDialog(GetParent(hook_dialog), placement);
    }
  }
  return 0;
}

// The file-open dialog leaves the process's current folder where the user
// went (OFN_NOCHANGEDIR is not honoured by GetOpenFileName on every system):
// it is put back, so that no folder, a USB stick's above all, stays held.
class CurrentFolderKept {
 public:
  CurrentFolderKept() {
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, folder);
    if (length > 0 && length < MAX_PATH + 1) folder_.assign(folder, length);
  }
  ~CurrentFolderKept() {
    if (!folder_.empty()) SetCurrentDirectoryW(folder_.c_str());
  }

 private:
  std::wstring folder_;
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
  // The name is made first: freeing a temporary between the call and
  // GetLastError could change the error it reads.
  const std::wstring wide_name = ShiftJisToUtf16ForDisplay(name);
  SetLastError(ERROR_SUCCESS);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, wide_name.c_str());
  const DWORD error = GetLastError();
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
  // The record keeps the first layout of NOTIFYICONDATAA (88 bytes); the
  // shell is given the first layout of NOTIFYICONDATAW, the tip in UTF-16.
  NOTIFYICONDATAW data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(record.hWnd));
  data.uID = record.uID;
  data.uFlags = record.uFlags;
  data.uCallbackMessage = record.uCallbackMessage;
  data.hIcon = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(record.hIcon));
  const std::wstring tip =
      ShiftJisToUtf16ForDisplay(std::string(record.szTip, strnlen(record.szTip, sizeof record.szTip)));
  // 63 bytes are at most 63 characters: the tip always fits.
  tip.copy(data.szTip, std::min<std::size_t>(tip.size(), 63));
  return Shell_NotifyIconW(message, &data) != 0;
}

namespace {

// An icon resource of the executable, shared (LoadIcon): the same handle for
// every call, never destroyed.
std::uint32_t ExecutableIcon(const wchar_t* name) {
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(LoadIconW(GetModuleHandleW(nullptr), name)));
}

// Up to `capacity` - 1 characters of Shift-JIS `text`, zero-terminated.
template <std::size_t capacity>
void CopyShown(const std::string& text, wchar_t (&field)[capacity]) {
  const std::wstring wide = ShiftJisToUtf16ForDisplay(text);
  const std::size_t length = std::min<std::size_t>(wide.size(), capacity - 1);
  wide.copy(field, length);
  field[length] = L'\0';
}

}  // namespace

std::uint32_t Win32ShellServices::MainIconHandle() { return ExecutableIcon(L"MAINICON"); }

std::uint32_t Win32ShellServices::WarningIconHandle() { return ExecutableIcon(L"WARNICON"); }

bool Win32ShellServices::NotifyIconBalloon(const TrayIconRecord& record, const std::string& title,
                                           const std::string& text) {
  // The balloon fields came with the second layout (Windows 2000 and later);
  // only the fields NIF_INFO names are read, the icon and tip stay.
  NOTIFYICONDATAW data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = NOTIFYICONDATAW_V2_SIZE;
  data.hWnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(record.hWnd));
  data.uID = record.uID;
  data.uFlags = NIF_INFO;
  CopyShown(title, data.szInfoTitle);
  CopyShown(text, data.szInfo);
  data.dwInfoFlags = NIIF_WARNING;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

PickedPath Win32ShellServices::ShowOpenFileDialog(WindowHandle owner, WindowHandle placement) {
  wchar_t buffer[kPathBufferSize] = {};
  OPENFILENAMEW ofn;
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = AsWindow(owner);
  ofn.lpstrFile = buffer;
  ofn.nMaxFile = kPathBufferSize;
  ofn.Flags =
      OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR;
  ofn.lpfnHook = OpenFileDialogHook;
  ofn.lCustData = static_cast<LPARAM>(placement);
  CurrentFolderKept current_folder;
  // The program's windows take no input while the dialog is open: no menu
  // command may run behind it.
  ModalScope windows_off(AsWindow(owner));
  if (!GetOpenFileNameW(&ofn)) return PickedPath();
  return Picked(buffer);
}

PickedPath Win32ShellServices::BrowseForFolder(WindowHandle owner, const std::string& prompt) {
  PickedPath picked;
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) {
    picked.result = PickResult::kFailed;
    return picked;
  }
  wchar_t display_name[kPathBufferSize] = {};
  const std::wstring title = ShiftJisToUtf16ForDisplay(prompt);
  BROWSEINFOW info;
  std::memset(&info, 0, sizeof info);
  info.hwndOwner = AsWindow(owner);
  info.pidlRoot = nullptr;
  info.pszDisplayName = display_name;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  {
    ModalScope windows_off(AsWindow(owner));
    CriticalErrorBoxesOff error_boxes_off;
    LPITEMIDLIST item = SHBrowseForFolderW(&info);
    if (item != nullptr) {
      wchar_t chosen[MAX_PATH] = {};
      if (SHGetPathFromIDListW(item, chosen)) {
        picked = Picked(chosen);
      } else {
        picked.result = PickResult::kFailed;
      }
      allocator->Free(item);
    }
  }
  allocator->Release();
  return picked;
}

void Win32ShellServices::KeepSystemAwake(bool awake) {
  SetThreadExecutionState(awake ? (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) : ES_CONTINUOUS);
}

namespace {

// The work and its outcome, shared by the waiting thread and the worker: a
// worker that is abandoned keeps its share.
struct OffThreadWork {
  std::function<void()> work;
  std::exception_ptr failure;
};

DWORD WINAPI RunOffThreadWork(LPVOID data) {
  std::unique_ptr<std::shared_ptr<OffThreadWork>> share(
      static_cast<std::shared_ptr<OffThreadWork>*>(data));
  OffThreadWork& job = **share;
  try {
    job.work();
  } catch (...) {
    job.failure = std::current_exception();
  }
  return 0;
}

// How often the waiting thread pumps when no message comes: as the copy's
// own progress reports.
constexpr DWORD kPumpIntervalMs = 50;

}  // namespace

bool Win32ShellServices::RunOffUiThread(const std::function<void()>& work,
                                        const std::function<void()>& pump,
                                        const std::function<bool()>& stop) {
  auto job = std::make_shared<OffThreadWork>();
  job->work = work;
  auto* share = new std::shared_ptr<OffThreadWork>(job);
  HANDLE thread = CreateThread(nullptr, 0, RunOffThreadWork, share, 0, nullptr);
  if (!thread) {
    delete share;
    work();  // no thread to be had: done here, as before, rather than not at all
    return true;
  }
  bool stopping = false;
  DWORD stop_since = 0;
  for (;;) {
    const DWORD woken =
        MsgWaitForMultipleObjects(1, &thread, FALSE, kPumpIntervalMs, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) break;
    if (woken == WAIT_FAILED) {
      WaitForSingleObject(thread, INFINITE);
      break;
    }
    try {
      if (pump) pump();
    } catch (...) {
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
      throw;
    }
    if (!stop || !stop()) continue;
    const DWORD now = GetTickCount();
    if (!stopping) {
      stopping = true;
      stop_since = now;
    } else if (now - stop_since >= kAbandonAfterStopMs) {
      // A step that does not hear the stop (a share that stopped answering):
      // its thread is left to end by itself.
      abandoned_work_ = true;
      CloseHandle(thread);
      return false;
    }
  }
  CloseHandle(thread);
  if (job->failure) std::rethrow_exception(job->failure);
  return true;
}

}  // namespace quillset
