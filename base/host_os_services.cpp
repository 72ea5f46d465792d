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

#include "base/host_profile_file.h"
#include "base/locale_items.h"

namespace quillset {
namespace {

const ShiftJisCodePage kShiftJis;

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

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content) {
  struct stat st;
  if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  content = buffer.str();
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  struct stat st;
  if (StatPath(path, st) && !S_ISREG(st.st_mode)) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  bool ok = true;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
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

void SetDefaultLocale(std::map<std::uint32_t, std::string>& items) {
  // As a Japanese Windows gives them.
  items[locale_item::kILanguage] = "0411";
  items[locale_item::kIDefaultAnsiCodePage] = "932";
  items[locale_item::kSDate] = "/";
  items[locale_item::kSShortDate] = "yyyy/MM/dd";
  items[locale_item::kSLongDate] = "yyyy'年'M'月'd'日'";
  items[locale_item::kSTimeFormat] = "H:mm:ss";
  items[locale_item::kITime] = "1";
  items[locale_item::kITLZero] = "0";
  items[locale_item::kITimeMarkPosn] = "0";
  items[locale_item::kS1159] = "午前";
  items[locale_item::kS2359] = "午後";
  items[locale_item::kICalendarType] = "1";
  // locale_item::kSDayName1 is Monday.
  static const char* const kDayNames[7] = {"月曜日", "火曜日", "水曜日", "木曜日",
                                           "金曜日", "土曜日", "日曜日"};
  static const char* const kDayAbbrevs[7] = {"月", "火", "水", "木", "金", "土", "日"};
  for (std::uint32_t i = 0; i < 7; ++i) {
    items[locale_item::kSDayName1 + i] = kDayNames[i];
    items[locale_item::kSAbbrevDayName1 + i] = kDayAbbrevs[i];
  }
  for (std::uint32_t i = 0; i < 12; ++i) {
    std::string name = std::to_string(i + 1) + "月";
    items[locale_item::kSMonthName1 + i] = name;
    items[locale_item::kSAbbrevMonthName1 + i] = name;
  }
}

}  // namespace

HostOsServices::HostOsServices() {
  local_time_.year = 2026;
  local_time_.month = 12;
  local_time_.day = 7;
  local_time_.day_of_week = 1;  // Monday
  local_time_.hour = 10;
  SetDefaultLocale(locale_items_);
  // The Japanese era calendar as a Japanese Windows lists it, oldest first.
  eras_[3] = {{"明治", 1868, 1, 1}, {"大正", 1912, 7, 30}, {"昭和", 1926, 12, 25},
              {"平成", 1989, 1, 8}, {"令和", 2019, 5, 1}};
}

std::string HostOsServices::HeldKey(const std::string& path) {
  std::error_code ec;
  std::filesystem::path normal = std::filesystem::weakly_canonical(path, ec);
  if (ec) return std::filesystem::absolute(path, ec).lexically_normal().string();
  return normal.string();
}

bool HostOsServices::IsHeld(const std::string& path) const {
  return !open_files_->empty() && open_files_->count(HeldKey(path)) != 0;
}

bool HostOsServices::IsLeadByte(std::uint8_t byte) const { return kShiftJis.IsLeadByte(byte); }

std::string HostOsServices::ExecutablePath() { return executable_path_; }

bool HostOsServices::FileExists(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st) || S_ISDIR(st.st_mode)) return false;
  // A DOS date covers 1980 to 2107; a time outside it fails the conversion.
  std::tm local{};
  time_t seconds = st.st_mtim.tv_sec;
  if (::localtime_r(&seconds, &local) == nullptr) return false;
  int year = local.tm_year + 1900;
  return year >= 1980 && year <= 2107;
}

bool HostOsServices::DirectoryExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool HostOsServices::FileStamp(const std::string& path, std::uint64_t& write_time,
                               std::uint64_t& size) {
  struct stat st;
  if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return false;
  write_time = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000ull +
               static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool HostOsServices::Fail(FileError error) {
  last_error_ = error;
  return false;
}

bool HostOsServices::FailFromErrno() {
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

bool HostOsServices::GetAttributes(const std::string& path, std::uint32_t& attributes) {
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  if (S_ISDIR(st.st_mode)) {
    attributes = kAttributeDirectory;
  } else {
    attributes = IsReadOnly(st) ? kAttributeReadOnly : kAttributeNormal;
  }
  return true;
}

bool HostOsServices::SetAttributes(const std::string& path, std::uint32_t attributes) {
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  if (S_ISDIR(st.st_mode)) return true;  // a folder's read-only bit means nothing here
  // Only the read-only bit is kept, as the owner's write permission.
  const mode_t mode = (attributes & kAttributeReadOnly) ? (st.st_mode & 07555)
                                                         : (st.st_mode | S_IWUSR);
  if (::chmod(path.c_str(), mode & 07777) != 0) return FailFromErrno();
  return true;
}

bool HostOsServices::FileIdentity(const std::string& path, FileId& id) {
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool HostOsServices::CopyFile(const std::string& source, const std::string& target,
                              bool fail_if_exists) {
  return HostOsServices::CopyFileWithProgress(source, target, fail_if_exists, CopyProgress());
}

bool HostOsServices::CopyFileWithProgress(const std::string& source, const std::string& target,
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

bool HostOsServices::MoveFileReplacing(const std::string& from, const std::string& to) {
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

bool HostOsServices::RemoveFile(const std::string& path) {
  if (IsHeld(path)) return Fail(FileError::kInUse);
  struct stat st;
  if (!StatPath(path, st)) return FailFromErrno();
  if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Fail(FileError::kAccessDenied);
  if (::unlink(path.c_str()) != 0) return FailFromErrno();
  return true;
}

bool HostOsServices::FlushFile(const std::string& path) {
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

std::unique_ptr<ExclusiveFile> HostOsServices::OpenExclusive(const std::string& path,
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
  }
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    FailFromErrno();
    return nullptr;
  }
  return std::make_unique<HostExclusiveFile>(fd, HeldKey(path), open_files_);
}

std::string HostOsServices::GetProfileString(const std::string& section, const std::string& key,
                                             const std::string& default_value,
                                             const std::string& path) {
  std::string content, value;
  // A file held open with no sharing cannot be read: the reader gives the default.
  if (!IsHeld(path) && ReadWholeFile(path, content) &&
      FindProfileValue(content, section, key, kShiftJis, value))
    return value;
  return ProfileDefaultValue(default_value, kShiftJis);
}

bool HostOsServices::WriteProfileString(const std::string& section, const std::string& key,
                                        const std::string& value, const std::string& path) {
  if (path.empty()) return Fail(FileError::kNotFound);
  // Another program holding the file refuses the profile writer as it would
  // any opener.
  if (IsHeld(path)) return Fail(FileError::kInUse);
  std::string content;
  struct stat st;
  if (StatPath(path, st) && !ReadWholeFile(path, content)) return FailFromErrno();
  return WriteWholeFile(path, SetProfileValue(content, section, key, value, kShiftJis)) ||
         FailFromErrno();
}

void HostOsServices::FlushProfile(const std::string&) {
  // Writes go straight to the file; there is no cache to flush.
  ++profile_flushes_;
}

SystemTime HostOsServices::LocalTime() { return local_time_; }

bool HostOsServices::LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) {
  auto it = locale_items_.find(item);
  if (it == locale_items_.end()) return false;
  // The value and its terminator must fit, as GetLocaleInfoA demands.
  if (it->second.size() + 1 > buffer_size) return false;
  value = it->second;
  return true;
}

std::uint32_t HostOsServices::ThreadLocale() { return thread_locale_; }

void HostOsServices::SetThreadLocaleToUserDefault() {
  thread_locale_ = user_default_locale_;
  ++thread_locale_resets_;
}

bool HostOsServices::IsValidLocale(std::uint32_t lcid) { return valid_locales_.count(lcid) != 0; }

std::vector<OsServices::Era> HostOsServices::CalendarEras(int calendar) {
  auto it = eras_.find(calendar);
  return it == eras_.end() ? std::vector<Era>() : it->second;
}

}  // namespace quillset
