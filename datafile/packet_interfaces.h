// The two sides of a data packet: the writer interface TDATAPACKET_WRITE, told
// column by column, property by property and row by row what to write,
// and the reader interface TDATAPACKET_READ, which walks a packet in the same
// order. The binary implementations are DSDATAPACKET (packet_writer.h) and
// DSEXTRACT (packet_reader.h); the text (XML) form has its own pair.
//
// Binary packet layout (all numbers little-endian, no checksum, no total
// length: a packet ends where its last row ends):
//   header, 24 bytes: signature 0xBDE01996 (0x0000ABCD also read), version
//     words 1 and 0, header size 24, top-level column count (16 bit), row
//     count (32 bit), flags (32 bit: 0x0001 metadata, 0x0002 first-row offset
//     valid, 0x8000 text form), first-row offset (16 bit)
//   per column: name length (1), name (at most 31 bytes), TypeCode (4),
//     attributes (2), property count (2), the properties
//   table property count (2), the table properties
//   rows: status byte, (m + 3) / 4 field-status bytes (2 bits per column:
//     FieldNull, FieldNotChanged), then the values of the columns whose bits
//     are clear
// A property is: name length (1), name, TypeCode (4), value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datafile/type_codes.h"
#include "store/packet_codec.h"
#include "store/status.h"

namespace quillset {

constexpr std::uint32_t kPacketSignature = 0xBDE01996;
constexpr std::uint32_t kPacketSignatureAlternative = 0x0000ABCD;
constexpr std::size_t kPacketHeaderSize = 24;
constexpr std::uint32_t kPacketFlagMetadata = 0x0001;
constexpr std::uint32_t kPacketFlagFirstRowOffset = 0x0002;
constexpr std::uint32_t kPacketFlagTextForm = 0x8000;
constexpr std::size_t kPacketColumnNameMax = 31;

// Column attributes.
constexpr std::uint16_t kColumnHidden = 0x0001;
constexpr std::uint16_t kColumnReadOnly = 0x0002;
constexpr std::uint16_t kColumnRequired = 0x0004;
constexpr std::uint16_t kColumnLink = 0x0008;

// Field statuses as they travel in a row (two bits per column).
constexpr std::uint8_t kFieldPresent = 0;
constexpr std::uint8_t kFieldNull = 1;
constexpr std::uint8_t kFieldNotChanged = 2;

// Packet forms for saving, and the table's packet-form setting for each.
constexpr std::uint8_t PacketFormSetting(PacketForm form) {
  return form == PacketForm::kBinary ? 0 : form == PacketForm::kText ? 5 : 13;
}

#pragma pack(push, 1)
// The 38-byte column descriptor passed to AddColumn and returned by NextColumn:
// a zero-terminated name (at most 31 bytes), the TypeCode and the attributes.
struct PacketColumnDesc {
  char name[32];
  TypeCode type;
  std::uint16_t attributes;
};
#pragma pack(pop)
static_assert(sizeof(PacketColumnDesc) == 38, "the column descriptor is 38 bytes");

// Fills a descriptor; the name is cut to 31 bytes.
PacketColumnDesc MakeColumnDesc(const std::string& name, TypeCode type,
                                std::uint16_t attributes = 0);
std::string ColumnDescName(const PacketColumnDesc& desc);

enum class PropertyLevel { kColumn, kTable };

// Makes the bytes [from, from + count) of a value that is written in pieces.
using ValuePieces = std::function<void(std::uint8_t* out, std::size_t from, std::size_t count)>;

// One column value of a row, written or read. Written: a present value is
// its payload (varying: the bytes without a prefix and their count; fixed:
// the value, length 0 or at least its width); a null `bytes`, or a status of
// kFieldNull or kFieldNotChanged, writes only the field-status bits. Read: a
// present value points into the packet; null and not-changed ones carry no
// bytes.
struct PacketValue {
  const void* bytes = nullptr;
  std::uint32_t length = 0;
  std::uint8_t status = kFieldPresent;
};
struct PacketRowValue {
  const std::uint8_t* bytes = nullptr;
  std::uint32_t size = 0;
  std::uint8_t field_status = kFieldPresent;  // kFieldPresent, kFieldNull or kFieldNotChanged
};

class TDATAPACKET_WRITE {
 public:
  virtual ~TDATAPACKET_WRITE() = default;
  // Starts a packet for `column_count` top-level columns. Version at most 3.
  virtual Status BeginPacket(std::uint16_t version, std::uint16_t column_count) = 0;
  // Describes the next column (a composite's children follow it as columns of
  // their own, not counted in `column_count`).
  virtual Status AddColumn(const PacketColumnDesc& desc) = 0;
  // A column property (of the column added last) or a table property. For a
  // varying type `value` begins with a length prefix of the type's prefix
  // width and `length` counts it; the writer writes its own prefix from the
  // rest. For an array, `value` is the 32-bit element count and the elements.
  // A table-level call with no name and no value closes the table properties.
  virtual Status AddProperty(PropertyLevel level, const char* name, TypeCode type,
                                   std::uint32_t length, const void* value) = 0;
  // AddProperty for a value of `length` bytes that `pieces` makes as it is
  // written (a value too large to hold twice, such as a long change log). Not
  // for varying types.
  virtual Status AddPropertyInPieces(PropertyLevel level, const char* name, TypeCode type,
                                     std::uint32_t length, const ValuePieces& pieces) = 0;
  // One whole row: its status byte and one value per column (`count` must be
  // the number of columns described, else kStatusInvalidArgument).
  virtual Status PutRow(std::uint8_t row_status, const PacketValue* values,
                        std::size_t count) = 0;
  // Completes the header and hands out the packet, trimmed to its length.
  virtual Status FinishPacket(std::vector<std::uint8_t>& packet) = 0;
  // Bytes written so far (the text writer, which builds its document at
  // FinishPacket, counts the rows written so far).
  virtual Status PacketSize(std::uint32_t& size) = 0;
};

class TDATAPACKET_READ {
 public:
  virtual ~TDATAPACKET_READ() = default;
  // Checks the header and positions on the first column descriptor. The bytes
  // must stay alive and unchanged while the reader is used (read in place).
  virtual Status OpenPacket(const std::uint8_t* data, std::size_t size) = 0;
  // Header facts after OpenPacket.
  virtual std::uint32_t HeaderFlags() const = 0;
  virtual std::uint32_t HeaderRowCount() const = 0;
  // The next column descriptor (name cut to 31 bytes); kStatusNoMore after the
  // last. Properties of the previous column that were not read are skipped.
  virtual Status NextColumn(PacketColumnDesc& desc) = 0;
  // The size of the next property's value; kStatusNoMore at the end of the
  // current list (the column read last, or the table after the last column).
  virtual Status NextPropertySize(std::uint32_t& size) = 0;
  // The next property. `size` is the capacity of `value` on entry and the
  // value's size on return; a buffer too small gives kStatusInvalidArgument with
  // the needed size and the property is not consumed. The value is as a writer
  // caller holds it (varying: with its prefix; array: count and elements).
  virtual Status NextProperty(std::string& name, TypeCode& type, std::uint32_t& size,
                                    void* value) = 0;
  // The same without a copy: `value` points into the packet.
  virtual Status NextPropertyInPlace(std::string& name, TypeCode& type,
                                           std::uint32_t& size, const std::uint8_t*& value) = 0;
  // The next row whole: its status byte and, into `values` (room for
  // ValueColumnCount() entries), every column's value. kStatusNoMore after
  // the header's row count. A row that fails is not consumed.
  virtual Status NextRow(std::uint8_t& row_status, PacketRowValue* values) = 0;
  // Columns described in the packet, children included (valid once the first
  // row is read or NextColumn gave kStatusNoMore).
  virtual std::size_t ValueColumnCount() const = 0;
};

}  // namespace quillset
