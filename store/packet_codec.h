// How the record store turns its engine table into a data packet and back.
// The data file's binary codec implements it (datafile/); tests use doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/status.h"

namespace quillset {

class DSBASE;

// A packet's bytes, read in order a piece at a time: a data file is read as
// its rows are placed, never held whole.
class PacketSource {
 public:
  virtual ~PacketSource() = default;
  // The packet's size in bytes.
  virtual std::uint64_t Size() const = 0;
  // Reads the next `length` bytes, all of them, into `out`; false when they
  // cannot be read.
  virtual bool Read(std::uint8_t* out, std::size_t length) = 0;
};

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
  // AppendPacket with the packet read from `source`; kStatusReadFailed when
  // the source fails. This one reads the packet whole first.
  virtual Status AppendPacketFrom(DSBASE& table, PacketSource& source) {
    const std::uint64_t size = source.Size();
    if (size > SIZE_MAX) return kStatusOutOfMemory;
    std::vector<std::uint8_t> packet(static_cast<std::size_t>(size));
    if (!source.Read(packet.data(), packet.size())) return kStatusReadFailed;
    return AppendPacket(table, packet);
  }
};

}  // namespace quillset
