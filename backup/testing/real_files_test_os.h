// Test support for code that works on real files: a fresh temporary folder
// per test, small file helpers, and OS services over the real file system
// (the host's natively, the Win32 ones under Wine) with a settable clock and
// a record of copies, moves and settings writes. Faults come from the shared
// FaultInjectingOs underneath (FailNthCall, HoldFile, Crash, ...).
//
// Paths: natively they are host paths joined with "/", under Wine Windows
// paths joined with "\" (kTestPathSeparator). File names are code-page bytes;
// the helpers pass them to the C runtime unchanged (bytes on the host, the
// ANSI code page under Wine).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

#include "base/testing/discarding_file.h"
#include "base/testing/fault_injecting_os.h"
#include "base/testing/platform_os.h"

#include "locale/calendar_dates.h"

namespace quillset {
namespace testing_support {

#ifdef _WIN32
inline constexpr char kTestPathSeparator[] = "\\";
#else
inline constexpr char kTestPathSeparator[] = "/";
#endif

inline std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + kTestPathSeparator + name;
}

inline bool MakeFolder(const std::string& path) {
#ifdef _WIN32
  return _mkdir(path.c_str()) == 0;
#else
  return ::mkdir(path.c_str(), 0755) == 0;
#endif
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// The file's bytes; `ok` false when it cannot be read.
inline std::string ReadBytes(const std::string& path, bool* ok = nullptr) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (ok) *ok = file != nullptr;
  if (file == nullptr) return bytes;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

inline bool PathExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// A new empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path candidate =
          base / ("quillset-test-" + std::to_string(random()) + "-" + std::to_string(attempt));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) {
        root_ = candidate;
        path_ = candidate.string();
        return;
      }
    }
  }
  ~TempFolder() {
    std::error_code error;
    if (!root_.empty()) std::filesystem::remove_all(root_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Valid() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return JoinPath(path_, name); }
  // Number of entries directly in `folder` (names are not compared, so that
  // code-page names need no conversion).
  static int CountEntries(const std::string& folder) {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
      ++count;
    return count;
  }

 private:
  std::filesystem::path root_;
  std::string path_;
};

// A source file whose path holds a Windows "\" before its name, as the
// backup list holds it: under Wine the file `name` in the folder `sub` of
// `folder`; natively a file named "<sub>\<name>" in `folder` (a backslash is
// an ordinary byte in a host file name), so that splitting the path at the
// last "\" gives `name` on both. Empty when it cannot be written.
inline std::string MakeSourceFile(const std::string& folder, const std::string& sub,
                                  const std::string& name, const std::string& bytes) {
  const std::string path = JoinPath(folder, sub) + "\\" + name;
#ifdef _WIN32
  MakeFolder(JoinPath(folder, sub));
#endif
  return WriteBytes(path, bytes) ? path : std::string();
}

inline SystemTime MakeSystemTime(int year, int month, int day, int hour = 0, int minute = 0,
                                 int second = 0, int ms = 0) {
  SystemTime t;
  t.year = static_cast<std::uint16_t>(year);
  t.month = static_cast<std::uint16_t>(month);
  t.day = static_cast<std::uint16_t>(day);
  t.hour = static_cast<std::uint16_t>(hour);
  t.minute = static_cast<std::uint16_t>(minute);
  t.second = static_cast<std::uint16_t>(second);
  t.milliseconds = static_cast<std::uint16_t>(ms);
  return t;
}

// The platform's services, made before the wrapper that forwards to them.
struct PlatformOsMember {
  PlatformOsServices platform;
};

// OS services over the real file system with what tests need to steer.
class RealFilesTestOs : private PlatformOsMember, public FaultInjectingOs {
 public:
  RealFilesTestOs() : FaultInjectingOs(platform) {}

  // ---- Clock: every LocalTime call answers the current time, then moves it
  // on by `clock_step_ms` (0: the clock stands still).
  void SetClock(const SystemTime& time) { clock_ = SystemTimeToDateTime(time); }
  std::int64_t clock_step_ms = 0;
  int clock_reads = 0;
  SystemTime LocalTime() override {
    ++clock_reads;
    SystemTime now = ToSystemTime(clock_);
    clock_ += static_cast<double>(clock_step_ms) / kMillisecondsPerDay;
    return now;
  }

  // ---- Executable path: the settings and data files sit beside it.
  std::string executable_path;
  std::string ExecutablePath() override { return executable_path; }

  // ---- Profile writes: recorded.
  struct ProfileWrite {
    std::string section, key, value, path;
  };
  std::vector<ProfileWrite> profile_writes;
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override {
    profile_writes.push_back({section, key, value, path});
    return FaultInjectingOs::WriteProfileString(section, key, value, path);
  }

  // ---- File copies and moves: recorded.
  std::vector<std::pair<std::string, std::string>> copies;
  bool CopyFile(const std::string& source, const std::string& target,
                bool fail_if_exists) override {
    copies.emplace_back(source, target);
    if (OnPretendDrive(target)) return true;
    return FaultInjectingOs::CopyFile(source, target, fail_if_exists);
  }
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override {
    copies.emplace_back(source, target);
    if (OnPretendDrive(target)) return true;
    return FaultInjectingOs::CopyFileWithProgress(source, target, fail_if_exists, progress);
  }
  std::vector<std::pair<std::string, std::string>> moves;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    moves.emplace_back(from, to);
    if (OnPretendDrive(to)) return true;
    return FaultInjectingOs::MoveFileReplacing(from, to);
  }

  // ---- Folders of a drive the test cannot make (drive roots): DirectoryExists
  // reports them, and creating, copying, flushing and moving files in them
  // succeed without writing anything.
  std::vector<std::string> extra_folders;
  bool DirectoryExists(const std::string& path) override {
    for (const std::string& folder : extra_folders)
      if (folder == path) return true;
    return FaultInjectingOs::DirectoryExists(path);
  }
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                               FileOpenMode mode) override {
    if (OnPretendDrive(path) && mode != FileOpenMode::kReadExisting)
      return std::make_unique<DiscardingFile>();
    return FaultInjectingOs::OpenExclusive(path, mode);
  }
  bool FlushFile(const std::string& path) override {
    return OnPretendDrive(path) || FaultInjectingOs::FlushFile(path);
  }

  static SystemTime ToSystemTime(TDateTime value) {
    int year, month, day, hour, minute, second, ms;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, ms);
    return MakeSystemTime(year, month, day, hour, minute, second, ms);
  }

 private:
  bool OnPretendDrive(const std::string& path) const {
    for (const std::string& folder : extra_folders)
      if (path.compare(0, folder.size(), folder) == 0) return true;
    return false;
  }

  TDateTime clock_ = SystemTimeToDateTime(MakeSystemTime(2026, 12, 7, 10, 0, 0));
};

}  // namespace testing_support
}  // namespace quillset
