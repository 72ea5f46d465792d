#include "base/retrying_os_services.h"

namespace quillset {
namespace {

bool MayLetGoSoon(FileError error) {
  return error == FileError::kInUse || error == FileError::kAccessDenied;
}

}  // namespace

template <typename Attempt>
bool RetryingOsServices::UntilNotHeld(Attempt attempt) {
  for (std::uint32_t wait : kWaits) {
    if (attempt()) return true;
    if (!MayLetGoSoon(LastFileError())) return false;
    Sleep(wait);
  }
  return attempt();
}

std::unique_ptr<ExclusiveFile> RetryingOsServices::OpenExclusive(const std::string& path,
                                                                 FileOpenMode mode) {
  std::unique_ptr<ExclusiveFile> file;
  UntilNotHeld([&] {
    file = OsServicesWrapper::OpenExclusive(path, mode);
    return file != nullptr;
  });
  return file;
}

bool RetryingOsServices::CopyFileWithProgress(const std::string& source,
                                              const std::string& target, bool fail_if_exists,
                                              const CopyProgress& progress) {
  return UntilNotHeld([&] {
    return OsServicesWrapper::CopyFileWithProgress(source, target, fail_if_exists, progress);
  });
}

bool RetryingOsServices::MoveFileReplacing(const std::string& from, const std::string& to) {
  return UntilNotHeld([&] { return OsServicesWrapper::MoveFileReplacing(from, to); });
}

bool RetryingOsServices::RemoveFile(const std::string& path) {
  return UntilNotHeld([&] { return OsServicesWrapper::RemoveFile(path); });
}

bool RetryingOsServices::FlushFile(const std::string& path) {
  return UntilNotHeld([&] { return OsServicesWrapper::FlushFile(path); });
}


}  // namespace quillset
