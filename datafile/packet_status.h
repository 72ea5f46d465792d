// Statuses of the data-packet layer. Every packet operation returns one of
// these as a 16-bit value; 0 is success. The record store turns any other value
// into an EDBClient error carrying it.
#pragma once

#include <cstdint>

namespace quillset {

using PacketStatus = std::uint16_t;

constexpr PacketStatus kPacketOk = 0;
// No more columns, properties or rows: the normal end of a list inside the reader.
constexpr PacketStatus kPacketNoMore = 0x2202;
// Out of memory.
constexpr PacketStatus kPacketOutOfMemory = 0x2501;
// The value read is null: a normal outcome inside the reader.
constexpr PacketStatus kPacketValueIsNull = 0x260C;
// Invalid argument or value: a buffer too small, a short or badly typed
// "CHANGE_LOG", a row started without its status byte, a length that does not
// fit its prefix.
constexpr PacketStatus kPacketInvalidValue = 0x2702;
// A TypeCode that cannot be laid out or encoded.
constexpr PacketStatus kPacketBadType = 0x2710;
// A request out of order: more columns than announced, a column named
// "RowState", a property after a row, a base type above 18.
constexpr PacketStatus kPacketOutOfOrder = 0x2A04;
// The codecs of a column level could not be created (not every announced
// column was described before the first row).
constexpr PacketStatus kPacketNoCodecs = 0x2103;
// The packet carries no metadata (header flag 0x0001 missing).
constexpr PacketStatus kPacketNoMetadata = 0x4003;
// Rows appended to a table that has no packet reader.
constexpr PacketStatus kPacketNoReader = 0x4004;
// A bad packet: no columns, a text form without "METADATA" or "ROWDATA", bytes
// that cannot be accessed or that end before the counts say (a cut or damaged
// file); on writing, a version above 3 or a table without columns.
constexpr PacketStatus kPacketBad = 0x4005;

}  // namespace quillset
