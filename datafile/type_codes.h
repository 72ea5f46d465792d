// TypeCode: the 32-bit type word of a packet column or property value.
//
//   bits 0-15   fixed type: width in bytes; varying type: width of the length
//               prefix (1, 2 or 4); composite type: number of child columns
//   bits 16-21  base type (BaseType)
//   0x00400000  varying: a length prefix, then that many bytes
//   0x00800000  array: a 32-bit element count, then the elements
//   0x01000000  composite: child columns follow this column
//   0x02000000  repeated composite (array column)
//   0x04000000  nested table
//   0x80000000  marker kept in property types ("Roundtrip" in the text form)
//
// The packet layer also knows the kinds of record-store column and how each
// maps to a TypeCode and back (PacketColumnKind), so that the table side only
// translates between its own kinds and these.
#pragma once

#include <cstdint>
#include <string>

#include "store/status.h"

namespace quillset {

using TypeCode = std::uint32_t;

constexpr TypeCode kTypeWidthMask = 0x0000FFFF;
constexpr TypeCode kTypeVarying = 0x00400000;
constexpr TypeCode kTypeArray = 0x00800000;
constexpr TypeCode kTypeComposite = 0x01000000;
constexpr TypeCode kTypeRepeated = 0x02000000;
constexpr TypeCode kTypeNested = 0x04000000;
constexpr TypeCode kTypeRoundtrip = 0x80000000;

enum BaseType : std::uint8_t {
  kBaseSignedInt = 1,
  kBaseUnsignedInt = 2,
  kBaseBoolean = 3,
  kBaseFloat = 4,
  kBaseBcd = 5,
  kBaseDate = 6,
  kBaseTime = 7,
  kBaseDateTime = 8,
  kBaseString = 9,
  kBaseWideString = 10,
  kBaseBytes = 11,
  kBaseStruct = 12,
  kBaseArrayColumn = 13,
  kBaseNestedTable = 14,
  kBaseReference = 15,
  kBaseBytes2 = 16,
  kBaseSqlTimeStamp = 17,
  kBaseFormattedBcd = 18,
};
constexpr unsigned kHighestBaseType = 18;

inline unsigned BaseOf(TypeCode type) { return (type >> 16) & 0x3F; }
inline unsigned WidthOf(TypeCode type) { return type & kTypeWidthMask; }
inline bool IsVarying(TypeCode type) { return (type & kTypeVarying) != 0; }
inline bool IsArray(TypeCode type) { return (type & kTypeArray) != 0; }
inline bool IsComposite(TypeCode type) { return (type & kTypeComposite) != 0; }
inline TypeCode MakeType(unsigned base, unsigned width, TypeCode flags = 0) {
  return (static_cast<TypeCode>(base & 0x3F) << 16) | (width & kTypeWidthMask) | flags;
}

// Well-known property types.
constexpr TypeCode kTypeUInt16 = 0x00020002;        // "WIDTH", "DECIMALS", "CALCULATED"
constexpr TypeCode kTypeInt32 = 0x00010004;         // "AUTOINCVALUE"
constexpr TypeCode kTypeSubtypeName = 0x00490002;   // "SUBTYPE": 16-bit length, name, zero
constexpr TypeCode kTypeChangeLog = 0x00820004;     // "CHANGE_LOG": array of 32-bit words
constexpr TypeCode kTypeKeyList = 0x00820002;       // "DEFAULT_ORDER", "PRIMARY_KEY", ...

// Kinds of record-store column the packet can describe.
enum class PacketColumnKind : std::uint8_t {
  kString,          // zero-terminated text of declared width n
  kWideString,      // wide text of n bytes
  kVaryingBytes,    // bytes with a 16-bit length, at most n
  kBlob,            // blob or memo
  kFixedBytes,      // exactly n bytes
  kInt8, kInt16, kInt32, kInt64,
  kUInt8, kUInt16, kUInt32, kUInt64,
  kBoolean16, kBoolean8, kBoolean32,
  kFloat, kExtendedFloat,
  kBcd, kFormattedBcd,
  kDate, kTime, kDateTime, kSqlTimeStamp,
  kStruct, kArrayColumn, kReference, kNestedTable,
};

// TypeCode of a column kind; `width` is the declared width n (strings, bytes,
// BCD) or the number of child columns k (composite kinds).
TypeCode TypeCodeForColumn(PacketColumnKind kind, unsigned width);

// The column kind a TypeCode maps back to; kStatusBadType when none does.
// `width_from_type` gets the width that the type word itself carries (the
// declared width of fixed texts, fixed bytes and BCD, the child count of
// composites, else 0). An array type (bit 23) maps to the kind of its
// elements, which must be of a fixed width.
Status ColumnKindForType(TypeCode type, PacketColumnKind& kind, unsigned& width_from_type);

// True for the kinds whose declared width travels in the "WIDTH" property.
bool ColumnKindHasWidthProperty(PacketColumnKind kind);

// Subtype names and the record store's numbers for them ("Money" 21, ...,
// "Reference" 70). Unknown names give kUnknownSubtype.
constexpr std::uint8_t kNoSubtype = 0;
constexpr std::uint8_t kUnknownSubtype = 255;
std::uint8_t SubtypeForName(const std::string& name);  // compares without case
// Empty for a number without a name.
std::string SubtypeName(std::uint8_t subtype);

// Name of a base type in the text form ("i4", "string", ...); empty when the
// type has none there. Reverse: TypeForTextName, kStatusBadType for unknown.
std::string TextNameForType(TypeCode type);
Status TypeForTextName(const std::string& name, TypeCode& type);

// ASCII comparison without regard to case, for property names.
bool SameNameIgnoringCase(const std::string& a, const char* b);

}  // namespace quillset
