// What the portable core needs from the operating system, in one interface:
// files and folders, copy and replace, clock and locale,
// the executable's path and the code page's lead bytes. Portable code reaches
// Windows only through it and, in the window layer, through FormView and
// ShellServices (ui/). Implementations:
//   Win32OsServices   (base/win32_os_services.h): the real "W" calls, texts
//                     converted exactly, nothing else.
//   HostOsServices    (base/host_os_services.h): POSIX files and folders that
//                     follow Windows' rules, an INI codec with the profile-file
//                     semantics, a settable clock and locale; for native tests.
//   OsServicesWrapper (base/os_services_wrapper.h): forwards every call to
//                     another implementation; a test double overrides only
//                     the calls it changes.
//   RetryingOsServices (base/retrying_os_services.h): the program's own
//                     wrapper: file calls refused because another program
//                     holds the file a moment are tried again.
//   FaultInjectingOs  (base/testing/fault_injecting_os.h): the one wrapper every
//                     fault test shares (failed calls, held files, a crash).
//
// All texts are code-page bytes (Shift-JIS). The Windows calls named below
// are the "W" functions the Windows build makes, after converting the texts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"

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

// Why the last file call that failed failed, as far as the caller acts on it.
enum class FileError {
  kNone,
  kNotFound,      // no such file or folder (ERROR_FILE_NOT_FOUND and
                  // ERROR_PATH_NOT_FOUND only: nothing else proves absence)
  kExists,        // a new file's name is taken
  kInUse,         // another program holds the file open (sharing or lock
                  // violation, a mapped section): it may let go in a moment
  kAccessDenied,  // refused: a read-only file written, replaced or removed, no
                  // rights, or a file being deleted by another program
  kOther,
};

// File attributes, as FILE_ATTRIBUTE_* numbers.
inline constexpr std::uint32_t kAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeNormal = 0x80;  // none of the others

// What tells one file from another on this machine, whatever the spelling of
// its path: the volume's serial number and the file's index on it.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId& other) const {
    return volume == other.volume && index == other.index;
  }
  bool operator!=(const FileId& other) const { return !(*this == other); }
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
  kAppendExisting, // GENERIC_WRITE, OPEN_EXISTING; writes go to the end of the file
};

class OsServices : public CodePage {
 public:
  ~OsServices() override = default;

  // ---- Code page: IsLeadByte (from CodePage) answers for the system code page.

  // ---- Executable path: the full path of the running program (260 bytes at most).
  virtual std::string ExecutablePath() = 0;

  // ---- File and folder tests
  // A file exists: found and not a directory, whatever its time.
  virtual bool FileExists(const std::string& path) = 0;
  // The attributes of `path` can be read and carry the directory bit (16).
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Last-write time (100 ns units, FILETIME's; the in-memory OS counts
  // changes instead) and size
  // of a file; false when it cannot be read. Used to tell whether the data file
  // changed on disk since the program last loaded or saved it.
  virtual bool FileStamp(const std::string& path, std::uint64_t& write_time,
                         std::uint64_t& size) = 0;

  // The attributes of a file or folder (GetFileAttributesW); false when they
  // cannot be read.
  virtual bool GetAttributes(const std::string& path, std::uint32_t& attributes) = 0;
  // SetFileAttributesW. Works on a file another program holds open.
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  // The identity of an existing file or folder (GetFileInformationByHandle on
  // a handle opened for no access, so a file held open by another program
  // answers too). False when the file is missing or the file system gives no
  // index.
  virtual bool FileIdentity(const std::string& path, FileId& id) = 0;

  // ---- File copy and replacement
  // Windows' rules for read-only files hold in every implementation: such a
  // file can be neither replaced, nor removed, nor opened for writing
  // (FileError::kAccessDenied).
  // CopyFileExW(source, target, progress routine, fail_if_exists ?
  // COPY_FILE_FAIL_IF_EXISTS : 0), the one copy of the program: the copy takes
  // the source's attributes, the read-only bit included, and `progress` (if
  // set) hears of each part copied. A copy it cancels fails and leaves no
  // target file.
  virtual bool CopyFileWithProgress(const std::string& source, const std::string& target,
                                    bool fail_if_exists, const CopyProgress& progress) = 0;
  // MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH):
  // replaces `to` in one step. Fails when `to` is held open by someone else
  // or is read-only.
  virtual bool MoveFileReplacing(const std::string& from, const std::string& to) = 0;
  // DeleteFileW.
  virtual bool RemoveFile(const std::string& path) = 0;
  // FlushFileBuffers on the closed file `path`, opened for writing: its bytes
  // reach the disk before, say, it replaces an older file. False when it
  // cannot be flushed (a read-only file cannot be opened for writing).
  virtual bool FlushFile(const std::string& path) = 0;

  // ---- Why a file call failed: the kind of failure of the last call of
  // this object that returned false or null among GetAttributes,
  // SetAttributes, FileIdentity, CopyFileWithProgress, MoveFileReplacing, RemoveFile,
  // FlushFile and OpenExclusive. Undefined after a call
  // that succeeded.
  virtual FileError LastFileError() = 0;

  // ---- Waiting: Sleep(milliseconds). Test services do not wait: the time
  // passes on their simulated clock (base/simulated_clock.h).
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  // ---- Whole-file access with no sharing; null when the OS refuses.
  virtual std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                                       FileOpenMode mode) = 0;

  // ---- Clock and locale
  // GetLocalTime.
  virtual SystemTime LocalTime() = 0;
  // GetLocaleInfoW(thread locale, item), as Shift-JIS in a buffer of
  // `buffer_size` bytes. False when the call fails (an unknown item), or the
  // value and its terminator do not fit.
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
