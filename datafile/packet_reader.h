// DSEXTRACT: the packet reader. It walks a packet in the order of
// TDATAPACKET_READ, in place, without copying it. Bytes whose header does not
// pass the binary check (signature 0xBDE01996 with both version words at most
// 3, or 0x0000ABCD with any version words; or fewer than 24 bytes) are handed
// to the text-form reader, and every call is then answered by it.
//
// The reader takes the header's counts and the lengths it meets as given, but
// every read is checked against the bytes that remain: a packet that ends
// before its counts say gives kStatusBadPacket, never a read past the end, and no
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

class DSEXTRACT : public TDATAPACKET_READ {
 public:
  DSEXTRACT();
  ~DSEXTRACT() override;

  Status OpenPacket(const std::uint8_t* data, std::size_t size) override;
  std::uint32_t HeaderFlags() const override;
  std::uint32_t HeaderRowCount() const override;
  Status NextColumn(PacketColumnDesc& desc) override;
  Status NextPropertySize(std::uint32_t& size) override;
  Status NextProperty(std::string& name, TypeCode& type, std::uint32_t& size,
                            void* value) override;
  Status NextPropertyInPlace(std::string& name, TypeCode& type, std::uint32_t& size,
                                   const std::uint8_t*& value) override;
  std::size_t ValueColumnCount() const override;
  // Reads one row per call; in a binary packet the loading path's whole walk.
  Status NextRow(std::uint8_t& row_status, PacketRowValue* values) override;

  // True when the bytes were handed to the text-form reader.
  bool IsTextForm() const { return text_ != nullptr; }
  // Bytes left after the position reached (0 after the last row of a packet
  // that ends where its rows end).
  std::size_t BytesLeft() const { return size_ - pos_; }

  // Reading a binary packet a piece at a time. Position() is the offset the
  // walk has reached in the bytes it reads. SkipToRows walks past the
  // columns and table properties without handing them out; Position() is
  // then where the rows begin. ContinueRowsIn goes on with the rows in
  // `data`, whose first byte is the one at Position() (the caller has moved
  // the packet's remaining bytes there and read on behind them).
  std::size_t Position() const { return pos_; }
  Status SkipToRows();
  Status ContinueRowsIn(const std::uint8_t* data, std::size_t size);

 private:
  enum class Phase { kClosed, kColumns, kTableCountNext, kTableProperties, kRows };

  void Reset();
  Status PeekProperty(std::string* name, TypeCode& type, const std::uint8_t*& value,
                            std::size_t& value_size, std::size_t& total) const;
  Status SkipPropertiesOfList();
  Status EnterTableProperties();
  Status PrepareRows();

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
  std::vector<FLDConv> codecs_;
  bool rows_prepared_ = false;
  std::uint32_t rows_read_ = 0;
};

// True when `data` passes the binary header check (see DSEXTRACT).
bool LooksLikeBinaryPacket(const std::uint8_t* data, std::size_t size);

}  // namespace quillset
