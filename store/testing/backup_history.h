// For the benchmarks and the large-file tests: a record-engine table as years of backup runs leave it.
// `entries` entries, then one new version of each per run (the result text
// and the time of the run), every version kept with its change-log entry,
// `versions` row versions in all; `run_interval_ms` apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/testing/place_image.h"
#include "store/record_store.h"

namespace quillset {

inline Status BuildBackupHistory(DSBASE& table, std::uint32_t versions, std::uint32_t entries,
                                 double run_interval_ms) {
  auto store = MakeBackupEntryStore(nullptr);
  std::vector<ColumnDescription> columns;
  for (int i = 0; i < store->FieldCount(); ++i) columns.push_back(store->FieldAt(i).Describe());
  if (Status s = table.Create(columns)) return s;
  const RecordLayout& layout = table.Layout();
  std::vector<std::uint8_t> image = layout.NewImage();
  std::vector<ChangeLogEntry> log;
  log.reserve(versions);
  const double first_run = 63932247600000.0;  // 2026-12-06 13:40:00
  for (std::uint32_t slot = 1; slot <= versions; ++slot) {
    const std::uint32_t entry = (slot - 1) % entries;
    const std::uint32_t version = (slot - 1) / entries;
    const bool last = slot + entries > versions;
    layout.InitImage(image.data());
    layout.WriteString(image.data(), 0,
                       "C:\\Users\\user\\Documents\\report" + std::to_string(entry) + ".xlsx");
    layout.WriteString(image.data(), 1, "D:\\backup\\documents");
    std::uint8_t status;
    if (version == 0) {
      status = last ? 0x04 : 0x05;
      log.push_back({slot, 0, kChangeInsert});
    } else {
      layout.WriteString(image.data(), 2, "バックアップ成功");
      const double when = first_run + version * run_interval_ms;
      layout.WriteBytes(image.data(), 3, &when, 8);
      status = last ? 0x0C : 0x0D;  // a change of an inserted row stays inserted
      log.push_back({slot, slot - entries, kChangeModify});
    }
    if (Status s = PlaceImage(table, image, status)) return s;
  }
  table.SetChangeLog(std::move(log));
  return table.BuildView();
}

}  // namespace quillset
