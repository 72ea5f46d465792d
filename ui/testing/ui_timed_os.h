// The OS double of the handler tests (Base: real files or the in-memory OS),
// with simulated time charged to the simulated UI thread
// (ui/testing/simulated_ui_thread.h): Sleep (the held-file retries' waits),
// the calls a test makes slow (`call_ms`: a flush held 1.9 s by a slow disk),
// and each part of a copy (`copy_part_ms`), on whichever thread they run. So
// the hang watch sees every wait of every handler test.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "ui/testing/simulated_ui_thread.h"

namespace quillset {

template <typename Base>
class UiTimedOs : public Base {
 public:
  std::map<OsCall, std::uint32_t> call_ms;
  std::uint32_t copy_part_ms = 50;
  void Sleep(std::uint32_t milliseconds) override {
    SimulatedUiThread::Current().Pass(milliseconds, "Sleep");
    Base::Sleep(milliseconds);
  }
  bool FlushFile(const std::string& path) override {
    Spend(OsCall::kFlush, "FlushFile");
    return Base::FlushFile(path);
  }
  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    Spend(OsCall::kMove, "MoveFileReplacing");
    return Base::MoveFileReplacing(from, to);
  }
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override {
    Spend(OsCall::kProfileWrite, "WriteProfileString");
    return Base::WriteProfileString(section, key, value, path);
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
          SimulatedUiThread::Current().Pass(copy_part_ms, "a part of a copy");
          return answer;
        });
  }

 private:
  void Spend(OsCall call, const char* what) {
    const auto it = call_ms.find(call);
    if (it != call_ms.end()) SimulatedUiThread::Current().Pass(it->second, what);
  }
};

}  // namespace quillset
