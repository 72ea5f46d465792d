// For the store's own tests only: an in-memory packet codec with a
// simple private byte format (not the data file's format). It keeps what the
// real codec keeps: columns, change log, every slot with its status, in slot
// order. Its reader checks every length and refuses bad bytes with 0x4005.
#pragma once

#include <cstring>
#include <vector>

#include "store/testing/place_image.h"
#include "store/packet_codec.h"
#include "store/record_engine.h"

namespace quillset {

class TestPacketCodec : public PacketCodec {
 public:
  Status stream_status;  // a non-zero value makes StreamPacket fail
  int stream_calls = 0;
  int append_calls = 0;

  Status StreamPacket(DSBASE& table, std::vector<std::uint8_t>& out) override {
    ++stream_calls;
    if (stream_status) return stream_status;
    out.clear();
    Put32(out, 0x51534554);  // "TESQ"
    Put32(out, static_cast<std::uint32_t>(table.Columns().size()));
    for (const ColumnDescription& column : table.Columns()) {
      Put32(out, static_cast<std::uint32_t>(column.name.size()));
      out.insert(out.end(), column.name.begin(), column.name.end());
      out.push_back(static_cast<std::uint8_t>(column.kind));
      Put32(out, column.width);
    }
    Put32(out, static_cast<std::uint32_t>(table.ChangeLog().size()));
    for (const ChangeLogEntry& entry : table.ChangeLog()) {
      Put32(out, entry.slot);
      Put32(out, entry.replaced_slot);
      Put32(out, entry.kind);
    }
    Put32(out, table.LastSlot());
    std::vector<std::uint8_t> image;
    for (std::uint32_t slot = 1; slot <= table.LastSlot(); ++slot) {
      out.push_back(table.SlotStatus(slot));
      if (table.ReadSlot(slot, image)) return kStatusInvalidArgument;
      out.insert(out.end(), image.begin(), image.end());
    }
    return kStatusOk;
  }

  Status AppendPacket(DSBASE& table, const std::vector<std::uint8_t>& packet) override {
    ++append_calls;
    std::size_t at = 0;
    std::uint32_t value = 0;
    if (!Get32(packet, at, value) || value != 0x51534554) return kStatusBadPacket;
    std::uint32_t column_count = 0;
    if (!Get32(packet, at, column_count) || column_count > 1000) return kStatusBadPacket;
    std::vector<ColumnDescription> columns(column_count);
    for (ColumnDescription& column : columns) {
      std::uint32_t length = 0;
      if (!Get32(packet, at, length) || packet.size() - at < length + 5u) return kStatusBadPacket;
      column.name.assign(packet.begin() + at, packet.begin() + at + length);
      at += length;
      column.kind = static_cast<ColumnKind>(packet[at++]);
      if (!Get32(packet, at, column.width)) return kStatusBadPacket;
    }
    if (Status status = table.Create(columns)) return status;
    std::uint32_t log_count = 0;
    if (!Get32(packet, at, log_count) || log_count > packet.size()) return kStatusBadPacket;
    std::vector<ChangeLogEntry> log(log_count);
    for (ChangeLogEntry& entry : log) {
      if (!Get32(packet, at, entry.slot) || !Get32(packet, at, entry.replaced_slot) ||
          !Get32(packet, at, entry.kind))
        return kStatusBadPacket;
    }
    std::uint32_t rows = 0;
    if (!Get32(packet, at, rows)) return kStatusBadPacket;
    const std::size_t size = table.Layout().ImageSize();
    for (std::uint32_t r = 0; r < rows; ++r) {
      if (packet.size() - at < size + 1) return kStatusBadPacket;
      const std::uint8_t status = packet[at++];
      std::vector<std::uint8_t> image(packet.begin() + at, packet.begin() + at + size);
      at += size;
      if (Status placed = PlaceImage(table, image, status)) return placed;
    }
    table.SetChangeLog(std::move(log));
    return table.BuildView();
  }

 private:
  static void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  static bool Get32(const std::vector<std::uint8_t>& in, std::size_t& at, std::uint32_t& v) {
    if (in.size() < at || in.size() - at < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(in[at + i]) << (8 * i);
    at += 4;
    return true;
  }
};

}  // namespace quillset
