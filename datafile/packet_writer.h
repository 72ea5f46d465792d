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
// The finished packet is trimmed to its exact length.
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
  PacketStatus PacketSize(std::uint32_t& size) override;

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
  std::uint8_t* At(std::size_t offset) { return buffer_ + offset; }
  PacketStatus StartTableProperties();
  PacketStatus WriteProperty(const char* name, TypeCode type, std::uint32_t length,
                             const std::uint8_t* value);
  void SetFirstRowOffset();
  void Release();

  std::uint8_t* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
  Phase phase_ = Phase::kIdle;

  std::size_t descriptors_left_ = 0;  // announced columns plus children, not yet added
  std::vector<std::unique_ptr<FLDConv>> codecs_;  // one per column, in order
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
