// How the record store turns its engine table into a data packet and back.
// The data file's binary codec implements it (datafile/); tests use doubles.
#pragma once

#include <cstdint>
#include <vector>

#include "store/status.h"

namespace quillset {

class DSBASE;

class PacketCodec {
 public:
  virtual ~PacketCodec() = default;
  // Serialises the whole table (columns, table properties, change log, rows)
  // into `out`. kStatusOk for success; on failure `out` is left unspecified.
  virtual Status StreamPacket(DSBASE& table, std::vector<std::uint8_t>& out) = 0;
  // Builds the empty, freshly constructed `table` from `packet` (Create,
  // PlaceRowValues..., SetChangeLog, BuildView). kStatusOk for success; on failure the
  // caller discards the table.
  virtual Status AppendPacket(DSBASE& table, const std::vector<std::uint8_t>& packet) = 0;
};

}  // namespace quillset
