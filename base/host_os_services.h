// OS services on the build host, for the native tests: real POSIX files and
// folders (tests point every path into a temporary folder), an INI codec with
// the profile-file semantics, and a clock, locale and code page that the test
// sets. Windows paths are taken as they come: a test
// passes host paths ("/tmp/x/a.txt") and the services use them unchanged.
//
// A file held open by OpenExclusive of this object stands for a file locked by
// another program: while it is open, a second OpenExclusive, a copy from or to
// it, a move of it, its deletion and its flush fail with FileError::kInUse, a
// move onto it with kAccessDenied (as the system answers), profile writes to
// it fail, and profile reads of it give the default. Its attributes and
// identity can still be read.
//
// Read-only files follow Windows' rules, which the host's owner (often root)
// would not: a file without the owner's write bit stands for one with the
// read-only attribute, and can be neither replaced (move or copy onto it),
// nor removed, nor opened for writing, nor flushed (kAccessDenied). A copy
// takes the source's read-only bit.
//
// Profile files follow the system's reader: see app/host_profile_file.h.
// Writes reach the file at once, so FlushProfile only counts its calls.
// Sleep does not wait; it only adds up the time asked for.
//
// Fault injection: FaultInjectingOs (app/testing/) wrapped around this object.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/os_services.h"

namespace quillset {

class HostOsServices : public OsServices {
 public:
  HostOsServices();

  // ---- What the test sets
  void SetExecutablePath(const std::string& path) { executable_path_ = path; }
  void SetLocalTime(const SystemTime& time) { local_time_ = time; }
  // Locale items answered by LocaleInfo; an item not set makes the call fail,
  // and so does a buffer_size that cannot hold the value and its terminator
  // (0 included). The defaults are those of a Japanese Windows (yyyy/MM/dd,
  // "/", H:mm:ss, 午前/午後, month names "1月".., day names "月曜日"..; item
  // numbers in app/locale_items.h). Era calendar 3 lists the five modern eras.
  void SetLocaleItem(std::uint32_t item, const std::string& value) { locale_items_[item] = value; }
  void RemoveLocaleItem(std::uint32_t item) { locale_items_.erase(item); }
  void SetThreadLocaleId(std::uint32_t lcid) { thread_locale_ = lcid; }
  // The locale SetThreadLocaleToUserDefault switches to (0x0411 by default).
  void SetUserDefaultLocaleId(std::uint32_t lcid) { user_default_locale_ = lcid; }
  // Locales IsValidLocale accepts (ja-JP and en-US by default).
  void SetValidLocales(std::set<std::uint32_t> lcids) { valid_locales_ = std::move(lcids); }
  void SetEras(int calendar, std::vector<Era> eras) { eras_[calendar] = std::move(eras); }

  // ---- What the test reads back
  int ProfileFlushes() const { return profile_flushes_; }
  int ThreadLocaleResets() const { return thread_locale_resets_; }
  std::uint64_t SleptMilliseconds() const { return slept_ms_; }

  // ---- OsServices
  bool IsLeadByte(std::uint8_t byte) const override;
  std::string ExecutablePath() override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileStamp(const std::string& path, std::uint64_t& write_time, std::uint64_t& size) override;
  bool GetAttributes(const std::string& path, std::uint32_t& attributes) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool FileIdentity(const std::string& path, FileId& id) override;
  FileError LastFileError() override { return last_error_; }
  void Sleep(std::uint32_t milliseconds) override { slept_ms_ += milliseconds; }
  bool CopyFile(const std::string& source, const std::string& target, bool fail_if_exists) override;
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FlushFile(const std::string& path) override;
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path, FileOpenMode mode) override;
  std::string GetProfileString(const std::string& section, const std::string& key,
                               const std::string& default_value, const std::string& path) override;
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override;
  void FlushProfile(const std::string& path) override;
  SystemTime LocalTime() override;
  bool LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) override;
  std::uint32_t ThreadLocale() override;
  void SetThreadLocaleToUserDefault() override;
  bool IsValidLocale(std::uint32_t lcid) override;
  std::vector<Era> CalendarEras(int calendar) override;

 private:
  // True when `path` is held open by an ExclusiveFile of this object.
  bool IsHeld(const std::string& path) const;
  // The key under which a held path is remembered (absolute, normalised).
  static std::string HeldKey(const std::string& path);
  // Records why a call failed; returns false for the caller to pass on.
  bool Fail(FileError error);
  // Fail with the kind that errno tells.
  bool FailFromErrno();

  std::string executable_path_ = "/nonexistent/Quillset.exe";
  SystemTime local_time_;
  std::map<std::uint32_t, std::string> locale_items_;
  std::uint32_t thread_locale_ = 0x0411;
  std::map<int, std::vector<Era>> eras_;
  std::uint32_t user_default_locale_ = 0x0411;
  std::set<std::uint32_t> valid_locales_ = {0x0411, 0x0409};
  // Paths held by an ExclusiveFile of this object; shared with the files so that
  // a file may outlive the object that opened it.
  std::shared_ptr<std::set<std::string>> open_files_ = std::make_shared<std::set<std::string>>();
  int profile_flushes_ = 0;
  int thread_locale_resets_ = 0;
  FileError last_error_ = FileError::kNone;
  std::uint64_t slept_ms_ = 0;
};

}  // namespace quillset
