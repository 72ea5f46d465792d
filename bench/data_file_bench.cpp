// Loading and saving a data file of 10^6 row versions (20 entries after
// 49,999 backup runs, every version kept with its change-log entry), against
// reading and writing the same bytes raw through the same OS services in the
// same run.
//   DataFileLoad / DataFileSave   LoadFile / SaveFile (safe save: new file,
//                                 flush, replace)
//   RawRead / RawWrite            one open, one read or write (+ flush and
//                                 the same replacing rename), no packet work
// Counters: file_MB, and for load and save the peak memory the operation adds
// (peak_MB, measured in a forked child from the resident-set high-water mark,
// reset before the operation) and its ratio to the file size. Goals: load and
// save within 3x the raw time, peak memory within 3x the file size.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/history_data_file.h"
#include "base/host_os_services.h"
#include "datafile/data_file.h"
#include "datafile/table_packet.h"
#include "store/record_store.h"

namespace quillset {
namespace {

constexpr std::uint32_t kEntries = 20;
constexpr std::uint32_t kVersions = 1000000;

struct Fixture {
  std::string folder;
  std::string path;
  std::uint64_t file_size = 0;
  HostOsServices os;
  BinaryPacketCodec codec;

  Fixture() {
    char pattern[] = "/tmp/quillset-bench-XXXXXX";
    folder = ::mkdtemp(pattern);
    path = folder + "/Quillset.cds";
    WriteDataFile();
  }
  ~Fixture() {
    std::remove(path.c_str());
    std::remove((path + ".raw").c_str());
    std::remove((path + ".raw.new").c_str());
    ::rmdir(folder.c_str());
  }

  void WriteDataFile() {
    file_size = WriteHistoryDataFile(path, kVersions, kEntries);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

std::uint64_t StatusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::strtoull(line.c_str() + std::string(key).size(), nullptr, 10);
  }
  return 0;
}

// Runs `operation` in a forked child and returns the peak resident memory it
// added, in bytes.
template <typename Operation>
double PeakAddedBytes(Operation operation) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    { std::ofstream("/proc/self/clear_refs") << "5"; }  // resets the high-water mark
    const std::uint64_t before = StatusKiB("VmRSS:");
    operation();
    const std::uint64_t peak = StatusKiB("VmHWM:");
    const double added = (static_cast<double>(peak) - static_cast<double>(before)) * 1024.0;
    if (::write(fds[1], &added, sizeof added) != sizeof added) ::_exit(1);
    ::_exit(0);
  }
  ::close(fds[1]);
  double added = -1;
  if (::read(fds[0], &added, sizeof added) != sizeof added) added = -1;
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return added;
}

void DataFileLoad(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) {
    auto store = MakeBackupEntryStore(&f.codec);
    LoadFile(*store, f.os, f.path);
    benchmark::DoNotOptimize(store->RowCount());
  }
  const double peak = PeakAddedBytes([&f] {
    auto store = MakeBackupEntryStore(&f.codec);
    LoadFile(*store, f.os, f.path);
  });
  state.counters["file_MB"] = f.file_size / 1e6;
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_per_file"] = peak / f.file_size;
}

void DataFileSave(benchmark::State& state) {
  Fixture& f = TheFixture();
  auto store = MakeBackupEntryStore(&f.codec);
  LoadFile(*store, f.os, f.path);
  for (auto _ : state) SaveFile(*store, f.os, f.path);
  const double peak = PeakAddedBytes([&] { SaveFile(*store, f.os, f.path); });
  state.counters["file_MB"] = f.file_size / 1e6;
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_per_file"] = peak / f.file_size;
}

void RawRead(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) {
    auto file = f.os.OpenExclusive(f.path, FileOpenMode::kReadExisting);
    std::uint64_t size = 0;
    file->Size(size);
    std::vector<std::uint8_t> bytes(size);
    std::size_t done = 0;
    file->Read(bytes.data(), bytes.size(), done);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["file_MB"] = f.file_size / 1e6;
}

void RawWrite(benchmark::State& state) {
  Fixture& f = TheFixture();
  std::vector<std::uint8_t> bytes(f.file_size);
  {
    auto file = f.os.OpenExclusive(f.path, FileOpenMode::kReadExisting);
    std::size_t done = 0;
    file->Read(bytes.data(), bytes.size(), done);
  }
  const std::string raw = f.path + ".raw";
  for (auto _ : state) {
    {
      auto file = f.os.OpenExclusive(raw + ".new", FileOpenMode::kCreateAlways);
      std::size_t done = 0;
      file->Write(bytes.data(), bytes.size(), done);
      file->Flush();
    }
    f.os.MoveFileReplacing(raw + ".new", raw);
  }
  state.counters["file_MB"] = f.file_size / 1e6;
}

BENCHMARK(RawRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(DataFileLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(RawWrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DataFileSave)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillset
