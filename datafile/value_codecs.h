// Value codecs: one small object per column or property type that knows how a
// value of that type is laid out in a binary packet.
//
// Two views of a value:
//  - the payload: what the caller holds and what the reader hands back. For a
//    varying type the bytes without their length prefix; for an array the
//    32-bit element count followed by the elements; for a fixed type its width
//    in bytes.
//  - the encoding: the bytes in the packet (varying: prefix + payload).
//
// Decoding is done in place: the payload pointer points into the packet. Every
// decode checks the bytes that remain first, so a cut or hostile packet gives
// kPacketBad and never a read past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "datafile/packet_status.h"
#include "datafile/type_codes.h"

namespace quillset {

class FLDConv {
 public:
  explicit FLDConv(TypeCode type) : type_(type) {}
  virtual ~FLDConv() = default;
  FLDConv(const FLDConv&) = delete;
  FLDConv& operator=(const FLDConv&) = delete;

  TypeCode Type() const { return type_; }

  // Bytes that encoding a payload of `length` bytes takes. For fixed types the
  // length is ignored (the width is fixed). Fails with kPacketInvalidValue when
  // the payload cannot be encoded (too long for its prefix, a bad array count).
  virtual PacketStatus EncodedSize(const std::uint8_t* payload, std::size_t length,
                                   std::size_t& size) const = 0;
  // Writes the encoding to `out`, which has EncodedSize bytes.
  // REQUIRES: EncodedSize succeeded for the same payload.
  virtual void Encode(const std::uint8_t* payload, std::size_t length,
                      std::uint8_t* out) const = 0;
  // Reads one encoded value from `data` (with `available` bytes left).
  // On success `payload`/`payload_length` describe the payload in place and
  // `encoded_length` the bytes consumed.
  virtual PacketStatus Decode(const std::uint8_t* data, std::size_t available,
                              const std::uint8_t*& payload, std::size_t& payload_length,
                              std::size_t& encoded_length) const = 0;
  // Decode without a virtual call for the fixed and varying codecs, which
  // make up nearly every row value: the row walk's path.
  inline PacketStatus DecodeValue(const std::uint8_t* data, std::size_t available,
                                  const std::uint8_t*& payload, std::size_t& payload_length,
                                  std::size_t& encoded_length) const;

 protected:
  enum class Shape : std::uint8_t { kOther, kFixed, kVarying };
  // Set by FLDCFixed (width) and FLDCVarying (prefix width).
  Shape shape_ = Shape::kOther;
  std::size_t shape_width_ = 0;

 private:
  TypeCode type_;
};

// A fixed number of bytes copied as they are (FLDCFixed and the number codecs).
class FLDCFixed : public FLDConv {
 public:
  FLDCFixed(TypeCode type, std::size_t width) : FLDConv(type), width_(width) {
    shape_ = Shape::kFixed;
    shape_width_ = width;
  }
  std::size_t Width() const { return width_; }
  PacketStatus EncodedSize(const std::uint8_t* payload, std::size_t length,
                           std::size_t& size) const override;
  void Encode(const std::uint8_t* payload, std::size_t length, std::uint8_t* out) const override;
  PacketStatus Decode(const std::uint8_t* data, std::size_t available,
                      const std::uint8_t*& payload, std::size_t& payload_length,
                      std::size_t& encoded_length) const override;

 private:
  std::size_t width_;
};

class FLDCInt8 : public FLDCFixed {
 public:
  explicit FLDCInt8(TypeCode type) : FLDCFixed(type, 1) {}
};
class FLDCInt16 : public FLDCFixed {
 public:
  explicit FLDCInt16(TypeCode type) : FLDCFixed(type, 2) {}
};
class FLDCInt32 : public FLDCFixed {
 public:
  explicit FLDCInt32(TypeCode type) : FLDCFixed(type, 4) {}
};
class FLDCInt64 : public FLDCFixed {
 public:
  explicit FLDCInt64(TypeCode type) : FLDCFixed(type, 8) {}
};
// 8-byte IEEE double (floating point, date and time).
class FLDCFloat : public FLDCFixed {
 public:
  explicit FLDCFloat(TypeCode type) : FLDCFixed(type, 8) {}
};
// 10-byte extended floating point.
class FLDCFloatIEEE : public FLDCFixed {
 public:
  explicit FLDCFloatIEEE(TypeCode type) : FLDCFixed(type, 10) {}
};
// The record store's 18-byte BCD value, whatever the declared width.
class FLDCBcd : public FLDCFixed {
 public:
  explicit FLDCBcd(TypeCode type) : FLDCFixed(type, 18) {}
};
// The record store's 16-byte SQL time stamp.
class FLDCSQLTIMESTAMP : public FLDCFixed {
 public:
  explicit FLDCSQLTIMESTAMP(TypeCode type) : FLDCFixed(type, 16) {}
};

// A length prefix of 1, 2 or 4 bytes, then that many bytes.
class FLDCVarying : public FLDConv {
 public:
  FLDCVarying(TypeCode type, std::size_t prefix_width)
      : FLDConv(type), prefix_width_(prefix_width) {
    shape_ = Shape::kVarying;
    shape_width_ = prefix_width;
  }
  std::size_t PrefixWidth() const { return prefix_width_; }
  PacketStatus EncodedSize(const std::uint8_t* payload, std::size_t length,
                           std::size_t& size) const override;
  void Encode(const std::uint8_t* payload, std::size_t length, std::uint8_t* out) const override;
  PacketStatus Decode(const std::uint8_t* data, std::size_t available,
                      const std::uint8_t*& payload, std::size_t& payload_length,
                      std::size_t& encoded_length) const override;

 private:
  std::size_t prefix_width_;
};
class FLDCVar8 : public FLDCVarying {
 public:
  explicit FLDCVar8(TypeCode type) : FLDCVarying(type, 1) {}
};
class FLDCVar16 : public FLDCVarying {
 public:
  explicit FLDCVar16(TypeCode type) : FLDCVarying(type, 2) {}
};
class FLDCVar32 : public FLDCVarying {
 public:
  explicit FLDCVar32(TypeCode type) : FLDCVarying(type, 4) {}
};

// An array: a 32-bit element count, then the elements, each fixed-width. The
// payload is the encoding itself (count and elements); its count is checked
// against the bytes that follow before anything else is done with it.
class FLDCRepeat : public FLDConv {
 public:
  FLDCRepeat(TypeCode type, std::size_t element_width)
      : FLDConv(type), element_width_(element_width) {}
  std::size_t ElementWidth() const { return element_width_; }
  PacketStatus EncodedSize(const std::uint8_t* payload, std::size_t length,
                           std::size_t& size) const override;
  void Encode(const std::uint8_t* payload, std::size_t length, std::uint8_t* out) const override;
  PacketStatus Decode(const std::uint8_t* data, std::size_t available,
                      const std::uint8_t*& payload, std::size_t& payload_length,
                      std::size_t& encoded_length) const override;

 private:
  std::size_t element_width_;
};

inline PacketStatus FLDConv::DecodeValue(const std::uint8_t* data, std::size_t available,
                                         const std::uint8_t*& payload,
                                         std::size_t& payload_length,
                                         std::size_t& encoded_length) const {
  if (shape_ == Shape::kFixed) {
    if (available < shape_width_) return kPacketBad;
    payload = data;
    payload_length = encoded_length = shape_width_;
    return kPacketOk;
  }
  if (shape_ == Shape::kVarying) {
    if (available < shape_width_) return kPacketBad;
    std::size_t length = data[0];  // little-endian prefix of 1, 2 or 4 bytes
    if (shape_width_ >= 2) length |= std::size_t(data[1]) << 8;
    if (shape_width_ == 4) length |= std::size_t(data[2]) << 16 | std::size_t(data[3]) << 24;
    if (length > available - shape_width_) return kPacketBad;
    payload = data + shape_width_;
    payload_length = length;
    encoded_length = shape_width_ + length;
    return kPacketOk;
  }
  return Decode(data, available, payload, payload_length, encoded_length);
}

// Creates the binary codec for `type`. On failure returns null and sets
// `status`: kPacketOutOfOrder for a base type above 18, kPacketBadType for a
// type that cannot be laid out (array with varying, unknown base or width,
// nested tables and references, whose row layout this program does not use).
// Structures and array columns get a codec of zero bytes.
std::unique_ptr<FLDConv> MakeBinaryCodec(TypeCode type, PacketStatus& status);

}  // namespace quillset
