// The text (XML) form of a data packet, read. DSEXTRACT hands it every packet
// whose first bytes fail the binary header check; it parses the whole
// document at OpenPacket and then answers the TDATAPACKET_READ calls as the
// binary reader would (values in their binary form).
//
// Grammar (blanks between tags, comments and processing instructions are
// allowed anywhere between tags; text content is not):
//
//   document   = [ "<?xml" ... "?>" ] ( datapacket | body )
//   datapacket = "<DATAPACKET" [ Version="2.0" ] ">" body "</DATAPACKET>"
//   body       = metadata [ rowdata ] | rowdata
//   metadata   = "<METADATA>" fields [ params ] "</METADATA>"
//   fields     = "<FIELDS/>" | "<FIELDS>" field* "</FIELDS>"
//   field      = "<FIELD" field-attributes "/>"
//              | "<FIELD" field-attributes ">" param* "</FIELD>"
//   params     = "<PARAMS" table-attributes "/>"
//              | "<PARAMS" table-attributes ">" param* "</PARAMS>"
//   param      = "<PARAM" Name="..." Type="..." [ Value="..." ] [ Roundtrip="True" ] "/>"
//   rowdata    = "<ROWDATA/>" | "<ROWDATA>" row* "</ROWDATA>"
//   row        = "<ROW" [ RowState="n" ] { column-key="value" } "/>"
//
// The first element (after an optional DATAPACKET) must be METADATA or
// ROWDATA; anything else is refused with kStatusBadPacket (0x4005). A document with
// ROWDATA only has no metadata (header flag 0x0001 clear).
//
// field-attributes: "attrname" (the column name) or "tagname"; "fieldtype"
// (i1 i2 i4 int i8 ui1 ui2 ui4 uint ui8 boolean r8 r10 fixed fixedFMT date
// time dateTime SQLdateTime string string.uni bin.hex); "WIDTH", "DECIMALS",
// "SUBTYPE" (these become the column properties of the same names);
// "fixedwidth" (bin.hex of a fixed width); the flags "readonly", "required",
// "hidden", "linkfield" with the value "true". A row names a column's value by
// the column's "tagname" when it has one, else by its "attrname"; a column
// without an attribute in a row is null.
//
// PARAM: a property by name, TypeCode ("0x00820004" or decimal) and value
// text (text_packet_values.h); under FIELD a column property, under PARAMS a
// table property. An attribute of PARAMS is a table property too:
// "CHANGE_LOG" as an array of 32-bit words, any other as a string.
//
// Document encoding from the declaration: UTF-8 (the default) or Shift-JIS;
// see text_encoding.h for how characters map to code-page bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "datafile/packet_interfaces.h"
#include "datafile/text_xml.h"

namespace quillset {

class TextPacketReader : public TDATAPACKET_READ {
 public:
  Status OpenPacket(const std::uint8_t* data, std::size_t size) override;
  std::uint32_t HeaderFlags() const override { return flags_; }
  std::uint32_t HeaderRowCount() const override {
    return static_cast<std::uint32_t>(row_status_.size());
  }
  Status NextColumn(PacketColumnDesc& desc) override;
  Status NextPropertySize(std::uint32_t& size) override;
  Status NextProperty(std::string& name, TypeCode& type, std::uint32_t& size,
                            void* value) override;
  Status NextPropertyInPlace(std::string& name, TypeCode& type, std::uint32_t& size,
                                   const std::uint8_t*& value) override;
  Status NextRow(std::uint8_t& row_status, PacketRowValue* values) override;
  std::size_t ValueColumnCount() const override { return columns_.size(); }

 private:
  struct Property {
    std::string name;
    TypeCode type = 0;
    std::string value;  // as a writer's caller holds it
  };
  struct Column {
    PacketColumnDesc desc;
    std::u32string key;  // how rows name it
    std::vector<Property> properties;
  };
  struct Cell {
    std::size_t offset = 0;
    std::uint32_t length = 0;
    std::uint8_t field_status = 1;
  };

  Status ParseDocument(const std::uint8_t* data, std::size_t size);
  Status ParseField(const XmlTag& tag, XmlScanner& scanner);
  Status ParseParam(const XmlTag& tag, std::vector<Property>& into);
  Status ParseRow(const XmlTag& tag);
  const Property* CurrentProperty() const;

  std::uint32_t flags_ = 0;
  std::size_t document_size_ = 0;
  std::vector<Column> columns_;
  std::map<std::u32string, std::size_t> column_by_key_;
  std::vector<Property> table_properties_;
  std::vector<std::uint8_t> row_status_;
  std::vector<Cell> cells_;  // columns_.size() per row
  std::string arena_;        // the values' bytes

  // Position of the walk.
  std::size_t next_column_ = 0;
  bool columns_done_ = false;
  std::size_t next_property_ = 0;
  std::size_t next_row_ = 0;
};

}  // namespace quillset
