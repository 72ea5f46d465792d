// The data file the benchmarks start from: years of weekly runs over a list,
// as store/testing/backup_history.h builds them, written in the binary form.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "datafile/table_packet.h"
#include "store/testing/backup_history.h"

namespace quillset {

// Writes `versions` row versions over `entries` entries to `path`; returns
// the file's size. Aborts on failure: a benchmark without its file means nothing.
inline std::uint64_t WriteHistoryDataFile(const std::string& path, std::uint32_t versions,
                                          std::uint32_t entries) {
  DSBASE table;
  if (BuildBackupHistory(table, versions, entries, 7.0 * 86400000.0)) std::abort();
  std::vector<std::uint8_t> packet;
  if (StreamPacket(table, PacketForm::kBinary, packet)) std::abort();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(packet.data()), static_cast<std::streamsize>(packet.size()));
  if (!out) std::abort();
  return packet.size();
}

}  // namespace quillset
