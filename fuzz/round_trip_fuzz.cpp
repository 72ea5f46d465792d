// Any bytes as the data file, through the store as the program loads and saves
// it. Bytes that do not load are refused with a status (or the store's own
// error about its fields). Bytes that load, in whatever form, must save; the
// save must load again (a file this program saved is never refused) and save
// to the very same bytes. And a binary packet with the program's own header
// and columns must save to its own bytes at once, less only what the load
// takes in its own way, field by field (ExpectedSave): a load that drops
// rows, keeps bytes it never read, or changes a value shows up here. Anything
// else aborts.
//
// The input's length picks the size of the pieces the file is read in, the
// way the rows are read (in turn or alongside) and the way the save writes
// (in turn or behind), so that every way meets every input in time.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"
#include "datafile/packet_reader.h"
#include "datafile/row_placing.h"
#include "datafile/table_packet.h"
#include "store/record_store.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace quillset;

// The program's store with its four fields. Their names are spelt in bytes:
// clang, which builds the fuzzers, keeps the sources' literals in UTF-8,
// while the data file holds the program's Shift-JIS names.
std::unique_ptr<TClientDataSet> BackupEntryStore(PacketCodec& codec) {
  auto store = std::make_unique<TClientDataSet>("ClientDataSet1", &codec);
  store->AddField(std::make_unique<TStringField>(
      "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76\x83\x74\x83\x40\x83\x43\x83\x8B", 100));
  store->AddField(std::make_unique<TStringField>("\x95\xDB\x8A\xC7\x8F\xEA\x8F\x8A", 100));
  store->AddField(std::make_unique<TStringField>("\x8C\x8B\x89\xCA"));
  store->AddField(std::make_unique<TDateTimeField>(
      "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76\x93\xFA\x8E\x9E"));
  return store;
}

// The program's empty list: its header and its four column descriptors are
// what every file this program writes begins with.
Bytes ProgramHeaderAndColumns() {
  BinaryPacketCodec codec;
  auto store = BackupEntryStore(codec);
  store->CreateEmpty();
  Bytes packet;
  if (StreamPacket(*store->Table(), PacketForm::kBinary, packet)) std::abort();
  packet.resize(packet.size() - 2);  // the table-property count follows
  return packet;
}

// The bytes this program writes for `input` when `input` is in its own form:
// its header (the row count and the first row's offset aside) and its
// columns, no table property but the change log. What the load takes in its
// own way is put as the save writes it, field by field: a change log's
// leftover words (a count not a multiple of 3) dropped, a field marked both
// null and unchanged as null, a text longer than its column cut to the
// column's width, an empty text as one zero byte. False for any other input:
// it may load, and is then written in the program's own way.
bool ExpectedSave(const Bytes& input, Bytes& expected) {
  static const Bytes program = ProgramHeaderAndColumns();
  if (input.size() < program.size()) return false;
  const auto same = [&](std::size_t from, std::size_t to) {
    return std::equal(program.begin() + from, program.begin() + to, input.begin() + from);
  };
  if (!same(0, 14) || !same(18, 22) || !same(24, program.size())) return false;
  DSEXTRACT reader;
  if (reader.OpenPacket(input.data(), input.size())) return false;
  PacketColumnDesc desc;
  std::string name;
  TypeCode type = 0;
  std::uint32_t length = 0;
  const std::uint8_t* value = nullptr;
  while (reader.NextColumn(desc) == kStatusOk) {
    while (reader.NextPropertyInPlace(name, type, length, value) == kStatusOk) {
    }
  }
  expected.assign(input.begin(), input.begin() + program.size());
  Bytes log;
  int properties = 0;
  while (reader.NextPropertyInPlace(name, type, length, value) == kStatusOk) {
    if (++properties > 1 || name != "CHANGE_LOG" || type != kTypeChangeLog || length < 4)
      return false;
    const std::uint32_t words = value[0] | value[1] << 8 | value[2] << 16 | std::uint32_t(value[3]) << 24;
    const std::uint32_t whole = words - words % 3;  // the leftover words are ignored
    const std::uint8_t count[4] = {std::uint8_t(whole), std::uint8_t(whole >> 8),
                                   std::uint8_t(whole >> 16), std::uint8_t(whole >> 24)};
    log.assign(value - 15, value);  // name length, name, type
    log.insert(log.end(), count, count + 4);
    log.insert(log.end(), value + 4, value + 4 + std::size_t{whole} * 4);
  }
  expected.push_back(static_cast<std::uint8_t>(properties));
  expected.push_back(0);
  expected.insert(expected.end(), log.begin(), log.end());
  const std::size_t first_row = expected.size();
  expected[22] = static_cast<std::uint8_t>(first_row);
  expected[23] = static_cast<std::uint8_t>(first_row >> 8);

  const std::uint32_t widths[] = {100, 100, 20};
  PacketRowValue values[4];
  std::uint8_t status = 0;
  std::size_t row_at = reader.Position();
  while (reader.NextRow(status, values) == kStatusOk) {
    std::uint8_t field_statuses = input[row_at + 1];
    row_at = reader.Position();
    for (int c = 0; c < 4; ++c)
      if ((field_statuses >> (2 * c) & 3) == 3) field_statuses &= ~(2 << (2 * c));
    expected.push_back(status);
    expected.push_back(field_statuses);
    for (int c = 0; c < 4; ++c) {
      const PacketRowValue& field = values[c];
      if (field.field_status != kFieldPresent) continue;
      if (c == 3) {
        expected.insert(expected.end(), field.bytes, field.bytes + 8);
        continue;
      }
      const std::uint32_t kept = std::min(field.size, widths[c]);
      const bool empty = kept == 0 || (kept == 1 && field.bytes[0] == 0);
      expected.push_back(empty ? 1 : static_cast<std::uint8_t>(kept));
      if (empty) {
        expected.push_back(0);
      } else {
        expected.insert(expected.end(), field.bytes, field.bytes + kept);
      }
    }
  }
  return true;
}

class BytesSource : public PacketSource {
 public:
  explicit BytesSource(const Bytes& bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool Read(std::uint8_t* out, std::size_t length) override {
    if (length > bytes_.size() - at_) return false;
    std::memcpy(out, bytes_.data() + at_, length);
    at_ += length;
    return true;
  }

 private:
  const Bytes& bytes_;
  std::size_t at_ = 0;
};

class BytesSink : public PacketSink {
 public:
  Status Write(const std::uint8_t* data, std::size_t length) override {
    bytes.insert(bytes.end(), data, data + length);
    return kStatusOk;
  }
  Bytes bytes;
};

// The store's codec, reading in pieces of a chosen size, one chosen way.
class PiecesCodec : public BinaryPacketCodec {
 public:
  PiecesCodec(std::size_t piece, RowReading reading) : piece_(piece), reading_(reading) {}
  Status AppendPacketFrom(DSBASE& table, PacketSource& source) override {
    return quillset::AppendPacketFrom(table, source, piece_, reading_);
  }

 private:
  std::size_t piece_;
  RowReading reading_;
};

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "round trip: %s\n", what);
  std::abort();
}

// The store loaded from `bytes`, or nullptr when they are refused as they
// should be.
std::unique_ptr<TClientDataSet> Load(PacketCodec& codec, const Bytes& bytes) {
  auto store = BackupEntryStore(codec);
  BytesSource source(bytes);
  try {
    store->OpenFromSource(source);
  } catch (const EDBClient& e) {
    if (e.Status() == 0) Finding("refused without a status");
    if (store->Active()) Finding("refused, yet open");
    return nullptr;
  } catch (const EDatabaseError& e) {
    if (e.Message().empty()) Finding("refused without a text");
    if (store->Active()) Finding("refused, yet open");
    return nullptr;
  }
  return store;
}

Bytes Save(TClientDataSet& store, const PacketSaving& how) {
  BytesSink sink;
  try {
    store.SaveTo(sink, how);
  } catch (const std::exception&) {
    Finding("a loaded list does not save");
  }
  return sink.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes input(data, data + size);
  const std::size_t piece = 1 + size % 97;
  const RowReading reading = size % 2 ? RowReading::kAlongside : RowReading::kInTurn;
  PacketSaving how;
  how.buffer_bytes = 24 + size % 89;
  how.writing = size % 4 < 2 ? PacketWriting::kBehind : PacketWriting::kInTurn;

  PiecesCodec codec(piece, reading);
  std::unique_ptr<TClientDataSet> store = Load(codec, input);
  if (!store) return 0;
  const Bytes first = Save(*store, how);
  Bytes expected;
  if (ExpectedSave(input, expected) && first != expected)
    Finding("the first save is not the input as the program writes it");

  std::unique_ptr<TClientDataSet> again = Load(codec, first);
  if (!again) Finding("a save does not load");
  if (Save(*again, how) != first) Finding("a save is not a fixed point");
  return 0;
}
