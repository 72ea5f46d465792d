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

bool SafeCopyFile(OsServices& os, const std::string& source, const std::string& target,
                  const CopyProgress& progress) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string temporary = SafeCopyTemporaryName(target, attempt);
    if (PathIsTaken(os, temporary)) continue;  // never touch a file we did not make
    // The name is taken by creating the file, which fails when it exists:
    // should another program take the name after the test above, its file is
    // neither written into nor removed, and the next name is tried.
    if (!os.OpenExclusive(temporary, FileOpenMode::kCreateNew)) continue;
    // From here the file at `temporary` is ours.
    const bool copied = progress ? os.CopyFileWithProgress(source, temporary, false, progress)
                                 : os.CopyFile(source, temporary, false);
    if (!copied) {
      os.RemoveFile(temporary);  // empty, or a partial copy
      return false;
    }
    // The copy reaches the disk before it replaces the older copy: after a
    // power loss the target holds the older copy or the new one, never zeros.
    if (!os.FlushFile(temporary) || !os.MoveFileReplacing(temporary, target)) {
      os.RemoveFile(temporary);
      return false;
    }
    return true;
  }
  return false;
}

}  // namespace quillset
