#include "base/host_os_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>


namespace quillset {
namespace {

bool StatPath(const std::string& path, struct stat& st) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  return ::stat(path.c_str(), &st) == 0;
}

// A file without its owner's write bit stands for a read-only one.
bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

// Copies up to `length` bytes (0: to the end) from the current offset of `in`
// to `out`; `done` gets the count. Inside the kernel where it can (no trip
// through user memory), otherwise through a buffer; the buffer also finishes
// whatever the kernel path left over.
bool CopyFileBytes(int in, int out, std::uint64_t length, std::uint64_t& done) {
  done = 0;
  auto wanted = [&](std::uint64_t most) {
    return static_cast<std::size_t>(length == 0 ? most : std::min(most, length - done));
  };
#ifdef __linux__
  while (length == 0 || done < length) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, wanted(std::uint64_t(1) << 30), 0);
    if (n > 0) {
      done += static_cast<std::uint64_t>(n);
      continue;
    }
    if (n == 0) break;  // end of the file, or a file system that copies nothing: the loop below checks
    if (errno == EINTR) continue;
    if (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP ||
        errno == EPERM || errno == ETXTBSY || errno == EBADF)
      break;  // not supported for these files: the buffered copy goes on from here
    return false;
  }
#endif
  char buffer[65536];
  while (length == 0 || done < length) {
    ssize_t n = ::read(in, buffer, wanted(sizeof buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    ssize_t written = 0;
    while (written < n) {
      ssize_t w = ::write(out, buffer + written, static_cast<std::size_t>(n - written));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      written += w;
    }
    done += static_cast<std::uint64_t>(n);
  }
  return true;
}

// How much of a file is copied between two reports of a copy's progress (the
// size Windows copies a local file in).
constexpr std::uint64_t kProgressPartSize = std::uint64_t(1) << 20;

// Copies `in` from its current offset to `out`, telling `progress` (if set)
// before the first part and after each part. `cancelled` is set when the
// progress routine cancelled the copy.
bool CopyFileContents(int in, int out, const CopyProgress& progress, bool& cancelled) {
  cancelled = false;
  std::uint64_t done = 0;
  if (!progress) return CopyFileBytes(in, out, 0, done);
  struct stat st;
  if (::fstat(in, &st) != 0) return false;
  const std::uint64_t total = static_cast<std::uint64_t>(st.st_size);
  std::uint64_t copied = 0;
  for (;;) {
    if (progress(copied, total) == CopyProgressAnswer::kCancel) {
      cancelled = true;
      return false;
    }
    if (copied >= total) return true;
    if (!CopyFileBytes(in, out, std::min(kProgressPartSize, total - copied), done)) return false;
    if (done == 0) return true;  // the file got shorter while it was copied
    copied += done;
  }
}

// A file of the build host held open by one ExclusiveFile; its path stays in
// the opener's set of held paths until it is closed.
class HostExclusiveFile : public ExclusiveFile {
 public:
  HostExclusiveFile(int fd, std::string key, std::shared_ptr<std::set<std::string>> held)
      : fd_(fd), key_(std::move(key)), held_(std::move(held)) {
    held_->insert(key_);
  }
  ~HostExclusiveFile() override {
    ::close(fd_);
    held_->erase(key_);
  }

  bool Size(std::uint64_t& size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
  }

  bool Read(void* buffer, std::size_t length, std::size_t& done) override {
    done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < length) {
      ssize_t n = ::read(fd_, bytes + done, length - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) break;  // end of file: a short read, as ReadFile gives it
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  bool Write(const void* buffer, std::size_t length, std::size_t& done) override {
    done = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < length) {
      ssize_t n = ::write(fd_, bytes + done, length - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  bool Flush() override { return ::fsync(fd_) == 0; }

 private:
  int fd_;
  std::string key_;
  std::shared_ptr<std::set<std::string>> held_;
};

}  // namespace

std::string HostFileServices::HeldKey(const std::string& path) {
  std::error_code ec;
  std::filesystem::path normal = std::filesystem::weakly_canonical(path, ec);
  if (ec) return std::filesystem::absolute(path, ec).lexically_normal().string();
  return normal.string();
}

bool HostFileServices::IsHeld(const std::string& path) const {
  return !open_files_->empty() && open_files_->count(HeldKey(path)) != 0;
}

bool HostFileServices::FileExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool HostFileServices::DirectoryExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool HostFileServices::FileStamp(const std::string& path, std::uint64_t& write_time,
                               std::uint64_t& size) {
  struct stat st;
  if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return false;
  write_time = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 10000000ull +
               static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool HostFileServices::Fail(FileError error) {
  last_error_ = error;
  return false;
}

bool HostFileServices::FailFromErrno() {
  switch (errno) {
    case ENOENT:
    case ENOTDIR: return Fail(FileError::kNotFound);
    case EACCES:
    case EPERM:
    case EROFS: return Fail(FileError::kAccessDenied);
    case EEXIST: return Fail(FileError::kExists);
    case ETXTBSY: return Fail(FileError::kInUse);
    default: return Fail(FileError::kOther);
  }
}

bool HostFileServices::GetAttributes(const std::string& path, std::uint32_t& attributes) {
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  if (S_ISDIR(st.st_mode)) {
    attributes = kAttributeDirectory;
  } else {
    attributes = IsReadOnly(st) ? kAttributeReadOnly : kAttributeNormal;
  }
  return true;
}

bool HostFileServices::SetAttributes(const std::string& path, std::uint32_t attributes) {
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  if (S_ISDIR(st.st_mode)) return true;  // a folder's read-only bit means nothing here
  // Only the read-only bit is kept, as the owner's write permission.
  const mode_t mode = (attributes & kAttributeReadOnly) ? (st.st_mode & 07555)
                                                         : (st.st_mode | S_IWUSR);
  if (::chmod(path.c_str(), mode & 07777) != 0) return FailFromErrno();
  return true;
}

bool HostFileServices::FileIdentity(const std::string& path, FileId& id) {
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool HostFileServices::CopyFileWithProgress(const std::string& source, const std::string& target,
                                          bool fail_if_exists, const CopyProgress& progress) {
  // A file held open with no sharing can be neither read nor replaced.
  if (IsHeld(source) || IsHeld(target)) return Fail(FileError::kInUse);
  struct stat src_st, dst_st;
  if (!StatPath(source, src_st)) return FailFromErrno();
  if (!S_ISREG(src_st.st_mode)) return Fail(FileError::kAccessDenied);
  if (StatPath(target, dst_st)) {
    if (fail_if_exists) return Fail(FileError::kExists);
    if (!S_ISREG(dst_st.st_mode) || IsReadOnly(dst_st)) return Fail(FileError::kAccessDenied);
    // Copying a file onto itself would truncate it before reading it; the
    // system's copy fails there on its own sharing rules.
    if (src_st.st_dev == dst_st.st_dev && src_st.st_ino == dst_st.st_ino)
      return Fail(FileError::kInUse);
  }
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailFromErrno();
  // Not truncated on opening: the same-file check is repeated on the open
  // files (a link to the source, or a change since the check above).
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (fail_if_exists ? O_EXCL : 0);
  int out = ::open(target.c_str(), flags, 0644);
  if (out < 0) {
    FailFromErrno();
    ::close(in);
    return false;
  }
  struct stat in_st, out_st;
  bool ok = ::fstat(in, &in_st) == 0 && ::fstat(out, &out_st) == 0 &&
            S_ISREG(in_st.st_mode) && S_ISREG(out_st.st_mode) &&
            !(in_st.st_dev == out_st.st_dev && in_st.st_ino == out_st.st_ino) &&
            ::ftruncate(out, 0) == 0;
  bool cancelled = false;
  if (ok) ok = CopyFileContents(in, out, progress, cancelled);
  // The copy takes the source's read-only bit, as the system's copy takes its
  // attributes.
  if (ok) ok = ::fchmod(out, IsReadOnly(in_st) ? 0444 : 0644) == 0;
  ::close(in);
  if (::close(out) != 0) ok = false;
  // A cancelled copy leaves no target behind, as the system's copy does.
  if (cancelled) ::unlink(target.c_str());
  return ok || Fail(FileError::kOther);
}

bool HostFileServices::MoveFileReplacing(const std::string& from, const std::string& to) {
  if (IsHeld(from)) return Fail(FileError::kInUse);
  // The system refuses to replace an open file as it refuses a read-only one.
  if (IsHeld(to)) return Fail(FileError::kAccessDenied);
  struct stat st;
  if (!StatPath(from, st)) return FailFromErrno();
  // MoveFileEx replaces files, never folders, and never a read-only file.
  struct stat to_st;
  if (StatPath(to, to_st) && (S_ISDIR(to_st.st_mode) || IsReadOnly(to_st)))
    return Fail(FileError::kAccessDenied);
  if (::rename(from.c_str(), to.c_str()) != 0) return FailFromErrno();
  return true;
}

bool HostFileServices::RemoveFile(const std::string& path) {
  if (IsHeld(path)) return Fail(FileError::kInUse);
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Fail(FileError::kAccessDenied);
  if (::unlink(path.c_str()) != 0) return FailFromErrno();
  return true;
}

bool HostFileServices::FlushFile(const std::string& path) {
  if (IsHeld(path)) return Fail(FileError::kInUse);
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  // The system flushes only through a handle opened for writing.
  if (!S_ISREG(st.st_mode) || IsReadOnly(st)) return Fail(FileError::kAccessDenied);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FailFromErrno();
  const bool ok = ::fsync(fd) == 0;
  return (::close(fd) == 0 && ok) || Fail(FileError::kOther);
}

std::unique_ptr<ExclusiveFile> HostFileServices::OpenExclusive(const std::string& path,
                                                             FileOpenMode mode) {
  if (path.empty()) {
    Fail(FileError::kNotFound);
    return nullptr;
  }
  if (IsHeld(path)) {
    Fail(FileError::kInUse);
    return nullptr;
  }
  struct stat st;
  if (StatPath(path, st) &&
      (!S_ISREG(st.st_mode) || (mode != FileOpenMode::kReadExisting && IsReadOnly(st)))) {
    Fail(mode == FileOpenMode::kCreateNew ? FileError::kExists : FileError::kAccessDenied);
    return nullptr;
  }
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileOpenMode::kReadExisting: flags |= O_RDONLY; break;
    case FileOpenMode::kCreateAlways: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case FileOpenMode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    case FileOpenMode::kAppendExisting: flags |= O_WRONLY | O_APPEND; break;
  }
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    FailFromErrno();
    return nullptr;
  }
  return std::make_unique<HostExclusiveFile>(fd, HeldKey(path), open_files_);
}


}  // namespace quillset
