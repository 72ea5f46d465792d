// FLDConv: how one value of a column or property type lies in a binary packet.
// Every type the packet can hold is one of three shapes:
//   fixed    `width` bytes as they are (numbers, dates, BCD, fixed texts and
//            bytes; width 0 for structures and array columns, which hold none)
//   varying  a little-endian length prefix of `width` (1, 2 or 4) bytes, then
//            that many bytes
//   array    a 32-bit element count, then that many elements of `width` bytes
//
// Two views of a value:
//  - the payload: what the caller holds and what the reader hands back. For a
//    varying type the bytes without their length prefix; for an array the
//    count followed by the elements; for a fixed type its width in bytes.
//  - the encoding: the bytes in the packet (varying: prefix + payload).
//
// Decoding is done in place: the payload points into the packet. Every decode
// checks the bytes that remain first, so a cut or hostile packet gives
// kStatusBadPacket and never a read past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/type_codes.h"
#include "store/short_bytes.h"
#include "store/status.h"

namespace quillset {

class FLDConv {
 public:
  enum class Shape : std::uint8_t { kFixed, kVarying, kArray };

  FLDConv() = default;
  FLDConv(TypeCode type, Shape shape, std::uint32_t width)
      : type_(type), shape_(shape), width_(width) {}

  TypeCode Type() const { return type_; }
  Shape GetShape() const { return shape_; }
  // Fixed: the value's bytes; varying: the prefix's; array: an element's.
  std::uint32_t Width() const { return width_; }

  // Bytes that encoding a payload of `length` bytes takes. A fixed type takes
  // its width whatever the length, but a non-zero length must cover it.
  // kStatusInvalidArgument when the payload cannot be encoded (too long for
  // its prefix, an array whose count does not match its length).
  Status EncodedSize(const std::uint8_t* payload, std::size_t length, std::size_t& size) const {
    switch (shape_) {
      case Shape::kFixed:
        if (width_ > 0 && (payload == nullptr || (length != 0 && length < width_)))
          return kStatusInvalidArgument;
        size = width_;
        return kStatusOk;
      case Shape::kVarying: {
        if (length > 0 && payload == nullptr) return kStatusInvalidArgument;
        const std::uint64_t limit = width_ == 1 ? 0xFFull : width_ == 2 ? 0xFFFFull : 0xFFFFFFFFull;
        if (length > limit) return kStatusInvalidArgument;
        size = width_ + length;
        return kStatusOk;
      }
      case Shape::kArray:
        if (payload == nullptr || length < 4 ||
            std::uint64_t(LoadU32(payload)) * width_ != length - 4)
          return kStatusInvalidArgument;
        size = length;
        return kStatusOk;
    }
    return kStatusBadType;
  }

  // Writes the encoding to `out`, which has EncodedSize bytes.
  // REQUIRES: EncodedSize succeeded for the same payload.
  void Encode(const std::uint8_t* payload, std::size_t length, std::uint8_t* out) const {
    switch (shape_) {
      case Shape::kFixed:
        CopyShortBytes(out, payload, width_);
        return;
      case Shape::kVarying:
        out[0] = static_cast<std::uint8_t>(length);
        if (width_ >= 2) out[1] = static_cast<std::uint8_t>(length >> 8);
        if (width_ == 4) {
          out[2] = static_cast<std::uint8_t>(length >> 16);
          out[3] = static_cast<std::uint8_t>(length >> 24);
        }
        CopyShortBytes(out + width_, payload, length);
        return;
      case Shape::kArray:
        std::memcpy(out, payload, length);
        return;
    }
  }

  // Reads one encoded value from `data` (with `available` bytes left). On
  // success `payload`/`payload_length` describe the payload in place and
  // `encoded_length` the bytes consumed.
  Status Decode(const std::uint8_t* data, std::size_t available, const std::uint8_t*& payload,
                std::size_t& payload_length, std::size_t& encoded_length) const {
    switch (shape_) {
      case Shape::kFixed:
        if (available < width_) return kStatusBadPacket;
        payload = data;
        payload_length = encoded_length = width_;
        return kStatusOk;
      case Shape::kVarying: {
        if (available < width_) return kStatusBadPacket;
        std::size_t length = data[0];
        if (width_ >= 2) length |= std::size_t(data[1]) << 8;
        if (width_ == 4) length |= std::size_t(data[2]) << 16 | std::size_t(data[3]) << 24;
        if (length > available - width_) return kStatusBadPacket;
        payload = data + width_;
        payload_length = length;
        encoded_length = width_ + length;
        return kStatusOk;
      }
      case Shape::kArray: {
        if (available < 4) return kStatusBadPacket;
        // 64-bit arithmetic: a count near 2^32 times the width must not wrap.
        const std::uint64_t bytes = std::uint64_t(LoadU32(data)) * width_;
        if (bytes > available - 4) return kStatusBadPacket;
        payload = data;
        payload_length = encoded_length = static_cast<std::size_t>(4 + bytes);
        return kStatusOk;
      }
    }
    return kStatusBadType;
  }

 private:
  TypeCode type_ = 0;
  Shape shape_ = Shape::kFixed;
  std::uint32_t width_ = 0;
};

// The codec for `type`: kStatusOutOfOrder for a base type above 18,
// kStatusBadType for a type that cannot be laid out (an array of varying or
// composite values, an unknown base or width, nested tables and references,
// whose row layout this program does not use).
Status MakeBinaryCodec(TypeCode type, FLDConv& codec);

}  // namespace quillset
