// OS services on the build host, for the native tests: real POSIX files and
// folders (tests point every path into a temporary folder), and the clock,
// locale, code page and executable
// path of a SettableSystem (base/settable_system.h), which the test sets.
// Windows paths are taken as they come: a test passes host paths
// ("/tmp/x/a.txt") and the services use them unchanged.
//
// A file held open by OpenExclusive of this object stands for a file locked by
// another program: while it is open, a second OpenExclusive, a copy from or to
// it, a move of it, its deletion and its flush fail with FileError::kInUse, a
// move onto it with kAccessDenied (as the system answers). Its attributes and
// identity can still be read.
//
// Read-only files follow Windows' rules, which the host's owner (often root)
// would not: a file without the owner's write bit stands for one with the
// read-only attribute, and can be neither replaced (move or copy onto it),
// nor removed, nor opened for writing, nor flushed (kAccessDenied). A copy
// takes the source's read-only bit.
//
// Names are compared as the host file system compares them (case matters):
// the in-memory OS (base/testing/in_memory_os.h) is the one that folds case.
//
// Sleep does not wait; the time passes on the simulated clock.
//
// Fault injection: FaultInjectingOs (base/testing/) wrapped around this object.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/os_services.h"
#include "base/settable_system.h"

namespace quillset {

// The files and profile files of the host; the rest comes from
// WithSettableSystem (HostOsServices below).
class HostFileServices : public OsServices {
 public:
  // ---- OsServices
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileStamp(const std::string& path, std::uint64_t& write_time, std::uint64_t& size) override;
  bool GetAttributes(const std::string& path, std::uint32_t& attributes) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool FileIdentity(const std::string& path, FileId& id) override;
  FileError LastFileError() override { return last_error_; }
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FlushFile(const std::string& path) override;
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path, FileOpenMode mode) override;
  void Sleep(std::uint32_t) override {}

 private:
  // True when `path` is held open by an ExclusiveFile of this object.
  bool IsHeld(const std::string& path) const;
  // The key under which a held path is remembered (absolute, normalised).
  static std::string HeldKey(const std::string& path);
  // Records why a call failed; returns false for the caller to pass on.
  bool Fail(FileError error);
  // Fail with the kind that errno tells.
  bool FailFromErrno();

  // Paths held by an ExclusiveFile of this object; shared with the files so that
  // a file may outlive the object that opened it.
  std::shared_ptr<std::set<std::string>> open_files_ = std::make_shared<std::set<std::string>>();
  FileError last_error_ = FileError::kNone;
};

class HostOsServices : public WithSettableSystem<HostFileServices> {};

}  // namespace quillset
