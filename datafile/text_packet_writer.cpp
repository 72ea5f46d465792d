#include "datafile/text_packet_writer.h"

#include <cstdio>
#include <cstring>

#include "datafile/text_encoding.h"
#include "datafile/text_packet_values.h"

namespace quillset {
namespace {

bool IsPlainXmlName(const std::string& name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!(letter || (i > 0 && other))) return false;
  }
  // "xml..." names are reserved; "RowState" names the row status.
  if (name.size() >= 3 && (name[0] == 'x' || name[0] == 'X') && (name[1] == 'm' || name[1] == 'M') &&
      (name[2] == 'l' || name[2] == 'L'))
    return false;
  return name != "RowState";
}

void AppendAttribute(const char* name, const std::u32string& value, DocumentEncoding encoding,
                     std::string& out) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendEscaped(value, encoding, out);
  out += '"';
}

void AppendAttribute(const char* name, const std::string& ascii, DocumentEncoding encoding,
                     std::string& out) {
  AppendAttribute(name, FromAscii(ascii), encoding, out);
}

std::uint16_t U16Of(const std::string& bytes) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[0]) |
                                    (static_cast<std::uint8_t>(bytes[1]) << 8));
}

}  // namespace

TextPacketWriter::TextPacketWriter(PacketForm form)
    : encoding_(form == PacketForm::kText ? DocumentEncoding::kShiftJis : DocumentEncoding::kUtf8) {}

Status TextPacketWriter::Fail(Status status) {
  failed_ = true;
  return status;
}

Status TextPacketWriter::BeginPacket(std::uint16_t version, std::uint16_t column_count) {
  if (begun_) return Fail(kStatusOutOfOrder);
  if (version > 3) return kStatusBadPacket;
  begun_ = true;
  columns_announced_ = column_count;
  return kStatusOk;
}

Status TextPacketWriter::AddColumn(const PacketColumnDesc& desc) {
  if (failed_ || !begun_ || table_started_ || rows_started_ ||
      columns_.size() >= columns_announced_)
    return Fail(kStatusOutOfOrder);
  const std::string name = ColumnDescName(desc);
  if (name == "RowState") return Fail(kStatusOutOfOrder);
  if (IsComposite(desc.type) || (desc.type & kTypeNested)) return Fail(kStatusBadType);
  if (TextNameForType(desc.type).empty()) return Fail(kStatusBadType);
  columns_.push_back({desc, {}});
  return kStatusOk;
}

Status TextPacketWriter::MakeProperty(const char* name, TypeCode type, std::uint32_t length,
                                            const void* value, Property& property) {
  if (name == nullptr || name[0] == '\0' || std::strlen(name) > 255) return kStatusInvalidArgument;
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  std::size_t skip = 0;
  if (IsVarying(type)) {
    skip = WidthOf(type);
    if (bytes == nullptr || length < skip) return kStatusInvalidArgument;
  } else if (IsArray(type)) {
    if (bytes == nullptr || length < 4) return kStatusInvalidArgument;
  } else if (WidthOf(type) > 0 && (bytes == nullptr || length < WidthOf(type))) {
    return kStatusInvalidArgument;
  }
  property.name = name;
  property.type = type;
  if (bytes) property.payload.assign(reinterpret_cast<const char*>(bytes) + skip, length - skip);
  std::u32string probe;  // the value must be expressible
  return FormatTextValue(type & ~kTypeRoundtrip,
                         reinterpret_cast<const std::uint8_t*>(property.payload.data()),
                         property.payload.size(), probe);
}

Status TextPacketWriter::AddProperty(PropertyLevel level, const char* name, TypeCode type,
                                           std::uint32_t length, const void* value) {
  if (failed_ || !begun_ || rows_started_) return Fail(kStatusOutOfOrder);
  if (level == PropertyLevel::kColumn) {
    if (table_started_ || columns_.empty()) return Fail(kStatusOutOfOrder);
    Property property;
    if (Status s = MakeProperty(name, type, length, value, property)) return Fail(s);
    columns_.back().properties.push_back(std::move(property));
    return kStatusOk;
  }
  if (columns_.size() != columns_announced_) return Fail(kStatusOutOfOrder);
  table_started_ = true;
  if ((name == nullptr || name[0] == '\0') && value == nullptr) return kStatusOk;  // closed
  Property property;
  if (Status s = MakeProperty(name, type, length, value, property)) return Fail(s);
  table_properties_.push_back(std::move(property));
  return kStatusOk;
}

Status TextPacketWriter::AddPropertyInPieces(PropertyLevel level, const char* name, TypeCode type,
                                             std::uint32_t length, const ValuePieces& pieces) {
  if (IsVarying(type)) return Fail(kStatusInvalidArgument);
  std::vector<std::uint8_t> value(length);
  if (length > 0) pieces(value.data(), 0, length);
  return AddProperty(level, name, type, length, value.data());
}

Status TextPacketWriter::PutRow(std::uint8_t row_status, const PacketValue* values,
                                std::size_t count) {
  if (failed_ || !begun_) return Fail(kStatusOutOfOrder);
  if (columns_.size() != columns_announced_) return Fail(kStatusNoCodecs);
  if (count != columns_.size() || (count > 0 && values == nullptr))
    return Fail(kStatusInvalidArgument);
  if (!rows_started_) {
    // Decide how rows name each column: a plain ASCII name as it is, any
    // other a generated key that no column name takes.
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      const std::string name = ColumnDescName(columns_[i].desc);
      if (IsPlainXmlName(name)) {
        keys_.push_back(FromAscii(name));
        continue;
      }
      std::string key = "c" + std::to_string(i + 1);
      bool taken = true;
      while (taken) {
        taken = false;
        for (const auto& c : columns_)
          if (ColumnDescName(c.desc) == key) taken = true;
        if (taken) key += '_';
      }
      keys_.push_back(FromAscii(key));
    }
  }
  rows_started_ = true;
  table_started_ = true;
  std::string row = "<ROW";
  if (row_status != 0) AppendAttribute("RowState", std::to_string(row_status), encoding_, row);
  for (std::size_t column = 0; column < count; ++column) {
    const PacketValue& v = values[column];
    const auto* bytes = static_cast<const std::uint8_t*>(v.bytes);
    if (v.status == kFieldNull || v.status == kFieldNotChanged || bytes == nullptr) continue;
    const TypeCode type = columns_[column].desc.type;
    std::size_t size = v.length;
    if (!IsVarying(type) && !IsArray(type)) size = WidthOf(type);
    if (BaseOf(type) == kBaseBcd || BaseOf(type) == kBaseFormattedBcd) size = 18;
    std::u32string text;
    if (Status s = FormatTextValue(type, bytes, size, text)) return Fail(s);
    row += ' ';
    AppendEscaped(keys_[column], encoding_, row);
    row += "=\"";
    AppendEscaped(text, encoding_, row);
    row += '"';
  }
  rows_ += row;
  rows_ += "/>\n";
  return kStatusOk;
}

Status TextPacketWriter::AppendParam(const Property& property, std::string& out) {
  out += "<PARAM";
  AppendAttribute("Name", property.name, encoding_, out);
  char type[16];
  std::snprintf(type, sizeof type, "0x%08X", static_cast<unsigned>(property.type));
  AppendAttribute("Type", type, encoding_, out);
  std::u32string text;
  if (Status s = FormatTextValue(property.type & ~kTypeRoundtrip,
                                 reinterpret_cast<const std::uint8_t*>(property.payload.data()),
                                 property.payload.size(), text))
    return s;
  AppendAttribute("Value", text, encoding_, out);
  if (property.type & kTypeRoundtrip) AppendAttribute("Roundtrip", "True", encoding_, out);
  out += "/>\n";
  return kStatusOk;
}

Status TextPacketWriter::FinishPacket(std::vector<std::uint8_t>& packet) {
  if (failed_ || !begun_ || columns_.size() != columns_announced_)
    return Fail(kStatusOutOfOrder);
  std::string out = encoding_ == DocumentEncoding::kUtf8
                        ? "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        : "<?xml version=\"1.0\" encoding=\"Shift_JIS\" standalone=\"yes\"?>\n";
  out += "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n";
  if (keys_.empty()) {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      const std::string name = ColumnDescName(columns_[i].desc);
      keys_.push_back(IsPlainXmlName(name) ? FromAscii(name) : FromAscii("c" + std::to_string(i + 1)));
    }
  }
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const Column& column = columns_[i];
    const std::string name = ColumnDescName(column.desc);
    out += "<FIELD";
    AppendAttribute("attrname", CodePageToCodePoints(name), encoding_, out);
    if (keys_[i] != FromAscii(name)) AppendAttribute("tagname", keys_[i], encoding_, out);
    AppendAttribute("fieldtype", TextNameForType(column.desc.type), encoding_, out);
    const unsigned base = BaseOf(column.desc.type);
    if ((base == kBaseBytes || base == kBaseBytes2) && !IsVarying(column.desc.type))
      AppendAttribute("fixedwidth", std::to_string(WidthOf(column.desc.type)), encoding_, out);
    if (column.desc.attributes & kColumnReadOnly) AppendAttribute("readonly", "true", encoding_, out);
    if (column.desc.attributes & kColumnRequired) AppendAttribute("required", "true", encoding_, out);
    if (column.desc.attributes & kColumnHidden) AppendAttribute("hidden", "true", encoding_, out);
    if (column.desc.attributes & kColumnLink) AppendAttribute("linkfield", "true", encoding_, out);
    std::vector<const Property*> params;
    for (const Property& p : column.properties) {
      const bool u16 = p.type == kTypeUInt16 && p.payload.size() == 2;
      if (u16 && SameNameIgnoringCase(p.name, "WIDTH")) {
        AppendAttribute("WIDTH", std::to_string(U16Of(p.payload)), encoding_, out);
      } else if (u16 && SameNameIgnoringCase(p.name, "DECIMALS")) {
        AppendAttribute("DECIMALS", std::to_string(U16Of(p.payload)), encoding_, out);
      } else if (SameNameIgnoringCase(p.name, "SUBTYPE") && p.type == kTypeSubtypeName &&
                 !p.payload.empty() && p.payload.back() == '\0' &&
                 SubtypeForName(p.payload.substr(0, p.payload.size() - 1)) != kUnknownSubtype) {
        AppendAttribute("SUBTYPE", p.payload.substr(0, p.payload.size() - 1), encoding_, out);
      } else {
        params.push_back(&p);
      }
    }
    if (params.empty()) {
      out += "/>\n";
    } else {
      out += ">\n";
      for (const Property* p : params) {
        if (Status s = AppendParam(*p, out)) return Fail(s);
      }
      out += "</FIELD>\n";
    }
  }
  out += "</FIELDS><PARAMS>\n";
  for (const Property& p : table_properties_) {
    if (Status s = AppendParam(p, out)) return Fail(s);
  }
  out += "</PARAMS></METADATA><ROWDATA>\n";
  out += rows_;
  out += "</ROWDATA></DATAPACKET>\n";
  packet.assign(out.begin(), out.end());
  failed_ = true;  // one packet per writer
  return kStatusOk;
}

Status TextPacketWriter::PacketSize(std::uint32_t& size) {
  size = static_cast<std::uint32_t>(rows_.size());
  return kStatusOk;
}

}  // namespace quillset
