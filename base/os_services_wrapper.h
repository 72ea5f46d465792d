// OS services that forward every call to another implementation (the target).
// A test double derives from it and overrides only the calls it changes; the
// rest reach the target unchanged. New calls of OsServices get their
// forwarder here, once, and every double has them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/os_services.h"

namespace quillset {

class OsServicesWrapper : public OsServices {
 public:
  // `target` must outlive the wrapper.
  explicit OsServicesWrapper(OsServices& target) : target_(target) {}

  OsServices& Target() const { return target_; }

  bool IsLeadByte(std::uint8_t byte) const override { return target_.IsLeadByte(byte); }
  std::string ExecutablePath() override { return target_.ExecutablePath(); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return target_.DirectoryExists(path); }
  bool FileStamp(const std::string& path, std::uint64_t& write_time,
                 std::uint64_t& size) override {
    return target_.FileStamp(path, write_time, size);
  }
  bool GetAttributes(const std::string& path, std::uint32_t& attributes) override {
    return target_.GetAttributes(path, attributes);
  }
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return target_.SetAttributes(path, attributes);
  }
  bool FileIdentity(const std::string& path, FileId& id) override {
    return target_.FileIdentity(path, id);
  }
  FileError LastFileError() override { return target_.LastFileError(); }
  void Sleep(std::uint32_t milliseconds) override { target_.Sleep(milliseconds); }
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override {
    return target_.CopyFileWithProgress(source, target, fail_if_exists, progress);
  }
  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    return target_.MoveFileReplacing(from, to);
  }
  bool RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  bool FlushFile(const std::string& path) override { return target_.FlushFile(path); }
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                               FileOpenMode mode) override {
    return target_.OpenExclusive(path, mode);
  }
  SystemTime LocalTime() override { return target_.LocalTime(); }
  bool LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) override {
    return target_.LocaleInfo(item, buffer_size, value);
  }
  std::uint32_t ThreadLocale() override { return target_.ThreadLocale(); }
  void SetThreadLocaleToUserDefault() override { target_.SetThreadLocaleToUserDefault(); }
  bool IsValidLocale(std::uint32_t lcid) override { return target_.IsValidLocale(lcid); }
  std::vector<Era> CalendarEras(int calendar) override { return target_.CalendarEras(calendar); }

 private:
  OsServices& target_;
};

}  // namespace quillset
