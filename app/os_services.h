// What the portable core needs from the operating system, in one interface:
// files and folders, copy and replace, profile (.ini) files, clock and locale,
// the executable's path and the code page's lead bytes. Portable code reaches
// Windows only through it and, in the window layer, through FormView and
// ShellServices (ui/). Implementations:
//   Win32OsServices   (app/win32_os_services.cpp): the real calls, nothing else.
//   HostOsServices    (app/host_os_services.cpp): POSIX files and folders that
//                     follow Windows' rules, an INI codec with the profile-file
//                     semantics, a settable clock and locale; for native tests.
//   OsServicesWrapper (app/os_services_wrapper.h): forwards every call to
//                     another implementation; a test double overrides only
//                     the calls it changes.
//   FaultInjectingOs  (app/testing/fault_injecting_os.h): the one wrapper every
//                     fault test shares (failed calls, held files, a crash).
//
// All texts are code-page bytes (Shift-JIS).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/code_page.h"

namespace quillset {

// The local date and time as the clock gives it (a SYSTEMTIME).
struct SystemTime {
  std::uint16_t year = 0, month = 0, day_of_week = 0, day = 0;
  std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

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

// What a copy's progress routine answers after each part of the copy.
enum class CopyProgressAnswer {
  kContinue,  // PROGRESS_CONTINUE
  kCancel,    // PROGRESS_CANCEL: the copy stops, fails, and its target is removed
};
// Called on the copying thread with the bytes copied so far and the source's
// size: once before the first byte, then after each part of the copy or at
// short intervals (the Windows build: every 50 ms), at the end with
// copied == total.
using CopyProgress =
    std::function<CopyProgressAnswer(std::uint64_t copied, std::uint64_t total)>;

enum class FileOpenMode {
  kReadExisting,   // GENERIC_READ, OPEN_EXISTING
  kCreateAlways,   // GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS (creates or truncates)
  kCreateNew,      // GENERIC_READ | GENERIC_WRITE, CREATE_NEW (fails if the file exists)
};

class OsServices : public CodePage {
 public:
  ~OsServices() override = default;

  // ---- Code page: IsLeadByte (from CodePage) answers for the system code page.

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
  // CopyFileExA(source, target, progress routine, fail_if_exists ?
  // COPY_FILE_FAIL_IF_EXISTS : 0): as CopyFile, and `progress` (if set) hears
  // of each part copied. A copy it cancels fails and leaves no target file.
  virtual bool CopyFileWithProgress(const std::string& source, const std::string& target,
                                    bool fail_if_exists, const CopyProgress& progress) = 0;
  // MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH):
  // replaces `to` in one step. Fails when `to` is held open by someone else.
  virtual bool MoveFileReplacing(const std::string& from, const std::string& to) = 0;
  // DeleteFileA.
  virtual bool RemoveFile(const std::string& path) = 0;
  // FlushFileBuffers on the closed file `path`: its bytes reach the disk
  // before, say, it replaces an older file. False when it cannot be flushed.
  virtual bool FlushFile(const std::string& path) = 0;

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
};

}  // namespace quillset
