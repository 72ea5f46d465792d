// Any bytes as the content of a data file: the packet reader (binary form,
// and the text form it falls back to) walks them, the table is built from them
// if they are accepted, and an accepted table must write itself again in both
// forms and read back to the same bytes. Nothing may read outside the input,
// hang, or allocate what the input's size cannot justify.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "datafile/packet_reader.h"
#include "datafile/table_packet.h"

namespace {

void Walk(const std::uint8_t* data, std::size_t size) {
  quillset::DSEXTRACT reader;
  if (reader.OpenPacket(data, size) != quillset::kStatusOk) return;
  quillset::PacketColumnDesc desc;
  std::string name;
  quillset::TypeCode type;
  std::uint32_t length;
  const std::uint8_t* value;
  while (reader.NextColumn(desc) == quillset::kStatusOk) {
    while (reader.NextPropertyInPlace(name, type, length, value) == quillset::kStatusOk) {
    }
  }
  while (reader.NextPropertyInPlace(name, type, length, value) == quillset::kStatusOk) {
  }
  std::vector<quillset::PacketRowValue> values(reader.ValueColumnCount());
  std::uint8_t row_status = 0;
  while (reader.NextRow(row_status, values.data()) == quillset::kStatusOk) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Walk(data, size);
  quillset::DSBASE table;
  if (quillset::AppendPacket(table, data, size) != quillset::kStatusOk) return 0;
  std::vector<std::uint8_t> first;
  if (quillset::StreamPacket(table, quillset::PacketForm::kBinary, first) != quillset::kStatusOk)
    return 0;  // e.g. a column named "RowState": read, but never written
  std::vector<std::uint8_t> text;
  (void)quillset::StreamPacket(table, quillset::PacketForm::kTextUtf8, text);
  quillset::DSBASE again;
  if (quillset::AppendPacket(again, first.data(), first.size()) != quillset::kStatusOk) std::abort();
  std::vector<std::uint8_t> second;
  if (quillset::StreamPacket(again, quillset::PacketForm::kBinary, second) != quillset::kStatusOk ||
      second != first)
    std::abort();
  return 0;
}
