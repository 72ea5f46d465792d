#include "backup/safe_copy.h"

#include <cstdint>

#include "backup/same_file.h"

namespace quillset {
namespace {

// How many names beside the target are tried before giving up; others are
// taken only by leftovers of copies that were cut off (power loss).
constexpr int kTemporaryNameAttempts = 16;

bool PathIsTaken(OsServices& os, const std::string& path) {
  std::uint64_t write_time = 0, size = 0;
  return os.FileStamp(path, write_time, size) || os.DirectoryExists(path);
}

// The attributes of a file, when it is a read-only file.
bool IsReadOnlyFile(OsServices& os, const std::string& path, std::uint32_t& attributes) {
  return os.GetAttributes(path, attributes) && (attributes & kAttributeReadOnly) != 0 &&
         (attributes & kAttributeDirectory) == 0;
}

std::uint32_t WithoutReadOnly(std::uint32_t attributes) {
  attributes &= ~kAttributeReadOnly;
  return attributes != 0 ? attributes : kAttributeNormal;
}

// Replaces `to` by `from`; an older copy's read-only bit does not stop it,
// and stays when the replacement fails.
bool ReplaceOlderCopy(OsServices& os, const std::string& from, const std::string& to) {
  std::uint32_t old_attributes = 0;
  const bool old_read_only = IsReadOnlyFile(os, to, old_attributes);
  if (old_read_only && !os.SetAttributes(to, WithoutReadOnly(old_attributes))) return false;
  if (os.MoveFileReplacing(from, to)) return true;
  if (old_read_only) os.SetAttributes(to, old_attributes);
  return false;
}

// Gives the backup the read-only bit of its source.
void MakeReadOnly(OsServices& os, const std::string& path) {
  std::uint32_t attributes = 0;
  if (!os.GetAttributes(path, attributes)) return;
  os.SetAttributes(path, (attributes & ~kAttributeNormal) | kAttributeReadOnly);
}

// Copies into the reserved file `temporary`, flushes it and lets it replace
// `target`. On false the caller removes `temporary`.
bool CopyFlushAndReplace(OsServices& os, const std::string& source,
                         const std::string& temporary, const std::string& target,
                         const CopyProgress& progress) {
  const bool copied = progress ? os.CopyFileWithProgress(source, temporary, false, progress)
                               : os.CopyFile(source, temporary, false);
  if (!copied) return false;
  std::uint32_t attributes = 0;
  if (IsReadOnlyFile(os, temporary, attributes) &&
      !os.SetAttributes(temporary, WithoutReadOnly(attributes)))
    return false;
  // The copy reaches the disk before it replaces the older copy: after a
  // power loss the target holds the older copy or the new one, never zeros.
  if (!os.FlushFile(temporary) || !ReplaceOlderCopy(os, temporary, target)) return false;
  // Taken from the source itself: not every system's copy gives the bit to
  // an existing file. Should it not be set, the backup is whole all the same.
  if (IsReadOnlyFile(os, source, attributes)) MakeReadOnly(os, target);
  return true;
}

void RemoveTemporary(OsServices& os, const std::string& temporary) {
  std::uint32_t attributes = 0;
  if (IsReadOnlyFile(os, temporary, attributes))
    os.SetAttributes(temporary, WithoutReadOnly(attributes));
  os.RemoveFile(temporary);
}

}  // namespace

std::string SafeCopyTemporaryName(const std::string& target, int attempt) {
  return target + ".quillset-" + std::to_string(attempt) + ".tmp";
}

bool SafeCopyFile(OsServices& os, const std::string& source, const std::string& target,
                  const CopyProgress& progress) {
  // Replacing the source by its own copy would report a backup where there is
  // only the one file.
  if (IsSameFile(os, source, target)) return false;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string temporary = SafeCopyTemporaryName(target, attempt);
    if (PathIsTaken(os, temporary)) continue;  // never touch a file we did not make
    // The name is taken by creating the file, which fails when it exists:
    // should another program take the name after the test above, its file is
    // neither written into nor removed, and the next name is tried. Any other
    // refusal (a folder we may not write into) would refuse every name.
    if (!os.OpenExclusive(temporary, FileOpenMode::kCreateNew)) {
      if (os.LastFileError() == FileError::kExists) continue;
      return false;
    }
    // From here the file at `temporary` is ours.
    if (CopyFlushAndReplace(os, source, temporary, target, progress)) return true;
    RemoveTemporary(os, temporary);  // empty, partial or complete
    return false;
  }
  return false;
}

}  // namespace quillset
