// DSDATAPACKET: the binary packet writer. It owns one growing output buffer
// and knows the layout; the caller tells it what to write in the order of
// TDATAPACKET_WRITE: BeginPacket, then per column AddColumn and its
// AddProperty(kColumn) calls, then the AddProperty(kTable) calls (closed by a
// call with no name and no value, or implicitly by the first row), then one
// PutRow per row, then FinishPacket, which hands out the packet trimmed to its
// length.
//
// Every failing call leaves the writer unusable for that packet (the caller
// drops it); no packet is handed out after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
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

  Status BeginPacket(std::uint16_t version, std::uint16_t column_count) override;
  Status AddColumn(const PacketColumnDesc& desc) override;
  Status AddProperty(PropertyLevel level, const char* name, TypeCode type,
                           std::uint32_t length, const void* value) override;
  Status FinishPacket(std::vector<std::uint8_t>& packet) override;
  Status PutRow(std::uint8_t row_status, const PacketValue* values, std::size_t count) override;
  Status PacketSize(std::uint32_t& size) override;

  // A hint from a caller that knows how large the packet will be at most:
  // memory for `bytes` in all is set aside now, so that the buffer never
  // moves while it grows to that size, and FinishPacket hands it over
  // without a copy. Ignored when the memory cannot be had.
  void ExpectPacketSize(std::size_t bytes);

 private:
  enum class Phase { kIdle, kColumns, kTableProperties, kRows, kFinished, kFailed };

  Status Fail(Status status);
  // Room for `bytes` more bytes after length_; false when out of memory.
  bool Reserve(std::size_t bytes);
  std::uint8_t* At(std::size_t offset) { return storage_.data() + offset; }
  Status StartTableProperties();
  Status StartRows();
  Status WriteProperty(const char* name, TypeCode type, std::uint32_t length,
                       const std::uint8_t* value);
  void SetFirstRowOffset();
  void Release();

  std::vector<std::uint8_t> storage_;  // at least length_ bytes; handed out by FinishPacket
  bool size_expected_ = false;         // ExpectPacketSize set memory aside
  std::size_t length_ = 0;
  Phase phase_ = Phase::kIdle;

  std::size_t descriptors_left_ = 0;  // announced columns plus children, not yet added
  std::vector<FLDConv> codecs_;       // one per column, in order
  std::vector<std::size_t> row_sizes_;  // PutRow's encoded size per column
  std::size_t column_property_count_at_ = 0;
  std::uint16_t column_property_count_ = 0;
  bool table_properties_started_ = false;
  std::size_t table_property_count_at_ = 0;
  std::uint16_t table_property_count_ = 0;

  std::uint32_t row_count_ = 0;
  bool first_row_offset_set_ = false;
};

}  // namespace quillset
