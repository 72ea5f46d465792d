// DSEXTRACT: the packet reader. It walks a packet in the order of
// TDATAPACKET_READ, in place, without copying it. Bytes whose header does not
// pass the binary check (signature 0xBDE01996 with both version words at most
// 3, or 0x0000ABCD with any version words; or fewer than 24 bytes) are handed
// to the text-form reader, and every call is then answered by it.
//
// The reader takes the header's counts and the lengths it meets as given, but
// every read is checked against the bytes that remain: a packet that ends
// before its counts say gives kPacketBad, never a read past the end, and no
// count is used to reserve memory that the packet's size cannot back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datafile/packet_interfaces.h"
#include "datafile/value_codecs.h"

namespace quillset {

// One value of a row as DSEXTRACT::NextRow hands it out: for a present value
// its payload in place (as NextValue gives it), otherwise no bytes.
struct PacketRowValue {
  const std::uint8_t* bytes = nullptr;
  std::uint32_t size = 0;
  std::uint8_t field_status = kFieldPresent;  // kFieldPresent, kFieldNull or kFieldNotChanged
};

class DSEXTRACT : public TDATAPACKET_READ {
 public:
  DSEXTRACT();
  ~DSEXTRACT() override;

  PacketStatus OpenPacket(const std::uint8_t* data, std::size_t size) override;
  std::uint32_t HeaderFlags() const override;
  std::uint32_t HeaderRowCount() const override;
  PacketStatus NextColumn(PacketColumnDesc& desc) override;
  PacketStatus NextPropertySize(std::uint32_t& size) override;
  PacketStatus NextProperty(std::string& name, TypeCode& type, std::uint32_t& size,
                            void* value) override;
  PacketStatus NextPropertyInPlace(std::string& name, TypeCode& type, std::uint32_t& size,
                                   const std::uint8_t*& value) override;
  PacketStatus NextValue(std::uint32_t& size, const std::uint8_t*& value,
                         std::uint8_t& field_status) override;
  std::size_t ValueColumnCount() const override;
  // Reads the next row whole: its status byte and, into `values` (room for
  // ValueColumnCount() entries), every column's value. The same checks and
  // statuses as the NextValue calls of that row, except that a null value is
  // not a status of its own (field status kFieldNull). kPacketNoMore after the
  // header's row count; kPacketOutOfOrder when NextValue stopped inside a row.
  // In a binary packet a row that fails is not consumed. The loading path's walk: one call per
  // row instead of one per value.
  PacketStatus NextRow(std::uint8_t& row_status, PacketRowValue* values);

  // True when the bytes were handed to the text-form reader.
  bool IsTextForm() const { return text_ != nullptr; }
  // Bytes left after the position reached (0 after the last row of a packet
  // that ends where its rows end).
  std::size_t BytesLeft() const { return size_ - pos_; }

 private:
  enum class Phase { kClosed, kColumns, kTableCountNext, kTableProperties, kRows };

  void Reset();
  PacketStatus PeekProperty(std::string* name, TypeCode& type, const std::uint8_t*& value,
                            std::size_t& value_size, std::size_t& total) const;
  PacketStatus SkipPropertiesOfList();
  PacketStatus EnterTableProperties();
  PacketStatus PrepareRows();
  PacketStatus NextRowByValues(std::uint8_t& row_status, PacketRowValue* values);

  std::unique_ptr<TDATAPACKET_READ> text_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  Phase phase_ = Phase::kClosed;
  std::uint32_t flags_ = 0;
  std::uint32_t row_count_ = 0;

  std::uint64_t descriptors_left_ = 0;
  std::uint32_t properties_left_ = 0;
  std::vector<TypeCode> column_types_;
  std::vector<std::unique_ptr<FLDConv>> codecs_;
  bool rows_prepared_ = false;
  std::uint32_t rows_read_ = 0;
  bool in_row_ = false;
  std::size_t row_column_ = 0;
  std::size_t field_status_at_ = 0;
};

// True when `data` passes the binary header check (see DSEXTRACT).
bool LooksLikeBinaryPacket(const std::uint8_t* data, std::size_t size);

}  // namespace quillset
