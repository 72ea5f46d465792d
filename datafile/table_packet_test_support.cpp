#include "datafile/table_packet_test_support.h"

#include "datafile/little_endian.h"
#include "store/testing/saved_packet.h"

namespace quillset {
namespace testing_support {

void AddEntry(TClientDataSet& store, const std::string& file, const std::string& folder) {
  store.MoveLast();
  store.InsertRow();
  store.EditRow();
  store.FieldAt(0).WriteText(file);
  store.FieldAt(1).WriteText(folder);
}

void BackupRun(TClientDataSet& store, const std::string& result, double when) {
  store.EndRowEdit();
  const std::int32_t count = store.RowCount();
  for (std::int32_t k = 1; k <= count; ++k) {
    store.SetRowNumber(k);
    store.EditRow();
    store.FieldAt(2).WriteText(result);
    static_cast<TDateTimeField&>(store.FieldAt(3)).WriteDateTime(when);
  }
}

Bytes Words(const std::vector<std::uint32_t>& words) {
  Bytes value(4 + 4 * words.size());
  StoreU32(value.data(), static_cast<std::uint32_t>(words.size()));
  for (std::size_t i = 0; i < words.size(); ++i) StoreU32(value.data() + 4 + 4 * i, words[i]);
  return value;
}

Bytes Ascii4(const std::string& bytes) {
  Bytes value(4 + bytes.size());
  StoreU32(value.data(), static_cast<std::uint32_t>(bytes.size() / 4));
  std::copy(bytes.begin(), bytes.end(), value.begin() + 4);
  return value;
}

Bytes FixedTextAndArraysPacket(const Bytes& elements, const Bytes& numbers, const Bytes& texts) {
  const TypeCode kFixedText8 = 0x00090008, kInt16Array = 0x00810002, kText4Array = 0x00890004;
  DSDATAPACKET w;
  EXPECT_EQ(w.BeginPacket(3, 3), kStatusOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("code", kFixedText8)), kStatusOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("counts", kInt16Array)), kStatusOk);
  EXPECT_EQ(w.AddProperty(PropertyLevel::kColumn, "ELEMENTS", kTypeUInt16, 2, elements.data()),
            kStatusOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("tags", kText4Array)), kStatusOk);
  EXPECT_EQ(w.AddProperty(PropertyLevel::kColumn, "ELEMENTS", kTypeUInt16, 2, elements.data()),
            kStatusOk);
  const std::string code("AB12\0\0\0\0", 8);
  const PacketValue row[] = {{code.data(), 0, 0},
                             {numbers.data(), static_cast<std::uint32_t>(numbers.size()), 0},
                             {texts.data(), static_cast<std::uint32_t>(texts.size()), 0}};
  EXPECT_EQ(w.PutRow(0, row, 3), kStatusOk);
  Bytes packet;
  EXPECT_EQ(w.FinishPacket(packet), kStatusOk);
  return packet;
}

Bytes LargerFile() {
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  store->CreateEmpty();
  for (int i = 0; i < 6; ++i) AddEntry(*store, "C:\\file" + std::to_string(i), "D:\\to");
  BackupRun(*store, "バックアップ失敗", testing_support::BackupRunTime());
  store->EndRowEdit();
  store->SetRowNumber(2);
  store->DeleteRow();
  return testing_support::SavedPacket(*store);
}

std::vector<Bytes> KnownPackets() {
  const Bytes custom = {7, 0};
  HandPacket unknown({{"name", 0x00490001, {{"WIDTH", kWidth5}, {"Colour", custom}}}});
  unknown.TableProperty("MyNote", 0x00490001, {3, 'a', 'b', 'c'});
  std::vector<Bytes> packets = {testing_support::EmptyListFile(), testing_support::OneEntryFile(),
                                testing_support::AfterBackupRunFile(), LargerFile(),
                                unknown.Row(0, {"abc"}).Finish(), FixedTextAndArraysPacket()};
  DSBASE table;
  const Bytes binary = testing_support::AfterBackupRunFile();
  EXPECT_EQ(AppendPacket(table, binary.data(), binary.size()), kStatusOk);
  Bytes text;
  EXPECT_EQ(StreamPacket(table, PacketForm::kText, text), kStatusOk);
  packets.push_back(text);
  return packets;
}

PacketSaving InTurn(std::size_t bytes) {
  PacketSaving how;
  how.buffer_bytes = bytes;
  how.writing = PacketWriting::kInTurn;
  return how;
}

Bytes ThreeThousandEntries(DSBASE& table) {
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  store->CreateEmpty();
  for (int i = 0; i < 3000; ++i) AddEntry(*store, "C:\\file" + std::to_string(i), "D:\\to");
  store->EndRowEdit();
  Bytes whole = testing_support::SavedPacket(*store);
  EXPECT_EQ(AppendPacket(table, whole.data(), whole.size()), kStatusOk);
  return whole;
}

std::pair<Status, Bytes> LoadedWhole(const Bytes& packet) {
  DSBASE table;
  const Status s = AppendPacket(table, packet.data(), packet.size());
  Bytes written;
  if (s == kStatusOk) {
    EXPECT_EQ(StreamPacket(table, PacketForm::kBinary, written), kStatusOk);
  }
  return {s, written};
}

std::pair<Status, Bytes> LoadedInPieces(const Bytes& packet, std::size_t piece,
                                        RowReading reading, std::size_t* bytes_read) {
  DSBASE table;
  MemorySource source(packet);
  const Status s = AppendPacketFrom(table, source, piece, reading);
  Bytes written;
  if (s == kStatusOk) {
    EXPECT_EQ(StreamPacket(table, PacketForm::kBinary, written), kStatusOk);
  }
  if (bytes_read) *bytes_read = source.BytesRead();
  return {s, written};
}

}  // namespace testing_support
}  // namespace quillset
