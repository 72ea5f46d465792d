// Column descriptions and the row image: how one row of the record engine is
// laid out in bytes, and the helpers that read and write single fields of such
// an image.
//
// A row image holds, in column order, one fixed data area per column, then one
// field-status byte per column (FieldValuePresent, FieldNull, FieldNotChanged).
// A null field has an all-zero data area. The backup entry's four columns
// (strings of 100, 100 and 20 bytes and one date-time) make a 235-byte image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillset {

// What a column holds. The packet layer maps its TypeCodes onto these kinds and
// back; the engine only needs each kind's data area size.
enum class ColumnKind : std::uint8_t {
  kString,        // zero-terminated code-page text; area width + 1
  kWideString,    // 16-bit byte length, then the bytes; area width + 2
  kVarBytes,      // 16-bit byte length, then the bytes; area width + 2
  kBlob,          // 32-bit id into the table's side values (DSBASE::SideValue)
  kFixedBytes,    // exactly width bytes
  kInt8, kInt16, kInt32, kInt64,
  kUInt8, kUInt16, kUInt32, kUInt64,
  kBool1, kBool2, kBool4,
  kFloat8, kFloat10,
  kBcd,           // 18 bytes, the store's BCD value
  kFormattedBcd,  // 18 bytes
  kDate,          // 32-bit signed
  kTime,          // 32-bit signed
  kDateTime,      // 64-bit IEEE: milliseconds, day 1 = 0001-01-01 at 86,400,000
  kSqlTimeStamp,  // 16 bytes as held
  // Composite kinds: child_count columns follow this one in the column list.
  kStructure,     // no data area of its own
  kArrayColumn,   // no data area of its own
  kNestedTable,   // 32-bit id into the table's side values (the nested rows, opaque)
  kReference,     // 32-bit id into the table's side values (opaque)
};

// "string", "dateTime", ...: the kind's name as used in the type-mismatch text.
const char* ColumnKindName(ColumnKind kind);

// A column property read from a data packet that the packet layer keeps and
// writes back unchanged. The engine never looks inside.
struct KeptProperty {
  std::string name;
  std::uint32_t type_code = 0;
  std::vector<std::uint8_t> value;
};

constexpr std::size_t kMaxColumnNameBytes = 31;

// The column name cut to its first 31 bytes.
std::string CutColumnName(const std::string& name);

struct ColumnDescription {
  std::string name;                 // at most 31 bytes (CutColumnName)
  ColumnKind kind = ColumnKind::kString;
  std::uint32_t width = 0;          // declared width: string capacity in bytes,
                                    // fixed-bytes width, BCD digits
  std::uint16_t decimals = 0;
  std::uint16_t subtype = 0;        // 0 none; 21 "Money" .. 70 "Reference"; 255 unknown
  std::uint16_t attributes = 0;     // 0x0001 hidden, 0x0002 read-only, 0x0004 required,
                                    // 0x0008 link column
  std::uint32_t elements = 0;       // array of a scalar kind: most elements; 0 = no array
  std::uint32_t child_count = 0;    // composite kinds: number of child columns
  bool calculated = false;
  std::vector<KeptProperty> kept_properties;
};

// Field-status byte values of a row image.
constexpr std::uint8_t FieldValuePresent = 0;
constexpr std::uint8_t FieldNull = 1;
constexpr std::uint8_t FieldNotChanged = 2;

// Size of one element of a scalar kind (string kinds: their whole area).
std::uint32_t ScalarAreaSize(const ColumnDescription& column);
// The data area of a column in a row image. An array column (elements > 0)
// holds a 32-bit element count followed by `elements` scalar areas.
std::uint32_t DataAreaSize(const ColumnDescription& column);

class RecordLayout {
 public:
  RecordLayout() = default;
  explicit RecordLayout(const std::vector<ColumnDescription>& columns);

  std::size_t ColumnCount() const { return offsets_.size(); }
  std::uint32_t AreaOffset(std::size_t column) const { return offsets_[column]; }
  std::uint32_t AreaSize(std::size_t column) const { return sizes_[column]; }
  std::uint32_t StatusOffset(std::size_t column) const {
    return status_offset_ + static_cast<std::uint32_t>(column);
  }
  std::uint32_t ImageSize() const { return image_size_; }

  // A fresh image: every field FieldNull, every data area zero.
  std::vector<std::uint8_t> NewImage() const;
  void InitImage(std::uint8_t* image) const;

  std::uint8_t FieldStatus(const std::uint8_t* image, std::size_t column) const {
    return image[StatusOffset(column)];
  }
  // Zero-fills the area and marks the field FieldNull.
  void WriteNull(std::uint8_t* image, std::size_t column) const;
  // Zero-fills the area, copies min(length, area size) bytes and marks the
  // field present.
  void WriteBytes(std::uint8_t* image, std::size_t column, const void* bytes,
                  std::size_t length) const;
  // String areas: the bytes up to the first zero, trailing 0x20 dropped;
  // text longer than the area's capacity (width) is cut at that byte count.
  void WriteString(std::uint8_t* image, std::size_t column, const std::string& text) const;
  // String areas: the bytes up to the first zero; empty text when not present.
  std::string ReadString(const std::uint8_t* image, std::size_t column) const;
  // String areas, as a data packet gives them: at most `width` bytes kept as
  // they are (no space trimming), then the terminating zero; field present.
  void PlaceString(std::uint8_t* image, std::size_t column, const void* bytes,
                   std::size_t length) const;
  // Direct access to a column's data area and status byte (the packet layer
  // encodes fixed-width values and length-prefixed areas itself).
  std::uint8_t* Area(std::uint8_t* image, std::size_t column) const {
    return image + offsets_[column];
  }
  const std::uint8_t* Area(const std::uint8_t* image, std::size_t column) const {
    return image + offsets_[column];
  }
  void SetFieldStatus(std::uint8_t* image, std::size_t column, std::uint8_t status) const {
    image[StatusOffset(column)] = status;
  }

 private:
  std::vector<std::uint32_t> offsets_;
  std::vector<std::uint32_t> sizes_;
  std::uint32_t status_offset_ = 0;
  std::uint32_t image_size_ = 0;
};

}  // namespace quillset
