// OS services of the Windows build: each call goes to the Win32 "W" function
// named in base/os_services.h, its texts converted exactly between Shift-JIS
// and UTF-16 (base/win32_text.h), with nothing added but the kind of a
// failure, taken from GetLastError at once. Windows build only. (The
// settings file is read and written by settings/ini_file.h through these
// file calls, so that its bytes stay as the file had them whatever the
// system code page.)
#pragma once

#include <string>
#include <vector>

#include "base/os_services.h"

namespace quillset {

class Win32OsServices : public OsServices {
 public:
  Win32OsServices() = default;
  Win32OsServices(const Win32OsServices&) = delete;
  Win32OsServices& operator=(const Win32OsServices&) = delete;

  bool IsLeadByte(std::uint8_t byte) const override;
  std::string ExecutablePath() override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileStamp(const std::string& path, std::uint64_t& write_time, std::uint64_t& size) override;
  bool GetAttributes(const std::string& path, std::uint32_t& attributes) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool FileIdentity(const std::string& path, FileId& id) override;
  FileError LastFileError() override { return last_error_; }
  void Sleep(std::uint32_t milliseconds) override;
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FlushFile(const std::string& path) override;
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path, FileOpenMode mode) override;
  SystemTime LocalTime() override;
  bool LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) override;
  std::uint32_t ThreadLocale() override;
  void SetThreadLocaleToUserDefault() override;
  bool IsValidLocale(std::uint32_t lcid) override;
  std::vector<Era> CalendarEras(int calendar) override;

 private:
  // Records the kind of the failure GetLastError reports; returns false.
  // Records why the last call failed (GetLastError, or `error` when given);
  // returns false.
  bool Failed();
  bool Failed(std::uint32_t error);

  // One per thread: a backup copy runs beside the user-interface thread,
  // which may save the list meanwhile.
  static inline thread_local FileError last_error_ = FileError::kNone;
};

}  // namespace quillset
