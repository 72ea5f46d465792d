#include "datafile/value_codecs.h"

#include <cstring>

#include "datafile/little_endian.h"

namespace quillset {

PacketStatus FLDCFixed::EncodedSize(const std::uint8_t* payload, std::size_t length,
                                    std::size_t& size) const {
  // Callers pass 0 ("the codec knows the width") or at least the width; a
  // shorter buffer would be read past its end.
  if (width_ > 0 && (payload == nullptr || (length != 0 && length < width_)))
    return kPacketInvalidValue;
  size = width_;
  return kPacketOk;
}

void FLDCFixed::Encode(const std::uint8_t* payload, std::size_t, std::uint8_t* out) const {
  if (width_ > 0) std::memcpy(out, payload, width_);
}

PacketStatus FLDCFixed::Decode(const std::uint8_t* data, std::size_t available,
                               const std::uint8_t*& payload, std::size_t& payload_length,
                               std::size_t& encoded_length) const {
  if (available < width_) return kPacketBad;
  payload = data;
  payload_length = width_;
  encoded_length = width_;
  return kPacketOk;
}

PacketStatus FLDCVarying::EncodedSize(const std::uint8_t* payload, std::size_t length,
                                      std::size_t& size) const {
  if (length > 0 && payload == nullptr) return kPacketInvalidValue;
  const std::uint64_t limit = prefix_width_ == 1   ? 0xFFull
                              : prefix_width_ == 2 ? 0xFFFFull
                                                   : 0xFFFFFFFFull;
  if (length > limit) return kPacketInvalidValue;
  size = prefix_width_ + length;
  return kPacketOk;
}

void FLDCVarying::Encode(const std::uint8_t* payload, std::size_t length,
                         std::uint8_t* out) const {
  if (prefix_width_ == 1) {
    out[0] = static_cast<std::uint8_t>(length);
  } else if (prefix_width_ == 2) {
    StoreU16(out, static_cast<std::uint16_t>(length));
  } else {
    StoreU32(out, static_cast<std::uint32_t>(length));
  }
  if (length > 0) std::memcpy(out + prefix_width_, payload, length);
}

PacketStatus FLDCVarying::Decode(const std::uint8_t* data, std::size_t available,
                                 const std::uint8_t*& payload, std::size_t& payload_length,
                                 std::size_t& encoded_length) const {
  if (available < prefix_width_) return kPacketBad;
  std::size_t length = prefix_width_ == 1   ? data[0]
                       : prefix_width_ == 2 ? LoadU16(data)
                                            : LoadU32(data);
  if (length > available - prefix_width_) return kPacketBad;
  payload = data + prefix_width_;
  payload_length = length;
  encoded_length = prefix_width_ + length;
  return kPacketOk;
}

PacketStatus FLDCRepeat::EncodedSize(const std::uint8_t* payload, std::size_t length,
                                     std::size_t& size) const {
  if (payload == nullptr || length < 4) return kPacketInvalidValue;
  const std::uint64_t count = LoadU32(payload);
  if (count * element_width_ != length - 4) return kPacketInvalidValue;
  size = length;
  return kPacketOk;
}

void FLDCRepeat::Encode(const std::uint8_t* payload, std::size_t length,
                        std::uint8_t* out) const {
  std::memcpy(out, payload, length);
}

PacketStatus FLDCRepeat::Decode(const std::uint8_t* data, std::size_t available,
                                const std::uint8_t*& payload, std::size_t& payload_length,
                                std::size_t& encoded_length) const {
  if (available < 4) return kPacketBad;
  // 64-bit arithmetic: a count near 2^32 times the width must not wrap.
  const std::uint64_t count = LoadU32(data);
  const std::uint64_t bytes = count * element_width_;
  if (bytes > available - 4) return kPacketBad;
  payload = data;
  payload_length = static_cast<std::size_t>(4 + bytes);
  encoded_length = payload_length;
  return kPacketOk;
}

namespace {

// The codec of one plain (non-array) element of `type`.
std::unique_ptr<FLDConv> MakeElementCodec(TypeCode type, PacketStatus& status) {
  const unsigned base = BaseOf(type);
  const unsigned width = WidthOf(type);
  status = kPacketOk;
  if (IsVarying(type)) {
    switch (base) {
      case kBaseString:
      case kBaseWideString:
      case kBaseBytes:
      case kBaseBytes2:
        if (width == 1) return std::make_unique<FLDCVar8>(type);
        if (width == 2) return std::make_unique<FLDCVar16>(type);
        if (width == 4) return std::make_unique<FLDCVar32>(type);
        break;
      default:
        break;
    }
    status = kPacketBadType;
    return nullptr;
  }
  switch (base) {
    case kBaseSignedInt:
    case kBaseUnsignedInt:
    case kBaseBoolean:
      if (width == 1) return std::make_unique<FLDCInt8>(type);
      if (width == 2) return std::make_unique<FLDCInt16>(type);
      if (width == 4) return std::make_unique<FLDCInt32>(type);
      if (width == 8 && base != kBaseBoolean) return std::make_unique<FLDCInt64>(type);
      break;
    case kBaseFloat:
      if (width == 8) return std::make_unique<FLDCFloat>(type);
      if (width == 10) return std::make_unique<FLDCFloatIEEE>(type);
      break;
    case kBaseBcd:
    case kBaseFormattedBcd:
      if (width >= 1 && width <= 34) return std::make_unique<FLDCBcd>(type);
      break;
    case kBaseDate:
    case kBaseTime:
      if (width == 4) return std::make_unique<FLDCInt32>(type);
      break;
    case kBaseDateTime:
      if (width == 8) return std::make_unique<FLDCFloat>(type);
      break;
    case kBaseSqlTimeStamp:
      if (width == 16) return std::make_unique<FLDCSQLTIMESTAMP>(type);
      break;
    case kBaseString:
    case kBaseWideString:
    case kBaseBytes:
    case kBaseBytes2:
      if (width >= 1) return std::make_unique<FLDCFixed>(type, width);
      break;
    case kBaseStruct:
    case kBaseArrayColumn:
      if (IsComposite(type)) return std::make_unique<FLDCFixed>(type, 0);
      break;
    default:
      break;
  }
  status = kPacketBadType;
  return nullptr;
}

}  // namespace

std::unique_ptr<FLDConv> MakeBinaryCodec(TypeCode type, PacketStatus& status) {
  if (BaseOf(type) > kHighestBaseType) {
    status = kPacketOutOfOrder;
    return nullptr;
  }
  if (IsArray(type)) {
    if (IsVarying(type) || IsComposite(type)) {
      status = kPacketBadType;
      return nullptr;
    }
    auto element = MakeElementCodec(type & ~kTypeArray & ~kTypeRoundtrip, status);
    if (!element) return nullptr;
    auto* fixed = dynamic_cast<FLDCFixed*>(element.get());
    if (fixed == nullptr || fixed->Width() == 0) {
      status = kPacketBadType;
      return nullptr;
    }
    return std::make_unique<FLDCRepeat>(type, fixed->Width());
  }
  return MakeElementCodec(type & ~kTypeRoundtrip, status);
}

}  // namespace quillset
