#include "datafile/type_codes.h"

#include <cctype>
#include <cstring>

namespace quillset {
namespace {

// A varying type whose prefix is 1 byte while the stored value (with its
// terminator or length word) fits 254 bytes, 2 bytes otherwise.
TypeCode VaryingFor(unsigned base, unsigned stored_size) {
  return MakeType(base, stored_size <= 254 ? 1 : 2, kTypeVarying);
}

struct SubtypeEntry {
  std::uint8_t number;
  const char* name;
};
constexpr SubtypeEntry kSubtypes[] = {
    {21, "Money"},      {22, "Text"},        {23, "Binary"},   {24, "Formatted"},
    {25, "Ole"},        {26, "Graphics"},    {27, "dBASEOle"}, {28, "TypedBinary"},
    {29, "Autoinc"},    {30, "AccessOle"},   {31, "FixedChar"}, {33, "HMemo"},
    {34, "HBinary"},    {35, "ADTNestedTable"}, {36, "BFile"}, {37, "ADTDate"},
    {38, "Guid"},       {70, "Reference"},
};

struct TextName {
  const char* name;
  TypeCode type;
};
// First match wins when writing, so the preferred spelling comes first.
constexpr TextName kTextNames[] = {
    {"i1", 0x00010001},         {"i2", 0x00010002},      {"i4", 0x00010004},
    {"int", 0x00010004},        {"i8", 0x00010008},      {"ui1", 0x00020001},
    {"ui2", 0x00020002},        {"ui4", 0x00020004},     {"uint", 0x00020004},
    {"ui8", 0x00020008},        {"boolean", 0x00030002}, {"r8", 0x00040008},
    {"r10", 0x0004000A},        {"fixed", 0x00050000},   {"date", 0x00060004},
    {"time", 0x00070004},       {"dateTime", 0x00080008}, {"string", 0x00490000},
    {"string.uni", 0x004A0000}, {"bin.hex", 0x004B0000}, {"struct", 0x010C0000},
    {"nested", 0x050E0000},     {"SQLdateTime", 0x00110010}, {"fixedFMT", 0x00120000},
};

}  // namespace

TypeCode TypeCodeForColumn(PacketColumnKind kind, unsigned width) {
  using K = PacketColumnKind;
  switch (kind) {
    case K::kString: return VaryingFor(kBaseString, width + 1);
    case K::kWideString: return VaryingFor(kBaseWideString, width + 2);
    case K::kVaryingBytes: return VaryingFor(kBaseBytes, width + 2);
    case K::kBlob: return 0x004B0004;
    case K::kFixedBytes: return MakeType(kBaseBytes, width);
    case K::kInt8: return 0x00010001;
    case K::kInt16: return 0x00010002;
    case K::kInt32: return 0x00010004;
    case K::kInt64: return 0x00010008;
    case K::kUInt8: return 0x00020001;
    case K::kUInt16: return 0x00020002;
    case K::kUInt32: return 0x00020004;
    case K::kUInt64: return 0x00020008;
    case K::kBoolean16: return 0x00030002;
    case K::kBoolean8: return 0x00030001;
    case K::kBoolean32: return 0x00030004;
    case K::kFloat: return 0x00040008;
    case K::kExtendedFloat: return 0x0004000A;
    case K::kBcd: return MakeType(kBaseBcd, width);
    case K::kFormattedBcd: return MakeType(kBaseFormattedBcd, width);
    case K::kDate: return 0x00060004;
    case K::kTime: return 0x00070004;
    case K::kDateTime: return 0x00080008;
    case K::kSqlTimeStamp: return 0x00110010;
    case K::kStruct: return 0x010C0000 + (width & kTypeWidthMask);
    case K::kArrayColumn: return 0x030D0000 + (width & kTypeWidthMask);
    case K::kReference: return 0x010F0000 + (width & kTypeWidthMask);
    case K::kNestedTable: return 0x050E0000 + (width & kTypeWidthMask);
  }
  return 0;
}

Status ColumnKindForType(TypeCode type, PacketColumnKind& kind, unsigned& width_from_type) {
  using K = PacketColumnKind;
  const unsigned base = BaseOf(type);
  const unsigned width = WidthOf(type);
  width_from_type = 0;
  if (base > kHighestBaseType) return kStatusOutOfOrder;
  if (IsArray(type)) {
    // An array column holds elements of one fixed-width plain kind.
    if (IsVarying(type) || IsComposite(type)) return kStatusBadType;
    if (Status s = ColumnKindForType(type & ~kTypeArray, kind, width_from_type)) return s;
    if (kind == K::kBlob || kind == K::kVaryingBytes || kind == K::kWideString) return kStatusBadType;
    return kStatusOk;
  }
  const bool varying = IsVarying(type);
  if (varying && width != 1 && width != 2 && width != 4) return kStatusBadType;
  switch (base) {
    case kBaseString:
      kind = K::kString;
      if (!varying) {
        // A fixed-width text: its width is in the type word.
        if (width == 0) return kStatusBadType;
        width_from_type = width;
      }
      return kStatusOk;
    case kBaseWideString:
      if (!varying) return kStatusBadType;
      kind = K::kWideString;
      return kStatusOk;
    case kBaseBytes:
    case kBaseBytes2:
      if (varying) {
        kind = width == 4 ? K::kBlob : K::kVaryingBytes;
      } else {
        if (width == 0) return kStatusBadType;
        kind = K::kFixedBytes;
        width_from_type = width;
      }
      return kStatusOk;
    default:
      break;
  }
  if (varying) return kStatusBadType;
  switch (base) {
    case kBaseSignedInt:
    case kBaseUnsignedInt: {
      const bool is_signed = base == kBaseSignedInt;
      switch (width) {
        case 1: kind = is_signed ? K::kInt8 : K::kUInt8; return kStatusOk;
        case 2: kind = is_signed ? K::kInt16 : K::kUInt16; return kStatusOk;
        case 4: kind = is_signed ? K::kInt32 : K::kUInt32; return kStatusOk;
        case 8: kind = is_signed ? K::kInt64 : K::kUInt64; return kStatusOk;
        default: return kStatusBadType;
      }
    }
    case kBaseBoolean:
      switch (width) {
        case 1: kind = K::kBoolean8; return kStatusOk;
        case 2: kind = K::kBoolean16; return kStatusOk;
        case 4: kind = K::kBoolean32; return kStatusOk;
        default: return kStatusBadType;
      }
    case kBaseFloat:
      if (width == 8) { kind = K::kFloat; return kStatusOk; }
      if (width == 10) { kind = K::kExtendedFloat; return kStatusOk; }
      return kStatusBadType;
    case kBaseBcd:
    case kBaseFormattedBcd:
      if (width == 0 || width > 34) return kStatusBadType;
      kind = base == kBaseBcd ? K::kBcd : K::kFormattedBcd;
      width_from_type = width;
      return kStatusOk;
    case kBaseDate:
      if (width != 4) return kStatusBadType;
      kind = K::kDate;
      return kStatusOk;
    case kBaseTime:
      if (width != 4) return kStatusBadType;
      kind = K::kTime;
      return kStatusOk;
    case kBaseDateTime:
      if (width != 8) return kStatusBadType;
      kind = K::kDateTime;
      return kStatusOk;
    case kBaseSqlTimeStamp:
      if (width != 16) return kStatusBadType;
      kind = K::kSqlTimeStamp;
      return kStatusOk;
    case kBaseStruct:
    case kBaseArrayColumn:
    case kBaseReference:
    case kBaseNestedTable:
      if (!IsComposite(type)) return kStatusBadType;
      kind = base == kBaseStruct        ? K::kStruct
             : base == kBaseArrayColumn ? K::kArrayColumn
             : base == kBaseReference   ? K::kReference
                                        : K::kNestedTable;
      width_from_type = width;
      return kStatusOk;
    default:
      return kStatusBadType;
  }
}

bool ColumnKindHasWidthProperty(PacketColumnKind kind) {
  using K = PacketColumnKind;
  return kind == K::kString || kind == K::kWideString || kind == K::kVaryingBytes ||
         kind == K::kBlob || kind == K::kBcd || kind == K::kFormattedBcd;
}

bool SameNameIgnoringCase(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::uint8_t SubtypeForName(const std::string& name) {
  for (const auto& entry : kSubtypes) {
    if (SameNameIgnoringCase(name, entry.name)) return entry.number;
  }
  return kUnknownSubtype;
}

std::string SubtypeName(std::uint8_t subtype) {
  for (const auto& entry : kSubtypes) {
    if (entry.number == subtype) return entry.name;
  }
  return std::string();
}

std::string TextNameForType(TypeCode type) {
  const unsigned base = BaseOf(type);
  for (const auto& entry : kTextNames) {
    if (BaseOf(entry.type) != base) continue;
    const unsigned w = WidthOf(entry.type);
    // Types whose width is free (strings, bytes, BCD, composites) match by base.
    if (w == 0 || IsComposite(entry.type) || w == WidthOf(type)) return entry.name;
  }
  if (base == kBaseBytes2) return "bin.hex";
  return std::string();
}

Status TypeForTextName(const std::string& name, TypeCode& type) {
  for (const auto& entry : kTextNames) {
    if (name == entry.name) {
      type = entry.type;
      return kStatusOk;
    }
  }
  return kStatusBadType;
}

}  // namespace quillset
