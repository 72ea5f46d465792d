#include "app/win32_os_services.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The interface's member names, not the Win32 A/W macros.
#undef CopyFile
#undef GetProfileString
#undef WriteProfileString

namespace quillset {

static_assert(sizeof(void*) == 4, "the Windows build is the 32-bit program");
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first NOTIFYICONDATAA layout");
static_assert(sizeof(TrayIconRecord) == NOTIFYICONDATAA_V1_SIZE, "record matches the shell's");

namespace {

constexpr DWORD kPathBufferSize = 260;
constexpr DWORD kProfileBufferSize = 2048;

HWND AsWindow(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

class Win32ExclusiveFile : public ExclusiveFile {
 public:
  explicit Win32ExclusiveFile(HANDLE handle) : handle_(handle) {}
  ~Win32ExclusiveFile() override { CloseHandle(handle_); }

  bool Size(std::uint64_t& size) override {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(handle_, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
  }

  bool Read(void* buffer, std::size_t length, std::size_t& done) override {
    DWORD got = 0;
    BOOL ok = ReadFile(handle_, buffer, static_cast<DWORD>(length), &got, nullptr);
    done = got;
    return ok != 0;
  }

  bool Write(const void* buffer, std::size_t length, std::size_t& done) override {
    DWORD put = 0;
    BOOL ok = WriteFile(handle_, buffer, static_cast<DWORD>(length), &put, nullptr);
    done = put;
    return ok != 0;
  }

  bool Flush() override { return FlushFileBuffers(handle_) != 0; }

 private:
  HANDLE handle_;
};

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

// ---- Calendar eras: EnumCalendarInfoA has no context argument.

std::vector<std::string>* g_calendar_texts = nullptr;

BOOL CALLBACK CollectCalendarText(LPSTR text) {
  g_calendar_texts->push_back(text);
  return TRUE;
}

std::vector<std::string> CalendarTexts(int calendar, CALTYPE type) {
  std::vector<std::string> texts;
  g_calendar_texts = &texts;
  EnumCalendarInfoA(CollectCalendarText, GetThreadLocale(), static_cast<CALID>(calendar), type);
  g_calendar_texts = nullptr;
  return texts;
}

}  // namespace

bool Win32OsServices::IsLeadByte(std::uint8_t byte) const { return IsDBCSLeadByte(byte) != 0; }

bool Win32OsServices::TakeSingleInstanceGuard(const std::string& name) {
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

void Win32OsServices::InitializeCom() { CoInitialize(nullptr); }
void Win32OsServices::UninitializeCom() { CoUninitialize(); }

std::string Win32OsServices::ExecutablePath() {
  char buffer[kPathBufferSize] = {};
  DWORD length = GetModuleFileNameA(nullptr, buffer, kPathBufferSize);
  return std::string(buffer, std::min<DWORD>(length, kPathBufferSize));
}

bool Win32OsServices::FileExists(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  FILETIME local;
  WORD dos_date = 0, dos_time = 0;
  return FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
         FileTimeToDosDateTime(&local, &dos_date, &dos_time);
}

bool Win32OsServices::DirectoryExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32OsServices::FileStamp(const std::string& path, std::uint64_t& write_time,
                                std::uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  write_time = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
               data.ftLastWriteTime.dwLowDateTime;
  size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool Win32OsServices::CopyFile(const std::string& source, const std::string& target,
                               bool fail_if_exists) {
  return CopyFileA(source.c_str(), target.c_str(), fail_if_exists ? TRUE : FALSE) != 0;
}

bool Win32OsServices::MoveFileReplacing(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32OsServices::RemoveFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

std::unique_ptr<ExclusiveFile> Win32OsServices::OpenExclusive(const std::string& path,
                                                              FileOpenMode mode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = CREATE_ALWAYS;
  switch (mode) {
    case FileOpenMode::kReadExisting:
      access = GENERIC_READ;
      disposition = OPEN_EXISTING;
      break;
    case FileOpenMode::kCreateAlways: disposition = CREATE_ALWAYS; break;
    case FileOpenMode::kCreateNew: disposition = CREATE_NEW; break;
  }
  HANDLE file = CreateFileA(path.c_str(), access, 0, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32ExclusiveFile>(file);
}

std::string Win32OsServices::GetProfileString(const std::string& section, const std::string& key,
                                              const std::string& default_value,
                                              const std::string& path) {
  char buffer[kProfileBufferSize] = {};
  DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(),
                                          buffer, kProfileBufferSize, path.c_str());
  return std::string(buffer, std::min<DWORD>(length, kProfileBufferSize - 1));
}

bool Win32OsServices::WriteProfileString(const std::string& section, const std::string& key,
                                         const std::string& value, const std::string& path) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
}

void Win32OsServices::FlushProfile(const std::string& path) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

SystemTime Win32OsServices::LocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  SystemTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day_of_week = now.wDayOfWeek;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.milliseconds = now.wMilliseconds;
  return time;
}

bool Win32OsServices::LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) {
  // A zero-size buffer would ask for the needed size instead of the value.
  if (buffer_size == 0) return false;
  std::vector<char> buffer(buffer_size);
  int length = GetLocaleInfoA(GetThreadLocale(), item, buffer.data(), static_cast<int>(buffer_size));
  if (length <= 0) return false;
  value.assign(buffer.data(), strnlen(buffer.data(), static_cast<std::size_t>(length)));
  return true;
}

std::uint32_t Win32OsServices::ThreadLocale() { return GetThreadLocale(); }

void Win32OsServices::SetThreadLocaleToUserDefault() { SetThreadLocale(LOCALE_USER_DEFAULT); }

bool Win32OsServices::IsValidLocale(std::uint32_t lcid) {
  return ::IsValidLocale(lcid, LCID_INSTALLED) != 0;
}

std::vector<OsServices::Era> Win32OsServices::CalendarEras(int calendar) {
  std::vector<std::string> names = CalendarTexts(calendar, CAL_SERASTRING);
  std::vector<std::string> offsets = CalendarTexts(calendar, CAL_IYEAROFFSETRANGE);
  std::vector<Era> eras;
  if (names.empty() || names.size() != offsets.size()) return eras;
  for (std::size_t i = 0; i < names.size(); ++i) {
    Era era;
    era.name = names[i];
    era.start_year = std::atoi(offsets[i].c_str());
    if (era.start_year <= 0) return {};
    eras.push_back(era);
  }
  // The system lists the newest era first.
  std::stable_sort(eras.begin(), eras.end(),
                   [](const Era& a, const Era& b) { return a.start_year < b.start_year; });
  return eras;
}

bool Win32OsServices::SetWindowTimer(WindowHandle window, std::uint32_t id,
                                     std::uint32_t interval_ms) {
  return SetTimer(AsWindow(window), id, interval_ms, nullptr) != 0;
}

void Win32OsServices::KillWindowTimer(WindowHandle window, std::uint32_t id) {
  KillTimer(AsWindow(window), id);
}

bool Win32OsServices::NotifyIcon(std::uint32_t message, const TrayIconRecord& record) {
  // The shell reads cbSize bytes (88): the first layout of NOTIFYICONDATAA.
  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof data);
  std::memcpy(&data, &record, sizeof record);
  return Shell_NotifyIconA(message, &data) != 0;
}

std::uint32_t Win32OsServices::MainIconHandle() {
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(LoadIconA(GetModuleHandleA(nullptr), "MAINICON")));
}

bool Win32OsServices::ShowOpenFileDialog(WindowHandle owner, WindowHandle placement,
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

FolderBrowseResult Win32OsServices::BrowseForFolder(WindowHandle owner, const std::string& prompt,
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
