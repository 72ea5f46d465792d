// The text (XML) form of a data packet, written: packet forms 1 (the system
// code page, Shift-JIS, named in the XML declaration) and 2 (UTF-8). It takes
// the same calls as the binary writer and produces the document described in
// text_packet_reader.h at FinishPacket:
//
//   <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
//   <DATAPACKET Version="2.0"><METADATA><FIELDS>
//   <FIELD attrname="..." fieldtype="string" WIDTH="100"/>
//   </FIELDS><PARAMS>
//   <PARAM Name="CHANGE_LOG" Type="0x00820004" Value="1 0 4"/>
//   </PARAMS></METADATA><ROWDATA>
//   <ROW RowState="4" .../>
//   </ROWDATA></DATAPACKET>
//
// A column whose name is not a plain ASCII XML name (a Japanese name, say)
// gets a "tagname" ("c1", "c2", ...) by which the rows name its values.
// Known column properties become FIELD attributes (WIDTH, DECIMALS, a SUBTYPE
// with a known name); every other property is a PARAM. A not-changed field
// status cannot be said in the text form and is written as null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datafile/packet_interfaces.h"
#include "datafile/text_xml.h"

namespace quillset {

class TextPacketWriter : public TDATAPACKET_WRITE {
 public:
  // REQUIRES: form is kText or kTextUtf8.
  explicit TextPacketWriter(PacketForm form);

  Status BeginPacket(std::uint16_t version, std::uint16_t column_count) override;
  Status AddColumn(const PacketColumnDesc& desc) override;
  Status AddProperty(PropertyLevel level, const char* name, TypeCode type,
                           std::uint32_t length, const void* value) override;
  // Made whole first: the text form is built in memory anyway.
  Status AddPropertyInPieces(PropertyLevel level, const char* name, TypeCode type,
                             std::uint32_t length, const ValuePieces& pieces) override;
  Status PutRow(std::uint8_t row_status, const PacketValue* values, std::size_t count) override;
  Status FinishPacket(std::vector<std::uint8_t>& packet) override;
  Status PacketSize(std::uint32_t& size) override;

 private:
  struct Property {
    std::string name;
    TypeCode type = 0;
    std::string payload;  // without a varying prefix
  };
  struct Column {
    PacketColumnDesc desc;
    std::vector<Property> properties;
  };

  Status Fail(Status status);
  Status MakeProperty(const char* name, TypeCode type, std::uint32_t length,
                            const void* value, Property& property);
  Status AppendParam(const Property& property, std::string& out);

  DocumentEncoding encoding_;
  bool begun_ = false;
  bool failed_ = false;
  bool table_started_ = false;
  bool rows_started_ = false;
  std::size_t columns_announced_ = 0;
  std::vector<Column> columns_;
  std::vector<Property> table_properties_;
  std::string rows_;  // the ROW elements written so far
  std::vector<std::u32string> keys_;  // how rows name each column
};

}  // namespace quillset
