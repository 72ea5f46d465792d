// The journal beside a data file of 10^6 row versions (20 entries after
// 49,999 backup runs):
//   JournalEntryAppend    one run entry's append (its result pending, the
//                         entry before committed): made, written and flushed
//                         (open, write, flush, close); the CPU time is the
//                         part besides the flush
//   StartLoadSave         a start without a journal that saves: LoadFile and
//                         SaveFile
//   StartWithJournal      a start with a journal of 10^5 records (each a run
//                         entry's result): LoadFile, the replay, SaveFile
// Goals: an append well under 1 ms besides its flush; the start with the
// journal no slower than a load plus a save.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/host_os_services.h"
#include "datafile/data_file.h"
#include "datafile/journal.h"
#include "datafile/journal_writer.h"
#include "datafile/table_packet.h"
#include "store/record_store.h"
#include "bench/history_data_file.h"

namespace quillset {
namespace {

constexpr std::uint32_t kEntries = 20;
constexpr std::uint32_t kVersions = 1000000;
const int kJournalRecords = std::getenv("JOURNAL_RECORDS") ? std::atoi(std::getenv("JOURNAL_RECORDS")) : 100000;

struct Fixture {
  std::string folder;
  std::string path;
  HostOsServices os;
  BinaryPacketCodec codec;

  Fixture() {
    char pattern[] = "/tmp/quillset-journal-bench-XXXXXX";
    folder = ::mkdtemp(pattern);
    path = folder + "/Quillset.cds";
    WriteHistoryDataFile(path, kVersions, kEntries);
  }
  ~Fixture() {
    for (const char* suffix : {"", ".journal", ".journal.new", ".new", ".saved"})
      std::remove((path + suffix).c_str());
    ::rmdir(folder.c_str());
  }
  std::unique_ptr<TClientDataSet> LoadedStore() {
    auto store = MakeBackupEntryStore(&codec);
    LoadFile(*store, os, path);
    return store;
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// What a run does to entry `k`: its result and time, left pending.
void RunEntry(TClientDataSet& store, int k) {
  store.SetRowNumber(1 + k % static_cast<int>(kEntries));
  store.EditRow();
  store.FieldAt(2).WriteText(k % 2 ? "バックアップ成功" : "バックアップ失敗");
  static_cast<TDateTimeField&>(store.FieldAt(3)).WriteDateTime(TDateTime(46000.0 + k / 1e4));
}

void JournalEntryAppend(benchmark::State& state) {
  Fixture& f = TheFixture();
  auto store = f.LoadedStore();
  JournalWriter writer(f.os);
  writer.Rebase(f.path, PointOf(*store->Table()), true);
  RunEntry(*store, 0);
  if (!writer.Append(*store)) std::abort();  // the journal exists from here
  int k = 1;
  for (auto _ : state) {
    state.PauseTiming();
    RunEntry(*store, k++);
    state.ResumeTiming();
    if (!writer.Append(*store)) std::abort();
  }
  writer.Remove();
}

void StartLoadSave(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) {
    auto store = f.LoadedStore();
    SaveFile(*store, f.os, f.path + ".saved");  // the data file stays as the journal names it
  }
}

void StartWithJournal(benchmark::State& state) {
  Fixture& f = TheFixture();
  std::vector<std::uint8_t> journal;
  {
    auto store = f.LoadedStore();
    JournalWriter writer(f.os);
    writer.Rebase(f.path, PointOf(*store->Table()), true);
    for (int k = 0; k < kJournalRecords; ++k) {
      RunEntry(*store, k);
      store->EndRowEdit();
      if (!writer.Append(*store)) {
        std::fprintf(stderr, "append %d failed\n", k);
        std::abort();
      }
    }
    std::ifstream in(f.path + ".journal", std::ios::binary);
    journal.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    writer.Remove();
  }
  for (auto _ : state) {
    auto store = f.LoadedStore();
    const JournalReplay replay = ReplayJournal(journal, CurrentJournalBase(f.os, f.path),
                                               *store->Table());
    if (replay.verdict != JournalVerdict::kApplied ||
        replay.records_applied != static_cast<std::size_t>(kJournalRecords)) {
      std::fprintf(stderr, "verdict %d, %zu records\n", static_cast<int>(replay.verdict),
                   replay.records_applied);
      std::abort();
    }
    store->Reopen();
    SaveFile(*store, f.os, f.path + ".saved");
  }
  state.counters["journal_MB"] = journal.size() / 1e6;
}

BENCHMARK(JournalEntryAppend)->Unit(benchmark::kMicrosecond)->Iterations(200);
BENCHMARK(StartLoadSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(StartWithJournal)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillset
