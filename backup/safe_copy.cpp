#include "backup/safe_copy.h"

#include <cstdint>

namespace quillset {
namespace {

// How many names beside the target are tried before giving up; others are
// taken only by leftovers of copies that were cut off (power loss).
constexpr int kTemporaryNameAttempts = 16;

bool PathIsTaken(OsServices& os, const std::string& path) {
  std::uint64_t write_time = 0, size = 0;
  return os.FileStamp(path, write_time, size) || os.DirectoryExists(path);
}

}  // namespace

std::string SafeCopyTemporaryName(const std::string& target, int attempt) {
  return target + ".quillset-" + std::to_string(attempt) + ".tmp";
}

bool SafeCopyFile(OsServices& os, const std::string& source, const std::string& target) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string temporary = SafeCopyTemporaryName(target, attempt);
    if (PathIsTaken(os, temporary)) continue;  // never touch a file we did not make
    // fail_if_exists: should the name have been taken since the test, the copy
    // fails instead of writing into someone else's file.
    if (!os.CopyFile(source, temporary, true)) {
      // The copy may have left a partial file behind; it is ours.
      if (PathIsTaken(os, temporary)) os.RemoveFile(temporary);
      return false;
    }
    if (!os.MoveFileReplacing(temporary, target)) {
      os.RemoveFile(temporary);
      return false;
    }
    return true;
  }
  return false;
}

}  // namespace quillset
