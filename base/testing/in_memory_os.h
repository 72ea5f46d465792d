// OS services whose files and folders live in memory, for tests that need no
// real disk (and run alike natively and under Wine), with the clock, locale,
// code page and executable path of a SettableSystem. Windows' file rules hold:
//   - names as Windows takes them: compared without regard to ASCII case (a
//     trail byte of a double-byte character is never folded); "\" and "/"
//     both separate, and repeated separators count as one; a part's one
//     trailing dot, and the last part's trailing dots and spaces, go;
//   - refused (LastFileError in brackets): bytes that are no Shift-JIS
//     (kOther), a character no name may hold, such as "?" or "*" (kNotFound),
//     a device's name such as "CON" or "nul.txt" in any part (kOther), a path
//     of more than MAX_PATH (259) characters (kNotFound);
//   - a drive exists only once the test set it up (AddFolder or AddFile of
//     a path on it): otherwise kNotFound;
//   - a file is made only in a folder that exists (a drive root that was set
//     up, and a bare name, always do): otherwise kNotFound;
//   - a read-only file can be neither opened for writing, nor replaced (copy
//     or move onto it), nor removed, nor flushed: kAccessDenied;
//   - a file held open by OpenExclusive shares nothing: a second open, a copy
//     from or to it, a move or removal of it, its flush fail with kInUse, a
//     move onto it with kAccessDenied. Its attributes and identity can be
//     read;
//   - MoveFileReplacing replaces in one step and keeps the file's identity; a
//     copy takes the source's read-only bit and reports its progress once
//     before the first byte and after each MiB; a cancelled copy leaves no
//     target.
// Sleep does not wait.
//
// Faults: FaultInjectingOs (base/testing/) wrapped around this object.
#pragma once

#include <cstdint>
#include <map>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>

#include "base/os_services.h"
#include "base/settable_system.h"

namespace quillset {
namespace testing_support {

class InMemoryFileServices : public OsServices {
 public:
  InMemoryFileServices();
  ~InMemoryFileServices() override;

  // ---- What the test sets up (folders above them, and their drive, are
  // made too; "D:\\" sets up the drive alone)
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, const std::string& content);
  // The file's bytes; `found` false (and empty) when there is no such file.
  std::string FileContent(const std::string& path, bool* found = nullptr) const;
  // Copies that succeeded.
  int CopiesMade() const { return copies_made_; }

  // ---- OsServices
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileStamp(const std::string& path, std::uint64_t& write_time, std::uint64_t& size) override;
  bool GetAttributes(const std::string& path, std::uint32_t& attributes) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool FileIdentity(const std::string& path, FileId& id) override;
  FileError LastFileError() override { return last_error_; }
  void Sleep(std::uint32_t) override {}
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FlushFile(const std::string& path) override;
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path, FileOpenMode mode) override;

 private:
  struct Node;
  class OpenFile;

  // The name under which `path` is kept: case folded, one kind of separator.
  static std::string Key(const std::string& path);
  // The node of an existing file or folder; null when there is none.
  Node* Find(const std::string& path) const;
  // The folder a new file named `path` would go into exists.
  bool ParentExists(const std::string& key) const;
  // Why Windows would refuse `path` (kNone: it takes it): bytes that are no
  // Shift-JIS, a character no name may hold, a device's name, more than
  // MAX_PATH characters, a drive the test did not set up.
  FileError NameProblem(const std::string& path) const;
  // A path of `paths` is refused: LastFileError says why.
  bool Refuses(std::initializer_list<const std::string*> paths);
  bool Fail(FileError error);

  std::map<std::string, std::shared_ptr<Node>> nodes_;
  std::set<std::string> drives_;  // "C:", as set up
  std::uint64_t next_index_ = 1;
  std::uint64_t write_clock_ = 1;  // stamps each change of a file
  int copies_made_ = 0;
  FileError last_error_ = FileError::kNone;
};

class InMemoryOs : public WithSettableSystem<InMemoryFileServices> {};

}  // namespace testing_support
}  // namespace quillset
