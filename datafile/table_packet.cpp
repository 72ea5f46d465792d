#include "datafile/table_packet.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "datafile/little_endian.h"
#include "datafile/packet_reader.h"
#include "datafile/packet_window.h"
#include "datafile/packet_writer.h"
#include "datafile/row_placing.h"
#include "datafile/table_packet_checks.h"
#include "datafile/text_packet_writer.h"
#include "datafile/write_behind_sink.h"
#include "store/short_bytes.h"

namespace quillset {
namespace {

constexpr std::uint64_t kMaxPacketRowImage = 1024 * 1024;
constexpr std::uint64_t kRowWorkAllowance = 64ull * 1024 * 1024;
constexpr std::uint64_t kRowWorkPerPacketByte = 256;
constexpr std::uint8_t kAutoincSubtype = 29;

struct KindPair {
  ColumnKind engine;
  PacketColumnKind packet;
};
constexpr KindPair kKinds[] = {
    {ColumnKind::kString, PacketColumnKind::kString},
    {ColumnKind::kWideString, PacketColumnKind::kWideString},
    {ColumnKind::kVarBytes, PacketColumnKind::kVaryingBytes},
    {ColumnKind::kBlob, PacketColumnKind::kBlob},
    {ColumnKind::kFixedBytes, PacketColumnKind::kFixedBytes},
    {ColumnKind::kInt8, PacketColumnKind::kInt8},
    {ColumnKind::kInt16, PacketColumnKind::kInt16},
    {ColumnKind::kInt32, PacketColumnKind::kInt32},
    {ColumnKind::kInt64, PacketColumnKind::kInt64},
    {ColumnKind::kUInt8, PacketColumnKind::kUInt8},
    {ColumnKind::kUInt16, PacketColumnKind::kUInt16},
    {ColumnKind::kUInt32, PacketColumnKind::kUInt32},
    {ColumnKind::kUInt64, PacketColumnKind::kUInt64},
    {ColumnKind::kBool1, PacketColumnKind::kBoolean8},
    {ColumnKind::kBool2, PacketColumnKind::kBoolean16},
    {ColumnKind::kBool4, PacketColumnKind::kBoolean32},
    {ColumnKind::kFloat8, PacketColumnKind::kFloat},
    {ColumnKind::kFloat10, PacketColumnKind::kExtendedFloat},
    {ColumnKind::kBcd, PacketColumnKind::kBcd},
    {ColumnKind::kFormattedBcd, PacketColumnKind::kFormattedBcd},
    {ColumnKind::kDate, PacketColumnKind::kDate},
    {ColumnKind::kTime, PacketColumnKind::kTime},
    {ColumnKind::kDateTime, PacketColumnKind::kDateTime},
    {ColumnKind::kSqlTimeStamp, PacketColumnKind::kSqlTimeStamp},
    {ColumnKind::kStructure, PacketColumnKind::kStruct},
    {ColumnKind::kArrayColumn, PacketColumnKind::kArrayColumn},
    {ColumnKind::kNestedTable, PacketColumnKind::kNestedTable},
    {ColumnKind::kReference, PacketColumnKind::kReference},
};

bool IsComposite(ColumnKind kind) {
  return kind == ColumnKind::kStructure || kind == ColumnKind::kArrayColumn ||
         kind == ColumnKind::kNestedTable || kind == ColumnKind::kReference;
}

// The number of columns that `columns[at]` spans, itself and its descendants.
std::size_t Span(const std::vector<ColumnDescription>& columns, std::size_t at) {
  std::size_t end = at + 1;
  if (IsComposite(columns[at].kind)) {
    for (std::uint32_t child = 0; child < columns[at].child_count && end < columns.size(); ++child)
      end += Span(columns, end);
  }
  return end - at;
}

std::vector<std::uint8_t> U16Bytes(std::uint16_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

// The TypeCode a column is written with. An array column is an array of its
// elements' fixed-width type (a text element: the fixed-width text type).
Status ColumnType(const ColumnDescription& column, TypeCode& type) {
  const PacketColumnKind kind = PacketKindOf(column.kind);
  const unsigned width_or_children = IsComposite(column.kind) ? column.child_count : column.width;
  type = TypeCodeForColumn(kind, width_or_children);
  if (column.elements == 0) return kStatusOk;
  if (column.kind == ColumnKind::kString) type = MakeType(kBaseString, column.width);
  type |= kTypeArray;
  FLDConv codec;
  return MakeBinaryCodec(type, codec);  // arrays of varying or composite values cannot be written
}

Status WriteColumn(TDATAPACKET_WRITE& writer, const ColumnDescription& column) {
  const PacketColumnKind kind = PacketKindOf(column.kind);
  TypeCode type = 0;
  if (Status s = ColumnType(column, type)) return s;
  if (Status s = writer.AddColumn(MakeColumnDesc(column.name, type, column.attributes)))
    return s;
  const std::string subtype = column.subtype < 256 ? SubtypeName(static_cast<std::uint8_t>(column.subtype))
                                                   : std::string();
  if (!subtype.empty()) {
    std::vector<std::uint8_t> value = U16Bytes(static_cast<std::uint16_t>(subtype.size() + 1));
    value.insert(value.end(), subtype.begin(), subtype.end());
    value.push_back(0);
    if (Status s = writer.AddProperty(PropertyLevel::kColumn, "SUBTYPE", kTypeSubtypeName,
                                            static_cast<std::uint32_t>(value.size()), value.data()))
      return s;
  }
  if (column.decimals != 0 && column.kind != ColumnKind::kStructure &&
      column.kind != ColumnKind::kArrayColumn) {
    const auto value = U16Bytes(column.decimals);
    if (Status s = writer.AddProperty(PropertyLevel::kColumn, "DECIMALS", kTypeUInt16, 2,
                                            value.data()))
      return s;
  }
  if (column.width != 0 && ColumnKindHasWidthProperty(kind)) {
    if (column.width > 0xFFFF) return kStatusInvalidArgument;
    const auto value = U16Bytes(static_cast<std::uint16_t>(column.width));
    if (Status s = writer.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2,
                                            value.data()))
      return s;
  }
  if (column.elements != 0) {
    if (column.elements > 0xFFFF) return kStatusInvalidArgument;
    const auto value = U16Bytes(static_cast<std::uint16_t>(column.elements));
    if (Status s = writer.AddProperty(PropertyLevel::kColumn, "ELEMENTS", kTypeUInt16, 2,
                                      value.data()))
      return s;
  }
  if (column.calculated && !(column.attributes & kColumnLink)) {
    const auto value = U16Bytes(1);
    if (Status s = writer.AddProperty(PropertyLevel::kColumn, "CALCULATED", kTypeUInt16, 2,
                                            value.data()))
      return s;
  }
  for (const KeptProperty& kept : column.kept_properties) {
    if (Status s = writer.AddProperty(PropertyLevel::kColumn, kept.name.c_str(),
                                            kept.type_code,
                                            static_cast<std::uint32_t>(kept.value.size()),
                                            kept.value.data()))
      return s;
  }
  return kStatusOk;
}

// The number of table properties WriteTableProperties writes.
std::uint16_t TablePropertyCount(const DSBASE& table) {
  const std::size_t count = (table.ChangeLog().empty() ? 0 : 1) + (table.has_autoinc ? 1 : 0) +
                            table.KeptTableProperties().size();
  return count > 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(count);
}

Status WriteTableProperties(TDATAPACKET_WRITE& writer, const DSBASE& table) {
  const auto& log = table.ChangeLog();
  if (!log.empty()) {
    // 3 words per entry after the word count, made as they are written: a
    // long log is never held a second time.
    const std::uint64_t words = static_cast<std::uint64_t>(log.size()) * 3;
    if (words > 0x3FFFFFFF) return kStatusInvalidArgument;
    const auto word = [&log, words](std::size_t i) -> std::uint32_t {
      if (i == 0) return static_cast<std::uint32_t>(words);
      const ChangeLogEntry& entry = log[(i - 1) / 3];
      const std::size_t field = (i - 1) % 3;
      return field == 0 ? entry.slot : field == 1 ? entry.replaced_slot : entry.kind;
    };
    const auto pieces = [&word](std::uint8_t* out, std::size_t from, std::size_t count) {
      const std::size_t end = from + count;
      const auto byte_at = [&word](std::size_t at) {
        return static_cast<std::uint8_t>(word(at / 4) >> (8 * (at % 4)));
      };
      // A piece may start or end inside a word: those bytes one at a time.
      std::size_t at = from;
      for (; at < end && at % 4 != 0; ++at) out[at - from] = byte_at(at);
      for (; at + 4 <= end; at += 4) StoreU32(out + (at - from), word(at / 4));
      for (; at < end; ++at) out[at - from] = byte_at(at);
    };
    if (Status s = writer.AddPropertyInPieces(PropertyLevel::kTable, "CHANGE_LOG", kTypeChangeLog,
                                              static_cast<std::uint32_t>(4 + words * 4), pieces))
      return s;
  }
  if (table.has_autoinc) {
    std::uint8_t value[4];
    StoreU32(value, static_cast<std::uint32_t>(table.autoinc_value));
    if (Status s = writer.AddProperty(PropertyLevel::kTable, "AUTOINCVALUE", kTypeInt32, 4,
                                            value))
      return s;
  }
  for (const KeptProperty& kept : table.KeptTableProperties()) {
    if (Status s = writer.AddProperty(PropertyLevel::kTable, kept.name.c_str(),
                                            kept.type_code,
                                            static_cast<std::uint32_t>(kept.value.size()),
                                            kept.value.data()))
      return s;
  }
  return writer.AddProperty(PropertyLevel::kTable, nullptr, 0, 0, nullptr);
}

// The values of one slot's row as the writer takes them, read column by
// column straight from the packed storage (no row image is built).
class SlotRowValues {
 public:
  explicit SlotRowValues(const DSBASE& table)
      : table_(table),
        layout_(table.Layout()),
        columns_(table.Columns()),
        fields_(columns_.size()),
        values_(columns_.size()),
        padded_(layout_.ImageSize() + 1),
        arrays_(layout_.ImageSize() + 1) {}

  const std::vector<PacketValue>& Values() const { return values_; }

  Status Read(std::uint32_t slot) {
    if (table_.ReadSlotValues(slot, fields_.data(), scratch_) != kStatusOk)
      return kStatusInvalidArgument;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const FieldBytes& field = fields_[c];
      PacketValue& value = values_[c];
      if (field.status != FieldValuePresent) {
        value = {nullptr, 0, field.status};
        continue;
      }
      const std::uint32_t area_size = layout_.AreaSize(c);
      value.status = kFieldPresent;
      if (columns_[c].elements != 0) {
        ArrayValue(c, Area(c, field, area_size), value);
        continue;
      }
      switch (columns_[c].kind) {
        case ColumnKind::kString: {
          // The area holds the text up to its first zero byte; the bytes
          // after the stored ones are zero.
          const std::uint32_t length = LengthToZero(field.bytes, field.length);
          // An empty text that is not null travels as one zero byte.
          value.bytes = length == 0 ? &kEmptyText : field.bytes;
          value.length = length == 0 ? 1 : length;
          break;
        }
        case ColumnKind::kWideString:
        case ColumnKind::kVarBytes: {
          const std::uint8_t* area = Area(c, field, area_size);
          std::uint32_t length = area_size >= 2 ? LoadU16(area) : 0;
          if (length > columns_[c].width) length = columns_[c].width;
          if (length + 2 > area_size) length = area_size >= 2 ? area_size - 2 : 0;
          value.bytes = area + 2;
          value.length = length;
          break;
        }
        case ColumnKind::kBlob: {
          const std::uint8_t* area = Area(c, field, area_size);
          const std::vector<std::uint8_t>& bytes =
              table_.SideValue(area_size >= 4 ? LoadU32(area) : 0);
          value.bytes = bytes.empty() ? &kEmptyText : bytes.data();
          value.length = static_cast<std::uint32_t>(bytes.size());
          break;
        }
        case ColumnKind::kNestedTable:
        case ColumnKind::kReference:
          return kStatusBadType;
        default:
          // Fixed-width values: the codec reads the whole area.
          value.bytes = Area(c, field, area_size);
          value.length = 0;
          break;
      }
    }
    return kStatusOk;
  }

 private:
  static constexpr std::uint8_t kEmptyText = 0;

  // An array column's area is the element count and `elements` element
  // areas; the packet holds the count and that many elements. A text element
  // is its area less the terminating zero, so it is put together in
  // `arrays_`; every other element is its area as it lies.
  void ArrayValue(std::size_t c, const std::uint8_t* area, PacketValue& value) {
    const ColumnDescription& column = columns_[c];
    std::uint32_t count = LoadU32(area);
    if (count > column.elements) count = column.elements;
    const std::uint32_t scalar = ScalarAreaSize(column);
    if (column.kind != ColumnKind::kString) {
      value.bytes = area;
      value.length = 4 + count * scalar;
      return;
    }
    std::uint8_t* out = arrays_.data() + layout_.AreaOffset(c);
    StoreU32(out, count);
    for (std::uint32_t i = 0; i < count; ++i)
      std::memcpy(out + 4 + i * column.width, area + 4 + i * scalar, column.width);
    value.bytes = out;
    value.length = 4 + count * column.width;
  }

  // The column's whole data area: in place when every byte of it is stored,
  // else the stored bytes followed by zeros in `padded_`. Never null.
  const std::uint8_t* Area(std::size_t c, const FieldBytes& field, std::uint32_t area_size) {
    if (field.length >= area_size && field.length > 0) return field.bytes;
    std::uint8_t* area = padded_.data() + layout_.AreaOffset(c);
    CopyShortBytes(area, field.bytes, field.length);
    ClearShortBytes(area + field.length, area_size - field.length);
    return area;
  }

  const DSBASE& table_;
  const RecordLayout& layout_;
  const std::vector<ColumnDescription>& columns_;
  std::vector<FieldBytes> fields_;
  std::vector<PacketValue> values_;
  std::vector<std::uint8_t> scratch_;
  std::vector<std::uint8_t> padded_;
  std::vector<std::uint8_t> arrays_;  // array values put together, at their columns' offsets
};

// Calls put_slot(slot, status) for every row the packet holds, in its order,
// with the status it is written with; stops at the first failure.
template <typename PutSlot>
Status ForEachRow(const DSBASE& table, PutSlot put_slot) {
  const std::uint32_t last = table.LastSlot();
  if (!table.logging_on) {
    for (std::uint32_t slot = 1; slot <= last; ++slot) {
      if (!IsVisibleRowStatus(table.SlotStatus(slot))) continue;
      if (Status s = put_slot(slot, RowStatusUnmodified)) return s;
    }
  } else if (!table.ChangeLog().empty()) {
    for (std::uint32_t slot = 1; slot <= last; ++slot) {
      if (Status s = put_slot(slot, table.SlotStatus(slot))) return s;
    }
  } else if (table.DefaultOrder().Count() > 0) {
    const DSIDX& view = table.DefaultOrder();
    for (std::uint32_t position = 1; position <= view.Count(); ++position) {
      const std::uint32_t slot = view.SlotAt(position);
      const std::uint8_t status = table.SlotStatus(slot);
      if (status & RowStatusUnused) continue;
      if (Status s = put_slot(slot, status)) return s;
    }
  } else {
    for (std::uint32_t slot = 1; slot <= last; ++slot) {
      const std::uint8_t status = table.SlotStatus(slot);
      if (status & RowStatusUnused) continue;
      if (Status s = put_slot(slot, status)) return s;
    }
  }
  return kStatusOk;
}

// The number of top-level columns (composites count once with their children).
Status TopLevelColumns(const DSBASE& table, std::uint16_t& count) {
  if (!table.Created() || table.Columns().empty()) return kStatusBadPacket;
  const auto& columns = table.Columns();
  std::size_t top_level = 0;
  for (std::size_t at = 0; at < columns.size(); at += Span(columns, at)) ++top_level;
  if (top_level > 0xFFFF) return kStatusInvalidArgument;
  count = static_cast<std::uint16_t>(top_level);
  return kStatusOk;
}

// Everything but the finishing call: columns, table properties, rows.
// `before_rows` runs once the table properties are written.
template <typename BeforeRows>
Status WriteTable(DSBASE& table, TDATAPACKET_WRITE& writer, BeforeRows before_rows) {
  std::uint16_t top_level = 0;
  if (Status s = TopLevelColumns(table, top_level)) return s;
  if (Status s = writer.BeginPacket(3, top_level)) return s;
  for (const ColumnDescription& column : table.Columns()) {
    if (Status s = WriteColumn(writer, column)) return s;
  }
  if (Status s = WriteTableProperties(writer, table)) return s;
  if (Status s = before_rows()) return s;
  SlotRowValues row(table);
  return ForEachRow(table, [&](std::uint32_t slot, std::uint8_t status) {
    if (Status r = row.Read(slot)) return r;
    return writer.PutRow(status, row.Values().data(), row.Values().size());
  });
}

Status StreamTable(DSBASE& table, PacketForm form, std::vector<std::uint8_t>& out) {
  if (form != PacketForm::kBinary) {
    TextPacketWriter writer(form);
    if (Status s = WriteTable(table, writer, [] { return kStatusOk; })) return s;
    return writer.FinishPacket(out);
  }
  DSDATAPACKET writer;
  if (Status s = WriteTable(table, writer, [&] {
        // Room for every row at its largest (blob values aside) up front, so
        // that the packet is never moved while it grows nor copied at the
        // end: memory set aside but never written costs no pages.
        std::uint32_t header = 0;
        if (Status s = writer.PacketSize(header)) return s;
        const RecordLayout& layout = table.Layout();
        std::uint64_t row_bound = 1 + (table.Columns().size() + 3) / 4;
        for (std::size_t c = 0; c < table.Columns().size(); ++c)
          row_bound += 4 + std::uint64_t(layout.AreaSize(c));
        const std::uint64_t bound = header + row_bound * table.LastSlot();
        if (bound <= 0xFFFFFFFFu && bound <= std::numeric_limits<std::size_t>::max())
          writer.ExpectPacketSize(static_cast<std::size_t>(bound));
        return kStatusOk;
      }))
    return s;
  return writer.FinishPacket(out);
}

Status StreamBinaryTo(DSBASE& table, PacketSink& sink, std::size_t buffer_bytes,
                      std::uint64_t max_packet_bytes) {
  std::uint32_t rows = 0;
  if (Status s = ForEachRow(table, [&](std::uint32_t, std::uint8_t) {
        ++rows;
        return kStatusOk;
      }))
    return s;
  DSDATAPACKET writer;
  writer.StreamTo(sink, buffer_bytes, rows, TablePropertyCount(table));
  writer.LimitPacketSize(max_packet_bytes);
  if (Status s = WriteTable(table, writer, [] { return kStatusOk; })) return s;
  return writer.FinishStream();
}

// Rows of about this many bytes in the packet, or more: the program's own are
// about a hundred.
constexpr std::size_t kRowBytesAtLeast = 64;

// True when the packet will fill the buffer and a second processor can write
// it while the rows are encoded.
bool WorthWritingBehind(const DSBASE& table, std::size_t buffer_bytes) {
  return table.LastSlot() >= buffer_bytes / kRowBytesAtLeast &&
         std::thread::hardware_concurrency() >= 2;
}

Status StreamTableTo(DSBASE& table, PacketSink& sink, const PacketSaving& how) {
  if (how.form != PacketForm::kBinary) {
    std::vector<std::uint8_t> packet;
    if (Status s = StreamTable(table, how.form, packet)) return s;
    if (packet.size() > how.max_packet_bytes) return kStatusOutOfMemory;
    return sink.Write(packet.data(), packet.size());
  }
  const bool behind = how.writing == PacketWriting::kBehind ||
                      (how.writing == PacketWriting::kAsWorthwhile &&
                       WorthWritingBehind(table, how.buffer_bytes));
  if (!behind) return StreamBinaryTo(table, sink, how.buffer_bytes, how.max_packet_bytes);
  // Each part is written and flushed while the next is made; the writer and
  // the copy each hold half the buffer.
  WriteBehindSink writing(sink);
  const Status made = StreamBinaryTo(table, writing, how.buffer_bytes / 2, how.max_packet_bytes);
  const Status written = writing.Finish();
  return made ? made : written;
}

// Reads an unsigned integer property value (1, 2, 4 or 8 bytes, base 1 or 2).
bool IntegerValue(TypeCode type, const std::uint8_t* value, std::uint32_t size,
                  std::uint64_t& out) {
  const unsigned base = BaseOf(type);
  const unsigned width = WidthOf(type);
  if ((base != kBaseSignedInt && base != kBaseUnsignedInt && base != kBaseBoolean) ||
      (type & 0x7FC00000) != 0 || (width != 1 && width != 2 && width != 4 && width != 8) ||
      size != width)
    return false;
  out = 0;
  for (unsigned i = 0; i < width; ++i) out |= static_cast<std::uint64_t>(value[i]) << (8 * i);
  return true;
}

KeptProperty Keep(const std::string& name, TypeCode type, const std::uint8_t* value,
                  std::uint32_t size) {
  KeptProperty kept;
  kept.name = name;
  kept.type_code = type;
  kept.value.assign(value, value + size);
  return kept;
}

Status ReadColumn(TDATAPACKET_READ& reader, const PacketColumnDesc& desc,
                        ColumnDescription& column, bool& width_given) {
  PacketColumnKind kind;
  unsigned width_from_type = 0;
  if (Status s = ColumnKindForType(desc.type, kind, width_from_type)) return s;
  if (!EngineKindOf(kind, column.kind)) return kStatusBadType;
  if (column.kind == ColumnKind::kNestedTable || column.kind == ColumnKind::kReference)
    return kStatusBadType;  // their row layout is not part of this program's packets
  column.name = ColumnDescName(desc);
  column.attributes = desc.attributes;
  if (IsComposite(column.kind)) {
    column.child_count = width_from_type;
  } else {
    column.width = width_from_type;
  }
  width_given = false;
  std::string name;
  TypeCode type = 0;
  std::uint32_t size = 0;
  const std::uint8_t* value = nullptr;
  Status s;
  while ((s = reader.NextPropertyInPlace(name, type, size, value)) == kStatusOk) {
    std::uint64_t number = 0;
    if (IsArray(desc.type) && SameNameIgnoringCase(name, "ELEMENTS")) {
      // The most elements an array column holds.
      if (!IntegerValue(type, value, size, number) || number > 0xFFFF) return kStatusInvalidArgument;
      column.elements = static_cast<std::uint32_t>(number);
    } else if (SameNameIgnoringCase(name, "WIDTH") || SameNameIgnoringCase(name, "ELEMENTS")) {
      if (!IntegerValue(type, value, size, number) || number > 0xFFFF) return kStatusInvalidArgument;
      if (!IsComposite(column.kind)) column.width = static_cast<std::uint32_t>(number);
      width_given = true;
    } else if (SameNameIgnoringCase(name, "DECIMALS")) {
      if (!IntegerValue(type, value, size, number) || number > 0xFFFF) return kStatusInvalidArgument;
      column.decimals = static_cast<std::uint16_t>(number);
    } else if (SameNameIgnoringCase(name, "CALCULATED")) {
      if (!IntegerValue(type, value, size, number)) return kStatusInvalidArgument;
      column.calculated = number != 0;
    } else if (SameNameIgnoringCase(name, "SUBTYPE")) {
      // The value is a length prefix, then the name and a zero byte.
      const std::size_t prefix = IsVarying(type) ? WidthOf(type) : 0;
      std::string subtype;
      if (size >= prefix)
        subtype.assign(reinterpret_cast<const char*>(value) + prefix, size - prefix);
      const std::size_t zero = subtype.find('\0');
      if (zero != std::string::npos) subtype.resize(zero);
      column.subtype = SubtypeForName(subtype);
      if (column.subtype == kUnknownSubtype)
        column.kept_properties.push_back(Keep(name, type, value, size));
    } else {
      column.kept_properties.push_back(Keep(name, type, value, size));
    }
  }
  return s == kStatusNoMore ? kStatusOk : s;
}

Status ApplyTableProperty(DSBASE& table, const std::string& name, TypeCode type,
                                const std::uint8_t* value, std::uint32_t size,
                                std::vector<ChangeLogEntry>& log, bool& has_autoinc_column) {
  std::uint64_t number = 0;
  if (SameNameIgnoringCase(name, "CHANGE_LOG")) {
    if (!IsArray(type) || IsVarying(type) || WidthOf(type) != 4 || size < 4)
      return kStatusInvalidArgument;
    const std::uint32_t words = LoadU32(value);
    if (words < 3 || static_cast<std::uint64_t>(words) * 4 + 4 != size) return kStatusInvalidArgument;
    log.assign(words / 3, ChangeLogEntry{});  // backed by the packet's bytes: checked against `size`
    const std::uint8_t* p = value + 4;
    for (ChangeLogEntry& entry : log) {  // a million entries after years of runs
      entry.slot = LoadU32(p);
      entry.replaced_slot = LoadU32(p + 4);
      entry.kind = LoadU32(p + 8);
      p += 12;
    }
    return kStatusOk;
  }
  if (SameNameIgnoringCase(name, "AUTOINCVALUE")) {
    if (has_autoinc_column && IntegerValue(type, value, size, number)) {
      table.has_autoinc = true;
      table.autoinc_value = static_cast<std::int32_t>(number);
    }
    return kStatusOk;
  }
  if (SameNameIgnoringCase(name, "MD_FIELDLINKS")) return kStatusOk;  // nested tables only

  // Applied, and kept so that the next save writes them back.
  const bool flag = !IntegerValue(type, value, size, number) || number != 0;
  // A change packet is not a list: its rows would be saved without the change
  // log that numbers them, and the next start would refuse the file.
  if (SameNameIgnoringCase(name, "DATASET_DELTA") || SameNameIgnoringCase(name, "DELTA"))
    return kStatusBadPacket;
  if (SameNameIgnoringCase(name, "READONLY")) {
    table.read_only = flag;
  } else if (SameNameIgnoringCase(name, "DISABLE_DELETES")) {
    table.disable_deletes = flag;
  } else if (SameNameIgnoringCase(name, "DISABLE_INSERTS")) {
    table.disable_inserts = flag;
  } else if (SameNameIgnoringCase(name, "DISABLE_EDITS")) {
    table.disable_edits = flag;
  } else if (SameNameIgnoringCase(name, "LCID")) {
    if (IntegerValue(type, value, size, number)) {
      table.has_lcid = true;
      table.lcid = static_cast<std::uint32_t>(number);
    }
  }
  table.KeptTableProperties().push_back(Keep(name, type, value, size));
  return kStatusOk;
}

// Reads on until the window holds the packet's columns and table properties
// (a text-form packet: all of it). A packet that fails before its rows is
// left for AppendToTable to refuse, with the rest read.
Status ReadPastMetadata(PacketWindow& window) {
  if (Status s = window.Advance(0, 0)) return s;
  bool log_room_asked = false;
  for (;;) {
    if (window.HoldsTheRest()) return kStatusOk;
    if (window.Size() >= kPacketHeaderSize) {  // fewer cannot tell the form
      DSEXTRACT scan;
      const Status opened = scan.OpenPacket(window.Data(), window.Size());
      if (scan.IsTextForm()) return window.Advance(0, window.Total());
      if (!opened && !scan.SkipToRows()) return kStatusOk;
      // A data file's table properties are mostly its change log, three
      // words a row at most: room for that at once spares the copies and
      // the pages of a window that doubles its way there.
      if (!opened && !log_room_asked) {
        log_room_asked = true;
        const std::uint64_t log_room = std::uint64_t{scan.HeaderRowCount()} * 12 + window.Size();
        if (log_room > 2 * std::uint64_t{window.Size()}) {
          if (Status s = window.Advance(0, log_room)) return s;
          continue;
        }
      }
    }
    if (Status s = window.Grow()) return s;
  }
}

Status AppendToTable(DSBASE& table, PacketWindow& window, RowReading reading) {
  if (window.Total() == 0) return kStatusBadPacket;
  if (table.Created()) return kStatusNoReader;  // appending to a built table is not supported
  if (Status s = ReadPastMetadata(window)) return s;
  if (window.Data() == nullptr) return kStatusBadPacket;
  const std::uint64_t size = window.Total();
  DSEXTRACT reader;
  if (Status s = reader.OpenPacket(window.Data(), window.Size())) return s;
  if (!(reader.HeaderFlags() & kPacketFlagMetadata)) return kStatusNoMetadata;

  std::vector<ColumnDescription> columns;
  std::vector<TypeCode> column_types;  // as the packet gives them
  PacketColumnDesc desc;
  Status s;
  bool has_autoinc_column = false;
  std::uint64_t image_size = 0;
  while ((s = reader.NextColumn(desc)) == kStatusOk) {
    ColumnDescription column;
    bool width_given = false;
    if (Status r = ReadColumn(reader, desc, column, width_given)) return r;
    if (IsVarying(desc.type) &&
        (column.kind == ColumnKind::kString || column.kind == ColumnKind::kWideString ||
         column.kind == ColumnKind::kVarBytes) &&
        (!width_given || column.width == 0))
      return kStatusInvalidArgument;  // a varying text's width travels only in "WIDTH"
    if (IsArray(desc.type) && column.elements == 0)
      return kStatusInvalidArgument;  // an array's room travels only in "ELEMENTS"
    if (column.width == 0 && (column.kind == ColumnKind::kString ||
                              column.kind == ColumnKind::kWideString ||
                              column.kind == ColumnKind::kVarBytes))
      return kStatusInvalidArgument;  // a text without room: no save could describe it
    if (column.subtype == kAutoincSubtype && column.kind == ColumnKind::kInt32)
      has_autoinc_column = true;
    image_size += DataAreaSize(column) + 1;
    if (image_size > kMaxPacketRowImage) return kStatusBadType;
    columns.push_back(std::move(column));
    column_types.push_back(desc.type);
  }
  if (s != kStatusNoMore) return s;
  if (columns.empty()) return kStatusBadPacket;
  if (Status r = CheckColumnNesting(columns)) return r;
  if (Status r = table.Create(columns)) return r;

  std::vector<ChangeLogEntry> log;
  std::string name;
  TypeCode type = 0;
  std::uint32_t value_size = 0;
  const std::uint8_t* value = nullptr;
  while ((s = reader.NextPropertyInPlace(name, type, value_size, value)) == kStatusOk) {
    if (Status r = ApplyTableProperty(table, name, type, value, value_size, log,
                                            has_autoinc_column))
      return r;
  }
  if (s != kStatusNoMore) return s;

  const RecordLayout& layout = table.Layout();
  const std::size_t column_count = table.Columns().size();
  if (reader.ValueColumnCount() != column_count) return kStatusBadPacket;
  // The header says where the rows start, when it can: elsewhere than the
  // metadata ends is a header or metadata that damage changed.
  if (!reader.IsTextForm() && (reader.HeaderFlags() & kPacketFlagFirstRowOffset) &&
      LoadU16(window.Data() + 22) != reader.Position())
    return kStatusBadPacket;
  RowsToPlace rows;
  rows.row_count = reader.HeaderRowCount();
  rows.work_budget = kRowWorkAllowance + kRowWorkPerPacketByte * size;
  std::vector<ColumnPlace>& places = rows.places;
  places.reserve(column_count);
  for (std::size_t c = 0; c < column_count; ++c) {
    const ColumnDescription& column = table.Columns()[c];
    ColumnPlace place{column.kind, column.width, layout.AreaOffset(c), layout.AreaSize(c)};
    place.varying = IsVarying(column_types[c]);
    if (column.elements != 0) {
      FLDConv codec;
      if (Status s = MakeBinaryCodec(column_types[c], codec)) return s;
      place.elements = column.elements;
      place.element_width = codec.Width();
      place.element_area = ScalarAreaSize(column);
    }
    places.push_back(place);
  }
  // Every row takes at least its status byte and field-status bits in the
  // packet, and rarely fewer than 16 bytes: the packet's size bounds the
  // slots reserved up front, whatever row count its header claims.
  const std::uint64_t row_bytes = reader.IsTextForm() ? size : size - reader.Position();
  const std::uint64_t row_bytes_at_least = 1 + (column_count + 3) / 4;
  std::uint64_t reserve = reader.HeaderRowCount();
  reserve = std::min<std::uint64_t>(reserve, row_bytes / row_bytes_at_least);
  reserve = std::min<std::uint64_t>(reserve, row_bytes / 16);
  table.ReserveSlots(static_cast<std::size_t>(reserve));

  if (Status r = PlaceRows(table, window, reader, rows, reading)) return r;
  if (Status r = CheckStatusesAgainstLog(table, log)) return r;
  table.SetChangeLog(std::move(log));
  return table.BuildView();
}

}  // namespace

PacketColumnKind PacketKindOf(ColumnKind kind) {
  for (const auto& pair : kKinds)
    if (pair.engine == kind) return pair.packet;
  return PacketColumnKind::kString;
}

bool EngineKindOf(PacketColumnKind kind, ColumnKind& out) {
  for (const auto& pair : kKinds) {
    if (pair.packet == kind) {
      out = pair.engine;
      return true;
    }
  }
  return false;
}

Status StreamPacket(DSBASE& table, PacketForm form, std::vector<std::uint8_t>& out) {
  try {
    return StreamTable(table, form, out);
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  }
}

Status StreamPacketTo(DSBASE& table, PacketSink& sink, const PacketSaving& how) {
  try {
    return StreamTableTo(table, sink, how);
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  }
}

Status AppendPacket(DSBASE& table, const std::uint8_t* packet, std::size_t size) {
  if (packet == nullptr) return kStatusBadPacket;
  try {
    PacketWindow window(packet, size);
    return AppendToTable(table, window, RowReading::kAsWorthwhile);
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  }
}

Status AppendPacketFrom(DSBASE& table, PacketSource& source, std::size_t piece_bytes,
                        RowReading reading) {
  try {
    PacketWindow window(source, piece_bytes);
    return AppendToTable(table, window, reading);
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  } catch (const std::length_error&) {  // more than a 32-bit process's vector may hold
    return kStatusOutOfMemory;
  }
}

Status BinaryPacketCodec::StreamPacket(DSBASE& table, std::vector<std::uint8_t>& out) {
  return quillset::StreamPacket(table, PacketForm::kBinary, out);
}

Status BinaryPacketCodec::AppendPacket(DSBASE& table,
                                              const std::vector<std::uint8_t>& packet) {
  return quillset::AppendPacket(table, packet.data(), packet.size());
}

Status BinaryPacketCodec::StreamPacketTo(DSBASE& table, PacketSink& sink,
                                         const PacketSaving& how) {
  return quillset::StreamPacketTo(table, sink, how);
}

Status BinaryPacketCodec::AppendPacketFrom(DSBASE& table, PacketSource& source) {
  return quillset::AppendPacketFrom(table, source, kReadPieceBytes);
}

}  // namespace quillset
