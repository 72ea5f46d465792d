// Every operating-system service the program needs, in one interface. Portable
// code reaches Windows only through it. Implementations:
//   Win32OsServices (app/win32_os_services.cpp): the real calls, nothing else.
//   HostOsServices  (app/host_os_services.cpp): POSIX files and folders, an INI
//                   codec with the profile-file semantics, a settable clock and
//                   locale; for the native tests.
//   Fakes in tests derive from HostOsServices and override one call to fail it.
//
// All texts are code-page bytes (Shift-JIS). Window handles are opaque numbers
// (an HWND in the Windows build).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/code_page.h"

namespace quillset {

using WindowHandle = std::uintptr_t;

// The local date and time as the clock gives it (a SYSTEMTIME).
struct SystemTime {
  std::uint16_t year = 0, month = 0, day_of_week = 0, day = 0;
  std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// The shell's notification-icon record in its first layout: 88 bytes in the
// 32-bit program. Handles are kept as 32-bit values, as that program holds them.
struct TrayIconRecord {
  std::uint32_t cbSize = 0;
  std::uint32_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::uint32_t hIcon = 0;
  char szTip[64] = {};
};
static_assert(sizeof(TrayIconRecord) == 88, "first NOTIFYICONDATAA layout");

// A file opened for whole-file access, with no sharing: nobody else can open
// it while this object lives. Closing happens on destruction.
class ExclusiveFile {
 public:
  virtual ~ExclusiveFile() = default;
  // Size in bytes; false when the OS cannot tell.
  virtual bool Size(std::uint64_t& size) = 0;
  // Reads up to `length` bytes at the current position; `done` gets the count.
  virtual bool Read(void* buffer, std::size_t length, std::size_t& done) = 0;
  // Writes `length` bytes at the current position; `done` gets the count taken.
  virtual bool Write(const void* buffer, std::size_t length, std::size_t& done) = 0;
  // Pushes written bytes to the disk.
  virtual bool Flush() = 0;
};

enum class FileOpenMode {
  kReadExisting,   // GENERIC_READ, OPEN_EXISTING
  kCreateAlways,   // GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS (creates or truncates)
  kCreateNew,      // GENERIC_READ | GENERIC_WRITE, CREATE_NEW (fails if the file exists)
};

enum class FolderBrowseResult { kChosen, kCancelled, kFailed };

class OsServices : public CodePage {
 public:
  ~OsServices() override = default;

  // ---- Code page: IsLeadByte (from CodePage) answers for the system code page.

  // ---- Single-instance guard
  // Creates the named mutex, or opens the one that exists, in one atomic step
  // and keeps the handle for the life of the process. Returns true when this
  // process is the only holder (the mutex did not exist before the call).
  virtual bool TakeSingleInstanceGuard(const std::string& name) = 0;

  // ---- COM for the user-interface thread (the folder browser needs it).
  virtual void InitializeCom() = 0;
  virtual void UninitializeCom() = 0;

  // ---- Executable path: the full path of the running program (260 bytes at most).
  virtual std::string ExecutablePath() = 0;

  // ---- File and folder tests
  // A file exists: found, not a directory, and its last-write time converts to
  // a DOS date and time.
  virtual bool FileExists(const std::string& path) = 0;
  // The attributes of `path` can be read and carry the directory bit (16).
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Last-write time (100 ns units, or any monotonic stamp on the host) and size
  // of a file; false when it cannot be read. Used to tell whether the data file
  // changed on disk since the program last loaded or saved it.
  virtual bool FileStamp(const std::string& path, std::uint64_t& write_time,
                         std::uint64_t& size) = 0;

  // ---- File copy and replacement
  // CopyFileA(source, target, fail_if_exists).
  virtual bool CopyFile(const std::string& source, const std::string& target,
                        bool fail_if_exists) = 0;
  // MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH):
  // replaces `to` in one step. Fails when `to` is held open by someone else.
  virtual bool MoveFileReplacing(const std::string& from, const std::string& to) = 0;
  // DeleteFileA.
  virtual bool RemoveFile(const std::string& path) = 0;

  // ---- Whole-file access with no sharing; null when the OS refuses.
  virtual std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                                       FileOpenMode mode) = 0;

  // ---- Profile (.ini) files
  // GetPrivateProfileStringA with a 2,048-byte buffer: the stored value (at most
  // 2,047 bytes) or the default for a missing file, section or key.
  virtual std::string GetProfileString(const std::string& section, const std::string& key,
                                       const std::string& default_value,
                                       const std::string& path) = 0;
  // WritePrivateProfileStringA; false when the OS returns 0.
  virtual bool WriteProfileString(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) = 0;
  // WritePrivateProfileStringA(NULL, NULL, NULL, path): flushes the profile cache.
  virtual void FlushProfile(const std::string& path) = 0;

  // ---- Clock and locale
  // GetLocalTime.
  virtual SystemTime LocalTime() = 0;
  // GetLocaleInfoA(thread locale, item, buffer of `buffer_size` bytes). False
  // when the call fails (an unknown item, or a value that does not fit).
  virtual bool LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) = 0;
  // The thread's locale identifier (GetThreadLocale).
  virtual std::uint32_t ThreadLocale() = 0;
  // SetThreadLocale(LOCALE_USER_DEFAULT), done before the settings are read again.
  virtual void SetThreadLocaleToUserDefault() = 0;
  virtual bool IsValidLocale(std::uint32_t lcid) = 0;
  // Era names and their first Gregorian years for the era calendar `calendar`
  // (3, 4 or 5), newest last; empty when the OS has none.
  struct Era {
    std::string name;
    int start_year = 0;   // Gregorian year in which the era's year 1 lies
    int start_month = 1;
    int start_day = 1;
  };
  virtual std::vector<Era> CalendarEras(int calendar) = 0;

  // ---- Window timer on a window of the program (SetTimer / KillTimer).
  virtual bool SetWindowTimer(WindowHandle window, std::uint32_t id, std::uint32_t interval_ms) = 0;
  virtual void KillWindowTimer(WindowHandle window, std::uint32_t id) = 0;

  // ---- Notification icon (Shell_NotifyIconA with NIM_ADD = 0 or NIM_DELETE = 2).
  virtual bool NotifyIcon(std::uint32_t message, const TrayIconRecord& record) = 0;
  // The executable's main icon resource "MAINICON" as an icon handle.
  virtual std::uint32_t MainIconHandle() = 0;

  // ---- Dialogs
  // GetOpenFileNameA with default options and a 260-byte name buffer, owned by
  // `owner`, placed centred horizontally with its top at a third of the free
  // height on the monitor of `placement`. True and the full path on OK.
  virtual bool ShowOpenFileDialog(WindowHandle owner, WindowHandle placement,
                                  std::string& path) = 0;
  // SHBrowseForFolderA with `prompt` and BIF_RETURNONLYFSDIRS, owned by
  // `owner`; the program's windows are disabled and critical-error boxes off
  // while it is open. On kChosen `folder` is the file-system path.
  virtual FolderBrowseResult BrowseForFolder(WindowHandle owner, const std::string& prompt,
                                             std::string& folder) = 0;
};

}  // namespace quillset
