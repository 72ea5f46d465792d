// The record engine and the record store with a long history: after years of
// ten-minute runs the table holds a million slots and more, while the view
// holds the current rows only. Every operation below should take the same time
// with 0 and with 10^6 history slots (only the view's own array moves grow
// with the view). Memory: bytes per slot after building 10^6 slots.
//
// Run briefly, e.g.:
//   build/X-release/bench/record_engine_bench --benchmark_min_time=0.05
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <malloc.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/record_engine.h"
#include "store/record_store.h"

namespace quillset {
namespace {

constexpr std::uint32_t kViewRows = 10000;

std::size_t HeapInUse() { return mallinfo2().uordblks + mallinfo2().hblkhd; }

std::vector<ColumnDescription> EntryColumns() {
  std::unique_ptr<TClientDataSet> prototype = MakeBackupEntryStore(nullptr);
  std::vector<ColumnDescription> columns;
  for (int i = 0; i < prototype->FieldCount(); ++i) columns.push_back(prototype->FieldAt(i).Describe());
  return columns;
}

// A typical entry: a file path of 30-40 bytes, a folder of about 20, a result
// text of 16 bytes and the time of the last run.
std::vector<std::uint8_t> EntryImage(const RecordLayout& layout, std::uint32_t row, std::uint32_t run,
                                     bool distinct) {
  std::vector<std::uint8_t> image = layout.NewImage();
  char text[128];
  if (distinct) {
    // Worst case: every version has texts of its own, 100 bytes each.
    std::snprintf(text, sizeof text, "C:\\%08u\\%08u\\%0*d", row, run, 80, 0);
    layout.WriteString(image.data(), 0, text);
    std::snprintf(text, sizeof text, "D:\\%08u\\%08u\\%0*d", run, row, 80, 1);
    layout.WriteString(image.data(), 1, text);
    std::snprintf(text, sizeof text, "result %08u %04u", run, row % 10000);
    layout.WriteString(image.data(), 2, text);
  } else {
    std::snprintf(text, sizeof text, "C:\\Users\\owner\\Documents\\report_%05u.xls", row);
    layout.WriteString(image.data(), 0, text);
    std::snprintf(text, sizeof text, "D:\\backup\\daily\\set%02u", row % 7);
    layout.WriteString(image.data(), 1, text);
    if (run > 0) layout.WriteString(image.data(), 2, run % 50 ? "バックアップ成功" : "バックアップ失敗");
  }
  if (run > 0) {
    const double stamp = 63932247600000.0 + 600000.0 * run + row;
    layout.WriteBytes(image.data(), 3, &stamp, sizeof stamp);
  }
  return image;
}

// Builds `view_rows` rows and then `history` further versions of them, run by
// run, as the backup runs would.
void BuildTable(DSBASE& table, std::uint32_t view_rows, std::uint32_t history, bool distinct) {
  if (table.Create(EntryColumns())) std::abort();
  DSCursor cursor(table);
  for (std::uint32_t row = 0; row < view_rows; ++row) {
    if (cursor.MoveToEnd() || cursor.StoreNewRow(EntryImage(table.Layout(), row, 0, distinct)))
      std::abort();
  }
  std::uint32_t done = 0;
  for (std::uint32_t run = 1; done < history; ++run) {
    for (std::uint32_t row = 0; row < view_rows && done < history; ++row, ++done) {
      if (cursor.MoveToPosition(row + 1) ||
          cursor.StoreChangedRow(EntryImage(table.Layout(), row, run, distinct)))
        std::abort();
    }
  }
}

// Builds the table in place of reading a packet.
class BuildingCodec : public PacketCodec {
 public:
  std::uint32_t view_rows = kViewRows;
  std::uint32_t history = 0;
  bool distinct = false;
  Status StreamPacket(DSBASE&, std::vector<std::uint8_t>&) override { return kStatusNoReader; }
  Status AppendPacket(DSBASE& table, const std::vector<std::uint8_t>&) override {
    BuildTable(table, view_rows, history, distinct);
    return table.BuildView();
  }
};

struct Fixture {
  BuildingCodec codec;
  std::unique_ptr<TClientDataSet> store;
};

// One store per history size, built once and shared by the benchmarks.
TClientDataSet& StoreWithHistory(std::uint32_t history) {
  static std::map<std::uint32_t, std::unique_ptr<Fixture>> fixtures;
  std::unique_ptr<Fixture>& fixture = fixtures[history];
  if (!fixture) {
    fixture = std::make_unique<Fixture>();
    fixture->codec.history = history;
    fixture->store = MakeBackupEntryStore(&fixture->codec);
    fixture->store->SetHeldPacket({0});
    fixture->store->OpenFromHeldPacket();
  }
  return *fixture->store;
}

void Report(benchmark::State& state, TClientDataSet& store) {
  state.counters["slots"] = static_cast<double>(store.Table()->LastSlot());
  state.counters["view"] = static_cast<double>(store.RowCount());
}

void BM_CommitChangedRow(benchmark::State& state) {
  TClientDataSet& store = StoreWithHistory(static_cast<std::uint32_t>(state.range(0)));
  auto& time = static_cast<TDateTimeField&>(store.FieldAt(3));
  std::int32_t k = 1;
  double when = 46000.0;
  for (auto _ : state) {
    store.SetRowNumber(k);
    store.EditRow();
    store.FieldAt(2).WriteText("バックアップ成功");
    time.WriteDateTime(when += 0.001);
    store.CommitRow();
    k = k % 5000 + 1;
  }
  Report(state, store);
}

void BM_InsertBeforeLastRow(benchmark::State& state) {
  TClientDataSet& store = StoreWithHistory(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    store.MoveLast();
    store.InsertRow();
    store.FieldAt(0).WriteText("C:\\Users\\owner\\Documents\\new.xls");
    store.FieldAt(1).WriteText("D:\\backup");
    store.EndRowEdit();
  }
  Report(state, store);
}

void BM_DeleteRow(benchmark::State& state) {
  TClientDataSet& store = StoreWithHistory(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    store.SetRowNumber(store.RowCount() / 2);
    store.DeleteRow();
  }
  Report(state, store);
}

void BM_SetRowNumber(benchmark::State& state) {
  TClientDataSet& store = StoreWithHistory(static_cast<std::uint32_t>(state.range(0)));
  std::int32_t k = 1;
  for (auto _ : state) {
    store.SetRowNumber(k);
    k = k == 1 ? store.RowCount() - 1 : 1;
  }
  Report(state, store);
}

void BM_MoveRows(benchmark::State& state) {
  TClientDataSet& store = StoreWithHistory(static_cast<std::uint32_t>(state.range(0)));
  store.SetRowNumber(100);
  int direction = 20;
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.MoveRows(direction));
    direction = -direction;
  }
  Report(state, store);
}

// Appending history slots (the commit path without the store's window work),
// and what 10^6 slots cost in memory: typical entries, and entries whose every
// version has texts of its own (the worst case for sharing).
void BM_BuildMillionSlots(benchmark::State& state) {
  const bool distinct = state.range(0) != 0;
  constexpr std::uint32_t kSlots = 1000000;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    auto table = std::make_unique<DSBASE>();
    BuildTable(*table, 1000, kSlots - 1000, distinct);
    const std::size_t after = HeapInUse();
    state.counters["heap_bytes_per_slot"] = static_cast<double>(after - before) / kSlots;
    state.counters["engine_bytes_per_slot"] = static_cast<double>(table->MemoryBytes()) / kSlots;
    state.counters["slots"] = static_cast<double>(table->LastSlot());
  }
}

// Per-operation benchmarks mutate the shared store: fixed iteration counts keep
// the view near 10^4 rows.
BENCHMARK(BM_CommitChangedRow)->Arg(0)->Arg(990000)->Iterations(20000);
BENCHMARK(BM_InsertBeforeLastRow)->Arg(0)->Arg(990000)->Iterations(2000);
BENCHMARK(BM_DeleteRow)->Arg(0)->Arg(990000)->Iterations(2000);
BENCHMARK(BM_SetRowNumber)->Arg(0)->Arg(990000)->Iterations(20000);
BENCHMARK(BM_MoveRows)->Arg(0)->Arg(990000)->Iterations(20000);
BENCHMARK(BM_BuildMillionSlots)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillset
