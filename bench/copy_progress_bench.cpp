// What reporting a copy's progress costs: the host's copy of the same files
// with a progress routine (argument 1) and without (argument 0).
//   CopyLargeFile   one file of 1 GiB (QUILLSET_BENCH_LARGE_MIB to change)
//   CopySmallFiles  1,000 files of 4 KiB
// Goal: with progress within 1.05 times the time without. Each iteration
// replaces the copies of the one before; the routine does what the main
// window's does cheaply (it reads the counts and answers "go on").
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/host_os_services.h"

namespace quillset {
namespace {

namespace fs = std::filesystem;

class BenchFolder {
 public:
  BenchFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillset-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~BenchFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, std::uint64_t size) {
  std::ofstream out(path, std::ios::binary);
  std::string block(1u << 20, 'q');
  for (std::uint64_t left = size; left > 0;) {
    const std::uint64_t n = std::min<std::uint64_t>(left, block.size());
    out.write(block.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

void CopyAll(benchmark::State& state, const std::vector<std::string>& sources,
             const std::vector<std::string>& targets) {
  HostOsServices os;
  const bool with_progress = state.range(0) != 0;
  std::uint64_t last_seen = 0;
  const CopyProgress progress = [&](std::uint64_t copied, std::uint64_t) {
    last_seen = copied;
    return CopyProgressAnswer::kContinue;
  };
  for (auto _ : state) {
    state.PauseTiming();
    ::sync();
    state.ResumeTiming();
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const bool ok = with_progress
                          ? os.CopyFileWithProgress(sources[i], targets[i], false, progress)
                          : os.CopyFileWithProgress(sources[i], targets[i], false, CopyProgress());
      if (!ok) state.SkipWithError("copy failed");
    }
  }
  benchmark::DoNotOptimize(last_seen);
}

void CopyLargeFile(benchmark::State& state) {
  const char* mib_text = std::getenv("QUILLSET_BENCH_LARGE_MIB");
  const std::uint64_t mib = mib_text ? std::strtoull(mib_text, nullptr, 10) : 1024;
  BenchFolder folder;
  WriteFile(folder / "large.bin", mib << 20);
  CopyAll(state, {folder / "large.bin"}, {folder / "large-copy.bin"});
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (mib << 20)));
}
BENCHMARK(CopyLargeFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(5);

void CopySmallFiles(benchmark::State& state) {
  BenchFolder folder;
  std::vector<std::string> sources, targets;
  for (int i = 0; i < 1000; ++i) {
    sources.push_back(folder / ("s" + std::to_string(i)));
    targets.push_back(folder / ("t" + std::to_string(i)));
    WriteFile(sources.back(), 4096);
  }
  CopyAll(state, sources, targets);
}
BENCHMARK(CopySmallFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(10);

}  // namespace
}  // namespace quillset
