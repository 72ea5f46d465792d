// DSDATAPACKET: the binary packet writer. It owns one growing output buffer
// and knows the layout; the caller tells it what to write in the order of
// TDATAPACKET_WRITE: BeginPacket, then per column AddColumn and its
// AddProperty(kColumn) calls, then the AddProperty(kTable) calls (closed by a
// call with no name and no value, or implicitly by the first row), then one
// PutRow per row, then FinishPacket, which hands out the packet trimmed to its
// length.
//
// Streaming (StreamTo): the bytes go to a sink as the buffer fills, so that
// the writer never holds more than about `buffer_bytes` of the packet (one
// item larger than that is held whole). The header is handed on only once it
// is final, so the caller says before the first row how many rows and table
// properties the packet will have; FinishStream refuses a packet that does
// not keep that word, and the sink then holds bytes that are no packet.
//
// Every failing call leaves the writer unusable for that packet (the caller
// drops it); no packet is handed out after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "datafile/packet_interfaces.h"
#include "datafile/value_codecs.h"
#include "store/packet_codec.h"

namespace quillset {

// The largest packet: its sizes travel as 32-bit counts. No larger one is
// written, and no larger file is read as one.
constexpr std::size_t kMaxPacketBytes = 0xFFFFFFFFu;

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
  Status AddPropertyInPieces(PropertyLevel level, const char* name, TypeCode type,
                             std::uint32_t length, const ValuePieces& pieces) override;
  Status FinishPacket(std::vector<std::uint8_t>& packet) override;
  Status PutRow(std::uint8_t row_status, const PacketValue* values, std::size_t count) override;
  Status PacketSize(std::uint32_t& size) override;

  // Streams the packet to `sink` instead of building it. REQUIRES: before
  // BeginPacket. `rows` and `table_properties` are the counts the packet will
  // have.
  void StreamTo(PacketSink& sink, std::size_t buffer_bytes, std::uint32_t rows,
                std::uint16_t table_properties);
  // A packet that would grow past `bytes` fails with kStatusOutOfMemory
  // before its bytes pass the limit (kMaxPacketBytes unless lowered).
  // REQUIRES: before BeginPacket.
  void LimitPacketSize(std::uint64_t bytes) { max_packet_bytes_ = bytes; }
  // Hands the rest of a streamed packet to the sink.
  Status FinishStream();

  // A hint from a caller that knows how large the packet will be at most:
  // memory for `bytes` in all is set aside now, so that the buffer never
  // moves while it grows to that size, and FinishPacket hands it over
  // without a copy. Ignored when the memory cannot be had.
  void ExpectPacketSize(std::size_t bytes);

 private:
  enum class Phase { kIdle, kColumns, kTableProperties, kRows, kFinished, kFailed };

  Status Fail(Status status);
  // Room for `bytes` more bytes after length_ (streaming: after handing what
  // it can to the sink).
  Status Reserve(std::size_t bytes);
  // Hands the bytes before the first one that may still change to the sink.
  Status Flush(bool all);
  // Writes `length` bytes at length_ in pieces of at most half the buffer.
  Status Append(std::size_t length, const ValuePieces& pieces);
  Status Finish();
  // `offset` counts from the packet's start; REQUIRES: not yet handed on.
  std::uint8_t* At(std::uint64_t offset) {
    return storage_.data() + static_cast<std::size_t>(offset - flushed_);
  }
  Status StartTableProperties();
  Status StartRows();
  Status WriteProperty(const char* name, TypeCode type, std::uint32_t length,
                       const std::uint8_t* value);
  Status WritePropertyInPieces(const char* name, TypeCode type, std::uint32_t length,
                               const ValuePieces& pieces);
  // Name and type of a property, and `prefix` bytes of length prefix.
  Status WritePropertyHead(const char* name, TypeCode type, std::size_t prefix,
                           std::size_t payload_length);
  // The checks and counting around one property; `write` writes it.
  Status AddOneProperty(PropertyLevel level, const char* name,
                        const std::function<Status()>& write);
  void SetFirstRowOffset();
  void Release();

  std::vector<std::uint8_t> storage_;  // at least length_ bytes; handed out by FinishPacket
  bool size_expected_ = false;         // ExpectPacketSize set memory aside
  // Counted in 64 bits: a streamed packet passes 4 GiB in a 32-bit process
  // long before its buffer does, and must be stopped there, not wrap.
  std::uint64_t length_ = 0;   // bytes of the packet so far
  std::uint64_t flushed_ = 0;  // of them, handed to the sink (storage_ holds the rest)
  std::uint64_t max_packet_bytes_ = kMaxPacketBytes;
  Phase phase_ = Phase::kIdle;

  PacketSink* sink_ = nullptr;
  std::size_t buffer_bytes_ = 0;
  std::uint32_t promised_rows_ = 0;
  std::uint16_t promised_table_properties_ = 0;

  std::size_t descriptors_left_ = 0;  // announced columns plus children, not yet added
  std::vector<FLDConv> codecs_;       // one per column, in order
  std::vector<std::size_t> row_sizes_;  // PutRow's encoded size per column
  std::uint64_t column_property_count_at_ = 0;
  std::uint16_t column_property_count_ = 0;
  bool table_properties_started_ = false;
  std::uint64_t table_property_count_at_ = 0;
  std::uint16_t table_property_count_ = 0;

  std::uint32_t row_count_ = 0;
  bool first_row_offset_set_ = false;
};

}  // namespace quillset
