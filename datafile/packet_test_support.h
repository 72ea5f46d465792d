// Shared by the data-file tests: hex helpers, the program's data files as
// bytes written out by hand from their layout (the worked examples), and
// file helpers (the temporary folder is base/testing/temp_folder.h's).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/testing/temp_folder.h"

namespace quillset {
namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// "96 19 E0 BD" -> bytes; blanks ignored.
Bytes FromHex(const std::string& hex);
std::string ToHex(const Bytes& bytes);
Bytes Ascii(const std::string& text);
void Append(Bytes& to, const Bytes& more);

// An empty list that was never changed (146 bytes).
Bytes EmptyListFile();
// After one entry (C:\data\a.txt, D:\bak) was added and saved (200 bytes).
Bytes OneEntryFile();
// After a backup run of that entry ("バックアップ成功" at 2026-12-06 13:40:00).
Bytes AfterBackupRunFile();
// The day count of 2026-12-06 13:40:00 and its 8 stored bytes.
double BackupRunTime();

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
bool FileExistsOnDisk(const std::string& path);

}  // namespace testing_support
}  // namespace quillset
