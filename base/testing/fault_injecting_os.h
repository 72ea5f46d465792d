// The fault-injecting OS services every fault test shares. It wraps real OS
// services (a HostOsServices natively, the Win32 ones under Wine) and, on
// request:
//   - fails the Nth I/O call, of one kind or of any kind, with a chosen fault;
//   - lets another program hold a file open without sharing for a number of
//     I/O calls, for a time, or until released; or hold the file the Nth
//     call names, from just before that call, for a time;
//   - runs an action of "another program" just before the Nth call of a kind
//     (a name taken between a test and a use, say);
//   - simulates a crash: every byte written through it and not flushed since
//     is lost. Such a file keeps its length (the file system's metadata is
//     journaled) but its unflushed bytes come back as zeros.
// Time is the one simulated clock's (base/simulated_clock.h): the target's
// when the target keeps a SettableSystem, else one of its own; UseClock
// names another. Sleep does not wait: it passes the time on that clock, and
// held files go when their time is up, however the clock got there.
// Without a request it forwards every call unchanged (Sleep aside).
//
// To add a fault: give it an OsFault value (or an OsCall kind) and handle it
// where the call is counted (Hit) in fault_injecting_os.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/os_services_wrapper.h"
#include "base/simulated_clock.h"

namespace quillset {

// The I/O calls a fault can aim at.
enum class OsCall {
  kAnyIo,         // any of the kinds below
  kOpen,          // OpenExclusive
  kSize,          // ExclusiveFile::Size
  kRead,          // ExclusiveFile::Read
  kWrite,         // ExclusiveFile::Write
  kFlush,         // ExclusiveFile::Flush and FlushFile
  kCopy,          // CopyFileWithProgress
  kMove,          // MoveFileReplacing
  kRemove,        // RemoveFile
  kAttributes,    // SetAttributes
};

// What a failed call does.
enum class OsFault {
  kFail,        // the call fails and changes nothing
  kShortWrite,  // a write takes half its bytes; a copy writes half the source and fails
  kDiskFull,    // a write takes half its bytes, and every later write nothing
  kHugeSize,    // a file's size reads as more than any address space holds
};

class FaultInjectingOs : public OsServicesWrapper {
 public:
  // `target` must outlive this object.
  explicit FaultInjectingOs(OsServices& target);
  ~FaultInjectingOs() override;

  // The clock whose time lets held files go; must outlive this object.
  void UseClock(SimulatedClock& clock) { clock_ = &clock; }

  // ---- Failing calls
  // Fails the `n`th call (1-based, counted from now) of kind `call` with
  // `fault`; n = 0 fails nothing. Resets the count and the other faults of
  // this kind of request.
  void FailNthCall(int n, OsFault fault = OsFault::kFail, OsCall call = OsCall::kAnyIo);
  // I/O calls of the chosen kind since the last FailNthCall.
  int Calls() const { return calls_; }
  // A call was failed since the last FailNthCall, and its kind.
  bool Injected() const { return injected_; }
  OsCall FailedCall() const { return failed_call_; }

  // ---- Another program
  // Holds `path` open with no sharing for the next `io_calls` I/O calls (-1:
  // until ReleaseFile). False when the file cannot be opened.
  bool HoldFile(const std::string& path, int io_calls = -1);
  void ReleaseFile(const std::string& path);
  // Holds `path` (really, through the target) until `milliseconds` of
  // simulated time have passed. False when the file cannot be opened.
  bool HoldFileFor(const std::string& path, std::uint32_t milliseconds);
  // Another program opens the file that the `n`th call (1-based, from now) of
  // kind `call` names, just before that call, and holds it for
  // `milliseconds` of simulated time: from that call on, every call that
  // names the file fails with FileError::kInUse until then. Counted and
  // named: OpenExclusive (its path), CopyFileWithProgress (the source), MoveFileReplacing
  // (the file replaced), RemoveFile and FlushFile (their path). n = 0 holds
  // nothing and lets go of files held so.
  void HoldAtNthCall(int n, std::uint32_t milliseconds, OsCall call = OsCall::kAnyIo);
  // Calls that failed on a file held by HoldAtNthCall, since it was asked,
  // and the file it took hold of (empty: none yet).
  int HeldCallFailures() const { return held_call_failures_; }
  const std::string& HeldPath() const { return held_path_; }
  // The time asked for by Sleep through this object.
  std::uint64_t SleptMilliseconds() const { return slept_ms_; }
  // Runs `action` just before the `n`th call (1-based, from now) of `call`.
  void BeforeCall(OsCall call, int n, std::function<void()> action);

  // ---- Crash
  // Power is lost now: what was written through this object and not flushed
  // is lost (zeros), in every file that still exists. Files must be closed.
  void Crash();
  // Files with unflushed bytes.
  std::vector<std::string> UnflushedFiles() const;

  // ---- OsServices
  bool GetAttributes(const std::string& path, std::uint32_t& attributes) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool FileIdentity(const std::string& path, FileId& id) override;
  FileError LastFileError() override;
  void Sleep(std::uint32_t milliseconds) override;
  bool CopyFileWithProgress(const std::string& source, const std::string& target,
                            bool fail_if_exists, const CopyProgress& progress) override;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FlushFile(const std::string& path) override;
  std::unique_ptr<ExclusiveFile> OpenExclusive(const std::string& path,
                                               FileOpenMode mode) override;

 private:
  class TrackedFile;

  // Counts a call of `kind`; true when this one is to fail.
  bool Hit(OsCall kind);
  // Hit, for calls that only the fault kFail fails (the others aim at writes).
  bool Fails(OsCall kind);
  // For the calls that name files: starts the call (forgets the failure of
  // the one before), starts a hold asked for by HoldAtNthCall, and tells
  // whether a file the call names is held so. `paths` come with the one a
  // hold takes first.
  bool NamesHeldFile(OsCall kind, std::initializer_list<const std::string*> paths);
  // Lets go of holds whose time is up.
  void ReleaseExpiredHolds();
  // The bytes written to `path` that a crash would keep (the file's content
  // at its last flush); absent: nothing unflushed.
  std::map<std::string, std::string> durable_;

  int fail_at_ = 0;
  int calls_ = 0;
  OsFault fault_ = OsFault::kFail;
  OsCall fault_call_ = OsCall::kAnyIo;
  bool injected_ = false;
  OsCall failed_call_ = OsCall::kAnyIo;
  bool disk_full_ = false;

  struct Hold {
    std::unique_ptr<ExclusiveFile> file;
    int calls_left;                 // -1: not counted
    std::int64_t release_at_ms = -1;  // -1: until released
  };
  std::map<std::string, Hold> holds_;
  struct Action {
    OsCall call;
    int calls_left;
    std::function<void()> action;
  };
  std::vector<Action> actions_;

  std::uint64_t NowMs() const { return clock_->ElapsedMs(); }
  SimulatedClock own_clock_;
  SimulatedClock* clock_ = &own_clock_;
  std::uint64_t slept_ms_ = 0;
  FileError injected_error_ = FileError::kNone;  // of the last call, if injected
  int hold_at_ = 0;
  int hold_calls_ = 0;
  std::uint32_t hold_ms_ = 0;
  OsCall hold_call_ = OsCall::kAnyIo;
  int held_call_failures_ = 0;
  std::string held_path_;
  std::map<std::string, std::uint64_t> held_until_;  // path -> the clock's elapsed time
};

}  // namespace quillset
