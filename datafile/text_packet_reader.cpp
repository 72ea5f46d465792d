#include "datafile/text_packet_reader.h"

#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/text_encoding.h"
#include "datafile/text_packet_values.h"
#include "datafile/value_codecs.h"

namespace quillset {
namespace {

using Kind = XmlTag::Kind;

bool IsTrue(const std::u32string* value) {
  if (value == nullptr) return false;
  const std::string text = AsciiOf(*value);
  return text == "true" || text == "TRUE" || text == "True";
}

bool ParseUnsigned(const std::u32string& text, std::uint64_t limit, std::uint64_t& value) {
  const std::string s = AsciiOf(text);
  if (s.empty() || s.size() > 20) return false;
  std::uint64_t v = 0;
  std::size_t i = 0;
  unsigned radix = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    radix = 16;
    i = 2;
  }
  for (; i < s.size(); ++i) {
    const char c = s[i];
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (radix == 16 && c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (radix == 16 && c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    v = v * radix + d;
    if (v > limit) return false;
  }
  value = v;
  return true;
}

std::string U16Value(std::uint16_t v) {
  std::string s(2, '\0');
  StoreU16(reinterpret_cast<std::uint8_t*>(&s[0]), v);
  return s;
}

// The value of a property as a writer's caller holds it, from its payload.
std::string WithPrefix(TypeCode type, const std::string& payload) {
  if (!IsVarying(type)) return payload;
  const std::size_t prefix = WidthOf(type);
  std::string out(prefix, '\0');
  for (std::size_t i = 0; i < prefix; ++i)
    out[i] = static_cast<char>((static_cast<std::uint64_t>(payload.size()) >> (8 * i)) & 0xFF);
  return out + payload;
}

// A blob subtype makes a "bin.hex" column a blob rather than varying bytes.
bool IsBlobSubtype(const std::string& name) {
  static const char* const kBlobSubtypes[] = {"Text",   "Binary",      "Formatted", "Ole",
                                              "Graphics", "dBASEOle",  "TypedBinary",
                                              "AccessOle", "HMemo",    "HBinary",   "BFile"};
  for (const char* s : kBlobSubtypes)
    if (SameNameIgnoringCase(name, s)) return true;
  return false;
}

}  // namespace

Status TextPacketReader::OpenPacket(const std::uint8_t* data, std::size_t size) {
  *this = TextPacketReader();
  if (data == nullptr) return kStatusBadPacket;
  Status status = ParseDocument(data, size);
  if (status == kStatusNoMore) status = kStatusBadPacket;
  if (status != kStatusOk) *this = TextPacketReader();
  return status;
}

Status TextPacketReader::ParseParam(const XmlTag& tag, std::vector<Property>& into) {
  const std::u32string* name = tag.Find("Name");
  const std::u32string* type_text = tag.Find("Type");
  const std::u32string* value_text = tag.Find("Value");
  if (name == nullptr || type_text == nullptr || name->empty() || name->size() > 255)
    return kStatusBadPacket;
  std::uint64_t type = 0;
  if (!ParseUnsigned(*type_text, 0xFFFFFFFFu, type)) return kStatusBadPacket;
  Property property;
  property.name = AsciiOf(*name);
  property.type = static_cast<TypeCode>(type);
  if (IsTrue(tag.Find("Roundtrip"))) property.type |= kTypeRoundtrip;
  FLDConv codec;
  if (Status s = MakeBinaryCodec(property.type, codec)) return s;  // must be writable
  std::string payload;
  if (Status s = ParseTextValue(property.type & ~kTypeRoundtrip,
                                      value_text ? *value_text : std::u32string(), payload))
    return s;
  property.value = WithPrefix(property.type, payload);
  into.push_back(std::move(property));
  return kStatusOk;
}

Status TextPacketReader::ParseField(const XmlTag& tag, XmlScanner& scanner) {
  Column column;
  const std::u32string* attrname = tag.Find("attrname");
  const std::u32string* tagname = tag.Find("tagname");
  const std::u32string* fieldtype = tag.Find("fieldtype");
  if ((attrname == nullptr && tagname == nullptr) || fieldtype == nullptr) return kStatusBadPacket;
  const std::u32string& shown = attrname ? *attrname : *tagname;
  column.key = tagname ? *tagname : *attrname;
  // Two columns of one key: rows could not tell them apart.
  if (!column_by_key_.emplace(column.key, columns_.size()).second) return kStatusBadPacket;

  TypeCode type = 0;
  const std::string type_name = AsciiOf(*fieldtype);
  if (TypeForTextName(type_name, type) != kStatusOk) return kStatusBadType;
  std::uint64_t width = 0;
  const std::u32string* width_text = tag.Find("WIDTH");
  if (width_text && !ParseUnsigned(*width_text, 0xFFFF, width)) return kStatusBadPacket;
  std::string subtype;
  if (const std::u32string* s = tag.Find("SUBTYPE")) subtype = AsciiOf(*s);

  const unsigned w = static_cast<unsigned>(width);
  switch (BaseOf(type)) {
    case kBaseString:
      type = TypeCodeForColumn(PacketColumnKind::kString, w);
      break;
    case kBaseWideString:
      type = TypeCodeForColumn(PacketColumnKind::kWideString, w);
      break;
    case kBaseBytes: {
      std::uint64_t fixed = 0;
      if (const std::u32string* f = tag.Find("fixedwidth")) {
        if (!ParseUnsigned(*f, 0xFFFF, fixed) || fixed == 0) return kStatusBadPacket;
        type = TypeCodeForColumn(PacketColumnKind::kFixedBytes, static_cast<unsigned>(fixed));
      } else if (width_text && !IsBlobSubtype(subtype)) {
        type = TypeCodeForColumn(PacketColumnKind::kVaryingBytes, w);
      } else {
        type = TypeCodeForColumn(PacketColumnKind::kBlob, w);
      }
      break;
    }
    case kBaseBcd:
    case kBaseFormattedBcd:
      if (w < 1 || w > 34) return kStatusBadType;
      type = MakeType(BaseOf(type), w);
      break;
    case kBaseStruct:
    case kBaseNestedTable:
      return kStatusBadType;  // composite columns are not carried in the text form
    default:
      break;
  }
  std::uint16_t attributes = 0;
  if (IsTrue(tag.Find("hidden"))) attributes |= kColumnHidden;
  if (IsTrue(tag.Find("readonly"))) attributes |= kColumnReadOnly;
  if (IsTrue(tag.Find("required"))) attributes |= kColumnRequired;
  if (IsTrue(tag.Find("linkfield"))) attributes |= kColumnLink;
  std::string name;
  if (!CodePointsToCodePage(shown, name)) return kStatusBadPacket;
  column.desc = MakeColumnDesc(name, type, attributes);

  // The column's own properties, in the order the binary writer uses.
  if (!subtype.empty()) {
    std::string value = U16Value(static_cast<std::uint16_t>(subtype.size() + 1));
    value += subtype;
    value += '\0';
    column.properties.push_back({"SUBTYPE", kTypeSubtypeName, value});
  }
  if (const std::u32string* decimals = tag.Find("DECIMALS")) {
    std::uint64_t d = 0;
    if (!ParseUnsigned(*decimals, 0xFFFF, d)) return kStatusBadPacket;
    column.properties.push_back({"DECIMALS", kTypeUInt16, U16Value(static_cast<std::uint16_t>(d))});
  }
  if (width_text)
    column.properties.push_back({"WIDTH", kTypeUInt16, U16Value(static_cast<std::uint16_t>(w))});

  if (tag.kind == Kind::kStart) {
    XmlTag child;
    for (;;) {
      if (Status s = scanner.Next(child)) return s;
      if (child.kind == Kind::kEnd && child.name == "FIELD") break;
      if (child.kind != Kind::kEmpty || child.name != "PARAM") return kStatusBadPacket;
      if (Status s = ParseParam(child, column.properties)) return s;
    }
  }
  columns_.push_back(std::move(column));
  return kStatusOk;
}

Status TextPacketReader::ParseRow(const XmlTag& tag) {
  // Every row takes a cell per column, present or not: keep that in
  // proportion to the document, so that a few bytes of "<ROW/>" cannot ask
  // for gigabytes of cells.
  if (cells_.size() + columns_.size() > 4 * static_cast<std::uint64_t>(document_size_) + 65536)
    return kStatusOutOfMemory;
  const std::size_t first = cells_.size();
  cells_.resize(first + columns_.size());
  std::uint8_t status = 0;
  for (const auto& attribute : tag.attributes) {
    if (attribute.name == U"RowState") {
      std::uint64_t v = 0;
      if (!ParseUnsigned(attribute.value, 0xFF, v)) return kStatusBadPacket;
      status = static_cast<std::uint8_t>(v);
      continue;
    }
    const auto found = column_by_key_.find(attribute.name);
    if (found == column_by_key_.end()) return kStatusBadPacket;  // a value for no column
    const std::size_t column = found->second;
    std::string payload;
    if (Status s = ParseTextValue(columns_[column].desc.type, attribute.value, payload))
      return s;
    Cell& cell = cells_[first + column];
    cell.offset = arena_.size();
    cell.length = static_cast<std::uint32_t>(payload.size());
    cell.field_status = kFieldPresent;
    arena_ += payload;
  }
  row_status_.push_back(status);
  return kStatusOk;
}

Status TextPacketReader::ParseDocument(const std::uint8_t* data, std::size_t size) {
  XmlScanner scanner(data, size);
  document_size_ = size;
  if (Status s = scanner.ReadProlog()) return s;
  XmlTag tag;
  if (Status s = scanner.Next(tag)) return s;
  bool wrapped = false;
  if (tag.kind == Kind::kStart && tag.name == "DATAPACKET") {
    wrapped = true;
    if (Status s = scanner.Next(tag)) return s;
  }
  if (tag.kind == Kind::kEnd || (tag.name != "METADATA" && tag.name != "ROWDATA"))
    return kStatusBadPacket;

  if (tag.name == "METADATA") {
    flags_ |= kPacketFlagMetadata;
    if (tag.kind == Kind::kStart) {
      if (Status s = scanner.Next(tag)) return s;
      if (tag.name != "FIELDS" || tag.kind == Kind::kEnd) return kStatusBadPacket;
      if (tag.kind == Kind::kStart) {
        for (;;) {
          if (Status s = scanner.Next(tag)) return s;
          if (tag.kind == Kind::kEnd && tag.name == "FIELDS") break;
          if (tag.name != "FIELD" || tag.kind == Kind::kEnd) return kStatusBadPacket;
          if (Status s = ParseField(tag, scanner)) return s;
        }
      }
      if (Status s = scanner.Next(tag)) return s;
      if (tag.name == "PARAMS" && tag.kind != Kind::kEnd) {
        for (const auto& attribute : tag.attributes) {
          Property property;
          property.name = AsciiOf(attribute.name);
          property.type = SameNameIgnoringCase(property.name, "CHANGE_LOG") ? kTypeChangeLog
                                                                             : 0x00490004;
          std::string payload;
          if (Status s = ParseTextValue(property.type, attribute.value, payload)) return s;
          property.value = WithPrefix(property.type, payload);
          table_properties_.push_back(std::move(property));
        }
        if (tag.kind == Kind::kStart) {
          for (;;) {
            if (Status s = scanner.Next(tag)) return s;
            if (tag.kind == Kind::kEnd && tag.name == "PARAMS") break;
            if (tag.kind != Kind::kEmpty || tag.name != "PARAM") return kStatusBadPacket;
            if (Status s = ParseParam(tag, table_properties_)) return s;
          }
        }
        if (Status s = scanner.Next(tag)) return s;
      }
      if (tag.kind != Kind::kEnd || tag.name != "METADATA") return kStatusBadPacket;
    }
    Status s = scanner.Next(tag);
    if (s == kStatusNoMore && !wrapped) return kStatusOk;
    if (s) return s;
  }

  if (tag.name == "ROWDATA" && tag.kind != Kind::kEnd) {
    if (tag.kind == Kind::kStart) {
      for (;;) {
        if (Status s = scanner.Next(tag)) return s;
        if (tag.kind == Kind::kEnd && tag.name == "ROWDATA") break;
        if (tag.name != "ROW" || tag.kind == Kind::kEnd) return kStatusBadPacket;
        if (Status s = ParseRow(tag)) return s;
        if (tag.kind == Kind::kStart) {
          XmlTag end;
          if (Status s = scanner.Next(end)) return s;
          if (end.kind != Kind::kEnd || end.name != "ROW") return kStatusBadPacket;
        }
      }
    }
    Status s = scanner.Next(tag);
    if (s == kStatusNoMore && !wrapped) return kStatusOk;
    if (s) return s;
  }
  if (!wrapped || tag.kind != Kind::kEnd || tag.name != "DATAPACKET") return kStatusBadPacket;
  const Status s = scanner.Next(tag);
  return s == kStatusNoMore ? kStatusOk : kStatusBadPacket;
}

Status TextPacketReader::NextColumn(PacketColumnDesc& desc) {
  if (columns_done_) return kStatusNoMore;
  if (next_column_ == columns_.size()) {
    columns_done_ = true;
    next_property_ = 0;
    return kStatusNoMore;
  }
  desc = columns_[next_column_++].desc;
  next_property_ = 0;
  return kStatusOk;
}

const TextPacketReader::Property* TextPacketReader::CurrentProperty() const {
  const std::vector<Property>* list = nullptr;
  if (columns_done_) {
    list = &table_properties_;
  } else if (next_column_ > 0) {
    list = &columns_[next_column_ - 1].properties;
  }
  if (list == nullptr || next_property_ >= list->size()) return nullptr;
  return &(*list)[next_property_];
}

Status TextPacketReader::NextPropertySize(std::uint32_t& size) {
  const Property* p = CurrentProperty();
  if (p == nullptr) return kStatusNoMore;
  size = static_cast<std::uint32_t>(p->value.size());
  return kStatusOk;
}

Status TextPacketReader::NextPropertyInPlace(std::string& name, TypeCode& type,
                                                   std::uint32_t& size,
                                                   const std::uint8_t*& value) {
  const Property* p = CurrentProperty();
  if (p == nullptr) return kStatusNoMore;
  name = p->name;
  type = p->type;
  size = static_cast<std::uint32_t>(p->value.size());
  value = reinterpret_cast<const std::uint8_t*>(p->value.data());
  ++next_property_;
  return kStatusOk;
}

Status TextPacketReader::NextProperty(std::string& name, TypeCode& type,
                                            std::uint32_t& size, void* value) {
  const Property* p = CurrentProperty();
  if (p == nullptr) return kStatusNoMore;
  if (p->value.size() > size || (!p->value.empty() && value == nullptr)) {
    size = static_cast<std::uint32_t>(p->value.size());
    return kStatusInvalidArgument;
  }
  name = p->name;
  type = p->type;
  size = static_cast<std::uint32_t>(p->value.size());
  if (size) std::memcpy(value, p->value.data(), size);
  ++next_property_;
  return kStatusOk;
}

Status TextPacketReader::NextRow(std::uint8_t& row_status, PacketRowValue* values) {
  columns_done_ = true;
  next_column_ = columns_.size();
  if (next_row_ >= row_status_.size()) return kStatusNoMore;
  row_status = row_status_[next_row_];
  const Cell* cells = cells_.data() + next_row_ * columns_.size();
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    if (cells[c].field_status == kFieldPresent) {
      values[c] = PacketRowValue{
          reinterpret_cast<const std::uint8_t*>(arena_.data()) + cells[c].offset, cells[c].length,
          kFieldPresent};
    } else {
      values[c] = PacketRowValue{nullptr, 0, cells[c].field_status};
    }
  }
  ++next_row_;
  return kStatusOk;
}

}  // namespace quillset
