#include "settings/ini_file.h"

#include "base/errors.h"
#include "settings/settings_keys.h"
#include "locale/whole_number_text.h"

namespace quillset {
namespace {

const char kCannotWriteMessage[] = "%s に書き込めません";

}  // namespace

std::string SettingsFilePath(OsServices& os) {
  return ReplaceExtension(os.ExecutablePath(), kSettingsFileExtension, os);
}

TIniFile::TIniFile(OsServices& os, std::string file_name)
    : os_(os), file_name_(std::move(file_name)) {}

TIniFile::~TIniFile() { os_.FlushProfile(file_name_); }

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& default_value) {
  return os_.GetProfileString(section, key, default_value, file_name_);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  if (!os_.WriteProfileString(section, key, value, file_name_)) {
    throw EIniFileException(FormatMessageText(kCannotWriteMessage, {file_name_}));
  }
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key,
                            std::int32_t value) {
  WriteString(section, key, IntToText(value));
}

}  // namespace quillset
