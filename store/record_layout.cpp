#include "store/record_layout.h"

#include <algorithm>
#include <cstring>

namespace quillset {

const char* ColumnKindName(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kString: return "String";
    case ColumnKind::kWideString: return "WideString";
    case ColumnKind::kVarBytes: return "VarBytes";
    case ColumnKind::kBlob: return "Blob";
    case ColumnKind::kFixedBytes: return "Bytes";
    case ColumnKind::kInt8: return "Shortint";
    case ColumnKind::kInt16: return "Smallint";
    case ColumnKind::kInt32: return "Integer";
    case ColumnKind::kInt64: return "Largeint";
    case ColumnKind::kUInt8: return "Byte";
    case ColumnKind::kUInt16: return "Word";
    case ColumnKind::kUInt32: return "LongWord";
    case ColumnKind::kUInt64: return "UInt64";
    case ColumnKind::kBool1:
    case ColumnKind::kBool2:
    case ColumnKind::kBool4: return "Boolean";
    case ColumnKind::kFloat8: return "Float";
    case ColumnKind::kFloat10: return "Extended";
    case ColumnKind::kBcd: return "BCD";
    case ColumnKind::kFormattedBcd: return "FMTBcd";
    case ColumnKind::kDate: return "Date";
    case ColumnKind::kTime: return "Time";
    case ColumnKind::kDateTime: return "DateTime";
    case ColumnKind::kSqlTimeStamp: return "TimeStamp";
    case ColumnKind::kStructure: return "ADT";
    case ColumnKind::kArrayColumn: return "Array";
    case ColumnKind::kNestedTable: return "DataSet";
    case ColumnKind::kReference: return "Reference";
  }
  return "Unknown";
}

std::string CutColumnName(const std::string& name) {
  return name.size() <= kMaxColumnNameBytes ? name : name.substr(0, kMaxColumnNameBytes);
}

std::uint32_t ScalarAreaSize(const ColumnDescription& column) {
  switch (column.kind) {
    case ColumnKind::kString: return column.width + 1;
    case ColumnKind::kWideString:
    case ColumnKind::kVarBytes: return column.width + 2;
    case ColumnKind::kBlob:
    case ColumnKind::kNestedTable:
    case ColumnKind::kReference: return 4;
    case ColumnKind::kFixedBytes: return column.width;
    case ColumnKind::kInt8:
    case ColumnKind::kUInt8:
    case ColumnKind::kBool1: return 1;
    case ColumnKind::kInt16:
    case ColumnKind::kUInt16:
    case ColumnKind::kBool2: return 2;
    case ColumnKind::kInt32:
    case ColumnKind::kUInt32:
    case ColumnKind::kBool4:
    case ColumnKind::kDate:
    case ColumnKind::kTime: return 4;
    case ColumnKind::kInt64:
    case ColumnKind::kUInt64:
    case ColumnKind::kFloat8:
    case ColumnKind::kDateTime: return 8;
    case ColumnKind::kFloat10: return 10;
    case ColumnKind::kBcd:
    case ColumnKind::kFormattedBcd: return 18;
    case ColumnKind::kSqlTimeStamp: return 16;
    case ColumnKind::kStructure:
    case ColumnKind::kArrayColumn: return 0;
  }
  return 0;
}

std::uint32_t DataAreaSize(const ColumnDescription& column) {
  const std::uint64_t scalar = ScalarAreaSize(column);
  if (column.elements == 0) return static_cast<std::uint32_t>(scalar);
  const std::uint64_t size = 4 + scalar * column.elements;
  return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}

RecordLayout::RecordLayout(const std::vector<ColumnDescription>& columns) {
  std::uint64_t offset = 0;
  for (const ColumnDescription& column : columns) {
    const std::uint32_t size = DataAreaSize(column);
    offsets_.push_back(static_cast<std::uint32_t>(std::min<std::uint64_t>(offset, 0xFFFFFFFFu)));
    sizes_.push_back(size);
    offset += size;
  }
  const std::uint64_t total = offset + columns.size();
  status_offset_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(offset, 0xFFFFFFFFu));
  image_size_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
}

std::vector<std::uint8_t> RecordLayout::NewImage() const {
  std::vector<std::uint8_t> image(image_size_);
  InitImage(image.data());
  return image;
}

void RecordLayout::InitImage(std::uint8_t* image) const {
  std::memset(image, 0, status_offset_);
  std::memset(image + status_offset_, FieldNull, offsets_.size());
}

void RecordLayout::WriteNull(std::uint8_t* image, std::size_t column) const {
  std::memset(image + offsets_[column], 0, sizes_[column]);
  image[StatusOffset(column)] = FieldNull;
}

void RecordLayout::WriteBytes(std::uint8_t* image, std::size_t column, const void* bytes,
                              std::size_t length) const {
  std::uint8_t* area = image + offsets_[column];
  std::memset(area, 0, sizes_[column]);
  if (length > 0) std::memcpy(area, bytes, std::min<std::size_t>(length, sizes_[column]));
  image[StatusOffset(column)] = FieldValuePresent;
}

void RecordLayout::WriteString(std::uint8_t* image, std::size_t column,
                               const std::string& text) const {
  const std::size_t capacity = sizes_[column] == 0 ? 0 : sizes_[column] - 1;
  std::size_t length = 0;
  while (length < capacity && length < text.size() && text[length] != '\0') ++length;
  while (length > 0 && text[length - 1] == ' ') --length;
  WriteBytes(image, column, text.data(), length);
}

void RecordLayout::PlaceString(std::uint8_t* image, std::size_t column, const void* bytes,
                               std::size_t length) const {
  const std::size_t capacity = sizes_[column] == 0 ? 0 : sizes_[column] - 1;
  WriteBytes(image, column, bytes, std::min(length, capacity));
}

std::string RecordLayout::ReadString(const std::uint8_t* image, std::size_t column) const {
  if (image[StatusOffset(column)] != FieldValuePresent) return std::string();
  const char* area = reinterpret_cast<const char*>(image + offsets_[column]);
  std::size_t length = 0;
  while (length < sizes_[column] && area[length] != '\0') ++length;
  return std::string(area, length);
}

}  // namespace quillset
