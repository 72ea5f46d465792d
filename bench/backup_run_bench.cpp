// The backup run against `cp` of the same files, in the same process run:
//   BackupRunSmallFiles  1,000 entries of 4 KiB files
//   BackupRunLargeFile   one file of 256 MiB (QUILLSET_BENCH_LARGE_MIB=1024
//                        for 1 GiB)
// Each iteration times one run (safe copy with the replacing rename, result
// and time written into each entry) and one `cp` of the same sources into
// another folder, alternating which goes first. The reported time is the
// run's; the counters give cp's time, the ratio run / cp by wall clock (goal:
// at most 1.2), the same for the first iteration alone (empty destination
// folders) and by processor time (steadier on a busy machine). Both replace
// existing copies from the second iteration on: cp rewrites the old file in
// place, the run makes a new file and renames it over the old one, which is
// then freed. Dirty pages are synced before each timed copy. The argument is
// ScheduleMode (2: a settings write per entry).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "backup/backup_run.h"
#include "base/testing/real_files_test_os.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"

namespace quillset {
namespace {

using namespace testing_support;
using Clock = std::chrono::steady_clock;

// User plus system time of this process (`who` RUSAGE_SELF) or of its waited-for
// children (RUSAGE_CHILDREN), in seconds. Less disturbed by other load on the
// machine than the wall clock.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing {
  double wall = 0, cpu = 0;
};

// Single quotes for the shell; the names hold a backslash and code-page bytes.
std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// A temporary folder with the sources, the run's destination, cp's
// destination and a store that lists every source.
class BackupBenchSetup {
 public:
  BackupBenchSetup(int files, std::size_t file_bytes, std::int32_t mode) : mode_(mode) {
    os_.SetExecutablePath(temp_ / "Quillset.exe");
    dest_ = temp_ / "run-dest";
    cp_dest_ = temp_ / "cp-dest";
    MakeFolder(dest_);
    MakeFolder(cp_dest_);
    settings_ = LocaleDateSettings::FromOs(os_);
    store_ = MakeBackupEntryStore(nullptr);
    store_->SetDateTextContext(&settings_, &os_);
    store_->CreateEmpty();
    std::string content(file_bytes, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 131 + 7);
    for (int i = 0; i < files; ++i) {
      // Sources are named "src\<name>" in the temporary folder, so that the
      // run splits the file name off at the backslash as it does on Windows.
      const std::string source =
          MakeSourceFile(temp_.Path(), "src", "entry-" + std::to_string(i) + ".dat", content);
      store_->AppendRow();
      store_->FieldAt(0).WriteText(source);
      store_->FieldAt(1).WriteText(dest_);
      store_->CommitRow();
    }
    // One cp process for all files, as a user would copy them.
    cp_command_ = "cp -f -- " + ShellQuote(temp_.Path()) + "/'src\\'* " + ShellQuote(cp_dest_) + "/";
  }

  Timing Run() {
    // Each due date is written at once, as the main window does.
    const std::string settings_path = SettingsFilePath(os_);
    auto store_due_date = [&](const std::string& due_date) {
      TIniFile settings(os_, settings_path);
      settings.WriteString(kTimeSection, kTimerSetKey, due_date);
    };
    BackupRunContext context{os_, settings_, mode_, store_due_date, "/", {}};
    const double cpu_start = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    RunBackup(*store_, context);
    Timing timing{std::chrono::duration<double>(Clock::now() - start).count(),
                  CpuSeconds(RUSAGE_SELF) - cpu_start};
    store_->EndRowEdit();
    return timing;
  }

  // Negative wall time when cp failed.
  Timing Cp() {
    const double cpu_start = CpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    const int status = std::system(cp_command_.c_str());
    Timing timing{std::chrono::duration<double>(Clock::now() - start).count(),
                  CpuSeconds(RUSAGE_CHILDREN) - cpu_start};
    if (status != 0) timing.wall = -1.0;
    return timing;
  }

 private:
  std::int32_t mode_;
  TempFolder temp_;
  RealFilesTestOs os_;
  LocaleDateSettings settings_;
  std::unique_ptr<TClientDataSet> store_;
  std::string dest_, cp_dest_, cp_command_;
};

void RunAgainstCp(benchmark::State& state, int files, std::size_t file_bytes) {
  BackupBenchSetup setup(files, file_bytes, static_cast<std::int32_t>(state.range(0)));
  Timing run_total, cp_total;
  double first_ratio = 0;
  int iteration = 0;
  for (auto _ : state) {
    Timing run, cp;
    // Dirty pages of the one before are written out first (sync), outside
    // the clock: otherwise the kernel's write-back throttling lands on
    // whichever of the two runs second, by hundreds of milliseconds.
    auto timed_run = [&] {
      ::sync();
      run = setup.Run();
    };
    auto timed_cp = [&] {
      ::sync();
      cp = setup.Cp();
    };
    if (iteration++ % 2 == 0) {
      timed_run();
      timed_cp();
    } else {
      timed_cp();
      timed_run();
    }
    if (cp.wall < 0) {
      state.SkipWithError("cp failed");
      return;
    }
    if (iteration == 1) first_ratio = run.wall / cp.wall;
    run_total.wall += run.wall;
    run_total.cpu += run.cpu;
    cp_total.wall += cp.wall;
    cp_total.cpu += cp.cpu;
    state.SetIterationTime(run.wall);
  }
  state.counters["cp_s"] = benchmark::Counter(cp_total.wall / iteration);
  state.counters["run_s"] = benchmark::Counter(run_total.wall / iteration);
  state.counters["run_per_cp"] = benchmark::Counter(run_total.wall / cp_total.wall);
  // The first iteration copies into empty folders: no older copy is replaced.
  state.counters["first_run_per_cp"] = benchmark::Counter(first_ratio);
  // The same by processor time (user + system), cp's including its shell.
  state.counters["cpu_run_per_cp"] = benchmark::Counter(run_total.cpu / cp_total.cpu);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * files *
                          static_cast<std::int64_t>(file_bytes));
}

void BackupRunSmallFiles(benchmark::State& state) { RunAgainstCp(state, 1000, 4096); }

void BackupRunLargeFile(benchmark::State& state) {
  std::size_t mib = 256;
  if (const char* text = std::getenv("QUILLSET_BENCH_LARGE_MIB")) {
    const long value = std::strtol(text, nullptr, 10);
    if (value > 0) mib = static_cast<std::size_t>(value);
  }
  RunAgainstCp(state, 1, mib << 20);
}

BENCHMARK(BackupRunSmallFiles)
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BackupRunLargeFile)->Arg(1)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillset
