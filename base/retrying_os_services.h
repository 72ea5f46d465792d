// The program's OS services for files that other programs open for a moment:
// antivirus scanners, the search indexer and cloud-sync clients open a file
// just written or just replaced, often with no sharing, for a few hundred
// milliseconds. A file call refused because the file is held (or access is
// denied, which is how a file being scanned or deleted often answers) is tried
// again after a short wait, for about 2 s in all; then it fails as it did,
// with the same FileError. Other failures (a missing file, a name taken) fail
// at once.
//
// Retried: OpenExclusive, CopyFileWithProgress (not a copy the progress
// routine cancelled), MoveFileReplacing, RemoveFile and FlushFile.
// The waits go through the target's Sleep.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/os_services_wrapper.h"

namespace quillset {

class RetryingOsServices : public OsServicesWrapper {
 public:
  // The waits between attempts, in milliseconds; they add up to 2,000.
  static constexpr std::uint32_t kWaits[] = {20, 40, 80, 160, 300, 400, 500, 500};

  // `target` must outlive this object.
  explicit RetryingOsServices(OsServices& target) : OsServicesWrapper(target) {}

  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                               FileOpenMode mode) override;
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FlushFile(const std::string& path) override;

 private:
  // Runs `attempt` until it succeeds, fails for another reason than a held
  // file, or the waits are used up.
  template <typename Attempt>
  bool UntilNotHeld(Attempt attempt);
};

}  // namespace quillset
