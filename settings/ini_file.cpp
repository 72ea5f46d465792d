#include "settings/ini_file.h"

#include <memory>

#include "base/errors.h"
#include "locale/whole_number_text.h"
#include "settings/settings_keys.h"

namespace quillset {
namespace {

const char kCannotOpenMessage[] = "ファイル %s は開けません";
const char kCannotWriteMessage[] = "%s に書き込めません";

// New-file names a write may try: leftovers of cut writes keep theirs.
constexpr int kNewFileAttempts = 16;

const ShiftJisCodePage kShiftJis;

// The whole content of an open file; false when a read fails.
bool ReadAll(ExclusiveFile& file, std::string& bytes) {
  std::uint64_t size = 0;
  if (!file.Size(size) || size > (std::uint64_t{1} << 24)) return false;  // no settings file is 16 MiB
  bytes.assign(static_cast<std::size_t>(size), '\0');
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t done = 0;
    if (!file.Read(&bytes[at], bytes.size() - at, done) || done == 0 || done > bytes.size() - at)
      return false;
    at += done;
  }
  return true;
}

}  // namespace

std::string SettingsFilePath(OsServices& os) {
  return ReplaceExtension(os.ExecutablePath(), kSettingsFileExtension, os);
}

std::string SettingsNewFileName(const std::string& path, int attempt) {
  return path + ".new" + (attempt == 0 ? std::string() : std::to_string(attempt));
}

TIniFile::TIniFile(OsServices& os, std::string file_name)
    : os_(os), file_name_(std::move(file_name)) {}

void TIniFile::Load(const char* message) {
  if (loaded_) return;
  std::unique_ptr<ExclusiveFile> file = os_.OpenExclusive(file_name_, FileOpenMode::kReadExisting);
  std::string bytes;
  if (file) {
    if (!ReadAll(*file, bytes))
      throw EIniFileException(FormatMessageText(message, {file_name_}));
    existed_ = true;
  } else if (os_.LastFileError() != FileError::kNotFound) {
    // Held past the retries, no rights, a share gone: not a first start.
    throw EIniFileException(FormatMessageText(message, {file_name_}));
  }
  content_ = DecodeProfileFile(bytes);
  loaded_ = true;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& default_value) {
  Load(kCannotOpenMessage);
  std::string value;
  if (FindProfileValue(content_.text, section, key, kShiftJis, value)) return value;
  return ProfileDefaultValue(default_value, kShiftJis);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  Load(kCannotWriteMessage);
  content_.text = SetProfileValue(content_.text, section, key, value, kShiftJis);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key,
                            std::int32_t value) {
  WriteString(section, key, IntToText(value));
}

void TIniFile::RaiseCannotWrite() const {
  throw EIniFileException(FormatMessageText(kCannotWriteMessage, {file_name_}));
}

bool TIniFile::WriteNewFile(ExclusiveFile& file, const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t done = 0;
    if (!file.Write(bytes.data() + at, bytes.size() - at, done) || done == 0 ||
        done > bytes.size() - at)
      return false;
    at += done;
  }
  // On the disk before it replaces the old file: a power loss then leaves
  // the old file or the whole new one, never zeros.
  return file.Flush();
}

bool TIniFile::PutInPlace(const std::string& new_file) {
  std::uint32_t attributes = 0;
  if (existed_) {
    // The old file's attributes (hidden, say) go to the new one. A read-only
    // file stays unwritten, as Windows' profile writer leaves it.
    if (!os_.GetAttributes(file_name_, attributes)) return false;
    if ((attributes & kAttributeReadOnly) != 0) return false;
    if (attributes != kAttributeNormal && !os_.SetAttributes(new_file, attributes)) return false;
    // Some systems refuse to replace a hidden or system file by a rename:
    // its attributes are lifted for the replace, and put back if it fails.
    constexpr std::uint32_t kHiddenOrSystem = 0x2 | 0x4;
    if ((attributes & kHiddenOrSystem) != 0) {
      if (!os_.SetAttributes(file_name_, kAttributeNormal)) return false;
      if (os_.MoveFileReplacing(new_file, file_name_)) return true;
      os_.SetAttributes(file_name_, attributes);
      return false;
    }
  } else if (os_.GetAttributes(file_name_, attributes) ||
             os_.LastFileError() != FileError::kNotFound) {
    return false;  // a file appeared (or cannot be told absent): not ours to replace
  }
  return os_.MoveFileReplacing(new_file, file_name_);
}

void TIniFile::UpdateFile() {
  Load(kCannotWriteMessage);
  std::string bytes;
  if (!content_.exact || !EncodeProfileFile(content_.text, content_.encoding, bytes))
    RaiseCannotWrite();  // the form the file is in cannot hold the text unchanged
  for (int attempt = 0; attempt < kNewFileAttempts; ++attempt) {
    const std::string new_file = SettingsNewFileName(file_name_, attempt);
    // Created, never opened: a name another program (or a cut write) left is
    // neither written into nor removed; the next name is tried.
    std::unique_ptr<ExclusiveFile> file = os_.OpenExclusive(new_file, FileOpenMode::kCreateNew);
    if (!file) {
      if (os_.LastFileError() == FileError::kExists) continue;
      RaiseCannotWrite();
    }
    const bool written = WriteNewFile(*file, bytes);
    file.reset();  // closed before it takes the old file's place
    if (written && PutInPlace(new_file)) {
      existed_ = true;
      // Leftovers of writes cut before this one go (one held open stays).
      for (int leftover = 0; leftover < attempt; ++leftover)
        os_.RemoveFile(SettingsNewFileName(file_name_, leftover));
      return;
    }
    os_.RemoveFile(new_file);
    RaiseCannotWrite();
  }
  RaiseCannotWrite();
}

}  // namespace quillset
