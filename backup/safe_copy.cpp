#include "backup/safe_copy.h"

#include <cstdint>

#include "backup/same_file.h"

namespace quillset {
namespace {

// Names beside the target that a copy may take. Leftovers of copies that
// were cut off (power loss, a killed process) are removed at the next copy,
// so only leftovers another program holds open take names for long; there
// are far more names than such files.
constexpr int kTemporaryNameAttempts = 256;

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
  // The routine's last answer is asked for again before the replace: a copy
  // cancelled during its flush keeps the older copy.
  std::uint64_t last_copied = 0, last_total = 0;
  CopyProgress heard;
  if (progress) {
    heard = [&](std::uint64_t copied, std::uint64_t total) {
      last_copied = copied;
      last_total = total;
      return progress(copied, total);
    };
  }
  if (!os.CopyFileWithProgress(source, temporary, false, heard)) return false;
  std::uint32_t attributes = 0;
  if (IsReadOnlyFile(os, temporary, attributes) &&
      !os.SetAttributes(temporary, WithoutReadOnly(attributes)))
    return false;
  // The copy reaches the disk before it replaces the older copy: after a
  // power loss the target holds the older copy or the new one, never zeros.
  if (!os.FlushFile(temporary)) return false;
  if (progress && progress(last_copied, last_total) == CopyProgressAnswer::kCancel) return false;
  if (!ReplaceOlderCopy(os, temporary, target)) return false;
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

// How long before a copy's own new file a leftover was last written, at
// least, for it to count as cut off (in FileStamp's 100 ns units): a copy
// running on another PC or in another session, backing up to the same
// folder, writes its new file all the time, and it is held open meanwhile.
constexpr std::uint64_t kLeftoverAge = std::uint64_t{60} * 60 * 10000000;  // an hour

// Leftovers of this target's copies that were cut off go: those that no
// program holds open and that were last written well before `now` (the
// stamp the file system gave this copy's own new file, `ours`: one clock for
// every PC that writes there). Others stay, and take a name each. A copy
// takes the first free name, so leftovers lie low; the look ends after a
// stretch of free names (gaps come only from leftovers removed before).
void RemoveLeftovers(OsServices& os, const std::string& target, const std::string& ours,
                     std::uint64_t now) {
  constexpr int kFreeNamesToEnd = 16;
  int free_names = 0;
  for (int attempt = 0; attempt < kTemporaryNameAttempts && free_names < kFreeNamesToEnd;
       ++attempt) {
    const std::string leftover = SafeCopyTemporaryName(target, attempt);
    std::uint64_t write_time = 0, size = 0;
    if (!os.FileStamp(leftover, write_time, size)) {
      ++free_names;
      continue;
    }
    free_names = 0;
    if (leftover == ours || write_time + kLeftoverAge > now) continue;
    // Opened with no sharing only when no other program has it open.
    if (!os.OpenExclusive(leftover, FileOpenMode::kReadExisting)) continue;
    RemoveTemporary(os, leftover);
  }
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
    if (PathIsTaken(os, temporary)) continue;  // a leftover held open, or a folder
    // The name is taken by creating the file, which fails when it exists:
    // should another program take the name after the test above, its file is
    // neither written into nor removed, and the next name is tried. Any other
    // refusal (a folder we may not write into) would refuse every name.
    if (!os.OpenExclusive(temporary, FileOpenMode::kCreateNew)) {
      if (os.LastFileError() == FileError::kExists) continue;
      return false;
    }
    // From here the file at `temporary` is ours, and its stamp is the file
    // system's "now".
    std::uint64_t now = 0, size = 0;
    if (os.FileStamp(temporary, now, size)) RemoveLeftovers(os, target, temporary, now);
    if (CopyFlushAndReplace(os, source, temporary, target, progress)) return true;
    RemoveTemporary(os, temporary);  // empty, partial or complete
    return false;
  }
  return false;
}

}  // namespace quillset
