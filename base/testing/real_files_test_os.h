// OS services over the real file system for tests of code that copies and
// writes real files (the host's natively, the Win32 ones under Wine): a
// settable clock (SettableSystem), a record of copies, moves and settings
// writes, and the faults of the shared FaultInjectingOs underneath
// (FailNthCall, HoldFile, Crash, ...). The temporary folder and the file
// helpers are base/testing/temp_folder.h's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/settable_system.h"
#include "base/testing/discarding_file.h"
#include "base/testing/fault_injecting_os.h"
#include "base/testing/platform_os.h"
#include "base/testing/temp_folder.h"

namespace quillset {
namespace testing_support {

// A source file whose path holds a Windows "\" before its name, as the
// backup list holds it: under Wine the file `name` in the folder `sub` of
// `folder`; natively a file named "<sub>\<name>" in `folder` (a backslash is
// an ordinary byte in a host file name), so that splitting the path at the
// last "\" gives `name` on both. Empty when it cannot be written.
inline std::string MakeSourceFile(const std::string& folder, const std::string& sub,
                                  const std::string& name, const std::string& bytes) {
  const std::string path = JoinPath(folder, sub) + "\\" + name;
#ifdef _WIN32
  MakeFolder(JoinPath(folder, sub));
#endif
  return WriteBytes(path, bytes) ? path : std::string();
}

// The platform's services, made before the wrapper that forwards to them.
struct PlatformOsMember {
  PlatformOsServices platform;
};

// OS services over the real file system with what tests need to steer: the
// clock, locale and executable path of a SettableSystem, and the faults of
// FaultInjectingOs.
class RealFilesTestOs : private PlatformOsMember, public WithSettableSystem<FaultInjectingOs> {
 public:
  using Base = WithSettableSystem<FaultInjectingOs>;
  RealFilesTestOs() : Base(platform) { UseClock(Clock()); }
  using SettableSystem::SleptMilliseconds;

  // ---- File copies and moves: recorded.
  std::vector<std::pair<std::string, std::string>> copies;
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override {
    copies.emplace_back(source, target);
    if (OnPretendDrive(target)) return true;
    return Base::CopyFileWithProgress(source, target, fail_if_exists, progress);
  }
  std::vector<std::pair<std::string, std::string>> moves;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    moves.emplace_back(from, to);
    if (OnPretendDrive(to)) return true;
    return Base::MoveFileReplacing(from, to);
  }

  // ---- Folders of a drive the test cannot make (drive roots): DirectoryExists
  // reports them, and creating, copying, flushing and moving files in them
  // succeed without writing anything.
  std::vector<std::string> extra_folders;
  bool DirectoryExists(const std::string& path) override {
    for (const std::string& folder : extra_folders)
      if (folder == path) return true;
    return Base::DirectoryExists(path);
  }
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                               FileOpenMode mode) override {
    if (OnPretendDrive(path) && mode != FileOpenMode::kReadExisting)
      return std::make_unique<DiscardingFile>();
    return Base::OpenExclusive(path, mode);
  }
  bool FlushFile(const std::string& path) override {
    return OnPretendDrive(path) || Base::FlushFile(path);
  }

 private:
  bool OnPretendDrive(const std::string& path) const {
    for (const std::string& folder : extra_folders)
      if (path.compare(0, folder.size(), folder) == 0) return true;
    return false;
  }
};

}  // namespace testing_support
}  // namespace quillset
