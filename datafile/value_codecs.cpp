#include "datafile/value_codecs.h"

namespace quillset {
namespace {

// The width of one plain (non-array) value of `type` in a binary packet, or
// false for a type that has none.
bool FixedWidth(TypeCode type, std::uint32_t& width) {
  const unsigned base = BaseOf(type);
  const unsigned declared = WidthOf(type);
  switch (base) {
    case kBaseSignedInt:
    case kBaseUnsignedInt:
      width = declared;
      return declared == 1 || declared == 2 || declared == 4 || declared == 8;
    case kBaseBoolean:
      width = declared;
      return declared == 1 || declared == 2 || declared == 4;
    case kBaseFloat:
      width = declared;
      return declared == 8 || declared == 10;
    case kBaseBcd:
    case kBaseFormattedBcd:
      width = 18;  // the record store's BCD value, whatever the declared width
      return declared >= 1 && declared <= 34;
    case kBaseDate:
    case kBaseTime:
      width = 4;
      return declared == 4;
    case kBaseDateTime:
      width = 8;
      return declared == 8;
    case kBaseSqlTimeStamp:
      width = 16;
      return declared == 16;
    case kBaseString:
    case kBaseWideString:
    case kBaseBytes:
    case kBaseBytes2:
      width = declared;
      return declared >= 1;
    case kBaseStruct:
    case kBaseArrayColumn:
      width = 0;
      return IsComposite(type);
    default:
      return false;
  }
}

bool HasVaryingForm(unsigned base) {
  return base == kBaseString || base == kBaseWideString || base == kBaseBytes ||
         base == kBaseBytes2;
}

}  // namespace

Status MakeBinaryCodec(TypeCode type, FLDConv& codec) {
  if (BaseOf(type) > kHighestBaseType) return kStatusOutOfOrder;
  const TypeCode plain = type & ~kTypeArray & ~kTypeRoundtrip;
  if (IsVarying(type)) {
    const unsigned prefix = WidthOf(type);
    if (IsArray(type) || !HasVaryingForm(BaseOf(type)) || (prefix != 1 && prefix != 2 && prefix != 4))
      return kStatusBadType;
    codec = FLDConv(type, FLDConv::Shape::kVarying, prefix);
    return kStatusOk;
  }
  std::uint32_t width = 0;
  if (!FixedWidth(plain, width)) return kStatusBadType;
  if (IsArray(type)) {
    if (IsComposite(type) || width == 0) return kStatusBadType;
    codec = FLDConv(type, FLDConv::Shape::kArray, width);
    return kStatusOk;
  }
  codec = FLDConv(type, FLDConv::Shape::kFixed, width);
  return kStatusOk;
}

}  // namespace quillset
