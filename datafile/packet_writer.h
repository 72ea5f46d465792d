// DSDATAPACKET: the binary packet writer. It owns one growing output buffer
// and knows the layout; the caller tells it what to write in the order of
// TDATAPACKET_WRITE: BeginPacket, then per column AddColumn and its
// AddProperty(kColumn) calls, then the AddProperty(kTable) calls (closed by a
// call with no name and no value, or implicitly by the first row), then per
// row PutValue with the status byte and one PutValue per column, then
// FinishPacket.
//
// Buffer: 32,768 bytes at first. When space runs short it grows by the needed
// amount but at least the current capacity (at most 1,024,000 bytes), and the
// next time by the needed amount but at least 32,768 bytes, alternating; the
// alternation is process-wide and carries over from one packet to the next.
// The finished packet is trimmed to its exact length. The capacity above is
// the writer's measure of its buffer; the memory under it is written as
// needed. When the caller set memory aside (ExpectPacketSize) the packet is
// handed over in it without a copy: its size is exact, its vector's capacity
// is what was set aside.
//
// Every failing call leaves the writer unusable for that packet (the caller
// drops it); no packet is handed out after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "datafile/packet_interfaces.h"
#include "datafile/value_codecs.h"

namespace quillset {

// One column value of a row for DSDATAPACKET::PutRow: what PutValue would be
// given for it. A null `bytes`, or a status of kFieldNull or
// kFieldNotChanged, writes no value, only the field-status bits.
struct PacketValue {
  const void* bytes = nullptr;
  std::uint32_t length = 0;
  std::uint8_t status = 0;
};

class DSDATAPACKET : public TDATAPACKET_WRITE {
 public:
  DSDATAPACKET();
  ~DSDATAPACKET() override;
  DSDATAPACKET(const DSDATAPACKET&) = delete;
  DSDATAPACKET& operator=(const DSDATAPACKET&) = delete;

  PacketStatus BeginPacket(std::uint16_t version, std::uint16_t column_count) override;
  PacketStatus AddColumn(const PacketColumnDesc& desc) override;
  PacketStatus AddProperty(PropertyLevel level, const char* name, TypeCode type,
                           std::uint32_t length, const void* value) override;
  PacketStatus PutValue(std::uint16_t status, std::uint32_t length, const void* value) override;
  PacketStatus FinishPacket(std::vector<std::uint8_t>& packet) override;
  // A whole row in one call: writes exactly what PutValue(0, 1, &row_status)
  // followed by one PutValue per column would write, with one reservation
  // for the row. `count` must equal the number of columns added (else
  // kPacketInvalidValue); must not be called in the middle of a PutValue row.
  PacketStatus PutRow(std::uint8_t row_status, const PacketValue* values, std::size_t count);
  PacketStatus PacketSize(std::uint32_t& size) override;

  // A hint from a caller that knows how large the packet will be at most:
  // memory for `bytes` in all is set aside now, so that the buffer never
  // moves while it grows to that size, and FinishPacket hands it over
  // without a copy. Changes neither BufferCapacity nor the growth rule;
  // ignored when the memory cannot be had.
  void ExpectPacketSize(std::size_t bytes);

  // Capacity of the output buffer, for tests of the growth rule.
  std::size_t BufferCapacity() const { return capacity_; }

  // The growth rule that the next growth in this process will use (true: at
  // least the current capacity). Tests set it to start from a known state.
  static bool NextGrowthUsesCapacityRule();
  static void SetNextGrowthUsesCapacityRule(bool capacity_rule);

  static constexpr std::size_t kInitialCapacity = 32768;
  static constexpr std::size_t kCapacityRuleCap = 1024000;

 private:
  enum class Phase { kIdle, kColumns, kTableProperties, kRows, kFinished, kFailed };

  PacketStatus Fail(PacketStatus status);
  PacketStatus Reserve(std::size_t bytes);
  // storage_ to at least `needed` bytes (at most capacity_ unless needed is
  // more); false when out of memory.
  bool GrowStorage(std::size_t needed);
  PacketStatus SizeRow(const PacketValue* values, std::size_t count, std::size_t* sizes,
                       std::size_t& total) const;
  std::uint8_t* At(std::size_t offset) { return buffer_ + offset; }
  PacketStatus StartTableProperties();
  PacketStatus WriteProperty(const char* name, TypeCode type, std::uint32_t length,
                             const std::uint8_t* value);
  void SetFirstRowOffset();
  void Release();

  std::vector<std::uint8_t> storage_;  // at least length_ bytes; handed out by FinishPacket
  std::uint8_t* buffer_ = nullptr;     // storage_.data()
  bool size_expected_ = false;         // ExpectPacketSize set memory aside
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
  Phase phase_ = Phase::kIdle;

  std::size_t descriptors_left_ = 0;  // announced columns plus children, not yet added
  std::vector<std::unique_ptr<FLDConv>> codecs_;  // one per column, in order
  // Per column, the codec's shape for PutRow's inline encoding: fixed bytes,
  // a length prefix of `width` bytes, or another codec (virtual calls).
  enum class Shape : std::uint8_t { kFixed, kVarying, kOther };
  struct ColumnShape {
    Shape shape;
    std::uint32_t width;
  };
  std::vector<ColumnShape> shapes_;
  std::vector<std::size_t> row_sizes_;  // PutRow's encoded size per column
  std::size_t column_property_count_at_ = 0;
  std::uint16_t column_property_count_ = 0;
  bool table_properties_started_ = false;
  std::size_t table_property_count_at_ = 0;
  std::uint16_t table_property_count_ = 0;

  bool in_row_ = false;
  std::size_t row_column_ = 0;
  std::size_t field_status_at_ = 0;
  std::uint32_t row_count_ = 0;
  bool first_row_offset_set_ = false;
};

}  // namespace quillset
