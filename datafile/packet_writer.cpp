#include "datafile/packet_writer.h"

#include <atomic>
#include <cstdlib>
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
  std::free(buffer_);
  buffer_ = nullptr;
  capacity_ = 0;
  length_ = 0;
}

PacketStatus DSDATAPACKET::Fail(PacketStatus status) {
  phase_ = Phase::kFailed;
  Release();
  codecs_.clear();
  return status;
}

PacketStatus DSDATAPACKET::Reserve(std::size_t bytes) {
  const std::size_t free_bytes = capacity_ - length_;
  if (bytes <= free_bytes) return kPacketOk;
  const std::size_t needed = bytes - free_bytes;
  const bool capacity_rule = g_next_growth_uses_capacity_rule.load();
  g_next_growth_uses_capacity_rule.store(!capacity_rule);
  std::size_t minimum = capacity_rule
                            ? (capacity_ < kCapacityRuleCap ? capacity_ : kCapacityRuleCap)
                            : kInitialCapacity;
  const std::size_t growth = needed > minimum ? needed : minimum;
  if (growth > kMaxPacketBytes || capacity_ > kMaxPacketBytes - growth) return kPacketOutOfMemory;
  const std::size_t new_capacity = capacity_ + growth;
  // realloc moves large blocks by remapping pages: growing a big packet costs
  // no copy and no second buffer. Offsets, not pointers, are kept into it.
  auto* grown = static_cast<std::uint8_t*>(std::realloc(buffer_, new_capacity));
  if (grown == nullptr) return kPacketOutOfMemory;
  buffer_ = grown;
  capacity_ = new_capacity;
  return kPacketOk;
}

PacketStatus DSDATAPACKET::BeginPacket(std::uint16_t version, std::uint16_t column_count) {
  if (phase_ != Phase::kIdle) return kPacketOutOfOrder;
  if (version > 3) return kPacketBad;
  buffer_ = static_cast<std::uint8_t*>(std::malloc(kInitialCapacity));
  if (buffer_ == nullptr) return Fail(kPacketOutOfMemory);
  capacity_ = kInitialCapacity;
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

PacketStatus DSDATAPACKET::FinishPacket(std::vector<std::uint8_t>& packet) {
  if (phase_ == Phase::kIdle || phase_ == Phase::kFailed || phase_ == Phase::kFinished || in_row_)
    return Fail(kPacketOutOfOrder);
  if (phase_ == Phase::kColumns) {
    if (PacketStatus s = StartTableProperties()) return Fail(s);
  }
  phase_ = Phase::kFinished;
  SetFirstRowOffset();
  try {
    packet.assign(buffer_, buffer_ + length_);
  } catch (const std::bad_alloc&) {
    return Fail(kPacketOutOfMemory);
  }
  Release();
  codecs_.clear();
  return kPacketOk;
}

PacketStatus DSDATAPACKET::PacketSize(std::uint32_t& size) {
  size = static_cast<std::uint32_t>(length_);
  return kPacketOk;
}

}  // namespace quillset
