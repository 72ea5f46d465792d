// The settings-file object: a profile (".ini") file read as Windows' profile
// functions read it (base/host_profile_file.h: its line rules and the three
// forms of its bytes) and written safely. It reads the whole file at its first
// use; writes change the text it keeps, and UpdateFile puts the whole file in
// place at once: written to a new file beside it, flushed, given the old
// file's attributes and then put in place of the old one in one step. A cut at
// any point (a power loss, a blue screen, a full disk) leaves the old file or
// the new one, never a mix, and the next start never mistakes it for a first
// start.
#pragma once

#include <cstdint>
#include <string>

#include "base/host_profile_file.h"
#include "base/os_services.h"

namespace quillset {

// The settings file's path: the executable's path with its extension replaced
// by ".ini" (appended when the file name has none), computed afresh each call.
std::string SettingsFilePath(OsServices& os);

// The name of the new file of attempt `attempt` (0, 1, ...) of a write of the
// settings file `path`: beside it, so that it replaces it within one volume.
std::string SettingsNewFileName(const std::string& path, int attempt);

class TIniFile {
 public:
  // REQUIRES: `os` outlives the object.
  TIniFile(OsServices& os, std::string file_name);
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return file_name_; }

  // The stored value (at most 2,047 bytes), or `default_value` for a missing
  // file, section or key. A file that exists but cannot be read (held by
  // another program past the retries, no rights) is no missing file: throws
  // EIniFileException "ファイル <file name> は開けません".
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value);
  // Sets the value in the text kept; UpdateFile writes it. Throws
  // EIniFileException "<file name> に書き込めません" when the file exists but
  // cannot be read: its content is never written over unseen.
  void WriteString(const std::string& section, const std::string& key,
                   const std::string& value);
  // Sets the decimal text of `value`; throws as WriteString.
  void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);

  // Writes the whole file as described above, in the form it was read in (a
  // new file in Shift-JIS). Throws EIniFileException "<file name>
  // に書き込めません" when a step fails; the old file then stays as it was,
  // and no new file is left beside it (unless the system refused to remove
  // it). A file that was missing at the read is not written over should one
  // appear meanwhile.
  void UpdateFile();

 private:
  // Reads the file at the first use; throws `message` when it exists but
  // cannot be read.
  void Load(const char* message);
  // Writes `bytes` into the reserved new file `name` and flushes it.
  bool WriteNewFile(ExclusiveFile& file, const std::string& bytes);
  bool PutInPlace(const std::string& new_file);
  [[noreturn]] void RaiseCannotWrite() const;

  OsServices& os_;
  std::string file_name_;
  bool loaded_ = false;
  bool existed_ = false;  // the file was there at the read
  ProfileFileText content_;
};

}  // namespace quillset
