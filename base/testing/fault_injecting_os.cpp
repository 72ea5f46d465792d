#include "base/testing/fault_injecting_os.h"

#include "base/settable_system.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quillset {
namespace {

// The whole content of `path` through `os`; false when it cannot be read.
bool ReadAll(OsServices& os, const std::string& path, std::string& content) {
  std::unique_ptr<ExclusiveFile> file = os.OpenExclusive(path, FileOpenMode::kReadExisting);
  std::uint64_t size = 0;
  if (!file || !file->Size(size)) return false;
  content.assign(static_cast<std::size_t>(size), '\0');
  std::size_t at = 0;
  while (at < content.size()) {
    std::size_t done = 0;
    if (!file->Read(&content[at], content.size() - at, done) || done == 0) return false;
    at += done;
  }
  return true;
}

bool WriteAll(OsServices& os, const std::string& path, const std::string& content) {
  std::unique_ptr<ExclusiveFile> file = os.OpenExclusive(path, FileOpenMode::kCreateAlways);
  std::size_t done = 0;
  return file && file->Write(content.data(), content.size(), done) && done == content.size() &&
         file->Flush();
}

}  // namespace

// A file opened through the fault-injecting services: its calls are counted
// and may fail, and what it writes is remembered until it is flushed.
class FaultInjectingOs::TrackedFile : public ExclusiveFile {
 public:
  TrackedFile(std::unique_ptr<ExclusiveFile> file, std::string path, FaultInjectingOs& os,
              std::string content = std::string())
      : file_(std::move(file)), path_(std::move(path)), os_(os), content_(std::move(content)) {}

  bool Size(std::uint64_t& size) override {
    const bool hit = os_.Hit(OsCall::kSize);
    if (hit && os_.fault_ == OsFault::kFail) return false;
    if (hit && os_.fault_ == OsFault::kHugeSize) {
      size = std::uint64_t{1} << 63;
      return true;
    }
    return file_->Size(size);
  }
  bool Read(void* buffer, std::size_t length, std::size_t& done) override {
    if (os_.Fails(OsCall::kRead)) return false;
    const bool ok = file_->Read(buffer, length, done);
    if (ok) content_.append(static_cast<const char*>(buffer), done);
    return ok;
  }
  bool Write(const void* buffer, std::size_t length, std::size_t& done) override {
    const bool hit = os_.Hit(OsCall::kWrite);
    if (os_.disk_full_) {
      done = 0;
      return true;  // the disk takes nothing more
    }
    if (hit && os_.fault_ == OsFault::kFail) return false;
    if (hit && length > 1) {  // takes half, as a full disk or a flaky device would
      if (os_.fault_ == OsFault::kDiskFull) os_.disk_full_ = true;
      length /= 2;
    }
    // What a crash would keep: the content before the first unflushed write.
    os_.durable_.emplace(path_, content_);
    const bool ok = file_->Write(buffer, length, done);
    if (ok) content_.append(static_cast<const char*>(buffer), done);
    return ok;
  }
  bool Flush() override {
    if (os_.Fails(OsCall::kFlush)) return false;
    const bool ok = file_->Flush();
    if (ok) os_.durable_.erase(path_);
    return ok;
  }

 private:
  std::unique_ptr<ExclusiveFile> file_;
  std::string path_;
  FaultInjectingOs& os_;
  std::string content_;  // what was read or written so far, from the start
};

FaultInjectingOs::FaultInjectingOs(OsServices& target) : OsServicesWrapper(target) {
  if (auto* system = dynamic_cast<SettableSystem*>(&target)) clock_ = &system->Clock();
}

FaultInjectingOs::~FaultInjectingOs() = default;

void FaultInjectingOs::FailNthCall(int n, OsFault fault, OsCall call) {
  fail_at_ = n;
  fault_ = fault;
  fault_call_ = call;
  calls_ = 0;
  injected_ = false;
  failed_call_ = OsCall::kAnyIo;
  disk_full_ = false;
}

bool FaultInjectingOs::HoldFile(const std::string& path, int io_calls) {
  std::unique_ptr<ExclusiveFile> file = Target().OpenExclusive(path, FileOpenMode::kReadExisting);
  if (!file) return false;
  holds_[path] = Hold{std::move(file), io_calls};
  return true;
}

bool FaultInjectingOs::HoldFileFor(const std::string& path, std::uint32_t milliseconds) {
  if (!HoldFile(path, -1)) return false;
  holds_[path].release_at_ms = static_cast<std::int64_t>(NowMs() + milliseconds);
  return true;
}

void FaultInjectingOs::HoldAtNthCall(int n, std::uint32_t milliseconds, OsCall call) {
  hold_at_ = n;
  hold_calls_ = 0;
  hold_ms_ = milliseconds;
  hold_call_ = call;
  held_call_failures_ = 0;
  held_path_.clear();
  held_until_.clear();
}

void FaultInjectingOs::ReleaseExpiredHolds() {
  for (auto it = holds_.begin(); it != holds_.end();) {
    if (it->second.release_at_ms >= 0 &&
        static_cast<std::uint64_t>(it->second.release_at_ms) <= NowMs()) {
      it = holds_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = held_until_.begin(); it != held_until_.end();)
    it = it->second <= NowMs() ? held_until_.erase(it) : std::next(it);
}

void FaultInjectingOs::Sleep(std::uint32_t milliseconds) {
  slept_ms_ += milliseconds;
  clock_->Pass(milliseconds, "Sleep");
  ReleaseExpiredHolds();
}

bool FaultInjectingOs::NamesHeldFile(OsCall kind,
                                     std::initializer_list<const std::string*> paths) {
  injected_error_ = FileError::kNone;
  ReleaseExpiredHolds();
  if (hold_at_ > 0 && (hold_call_ == OsCall::kAnyIo || hold_call_ == kind) &&
      ++hold_calls_ == hold_at_) {
    held_path_ = **paths.begin();
    held_until_[held_path_] = NowMs() + hold_ms_;
  }
  for (const std::string* path : paths) {
    if (held_until_.count(*path) != 0) {
      injected_error_ = FileError::kInUse;
      ++held_call_failures_;
      return true;
    }
  }
  return false;
}

FileError FaultInjectingOs::LastFileError() {
  return injected_error_ != FileError::kNone ? injected_error_ : Target().LastFileError();
}

bool FaultInjectingOs::GetAttributes(const std::string& path, std::uint32_t& attributes) {
  injected_error_ = FileError::kNone;
  return OsServicesWrapper::GetAttributes(path, attributes);
}

bool FaultInjectingOs::SetAttributes(const std::string& path, std::uint32_t attributes) {
  injected_error_ = FileError::kNone;
  if (Fails(OsCall::kAttributes)) return false;
  return OsServicesWrapper::SetAttributes(path, attributes);
}

bool FaultInjectingOs::FileIdentity(const std::string& path, FileId& id) {
  injected_error_ = FileError::kNone;
  return OsServicesWrapper::FileIdentity(path, id);
}

void FaultInjectingOs::ReleaseFile(const std::string& path) { holds_.erase(path); }

void FaultInjectingOs::BeforeCall(OsCall call, int n, std::function<void()> action) {
  actions_.push_back({call, n, std::move(action)});
}

bool FaultInjectingOs::Hit(OsCall kind) {
  ReleaseExpiredHolds();
  // Files held for a number of calls are let go once those calls are made.
  for (auto it = holds_.begin(); it != holds_.end();) {
    if (it->second.calls_left == 0) {
      it = holds_.erase(it);
      continue;
    }
    if (it->second.calls_left > 0) --it->second.calls_left;
    ++it;
  }
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    Action& action = actions_[i];
    if (action.calls_left <= 0 || (action.call != kind && action.call != OsCall::kAnyIo)) continue;
    if (--action.calls_left == 0) {
      std::function<void()> run = std::move(action.action);
      run();  // may add actions: `action` is not used after this
    }
  }
  if (fault_call_ != OsCall::kAnyIo && fault_call_ != kind) return false;
  if (++calls_ != fail_at_) return false;
  injected_ = true;
  failed_call_ = kind;
  injected_error_ = FileError::kOther;
  return true;
}

bool FaultInjectingOs::Fails(OsCall kind) { return Hit(kind) && fault_ == OsFault::kFail; }

void FaultInjectingOs::Crash() {
  for (const auto& [path, durable] : durable_) {
    std::string content;
    if (!ReadAll(Target(), path, content)) continue;  // removed since
    // The length stays; bytes past what was flushed are zeros.
    std::string after(content.size(), '\0');
    std::copy_n(durable.begin(), std::min(durable.size(), after.size()), after.begin());
    // The disk loses bytes of read-only files too.
    std::uint32_t attributes = 0;
    const bool read_only =
        Target().GetAttributes(path, attributes) && (attributes & kAttributeReadOnly) != 0;
    if (read_only) Target().SetAttributes(path, kAttributeNormal);
    WriteAll(Target(), path, after);
    if (read_only) Target().SetAttributes(path, attributes);
  }
  durable_.clear();
}

std::vector<std::string> FaultInjectingOs::UnflushedFiles() const {
  std::vector<std::string> paths;
  for (const auto& entry : durable_) paths.push_back(entry.first);
  return paths;
}

bool FaultInjectingOs::CopyFileWithProgress(const std::string& source, const std::string& target,
                                            bool fail_if_exists, const CopyProgress& progress) {
  if (NamesHeldFile(OsCall::kCopy, {&source, &target})) return false;
  if (Hit(OsCall::kCopy)) {
    if (fault_ == OsFault::kFail) return false;
    // Broken off half way: half of the source reaches the target.
    std::string bytes;
    if (ReadAll(Target(), source, bytes)) WriteAll(Target(), target, bytes.substr(0, bytes.size() / 2));
    return false;
  }
  if (!OsServicesWrapper::CopyFileWithProgress(source, target, fail_if_exists, progress))
    return false;
  durable_[target] = std::string();  // the copy's bytes sit in the cache
  return true;
}

bool FaultInjectingOs::MoveFileReplacing(const std::string& from, const std::string& to) {
  if (NamesHeldFile(OsCall::kMove, {&to, &from})) return false;
  if (Fails(OsCall::kMove)) return false;
  if (!OsServicesWrapper::MoveFileReplacing(from, to)) return false;
  // The rename itself is written through; unflushed bytes go with the file.
  auto it = durable_.find(from);
  if (it != durable_.end()) {
    durable_[to] = std::move(it->second);
    durable_.erase(from);
  } else {
    durable_.erase(to);
  }
  return true;
}

bool FaultInjectingOs::RemoveFile(const std::string& path) {
  if (NamesHeldFile(OsCall::kRemove, {&path})) return false;
  if (Fails(OsCall::kRemove)) return false;
  if (!OsServicesWrapper::RemoveFile(path)) return false;
  durable_.erase(path);
  return true;
}

bool FaultInjectingOs::FlushFile(const std::string& path) {
  if (NamesHeldFile(OsCall::kFlush, {&path})) return false;
  if (Fails(OsCall::kFlush)) return false;
  if (!OsServicesWrapper::FlushFile(path)) return false;
  durable_.erase(path);
  return true;
}

std::unique_ptr<ExclusiveFile> FaultInjectingOs::OpenExclusive(const std::string& path,
                                                               FileOpenMode mode) {
  if (NamesHeldFile(OsCall::kOpen, {&path})) return nullptr;
  if (Fails(OsCall::kOpen)) return nullptr;
  // Writes at the end of a file follow what it holds: a crash keeps that.
  std::string before;
  if (mode == FileOpenMode::kAppendExisting) ReadAll(Target(), path, before);
  std::unique_ptr<ExclusiveFile> file = OsServicesWrapper::OpenExclusive(path, mode);
  if (!file) return nullptr;
  return std::make_unique<TrackedFile>(std::move(file), path, *this, std::move(before));
}


}  // namespace quillset
