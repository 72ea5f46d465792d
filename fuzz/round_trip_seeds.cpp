// Writes the round-trip fuzzer's starting files into the folder named on the
// command line: lists as the program leaves them (empty, one entry, a few
// edits, deletes and runs, one past 4 KiB) in the binary form and in the text
// form in Shift-JIS and in UTF-8, and a list with more columns than the
// program's (a fixed-width text, an array of numbers, a number) in the forms
// that carry them. Run by hand (see scripts/fuzz); the corpus is minimised
// and committed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "datafile/packet_writer.h"
#include "datafile/table_packet.h"
#include "store/record_store.h"
#include "store/testing/edited_list.h"

namespace {

using namespace quillset;
using Bytes = std::vector<std::uint8_t>;

// The four field names as the file holds them (Shift-JIS bytes).
const char* const kNames[] = {
    "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76\x83\x74\x83\x40\x83\x43\x83\x8B",
    "\x95\xDB\x8A\xC7\x8F\xEA\x8F\x8A", "\x8C\x8B\x89\xCA",
    "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76\x93\xFA\x8E\x9E"};

std::unique_ptr<TClientDataSet> Store(PacketCodec& codec) {
  auto store = std::make_unique<TClientDataSet>("ClientDataSet1", &codec);
  store->AddField(std::make_unique<TStringField>(kNames[0], 100));
  store->AddField(std::make_unique<TStringField>(kNames[1], 100));
  store->AddField(std::make_unique<TStringField>(kNames[2]));
  store->AddField(std::make_unique<TDateTimeField>(kNames[3]));
  return store;
}

void Write(const std::string& folder, const std::string& name, const Bytes& bytes) {
  const std::string path = folder + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
}

// `table` in every form, as <name>.cds, <name>-sjis.xml and <name>-utf8.xml.
void WriteForms(const std::string& folder, const std::string& name, DSBASE& table) {
  const struct {
    PacketForm form;
    const char* suffix;
  } forms[] = {{PacketForm::kBinary, ".cds"},
               {PacketForm::kText, "-sjis.xml"},
               {PacketForm::kTextUtf8, "-utf8.xml"}};
  for (const auto& f : forms) {
    Bytes bytes;
    if (StreamPacket(table, f.form, bytes) == kStatusOk) Write(folder, name + f.suffix, bytes);
  }
}

// The program's columns, then a fixed-width text, an array of 16-bit numbers
// and a 32-bit number: two inserted rows.
Bytes MoreColumnsPacket() {
  DSDATAPACKET w;
  const std::uint8_t width100[] = {100, 0}, width20[] = {20, 0}, elements[] = {3, 0};
  if (w.BeginPacket(3, 7) || w.AddColumn(MakeColumnDesc(kNames[0], 0x00490001)) ||
      w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, width100) ||
      w.AddColumn(MakeColumnDesc(kNames[1], 0x00490001)) ||
      w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, width100) ||
      w.AddColumn(MakeColumnDesc(kNames[2], 0x00490001)) ||
      w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, width20) ||
      w.AddColumn(MakeColumnDesc(kNames[3], 0x00080008)) ||
      w.AddColumn(MakeColumnDesc("fixed", 0x00090008)) ||
      w.AddColumn(MakeColumnDesc("numbers", 0x00820002)) ||
      w.AddProperty(PropertyLevel::kColumn, "ELEMENTS", kTypeUInt16, 2, elements) ||
      w.AddColumn(MakeColumnDesc("n", 0x00010004)))
    std::abort();
  const std::uint8_t log[] = {6, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0,
                              2, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0};
  if (w.AddProperty(PropertyLevel::kTable, "CHANGE_LOG", 0x00820004, sizeof log, log) ||
      w.AddProperty(PropertyLevel::kTable, nullptr, 0, 0, nullptr))
    std::abort();
  const double when = 63932247600000.0;
  const std::uint8_t fixed[8] = {'a', 'b', 'c'};
  const std::uint8_t numbers[] = {2, 0, 0, 0, 7, 0, 0xFF, 0xFF};
  const std::int32_t n = -7;
  const std::string file = "C:\\\x8E\xCA\x90\x5E\\a.jpg", folder = "D:\\bak", result = "ok";
  const PacketValue row[] = {{file.data(), std::uint32_t(file.size())},
                             {folder.data(), std::uint32_t(folder.size())},
                             {result.data(), std::uint32_t(result.size())},
                             {&when, 0},
                             {fixed, 0},
                             {numbers, sizeof numbers},
                             {&n, 0}};
  PacketValue second[7] = {row[0], row[1]};
  for (int c = 2; c < 7; ++c) second[c].status = kFieldNull;
  Bytes packet;
  if (w.PutRow(RowStatusInserted, row, 7) || w.PutRow(RowStatusInserted, second, 7) ||
      w.FinishPacket(packet))
    std::abort();
  return packet;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: round_trip_seeds <folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  BinaryPacketCodec codec;
  const struct {
    const char* name;
    int entries, runs;
  } lists[] = {{"empty", 0, 0}, {"one-entry", 1, 0}, {"after-run", 1, 1},
               {"edited", 5, 2}, {"long", 40, 2}};
  for (const auto& list : lists) {
    auto store = Store(codec);
    store->CreateEmpty();
    EditBackupList(*store, list.entries, list.runs);
    WriteForms(folder, list.name, *store->Table());
  }
  const Bytes more = MoreColumnsPacket();
  DSBASE table;
  if (AppendPacket(table, more.data(), more.size())) std::abort();
  WriteForms(folder, "more-columns", table);
  return 0;
}
