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

// Where a packet's bytes go as they are made, in order, each byte once.
class PacketSink {
 public:
  virtual ~PacketSink() = default;
  virtual Status Write(const std::uint8_t* bytes, std::size_t length) = 0;
  // Pushes the bytes written so far on towards the disk. Called after each
  // part written beside the making, so that little is left for the end.
  virtual Status Flush() { return kStatusOk; }
};

// The forms a packet is saved in (the table's packet-form settings 0, 5, 13).
enum class PacketForm : std::uint8_t { kBinary = 0, kText = 1, kTextUtf8 = 2 };

// Whether the packet is written to its sink on a second thread while the
// next part is made.
enum class PacketWriting {
  kAsWorthwhile,  // behind, for a binary packet that fills the buffer, on two processors or more
  kInTurn,        // one thread: make a part, write it, make the next
  kBehind,        // a second thread writes each part (and flushes it) while the next is made
};

// How a table's packet is saved.
struct PacketSaving {
  PacketForm form = PacketForm::kBinary;
  // What the packet may take in memory beside the table (the text form is
  // built whole).
  std::size_t buffer_bytes = 16 * 1024 * 1024;
  PacketWriting writing = PacketWriting::kAsWorthwhile;
  // A packet that would pass this many bytes is refused with
  // kStatusOutOfMemory before its bytes pass it: its sizes are 32-bit counts.
  std::uint64_t max_packet_bytes = 0xFFFFFFFFu;
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
  // The table's packet handed to `sink` as `how` says. This one builds the
  // packet whole first (whatever the form asked), then writes it.
  virtual Status StreamPacketTo(DSBASE& table, PacketSink& sink, const PacketSaving& how) {
    std::vector<std::uint8_t> packet;
    if (Status s = StreamPacket(table, packet)) return s;
    if (packet.size() > how.max_packet_bytes) return kStatusOutOfMemory;
    return sink.Write(packet.data(), packet.size());
  }
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
