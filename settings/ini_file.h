// The settings-file object: a profile (".ini") file reached through the OS's
// profile functions. It holds only the file name; every read and write goes to
// the OS at once. Create one for each sequence of reads or writes and release
// it straight after: releasing flushes the OS's profile cache.
#pragma once

#include <cstdint>
#include <string>

#include "base/os_services.h"

namespace quillset {

// The settings file's path: the executable's path with its extension replaced
// by ".ini" (appended when the file name has none), computed afresh each call.
std::string SettingsFilePath(OsServices& os);

class TIniFile {
 public:
  // REQUIRES: `os` outlives the object.
  TIniFile(OsServices& os, std::string file_name);
  // Flushes the OS's profile cache for the file; the result is ignored.
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return file_name_; }

  // The stored value (at most 2,047 bytes), or `default_value` for a missing
  // file, section or key.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value);
  // Throws EIniFileException "<file name> に書き込めません" when the OS refuses.
  void WriteString(const std::string& section, const std::string& key,
                   const std::string& value);

  // Writes the decimal text of `value`; throws as WriteString.
  void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);

 private:
  OsServices& os_;
  std::string file_name_;
};

}  // namespace quillset
