#include "datafile/packet_writer.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <cstring>

#include "datafile/little_endian.h"

namespace quillset {
namespace {

// Which growth rule comes next, for the whole process.
std::atomic<bool> g_next_growth_uses_capacity_rule{true};

constexpr std::size_t kColumnReservation = 139;
constexpr std::size_t kMaxPacketBytes = 0xFFFFFFFFu;  // sizes travel as 32-bit counts

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

bool DSDATAPACKET::NextGrowthUsesCapacityRule() { return g_next_growth_uses_capacity_rule.load(); }
void DSDATAPACKET::SetNextGrowthUsesCapacityRule(bool capacity_rule) {
  g_next_growth_uses_capacity_rule.store(capacity_rule);
}

DSDATAPACKET::DSDATAPACKET() = default;
DSDATAPACKET::~DSDATAPACKET() { Release(); }

void DSDATAPACKET::Release() {
  std::vector<std::uint8_t>().swap(storage_);
  size_expected_ = false;
  buffer_ = nullptr;
  capacity_ = 0;
  length_ = 0;
}

PacketStatus DSDATAPACKET::Fail(PacketStatus status) {
  phase_ = Phase::kFailed;
  Release();
  codecs_.clear();
  shapes_.clear();
  return status;
}

PacketStatus DSDATAPACKET::Reserve(std::size_t bytes) {
  const std::size_t free_bytes = capacity_ - length_;
  if (bytes <= free_bytes) {
    if (bytes > storage_.size() - length_ && !GrowStorage(length_ + bytes)) return kPacketOutOfMemory;
    return kPacketOk;
  }
  const std::size_t needed = bytes - free_bytes;
  const bool capacity_rule = g_next_growth_uses_capacity_rule.load();
  g_next_growth_uses_capacity_rule.store(!capacity_rule);
  std::size_t minimum = capacity_rule
                            ? (capacity_ < kCapacityRuleCap ? capacity_ : kCapacityRuleCap)
                            : kInitialCapacity;
  const std::size_t growth = needed > minimum ? needed : minimum;
  if (growth > kMaxPacketBytes || capacity_ > kMaxPacketBytes - growth) return kPacketOutOfMemory;
  const std::size_t new_capacity = capacity_ + growth;
  capacity_ = new_capacity;
  if (!GrowStorage(length_ + bytes)) return kPacketOutOfMemory;
  return kPacketOk;
}

bool DSDATAPACKET::GrowStorage(std::size_t needed) {
  // The memory under the buffer is written in steps, never past the capacity
  // nor, while the packet fits, past the memory set aside (ExpectPacketSize).
  // It moves only when it runs out of room (then by half again, so that the
  // copies stay in proportion to the packet). Offsets, not pointers, are
  // kept into it.
  constexpr std::size_t kStep = 256 * 1024;
  std::size_t size = storage_.size() + kStep;
  if (size > capacity_) size = capacity_;
  if (size > storage_.capacity() && needed <= storage_.capacity()) size = storage_.capacity();
  if (size < needed) size = needed;
  try {
    if (size > storage_.capacity()) {
      std::size_t room = storage_.capacity() + storage_.capacity() / 2;
      if (room > capacity_) room = capacity_;
      if (room < size) room = size;
      try {
        storage_.reserve(room);
      } catch (const std::bad_alloc&) {
        storage_.reserve(size);
      }
    }
    storage_.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  buffer_ = storage_.data();
  return true;
}

void DSDATAPACKET::ExpectPacketSize(std::size_t bytes) {
  if (phase_ == Phase::kFailed || phase_ == Phase::kFinished || bytes <= storage_.capacity()) return;
  try {
    storage_.reserve(bytes);
    size_expected_ = true;
  } catch (const std::bad_alloc&) {  // only a hint: the packet grows as it comes
  } catch (const std::length_error&) {
  }
  buffer_ = storage_.data();
}

PacketStatus DSDATAPACKET::BeginPacket(std::uint16_t version, std::uint16_t column_count) {
  if (phase_ != Phase::kIdle) return kPacketOutOfOrder;
  if (version > 3) return kPacketBad;
  capacity_ = kInitialCapacity;
  if (!GrowStorage(kPacketHeaderSize)) return Fail(kPacketOutOfMemory);
  std::memset(buffer_, 0, kPacketHeaderSize);
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
  return kPacketOk;
}

PacketStatus DSDATAPACKET::AddColumn(const PacketColumnDesc& desc) {
  if (phase_ != Phase::kColumns || descriptors_left_ == 0) return Fail(kPacketOutOfOrder);
  std::size_t name_length = 0;
  while (name_length < kPacketColumnNameMax && desc.name[name_length] != '\0') ++name_length;
  // "RowState" names the row status in the text form; no column may take it.
  if (name_length == 8 && std::memcmp(desc.name, "RowState", 8) == 0)
    return Fail(kPacketOutOfOrder);
  if (desc.type & kTypeNested) return Fail(kPacketBadType);
  PacketStatus status = kPacketOk;
  auto codec = MakeBinaryCodec(desc.type, status);
  if (!codec) return Fail(status);
  if (PacketStatus s = Reserve(kColumnReservation)) return Fail(s);

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
  ColumnShape shape{Shape::kOther, 0};
  if (const auto* fixed = dynamic_cast<const FLDCFixed*>(codec.get())) {
    shape = {Shape::kFixed, static_cast<std::uint32_t>(fixed->Width())};
  } else if (const auto* varying = dynamic_cast<const FLDCVarying*>(codec.get())) {
    shape = {Shape::kVarying, static_cast<std::uint32_t>(varying->PrefixWidth())};
  }
  shapes_.push_back(shape);
  codecs_.push_back(std::move(codec));
  return kPacketOk;
}

PacketStatus DSDATAPACKET::StartTableProperties() {
  if (descriptors_left_ != 0) return kPacketNoCodecs;
  if (PacketStatus s = Reserve(2)) return s;
  table_property_count_at_ = length_;
  StoreU16(At(length_), 0);
  length_ += 2;
  table_properties_started_ = true;
  phase_ = Phase::kTableProperties;
  return kPacketOk;
}

PacketStatus DSDATAPACKET::WriteProperty(const char* name, TypeCode type, std::uint32_t length,
                                         const std::uint8_t* value) {
  const std::size_t name_length = std::strlen(name);
  if (name_length == 0 || name_length > 255) return kPacketInvalidValue;
  PacketStatus status = kPacketOk;
  auto codec = MakeBinaryCodec(type, status);
  if (!codec) return status;
  const std::uint8_t* payload = value;
  std::size_t payload_length = length;
  if (IsVarying(type)) {
    const std::size_t prefix = WidthOf(type);
    if (value == nullptr || length < prefix) return kPacketInvalidValue;
    payload += prefix;
    payload_length -= prefix;
  }
  std::size_t encoded = 0;
  if (PacketStatus s = codec->EncodedSize(payload, payload_length, encoded)) return s;
  if (PacketStatus s = Reserve(name_length + 5 + encoded)) return s;
  std::uint8_t* p = At(length_);
  p[0] = static_cast<std::uint8_t>(name_length);
  std::memcpy(p + 1, name, name_length);
  StoreU32(p + 1 + name_length, type);
  codec->Encode(payload, payload_length, p + 5 + name_length);
  length_ += name_length + 5 + encoded;
  return kPacketOk;
}

PacketStatus DSDATAPACKET::AddProperty(PropertyLevel level, const char* name, TypeCode type,
                                       std::uint32_t length, const void* value) {
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  const bool closing = (name == nullptr || name[0] == '\0') && value == nullptr;
  if (level == PropertyLevel::kColumn) {
    if (phase_ != Phase::kColumns || codecs_.empty()) return Fail(kPacketOutOfOrder);
    if (closing || name == nullptr) return Fail(kPacketInvalidValue);
    if (column_property_count_ == 0xFFFF) return Fail(kPacketInvalidValue);
    if (PacketStatus s = WriteProperty(name, type, length, bytes)) return Fail(s);
    StoreU16(At(column_property_count_at_), ++column_property_count_);
    return kPacketOk;
  }
  if (phase_ == Phase::kColumns) {
    if (PacketStatus s = StartTableProperties()) return Fail(s == kPacketNoCodecs ? kPacketOutOfOrder : s);
  } else if (phase_ != Phase::kTableProperties) {
    return Fail(kPacketOutOfOrder);
  }
  if (closing) {
    phase_ = Phase::kRows;
    return kPacketOk;
  }
  if (name == nullptr) return Fail(kPacketInvalidValue);
  if (table_property_count_ == 0xFFFF) return Fail(kPacketInvalidValue);
  if (PacketStatus s = WriteProperty(name, type, length, bytes)) return Fail(s);
  StoreU16(At(table_property_count_at_), ++table_property_count_);
  return kPacketOk;
}

void DSDATAPACKET::SetFirstRowOffset() {
  if (first_row_offset_set_) return;
  first_row_offset_set_ = true;
  if (length_ <= 0xFFFF) {
    StoreU16(At(22), static_cast<std::uint16_t>(length_));
    StoreU32(At(18), LoadU32(At(18)) | kPacketFlagFirstRowOffset);
  }
}

PacketStatus DSDATAPACKET::PutValue(std::uint16_t status, std::uint32_t length,
                                    const void* value) {
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  if (!in_row_) {
    if (phase_ == Phase::kColumns) {
      if (PacketStatus s = StartTableProperties()) return Fail(s);
    }
    if (phase_ == Phase::kTableProperties) phase_ = Phase::kRows;
    if (phase_ != Phase::kRows) return Fail(kPacketOutOfOrder);
    if (bytes == nullptr || length < 1) return Fail(kPacketInvalidValue);
    const std::size_t status_bytes = FieldStatusBytes(codecs_.size());
    if (PacketStatus s = Reserve(1 + status_bytes)) return Fail(s);
    SetFirstRowOffset();
    At(length_)[0] = bytes[0];
    field_status_at_ = length_ + 1;
    std::memset(At(field_status_at_), 0, status_bytes);
    length_ += 1 + status_bytes;
    row_column_ = 0;
    in_row_ = true;
  } else {
    const std::size_t column = row_column_;
    if (status == kFieldNull || status == kFieldNotChanged || bytes == nullptr) {
      const unsigned bit = 2 * (column % 4) + (status == kFieldNotChanged ? 1 : 0);
      At(field_status_at_ + column / 4)[0] |= static_cast<std::uint8_t>(1u << bit);
    } else {
      const FLDConv& codec = *codecs_[column];
      std::size_t encoded = 0;
      if (PacketStatus s = codec.EncodedSize(bytes, length, encoded)) return Fail(s);
      if (PacketStatus s = Reserve(encoded)) return Fail(s);
      codec.Encode(bytes, length, At(length_));
      length_ += encoded;
    }
    ++row_column_;
  }
  if (row_column_ == codecs_.size()) {
    in_row_ = false;
    if (row_count_ == 0xFFFFFFFFu) return Fail(kPacketInvalidValue);
    StoreU32(At(14), ++row_count_);
  }
  return kPacketOk;
}

PacketStatus DSDATAPACKET::SizeRow(const PacketValue* values, std::size_t count,
                                   std::size_t* sizes, std::size_t& total) const {
  if (count != codecs_.size() || (count > 0 && values == nullptr)) return kPacketInvalidValue;
  const ColumnShape* const shapes = shapes_.data();
  total = 1 + FieldStatusBytes(count);
  for (std::size_t c = 0; c < count; ++c) {
    const PacketValue& v = values[c];
    const auto* bytes = static_cast<const std::uint8_t*>(v.bytes);
    std::size_t encoded = 0;
    if (v.status != kFieldNull && v.status != kFieldNotChanged && bytes != nullptr) {
      // The checks of the codecs' EncodedSize, inline for the usual shapes.
      switch (shapes[c].shape) {
        case Shape::kFixed:
          if (v.length != 0 && v.length < shapes[c].width) return kPacketInvalidValue;
          encoded = shapes[c].width;
          break;
        case Shape::kVarying: {
          const std::uint64_t limit = shapes[c].width == 1   ? 0xFFull
                                      : shapes[c].width == 2 ? 0xFFFFull
                                                             : 0xFFFFFFFFull;
          if (v.length > limit) return kPacketInvalidValue;
          encoded = shapes[c].width + std::size_t(v.length);
          break;
        }
        case Shape::kOther:
          if (PacketStatus s = codecs_[c]->EncodedSize(bytes, v.length, encoded)) return s;
          break;
      }
    }
    sizes[c] = encoded;
    total += encoded;
  }
  return kPacketOk;
}

PacketStatus DSDATAPACKET::PutRow(std::uint8_t row_status, const PacketValue* values,
                                  std::size_t count) {
  if (in_row_) return Fail(kPacketOutOfOrder);
  if (phase_ == Phase::kColumns) {
    if (PacketStatus s = StartTableProperties()) return Fail(s);
  }
  if (phase_ == Phase::kTableProperties) phase_ = Phase::kRows;
  if (phase_ != Phase::kRows) return Fail(kPacketOutOfOrder);
  if (count != codecs_.size() || (count > 0 && values == nullptr))
    return Fail(kPacketInvalidValue);
  const std::size_t status_bytes = FieldStatusBytes(count);

  // First the size of every value (and whether it can be written at all),
  // then one reservation.
  row_sizes_.resize(count);
  std::size_t* const sizes = row_sizes_.data();
  const ColumnShape* const shapes = shapes_.data();
  std::size_t total = 0;
  if (PacketStatus s = SizeRow(values, count, sizes, total)) return Fail(s);
  if (row_count_ == 0xFFFFFFFFu) return Fail(kPacketInvalidValue);
  if (PacketStatus s = Reserve(total)) return Fail(s);
  SetFirstRowOffset();

  std::uint8_t* const row = At(length_);
  row[0] = row_status;
  std::uint8_t* const field_status = row + 1;
  std::memset(field_status, 0, status_bytes);
  std::uint8_t* p = field_status + status_bytes;
  for (std::size_t c = 0; c < count; ++c) {
    const PacketValue& v = values[c];
    const auto* bytes = static_cast<const std::uint8_t*>(v.bytes);
    if (v.status == kFieldNull || v.status == kFieldNotChanged || bytes == nullptr) {
      const unsigned bit = 2 * (c % 4) + (v.status == kFieldNotChanged ? 1 : 0);
      field_status[c / 4] |= static_cast<std::uint8_t>(1u << bit);
      continue;
    }
    switch (shapes[c].shape) {
      case Shape::kFixed:
        std::memcpy(p, bytes, shapes[c].width);
        break;
      case Shape::kVarying: {
        const std::uint32_t length = v.length;
        p[0] = static_cast<std::uint8_t>(length);
        if (shapes[c].width >= 2) p[1] = static_cast<std::uint8_t>(length >> 8);
        if (shapes[c].width == 4) {
          p[2] = static_cast<std::uint8_t>(length >> 16);
          p[3] = static_cast<std::uint8_t>(length >> 24);
        }
        if (length > 0) std::memcpy(p + shapes[c].width, bytes, length);
        break;
      }
      case Shape::kOther:
        codecs_[c]->Encode(bytes, v.length, p);
        break;
    }
    p += sizes[c];
  }
  length_ += total;
  StoreU32(At(14), ++row_count_);
  return kPacketOk;
}

PacketStatus DSDATAPACKET::FinishPacket(std::vector<std::uint8_t>& packet) {
  if (phase_ == Phase::kIdle || phase_ == Phase::kFailed || phase_ == Phase::kFinished || in_row_)
    return Fail(kPacketOutOfOrder);
  if (phase_ == Phase::kColumns) {
    if (PacketStatus s = StartTableProperties()) return Fail(s);
  }
  phase_ = Phase::kFinished;
  SetFirstRowOffset();
  try {
    // Handed over as it lies when the caller set memory aside for it, else
    // copied to a buffer of exactly its size.
    storage_.resize(length_);
    if (size_expected_ || storage_.capacity() == length_) {
      packet.swap(storage_);
    } else {
      std::vector<std::uint8_t> exact(storage_.begin(), storage_.end());
      packet.swap(exact);
    }
  } catch (const std::bad_alloc&) {
    return Fail(kPacketOutOfMemory);
  }
  Release();
  codecs_.clear();
  shapes_.clear();
  return kPacketOk;
}

PacketStatus DSDATAPACKET::PacketSize(std::uint32_t& size) {
  size = static_cast<std::uint32_t>(length_);
  return kPacketOk;
}

}  // namespace quillset
