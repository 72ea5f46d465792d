#include "datafile/packet_writer.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "datafile/little_endian.h"
#include "store/short_bytes.h"

namespace quillset {
namespace {

std::size_t FieldStatusBytes(std::size_t columns) { return (columns + 3) / 4; }

}  // namespace

PacketColumnDesc MakeColumnDesc(const std::string& name, TypeCode type,
                                std::uint16_t attributes) {
  PacketColumnDesc desc;
  std::memset(&desc, 0, sizeof(desc));
  const std::size_t n = name.size() < kPacketColumnNameMax ? name.size() : kPacketColumnNameMax;
  std::memcpy(desc.name, name.data(), n);
  desc.type = type;
  desc.attributes = attributes;
  return desc;
}

std::string ColumnDescName(const PacketColumnDesc& desc) {
  std::size_t n = 0;
  while (n < kPacketColumnNameMax && desc.name[n] != '\0') ++n;
  return std::string(desc.name, n);
}

DSDATAPACKET::DSDATAPACKET() = default;
DSDATAPACKET::~DSDATAPACKET() { Release(); }

void DSDATAPACKET::Release() {
  std::vector<std::uint8_t>().swap(storage_);
  size_expected_ = false;
  length_ = 0;
  flushed_ = 0;
}

Status DSDATAPACKET::Fail(Status status) {
  phase_ = Phase::kFailed;
  Release();
  codecs_.clear();
  return status;
}

void DSDATAPACKET::StreamTo(PacketSink& sink, std::size_t buffer_bytes, std::uint32_t rows,
                            std::uint16_t table_properties) {
  sink_ = &sink;
  buffer_bytes_ = buffer_bytes < kPacketHeaderSize ? kPacketHeaderSize : buffer_bytes;
  promised_rows_ = rows;
  promised_table_properties_ = table_properties;
}

Status DSDATAPACKET::Flush(bool all) {
  std::uint64_t end = length_;
  if (!all) {
    // The header is final once the first-row offset is known, or once the
    // metadata is too long for it; a column's property count is final at
    // the next column.
    if (!first_row_offset_set_ && length_ <= 0xFFFF) return kStatusOk;
    if (phase_ == Phase::kColumns && column_property_count_at_ < end) end = column_property_count_at_;
  }
  if (end <= flushed_) return kStatusOk;
  if (flushed_ == 0) StoreU32(At(14), promised_rows_);
  const std::size_t handed = static_cast<std::size_t>(end - flushed_);
  if (Status s = sink_->Write(storage_.data(), handed)) return s;
  // The bytes still held move to the front; the buffer keeps its size, so
  // that it is cleared (made valid) only once, not again after every flush.
  std::memmove(storage_.data(), storage_.data() + handed, static_cast<std::size_t>(length_ - end));
  flushed_ = end;
  return kStatusOk;
}

Status DSDATAPACKET::Reserve(std::size_t bytes) {
  // Every byte of the packet comes through here, streamed or held.
  if (bytes > max_packet_bytes_ - length_) return kStatusOutOfMemory;
  if (sink_ && (length_ - flushed_) + bytes > buffer_bytes_) {
    if (Status s = Flush(false)) return s;
  }
  const std::size_t held = static_cast<std::size_t>(length_ - flushed_);
  if (bytes <= storage_.size() - held) return kStatusOk;
  if (bytes > std::numeric_limits<std::size_t>::max() - held) return kStatusOutOfMemory;
  // The bytes under the buffer are made valid in steps, so that memory set
  // aside (ExpectPacketSize) is touched only as the packet reaches it; the
  // buffer moves only when it runs out of room, then by half again, so that
  // the copies stay in proportion to the packet. Offsets, not pointers, are
  // kept into it.
  constexpr std::size_t kStep = 256 * 1024;
  const std::size_t needed = held + bytes;
  std::size_t size = storage_.size() + kStep;
  if (size < needed) size = needed;
  try {
    if (size > storage_.capacity()) {
      if (needed <= storage_.capacity()) {
        size = storage_.capacity();
      } else {
        std::size_t room = storage_.capacity() + storage_.capacity() / 2;
        if (room < size) room = size;
        try {
          storage_.reserve(room);
        } catch (const std::bad_alloc&) {
          storage_.reserve(size);
        }
      }
    }
    storage_.resize(size);
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  } catch (const std::length_error&) {
    return kStatusOutOfMemory;
  }
  return kStatusOk;
}

Status DSDATAPACKET::Append(std::size_t length, const ValuePieces& pieces) {
  const std::size_t piece_most = sink_ ? (buffer_bytes_ / 2 > 0 ? buffer_bytes_ / 2 : 1) : length;
  for (std::size_t from = 0; from < length;) {
    const std::size_t piece = length - from < piece_most ? length - from : piece_most;
    if (Status s = Reserve(piece)) return s;
    pieces(At(length_), from, piece);
    length_ += piece;
    from += piece;
  }
  return kStatusOk;
}

void DSDATAPACKET::ExpectPacketSize(std::size_t bytes) {
  if (phase_ == Phase::kFailed || phase_ == Phase::kFinished || bytes <= storage_.capacity()) return;
  try {
    storage_.reserve(bytes);
    size_expected_ = true;
  } catch (const std::bad_alloc&) {  // only a hint: the packet grows as it comes
  } catch (const std::length_error&) {
  }
}

Status DSDATAPACKET::BeginPacket(std::uint16_t version, std::uint16_t column_count) {
  if (phase_ != Phase::kIdle) return kStatusOutOfOrder;
  if (version > 3) return kStatusBadPacket;
  if (Status s = Reserve(kPacketHeaderSize)) return Fail(s);
  std::memset(At(0), 0, kPacketHeaderSize);
  StoreU32(At(0), kPacketSignature);
  StoreU16(At(4), 1);
  StoreU16(At(6), 0);
  StoreU32(At(8), kPacketHeaderSize);
  StoreU16(At(12), column_count);
  StoreU32(At(14), 0);
  StoreU32(At(18), kPacketFlagMetadata);
  StoreU16(At(22), 0);
  length_ = kPacketHeaderSize;
  descriptors_left_ = column_count;
  phase_ = Phase::kColumns;
  return kStatusOk;
}

Status DSDATAPACKET::AddColumn(const PacketColumnDesc& desc) {
  if (phase_ != Phase::kColumns || descriptors_left_ == 0) return Fail(kStatusOutOfOrder);
  std::size_t name_length = 0;
  while (name_length < kPacketColumnNameMax && desc.name[name_length] != '\0') ++name_length;
  // "RowState" names the row status in the text form; no column may take it.
  if (name_length == 8 && std::memcmp(desc.name, "RowState", 8) == 0)
    return Fail(kStatusOutOfOrder);
  if (desc.type & kTypeNested) return Fail(kStatusBadType);
  FLDConv codec;
  if (Status s = MakeBinaryCodec(desc.type, codec)) return Fail(s);
  if (Status s = Reserve(9 + name_length)) return Fail(s);

  std::uint8_t* p = At(length_);
  p[0] = static_cast<std::uint8_t>(name_length);
  std::memcpy(p + 1, desc.name, name_length);
  StoreU32(p + 1 + name_length, desc.type);
  StoreU16(p + 5 + name_length, desc.attributes);
  column_property_count_at_ = length_ + 7 + name_length;
  StoreU16(At(column_property_count_at_), 0);
  column_property_count_ = 0;
  length_ += 9 + name_length;

  --descriptors_left_;
  if (IsComposite(desc.type)) descriptors_left_ += WidthOf(desc.type);
  codecs_.push_back(codec);
  return kStatusOk;
}

Status DSDATAPACKET::StartTableProperties() {
  if (descriptors_left_ != 0) return kStatusNoCodecs;
  if (Status s = Reserve(2)) return s;
  table_property_count_at_ = length_;
  // Streaming: the count may be handed on before the last property.
  StoreU16(At(length_), sink_ ? promised_table_properties_ : 0);
  length_ += 2;
  table_properties_started_ = true;
  phase_ = Phase::kTableProperties;
  return kStatusOk;
}

Status DSDATAPACKET::WritePropertyHead(const char* name, TypeCode type, std::size_t prefix,
                                       std::size_t payload_length) {
  const std::size_t name_length = std::strlen(name);
  if (Status s = Reserve(name_length + 5 + prefix)) return s;
  std::uint8_t* p = At(length_);
  p[0] = static_cast<std::uint8_t>(name_length);
  std::memcpy(p + 1, name, name_length);
  StoreU32(p + 1 + name_length, type);
  for (std::size_t i = 0; i < prefix; ++i, payload_length >>= 8)  // little-endian
    p[5 + name_length + i] = static_cast<std::uint8_t>(payload_length);
  length_ += name_length + 5 + prefix;
  return kStatusOk;
}

Status DSDATAPACKET::WriteProperty(const char* name, TypeCode type, std::uint32_t length,
                                   const std::uint8_t* value) {
  FLDConv codec;
  if (Status s = MakeBinaryCodec(type, codec)) return s;
  const std::uint8_t* payload = value;
  std::size_t payload_length = length;
  if (IsVarying(type)) {
    const std::size_t prefix = WidthOf(type);
    if (value == nullptr || length < prefix) return kStatusInvalidArgument;
    payload += prefix;
    payload_length -= prefix;
  }
  std::size_t encoded = 0;
  if (Status s = codec.EncodedSize(payload, payload_length, encoded)) return s;
  // Name, type and a varying value's prefix, then the value's bytes as they
  // are (an array's encoding is its payload).
  if (Status s = WritePropertyHead(name, type, encoded - payload_length, payload_length)) return s;
  return Append(payload_length, [payload](std::uint8_t* out, std::size_t from, std::size_t count) {
    std::memcpy(out, payload + from, count);
  });
}

Status DSDATAPACKET::WritePropertyInPieces(const char* name, TypeCode type, std::uint32_t length,
                                           const ValuePieces& pieces) {
  FLDConv codec;
  if (Status s = MakeBinaryCodec(type, codec)) return s;
  if (IsVarying(type)) return kStatusInvalidArgument;
  // The checks of EncodedSize on what the value begins with.
  std::uint8_t head[4] = {0, 0, 0, 0};
  if (length >= 4) pieces(head, 0, 4);
  std::size_t encoded = 0;
  if (codec.GetShape() == FLDConv::Shape::kArray) {
    if (length < 4 || std::uint64_t(LoadU32(head)) * codec.Width() != length - 4u)
      return kStatusInvalidArgument;
    encoded = length;
  } else if (Status s = codec.EncodedSize(head, length < codec.Width() ? length : 0, encoded)) {
    return s;
  }
  if (Status s = WritePropertyHead(name, type, 0, 0)) return s;
  return Append(encoded, pieces);
}

Status DSDATAPACKET::AddOneProperty(PropertyLevel level, const char* name,
                                    const std::function<Status()>& write) {
  if (name == nullptr || name[0] == '\0' || std::strlen(name) > 255) return Fail(kStatusInvalidArgument);
  if (level == PropertyLevel::kColumn) {
    if (phase_ != Phase::kColumns || codecs_.empty()) return Fail(kStatusOutOfOrder);
    if (column_property_count_ == 0xFFFF) return Fail(kStatusInvalidArgument);
    if (Status s = write()) return Fail(s);
    StoreU16(At(column_property_count_at_), ++column_property_count_);
    return kStatusOk;
  }
  if (phase_ == Phase::kColumns) {
    if (Status s = StartTableProperties()) return Fail(s == kStatusNoCodecs ? kStatusOutOfOrder : s);
  } else if (phase_ != Phase::kTableProperties) {
    return Fail(kStatusOutOfOrder);
  }
  if (table_property_count_ == 0xFFFF) return Fail(kStatusInvalidArgument);
  if (Status s = write()) return Fail(s);
  ++table_property_count_;
  if (!sink_) StoreU16(At(table_property_count_at_), table_property_count_);
  return kStatusOk;
}

Status DSDATAPACKET::AddProperty(PropertyLevel level, const char* name, TypeCode type,
                                 std::uint32_t length, const void* value) {
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  const bool closing = (name == nullptr || name[0] == '\0') && value == nullptr;
  if (closing && level == PropertyLevel::kTable) {
    if (phase_ == Phase::kColumns) {
      if (Status s = StartTableProperties()) return Fail(s == kStatusNoCodecs ? kStatusOutOfOrder : s);
    } else if (phase_ != Phase::kTableProperties) {
      return Fail(kStatusOutOfOrder);
    }
    phase_ = Phase::kRows;
    return kStatusOk;
  }
  return AddOneProperty(level, name, [&] { return WriteProperty(name, type, length, bytes); });
}

Status DSDATAPACKET::AddPropertyInPieces(PropertyLevel level, const char* name, TypeCode type,
                                         std::uint32_t length, const ValuePieces& pieces) {
  return AddOneProperty(level, name,
                        [&] { return WritePropertyInPieces(name, type, length, pieces); });
}

void DSDATAPACKET::SetFirstRowOffset() {
  if (first_row_offset_set_) return;
  first_row_offset_set_ = true;
  if (length_ <= 0xFFFF) {
    StoreU16(At(22), static_cast<std::uint16_t>(length_));
    StoreU32(At(18), LoadU32(At(18)) | kPacketFlagFirstRowOffset);
  }
}

Status DSDATAPACKET::StartRows() {
  if (phase_ == Phase::kColumns) {
    if (Status s = StartTableProperties()) return s;
  }
  if (phase_ == Phase::kTableProperties) phase_ = Phase::kRows;
  if (phase_ != Phase::kRows) return kStatusOutOfOrder;
  return kStatusOk;
}

Status DSDATAPACKET::PutRow(std::uint8_t row_status, const PacketValue* values,
                            std::size_t count) {
  if (Status s = StartRows()) return Fail(s);
  if (count != codecs_.size() || (count > 0 && values == nullptr))
    return Fail(kStatusInvalidArgument);
  if (row_count_ == 0xFFFFFFFFu) return Fail(kStatusInvalidArgument);
  const std::size_t status_bytes = FieldStatusBytes(count);

  // First the size of every value (and whether it can be written at all),
  // then one reservation for the row.
  row_sizes_.resize(count);
  std::size_t* const sizes = row_sizes_.data();
  const FLDConv* const codecs = codecs_.data();
  std::size_t total = 1 + status_bytes;
  for (std::size_t c = 0; c < count; ++c) {
    const PacketValue& v = values[c];
    const auto* bytes = static_cast<const std::uint8_t*>(v.bytes);
    sizes[c] = 0;
    if (v.status == kFieldNull || v.status == kFieldNotChanged || bytes == nullptr) continue;
    if (Status s = codecs[c].EncodedSize(bytes, v.length, sizes[c])) return Fail(s);
    total += sizes[c];
  }
  if (Status s = Reserve(total)) return Fail(s);
  SetFirstRowOffset();

  std::uint8_t* const row = At(length_);
  row[0] = row_status;
  std::uint8_t* const field_status = row + 1;
  ClearShortBytes(field_status, status_bytes);
  std::uint8_t* p = field_status + status_bytes;
  for (std::size_t c = 0; c < count; ++c) {
    const PacketValue& v = values[c];
    const auto* bytes = static_cast<const std::uint8_t*>(v.bytes);
    if (v.status == kFieldNull || v.status == kFieldNotChanged || bytes == nullptr) {
      const unsigned bit = 2 * (c % 4) + (v.status == kFieldNotChanged ? 1 : 0);
      field_status[c / 4] |= static_cast<std::uint8_t>(1u << bit);
      continue;
    }
    codecs[c].Encode(bytes, v.length, p);
    p += sizes[c];
  }
  length_ += total;
  ++row_count_;
  if (flushed_ == 0) StoreU32(At(14), row_count_);
  return kStatusOk;
}

Status DSDATAPACKET::Finish() {
  if (phase_ == Phase::kIdle || phase_ == Phase::kFailed || phase_ == Phase::kFinished)
    return kStatusOutOfOrder;
  if (phase_ == Phase::kColumns) {
    if (Status s = StartTableProperties()) return s;
  }
  if (sink_ && (row_count_ != promised_rows_ || table_property_count_ != promised_table_properties_))
    return kStatusInvalidArgument;
  phase_ = Phase::kFinished;
  SetFirstRowOffset();
  return kStatusOk;
}

Status DSDATAPACKET::FinishPacket(std::vector<std::uint8_t>& packet) {
  if (sink_) return Fail(kStatusOutOfOrder);
  if (Status s = Finish()) return Fail(s);
  try {
    // Handed over as it lies when the caller set memory aside for it, else
    // copied to a buffer of exactly its size.
    storage_.resize(static_cast<std::size_t>(length_));
    if (size_expected_ || storage_.capacity() == length_) {
      packet.swap(storage_);
    } else {
      std::vector<std::uint8_t> exact(storage_.begin(), storage_.end());
      packet.swap(exact);
    }
  } catch (const std::bad_alloc&) {
    return Fail(kStatusOutOfMemory);
  }
  Release();
  codecs_.clear();
  return kStatusOk;
}

Status DSDATAPACKET::FinishStream() {
  if (!sink_) return Fail(kStatusOutOfOrder);
  if (Status s = Finish()) return Fail(s);
  if (Status s = Flush(true)) return Fail(s);
  Release();
  codecs_.clear();
  return kStatusOk;
}

Status DSDATAPACKET::PacketSize(std::uint32_t& size) {
  size = static_cast<std::uint32_t>(length_);
  return kStatusOk;
}

}  // namespace quillset
