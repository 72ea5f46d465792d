// The OS double of the handler tests (Base: real files or the in-memory OS,
// either with a SettableSystem), whose one clock the simulated UI thread
// (ui/testing/simulated_ui_thread.h) keeps its time by. Time passes there,
// on whichever thread the call runs, for every Sleep (the held-file retries'
// waits), for opening, writing and flushing a file (so a save of the data
// file counts against the hang watch and the session end's budget), for each
// part of a copy, and for the calls a test makes slow (`call_ms`: a flush
// held 1.9 s by a slow disk). The local time moves with all of them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "base/os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "ui/testing/simulated_ui_thread.h"

namespace quillset {

template <typename Base>
class UiTimedOs : public Base {
 public:
  UiTimedOs() { SimulatedUiThread::Current().Attach(Base::Clock()); }
  ~UiTimedOs() override { SimulatedUiThread::Current().Release(Base::Clock()); }
  UiTimedOs(const UiTimedOs&) = delete;
  UiTimedOs& operator=(const UiTimedOs&) = delete;

  // The time of one call of each kind; the defaults are a plain local disk's.
  // kOpen: OpenExclusive; kWrite: each ExclusiveFile::Write, and
  // `write_ms_per_mib` more for its bytes; kFlush: ExclusiveFile::Flush and
  // FlushFile; kMove, kRemove, kCopy: those calls.
  std::map<OsCall, std::uint32_t> call_ms = {{OsCall::kOpen, 2}, {OsCall::kFlush, 20}};
  std::uint32_t write_ms_per_mib = 10;
  std::uint32_t copy_part_ms = 50;

  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                               FileOpenMode mode) override {
    Spend(OsCall::kOpen, "OpenExclusive");
    std::unique_ptr<ExclusiveFile> file = Base::OpenExclusive(path, mode);
    if (!file) return nullptr;
    return std::make_unique<TimedFile>(std::move(file), *this);
  }
  bool FlushFile(const std::string& path) override {
    Spend(OsCall::kFlush, "FlushFile");
    return Base::FlushFile(path);
  }
  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    Spend(OsCall::kMove, "MoveFileReplacing");
    return Base::MoveFileReplacing(from, to);
  }
  bool RemoveFile(const std::string& path) override {
    Spend(OsCall::kRemove, "RemoveFile");
    return Base::RemoveFile(path);
  }
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override {
    Spend(OsCall::kCopy, "CopyFileWithProgress");
    if (!progress)
      return Base::CopyFileWithProgress(source, target, fail_if_exists, progress);
    return Base::CopyFileWithProgress(
        source, target, fail_if_exists, [&](std::uint64_t copied, std::uint64_t total) {
          const CopyProgressAnswer answer = progress(copied, total);
          Base::Clock().Pass(copy_part_ms, "a part of a copy");
          return answer;
        });
  }

 private:
  // A file whose writes and flushes take time.
  class TimedFile : public ExclusiveFile {
   public:
    TimedFile(std::unique_ptr<ExclusiveFile> file, UiTimedOs& os)
        : file_(std::move(file)), os_(os) {}
    bool Size(std::uint64_t& size) override { return file_->Size(size); }
    bool Read(void* buffer, std::size_t length, std::size_t& done) override {
      return file_->Read(buffer, length, done);
    }
    bool Write(const void* buffer, std::size_t length, std::size_t& done) override {
      os_.Spend(OsCall::kWrite, "ExclusiveFile::Write");
      const std::uint64_t ms = std::uint64_t{length} * os_.write_ms_per_mib >> 20;
      if (ms != 0) os_.Base::Clock().Pass(ms, "ExclusiveFile::Write");
      return file_->Write(buffer, length, done);
    }
    bool Flush() override {
      os_.Spend(OsCall::kFlush, "ExclusiveFile::Flush");
      return file_->Flush();
    }

   private:
    std::unique_ptr<ExclusiveFile> file_;
    UiTimedOs& os_;
  };

  void Spend(OsCall call, const char* what) {
    const auto it = call_ms.find(call);
    if (it != call_ms.end()) Base::Clock().Pass(it->second, what);
  }
};

}  // namespace quillset
