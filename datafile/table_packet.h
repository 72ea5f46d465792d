// The table side of the data packet: serialising a record-engine table
// (DSBASE) into a packet and building an empty table from one, and the codec
// through which the record store reaches both (BinaryPacketCodec).
//
// StreamPacket writes the columns (TypeCode from the column kind; the column
// properties SUBTYPE, DECIMALS, WIDTH, CALCULATED, then the kept ones in the
// order they were read), the table properties (CHANGE_LOG, AUTOINCVALUE, then
// the kept ones), and the rows: with a non-empty change log every slot from 1
// to the last, in slot order, with its status; with an empty log the rows of
// the view in view order (or, with an empty view, the slots in slot order),
// leaving out unused slots; with logging off only the visible rows, status 0.
//
// AppendPacket builds `table`, which must be freshly constructed, from a
// packet in either form: columns with their properties (known ones applied,
// the others kept), table properties (the change log rebuilt, flags applied,
// unknown ones kept), then exactly the header's row count of rows into slots
// 1, 2, ... with their statuses (strings cut to the declared width), and the
// view over the visible slots. What only damage could make is refused
// (table_packet_checks.h, and in row_placing.cpp a text with a zero byte
// inside or a date no cell can show; a change packet, a text column without
// room). On failure the caller discards the table.
//
// Bounds that a hostile packet cannot talk its way past: a row image of at
// most 1 MiB (kStatusBadType beyond), and the work of placing rows, row count
// times image size, at most 64 MiB plus 256 times the packet's size
// (kStatusOutOfMemory beyond). The program's own file uses 235-byte images
// and about 50 bytes a row, far inside both.
#pragma once

#include <cstdint>
#include <vector>

#include "datafile/packet_interfaces.h"
#include "datafile/packet_writer.h"
#include "datafile/row_placing.h"
#include "store/packet_codec.h"
#include "store/record_engine.h"

namespace quillset {

Status StreamPacket(DSBASE& table, PacketForm form, std::vector<std::uint8_t>& out);
// The packet in `how.form`, handed to `sink`: the binary form as it is made,
// the writer holding about `how.buffer_bytes` of it at most (one row or
// property larger than that is held whole), written in turn or by a second
// thread as `how.writing` says (the same bytes either way); the text form
// built whole first. A packet past `how.max_packet_bytes` fails with
// kStatusOutOfMemory before its bytes pass the limit.
Status StreamPacketTo(DSBASE& table, PacketSink& sink, const PacketSaving& how);
Status AppendPacket(DSBASE& table, const std::uint8_t* packet, std::size_t size);
// AppendPacket with the packet read from `source` in pieces of about
// `piece_bytes` as its rows are placed: besides the table, memory for the
// columns and table properties (read whole) and for a piece, or for the
// longest row if that is longer. A text-form packet is read whole. A failing
// source gives kStatusReadFailed. `reading` chooses whether the rows are read
// on a thread of their own while the table places them (see row_placing.h).
Status AppendPacketFrom(DSBASE& table, PacketSource& source, std::size_t piece_bytes,
                        RowReading reading = RowReading::kAsWorthwhile);
// The pieces the record store's codec reads.
constexpr std::size_t kReadPieceBytes = 1024 * 1024;

// The record store's codec: the binary form when a closing store is
// serialised; a save in the form it asks for; reading takes either form.
class BinaryPacketCodec : public PacketCodec {
 public:
  Status StreamPacket(DSBASE& table, std::vector<std::uint8_t>& out) override;
  Status AppendPacket(DSBASE& table, const std::vector<std::uint8_t>& packet) override;
  Status StreamPacketTo(DSBASE& table, PacketSink& sink, const PacketSaving& how) override;
  Status AppendPacketFrom(DSBASE& table, PacketSource& source) override;
};

// Maps between the engine's column kinds and the packet's.
PacketColumnKind PacketKindOf(ColumnKind kind);
bool EngineKindOf(PacketColumnKind kind, ColumnKind& out);

}  // namespace quillset
