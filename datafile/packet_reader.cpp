#include "datafile/packet_reader.h"

#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/text_packet_reader.h"

namespace quillset {

bool LooksLikeBinaryPacket(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kPacketHeaderSize) return false;
  const std::uint32_t signature = LoadU32(data);
  if (signature == kPacketSignatureAlternative) return true;
  if (signature != kPacketSignature) return false;
  return LoadU16(data + 4) <= 3 && LoadU16(data + 6) <= 3;
}

DSEXTRACT::DSEXTRACT() = default;
DSEXTRACT::~DSEXTRACT() = default;

Status DSEXTRACT::OpenPacket(const std::uint8_t* data, std::size_t size) {
  Reset();
  if (data == nullptr) return kStatusBadPacket;
  if (!LooksLikeBinaryPacket(data, size)) {
    text_ = std::make_unique<TextPacketReader>();
    return text_->OpenPacket(data, size);
  }
  const std::uint32_t header_size = LoadU32(data + 8);
  if (header_size < kPacketHeaderSize || header_size > size) return kStatusBadPacket;
  flags_ = LoadU32(data + 18);
  if (flags_ & kPacketFlagTextForm) {
    // Only the text-form writer sets this flag; such a body is never binary.
    text_ = std::make_unique<TextPacketReader>();
    return text_->OpenPacket(data + header_size, size - header_size);
  }
  data_ = data;
  size_ = size;
  pos_ = header_size;
  row_count_ = LoadU32(data + 14);
  descriptors_left_ = LoadU16(data + 12);
  phase_ = Phase::kColumns;
  return kStatusOk;
}

void DSEXTRACT::Reset() {
  text_.reset();
  data_ = nullptr;
  size_ = pos_ = 0;
  phase_ = Phase::kClosed;
  flags_ = row_count_ = 0;
  descriptors_left_ = 0;
  properties_left_ = 0;
  column_types_.clear();
  codecs_.clear();
  rows_prepared_ = false;
  rows_read_ = 0;
}

std::uint32_t DSEXTRACT::HeaderFlags() const { return text_ ? text_->HeaderFlags() : flags_; }
std::uint32_t DSEXTRACT::HeaderRowCount() const {
  return text_ ? text_->HeaderRowCount() : row_count_;
}
std::size_t DSEXTRACT::ValueColumnCount() const {
  return text_ ? text_->ValueColumnCount() : column_types_.size();
}

Status DSEXTRACT::PeekProperty(std::string* name, TypeCode& type,
                                     const std::uint8_t*& value, std::size_t& value_size,
                                     std::size_t& total) const {
  std::size_t at = pos_;
  if (size_ - at < 1) return kStatusBadPacket;
  const std::size_t name_length = data_[at];
  if (size_ - at - 1 < name_length + 4) return kStatusBadPacket;
  // Names are ASCII text; a zero byte could not be written back.
  if (std::memchr(data_ + at + 1, 0, name_length) != nullptr) return kStatusBadPacket;
  if (name) name->assign(reinterpret_cast<const char*>(data_ + at + 1), name_length);
  type = LoadU32(data_ + at + 1 + name_length);
  at += 5 + name_length;
  FLDConv codec;
  if (Status s = MakeBinaryCodec(type, codec)) return s;
  const std::uint8_t* payload = nullptr;
  std::size_t payload_length = 0;
  std::size_t encoded = 0;
  if (Status s = codec.Decode(data_ + at, size_ - at, payload, payload_length, encoded))
    return s;
  // The value as a writer's caller holds it is the encoding itself (a varying
  // value keeps its prefix, an array its count).
  value = data_ + at;
  value_size = encoded;
  total = 5 + name_length + encoded;
  return kStatusOk;
}

Status DSEXTRACT::SkipPropertiesOfList() {
  while (properties_left_ > 0) {
    TypeCode type = 0;
    const std::uint8_t* value = nullptr;
    std::size_t value_size = 0, total = 0;
    if (Status s = PeekProperty(nullptr, type, value, value_size, total)) return s;
    pos_ += total;
    --properties_left_;
  }
  return kStatusOk;
}

Status DSEXTRACT::NextColumn(PacketColumnDesc& desc) {
  if (text_) return text_->NextColumn(desc);
  if (phase_ != Phase::kColumns) return kStatusNoMore;
  if (Status s = SkipPropertiesOfList()) return s;
  if (descriptors_left_ == 0) {
    phase_ = Phase::kTableCountNext;
    return kStatusNoMore;
  }
  if (size_ - pos_ < 1) return kStatusBadPacket;
  const std::size_t name_length = data_[pos_];
  if (size_ - pos_ - 1 < name_length + 8) return kStatusBadPacket;
  const std::uint8_t* p = data_ + pos_ + 1;
  std::memset(&desc, 0, sizeof(desc));
  std::memcpy(desc.name, p, name_length < kPacketColumnNameMax ? name_length : kPacketColumnNameMax);
  desc.type = LoadU32(p + name_length);
  desc.attributes = LoadU16(p + name_length + 4);
  properties_left_ = LoadU16(p + name_length + 6);
  pos_ += 9 + name_length;
  --descriptors_left_;
  if (IsComposite(desc.type)) descriptors_left_ += WidthOf(desc.type);
  column_types_.push_back(desc.type);
  return kStatusOk;
}

Status DSEXTRACT::EnterTableProperties() {
  if (phase_ == Phase::kColumns) {
    // Reading on past the columns: skip what the caller did not read.
    PacketColumnDesc desc;
    Status s;
    while ((s = NextColumn(desc)) == kStatusOk) {
    }
    if (s != kStatusNoMore) return s;
  }
  if (phase_ == Phase::kTableCountNext) {
    if (size_ - pos_ < 2) return kStatusBadPacket;
    properties_left_ = LoadU16(data_ + pos_);
    pos_ += 2;
    phase_ = Phase::kTableProperties;
  }
  return kStatusOk;
}

Status DSEXTRACT::NextPropertySize(std::uint32_t& size) {
  if (text_) return text_->NextPropertySize(size);
  if (phase_ == Phase::kTableCountNext) {
    if (Status s = EnterTableProperties()) return s;
  }
  if ((phase_ != Phase::kColumns && phase_ != Phase::kTableProperties) || properties_left_ == 0)
    return kStatusNoMore;
  TypeCode type = 0;
  const std::uint8_t* value = nullptr;
  std::size_t value_size = 0, total = 0;
  if (Status s = PeekProperty(nullptr, type, value, value_size, total)) return s;
  size = static_cast<std::uint32_t>(value_size);
  return kStatusOk;
}

Status DSEXTRACT::NextPropertyInPlace(std::string& name, TypeCode& type,
                                            std::uint32_t& size, const std::uint8_t*& value) {
  if (text_) return text_->NextPropertyInPlace(name, type, size, value);
  if (phase_ == Phase::kTableCountNext) {
    if (Status s = EnterTableProperties()) return s;
  }
  if ((phase_ != Phase::kColumns && phase_ != Phase::kTableProperties) || properties_left_ == 0)
    return kStatusNoMore;
  std::size_t value_size = 0, total = 0;
  if (Status s = PeekProperty(&name, type, value, value_size, total)) return s;
  size = static_cast<std::uint32_t>(value_size);
  pos_ += total;
  --properties_left_;
  return kStatusOk;
}

Status DSEXTRACT::NextProperty(std::string& name, TypeCode& type, std::uint32_t& size,
                                     void* value) {
  if (text_) return text_->NextProperty(name, type, size, value);
  if (phase_ == Phase::kTableCountNext) {
    if (Status s = EnterTableProperties()) return s;
  }
  if ((phase_ != Phase::kColumns && phase_ != Phase::kTableProperties) || properties_left_ == 0)
    return kStatusNoMore;
  const std::uint8_t* in_place = nullptr;
  std::size_t value_size = 0, total = 0;
  if (Status s = PeekProperty(&name, type, in_place, value_size, total)) return s;
  if (value_size > size || (value_size > 0 && value == nullptr)) {
    size = static_cast<std::uint32_t>(value_size);
    return kStatusInvalidArgument;
  }
  if (value_size > 0) std::memcpy(value, in_place, value_size);
  size = static_cast<std::uint32_t>(value_size);
  pos_ += total;
  --properties_left_;
  return kStatusOk;
}

Status DSEXTRACT::PrepareRows() {
  if (rows_prepared_) return kStatusOk;
  if (Status s = EnterTableProperties()) return s;
  if (Status s = SkipPropertiesOfList()) return s;
  for (TypeCode type : column_types_) {
    if (type & kTypeNested) return kStatusBadType;
    FLDConv codec;
    if (Status s = MakeBinaryCodec(type, codec)) return s;
    codecs_.push_back(codec);
  }
  phase_ = Phase::kRows;
  rows_prepared_ = true;
  return kStatusOk;
}

Status DSEXTRACT::SkipToRows() {
  if (text_ || phase_ == Phase::kClosed) return kStatusBadPacket;
  return PrepareRows();
}

Status DSEXTRACT::ContinueRowsIn(const std::uint8_t* data, std::size_t size) {
  if (text_ || phase_ == Phase::kClosed || data == nullptr) return kStatusBadPacket;
  if (Status s = PrepareRows()) return s;
  data_ = data;
  size_ = size;
  pos_ = 0;
  return kStatusOk;
}

Status DSEXTRACT::NextRow(std::uint8_t& row_status, PacketRowValue* values) {
  if (text_) return text_->NextRow(row_status, values);
  if (phase_ == Phase::kClosed) return kStatusBadPacket;
  if (!rows_prepared_) {
    if (Status s = PrepareRows()) return s;
  }
  if (rows_read_ == row_count_) return kStatusNoMore;
  // The walk runs once per row of the file: work on locals, since the stores
  // into `values` could alias any member.
  const std::uint8_t* const data = data_;
  const std::size_t total = size_;
  const std::size_t column_count = codecs_.size();
  const FLDConv* const codecs = codecs_.data();
  const std::size_t status_bytes = (column_count + 3) / 4;
  std::size_t pos = pos_;
  if (total - pos < 1 + status_bytes) return kStatusBadPacket;
  const std::uint8_t status = data[pos];
  const std::uint8_t* const field_statuses = data + pos + 1;
  pos += 1 + status_bytes;
  for (std::size_t c = 0; c < column_count; ++c) {
    PacketRowValue& out = values[c];
    const unsigned bits = (field_statuses[c / 4] >> (2 * (c % 4))) & 3;
    if (bits != 0) {
      out.bytes = nullptr;
      out.size = 0;
      out.field_status = (bits & kFieldNull) ? kFieldNull : kFieldNotChanged;
      continue;
    }
    const std::uint8_t* payload = nullptr;
    std::size_t payload_length = 0, encoded = 0;
    if (Status s =
            codecs[c].Decode(data + pos, total - pos, payload, payload_length, encoded))
      return s;
    out.bytes = payload;
    out.size = static_cast<std::uint32_t>(payload_length);
    out.field_status = kFieldPresent;
    pos += encoded;
  }
  row_status = status;
  pos_ = pos;
  ++rows_read_;
  return kStatusOk;
}

}  // namespace quillset
