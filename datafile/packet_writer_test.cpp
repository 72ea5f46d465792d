// The binary packet writer, driven through its interface as the table drives
// it: the program's files byte for byte, the statuses of misuse, and the
// buffer's growth rule.
#include "datafile/packet_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/packet_test_support.h"

namespace quillset {
namespace {

using testing_support::Bytes;
using testing_support::FromHex;
using testing_support::ToHex;

const TypeCode kText1 = 0x00490001;
const TypeCode kDateTime = 0x00080008;

// Begins the packet of a backup list: the four columns with their WIDTH.
void WriteBackupColumns(DSDATAPACKET& w) {
  ASSERT_EQ(w.BeginPacket(3, 4), kPacketOk);
  const std::uint8_t w100[] = {100, 0};
  const std::uint8_t w20[] = {20, 0};
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("バックアップファイル", kText1)), kPacketOk);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, w100), kPacketOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("保管場所", kText1)), kPacketOk);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, w100), kPacketOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("結果", kText1)), kPacketOk);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, w20), kPacketOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("バックアップ日時", kDateTime)), kPacketOk);
}

void PutChangeLog(DSDATAPACKET& w, const std::vector<std::uint32_t>& words) {
  Bytes value(4 + words.size() * 4);
  StoreU32(value.data(), static_cast<std::uint32_t>(words.size()));
  for (std::size_t i = 0; i < words.size(); ++i) StoreU32(value.data() + 4 + 4 * i, words[i]);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kTable, "CHANGE_LOG", kTypeChangeLog,
                          static_cast<std::uint32_t>(value.size()), value.data()),
            kPacketOk);
}

void PutEntryTexts(DSDATAPACKET& w) {
  ASSERT_EQ(w.PutValue(0, 13, "C:\\data\\a.txt"), kPacketOk);
  ASSERT_EQ(w.PutValue(0, 6, "D:\\bak"), kPacketOk);
}

TEST(PacketWriterTest, EmptyListGivesThe146BytesOfTheProgramsFile) {
  DSDATAPACKET w;
  WriteBackupColumns(w);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kTable, nullptr, 0, 0, nullptr), kPacketOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kPacketOk);
  EXPECT_EQ(ToHex(packet), ToHex(testing_support::EmptyListFile()));
  EXPECT_EQ(packet.size(), 146u);
}

TEST(PacketWriterTest, OneEntryAndAfterBackupRunByteForByte) {
  {
    DSDATAPACKET w;
    WriteBackupColumns(w);
    PutChangeLog(w, {1, 0, 4});
    const std::uint8_t inserted = 0x04;
    ASSERT_EQ(w.PutValue(0, 1, &inserted), kPacketOk);
    PutEntryTexts(w);
    ASSERT_EQ(w.PutValue(1, 0, nullptr), kPacketOk);
    ASSERT_EQ(w.PutValue(1, 0, nullptr), kPacketOk);
    std::uint32_t size = 0;
    ASSERT_EQ(w.PacketSize(size), kPacketOk);
    EXPECT_EQ(size, 200u);
    Bytes packet;
    ASSERT_EQ(w.FinishPacket(packet), kPacketOk);
    EXPECT_EQ(ToHex(packet), ToHex(testing_support::OneEntryFile()));
  }
  {
    DSDATAPACKET w;
    WriteBackupColumns(w);
    PutChangeLog(w, {1, 0, 4, 2, 1, 8});
    const std::uint8_t replaced = 0x05, changed = 0x0C;
    ASSERT_EQ(w.PutValue(0, 1, &replaced), kPacketOk);
    PutEntryTexts(w);
    ASSERT_EQ(w.PutValue(1, 0, nullptr), kPacketOk);
    ASSERT_EQ(w.PutValue(0, 0, nullptr), kPacketOk);  // no value: null as well
    ASSERT_EQ(w.PutValue(0, 1, &changed), kPacketOk);
    PutEntryTexts(w);
    ASSERT_EQ(w.PutValue(0, 16, "バックアップ成功"), kPacketOk);
    const Bytes stamp = FromHex("00 C0 35 74 B1 12 CD 42");
    ASSERT_EQ(w.PutValue(0, 0, stamp.data()), kPacketOk);
    Bytes packet;
    ASSERT_EQ(w.FinishPacket(packet), kPacketOk);
    EXPECT_EQ(ToHex(packet), ToHex(testing_support::AfterBackupRunFile()));
  }
}

TEST(PacketWriterTest, EmptyTextIsOneZeroByteAndNotChangedSetsItsBit) {
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 2), kPacketOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kPacketOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("B", 0x00010004)), kPacketOk);
  const std::uint8_t status = 0, zero = 0;
  ASSERT_EQ(w.PutValue(0, 1, &status), kPacketOk);  // closes the table properties
  ASSERT_EQ(w.PutValue(0, 1, &zero), kPacketOk);
  ASSERT_EQ(w.PutValue(2, 0, nullptr), kPacketOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kPacketOk);
  // ... 00 00 (no table property), row: status 00, field status 0x08, "01 00".
  const Bytes tail(packet.end() - 6, packet.end());
  EXPECT_EQ(ToHex(tail), "00 00 00 08 01 00");
}

TEST(PacketWriterTest, MisuseIsRefusedWithItsStatus) {
  {
    DSDATAPACKET w;
    EXPECT_EQ(w.BeginPacket(4, 1), kPacketBad);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("RowState", kText1)), kPacketOutOfOrder);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kPacketOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("B", kText1)), kPacketOutOfOrder);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("A", kTypeVarying | kTypeArray | 0x00020004)),
              kPacketBadType);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("A", 0x00130004)), kPacketOutOfOrder);  // base 19
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kPacketOk);
    EXPECT_EQ(w.PutValue(0, 0, nullptr), kPacketInvalidValue);  // a row without its status
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", 0x00010004)), kPacketOk);
    const std::uint8_t status = 0;
    const std::uint8_t v[4] = {1, 2, 3, 4};
    ASSERT_EQ(w.PutValue(0, 1, &status), kPacketOk);
    ASSERT_EQ(w.PutValue(0, 0, v), kPacketOk);
    const std::uint8_t w100[] = {100, 0};
    EXPECT_EQ(w.AddProperty(PropertyLevel::kTable, "X", kTypeUInt16, 2, w100), kPacketOutOfOrder);
    Bytes packet;
    EXPECT_NE(w.FinishPacket(packet), kPacketOk);  // a failed writer hands out nothing
    EXPECT_TRUE(packet.empty());
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 2), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", 0x00010004)), kPacketOk);
    const std::uint8_t status = 0;
    EXPECT_EQ(w.PutValue(0, 1, &status), kPacketNoCodecs);  // column B never described
  }
  {
    DSDATAPACKET w;  // a text too long for its 1-byte prefix
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kPacketOk);
    const std::uint8_t status = 0;
    const std::string long_text(300, 'x');
    ASSERT_EQ(w.PutValue(0, 1, &status), kPacketOk);
    EXPECT_EQ(w.PutValue(0, 300, long_text.data()), kPacketInvalidValue);
  }
}

TEST(PacketWriterTest, LongColumnNameIsWrittenAs31Bytes) {
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
  PacketColumnDesc desc;
  std::memset(&desc, 0, sizeof desc);
  std::memset(desc.name, 'N', sizeof desc.name);  // no terminator at all
  desc.type = 0x00010004;
  ASSERT_EQ(w.AddColumn(desc), kPacketOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kPacketOk);
  EXPECT_EQ(packet[24], 31);
}

TEST(PacketWriterTest, BufferGrowsAlternatingTheTwoRulesAcrossPackets) {
  DSDATAPACKET::SetNextGrowthUsesCapacityRule(true);
  const std::string text(200, 'x');
  const std::uint8_t status = 0;
  auto begin = [&](DSDATAPACKET& w) {
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kPacketOk);
  };
  auto rows = [&](DSDATAPACKET& w, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(w.PutValue(0, 1, &status), kPacketOk);
      ASSERT_EQ(w.PutValue(0, 200, text.data()), kPacketOk);
    }
  };
  DSDATAPACKET first;
  begin(first);
  rows(first, 170);  // about 34,500 bytes: one growth by the capacity rule
  EXPECT_EQ(first.BufferCapacity(), 2u * 32768);
  rows(first, 170);  // past 65,536: the 32,768 rule
  EXPECT_EQ(first.BufferCapacity(), 3u * 32768);
  DSDATAPACKET second;  // the next packet carries on with the capacity rule
  begin(second);
  rows(second, 170);
  EXPECT_EQ(second.BufferCapacity(), 2u * 32768);
  EXPECT_FALSE(DSDATAPACKET::NextGrowthUsesCapacityRule());

  // A big packet: the capacity rule adds at most 1,024,000 bytes.
  DSDATAPACKET::SetNextGrowthUsesCapacityRule(true);
  DSDATAPACKET big;
  begin(big);
  rows(big, 6000);  // about 1.2 MB
  std::uint32_t size = 0;
  big.PacketSize(size);
  EXPECT_GE(big.BufferCapacity(), size);
  EXPECT_LE(big.BufferCapacity(), size + 1024000u);
  Bytes packet;
  ASSERT_EQ(big.FinishPacket(packet), kPacketOk);
  EXPECT_EQ(packet.size(), size);
  EXPECT_EQ(packet.capacity(), size);  // trimmed to its length
  EXPECT_EQ(LoadU32(packet.data() + 18), 3u);
}

TEST(PacketWriterTest, FirstRowOffsetBeyond65535LeavesTheFlagClear) {
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kPacketOk);
  Bytes big(70000, 0x41);
  const Bytes header = {0x70, 0x11, 0x01, 0x00};  // prefix of a 4-byte varying value
  Bytes value = header;
  testing_support::Append(value, big);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kTable, "BIG", 0x004B0004,
                          static_cast<std::uint32_t>(value.size()), value.data()),
            kPacketOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kPacketOk);
  EXPECT_EQ(LoadU32(packet.data() + 18), kPacketFlagMetadata);
  EXPECT_EQ(LoadU16(packet.data() + 22), 0);
}

TEST(PacketWriterTest, AWholeRowInOneCallWritesWhatOneValueAtATimeWrites) {
  // Texts with 1- and 2-byte length prefixes, an empty text, fixed numbers,
  // an array column (a codec of its own), and null and unchanged fields in
  // every position of the field-status bytes.
  const TypeCode kText2 = 0x00490002, kInt32 = 0x00010004, kWords = 0x00820004;
  const TypeCode types[] = {kText1, kText2, kDateTime, kInt32, kWords, kText1};
  auto begin = [&](DSDATAPACKET& w) {
    ASSERT_EQ(w.BeginPacket(3, 6), kPacketOk);
    const char* names[] = {"a", "b", "c", "d", "e", "f"};
    for (int c = 0; c < 6; ++c)
      ASSERT_EQ(w.AddColumn(MakeColumnDesc(names[c], types[c])), kPacketOk);
  };
  const std::string long_text(300, 'x');
  const std::uint8_t when[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::uint8_t number[4] = {9, 0, 0, 0x80};
  std::uint8_t words[12];
  StoreU32(words, 2);
  StoreU32(words + 4, 7);
  StoreU32(words + 8, 8);
  const std::vector<std::vector<PacketValue>> rows = {
      {{"C:\\a", 4, 0}, {long_text.data(), 300, 0}, {when, 0, 0}, {number, 0, 0},
       {words, 12, 0}, {"", 1, 0}},
      {{nullptr, 0, kFieldNull}, {nullptr, 0, kFieldNotChanged}, {when, 8, 0},
       {nullptr, 0, kFieldNull}, {words, 12, kFieldNotChanged}, {"z", 1, 0}},
      {{"b", 1, kFieldNotChanged}, {"", 0, 0}, {nullptr, 0, kFieldNotChanged},
       {number, 4, 0}, {nullptr, 0, kFieldNull}, {nullptr, 0, kFieldNotChanged}},
  };
  const std::uint8_t statuses[] = {4, 0x0C, 1};

  DSDATAPACKET by_value;
  begin(by_value);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    ASSERT_EQ(by_value.PutValue(0, 1, &statuses[r]), kPacketOk);
    for (const PacketValue& v : rows[r])
      ASSERT_EQ(by_value.PutValue(v.status, v.length, v.bytes), kPacketOk);
  }
  Bytes expected;
  ASSERT_EQ(by_value.FinishPacket(expected), kPacketOk);

  DSDATAPACKET by_row;
  begin(by_row);
  for (std::size_t r = 0; r < rows.size(); ++r)
    ASSERT_EQ(by_row.PutRow(statuses[r], rows[r].data(), rows[r].size()), kPacketOk);
  Bytes packet;
  ASSERT_EQ(by_row.FinishPacket(packet), kPacketOk);
  EXPECT_EQ(ToHex(packet), ToHex(expected));
  EXPECT_EQ(LoadU32(packet.data() + 14), 3u);
}

TEST(PacketWriterTest, AWholeRowThatCannotBeWrittenSpoilsThePacket) {
  const PacketValue one[] = {{"x", 1, 0}};
  {  // a count that differs from the columns
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kText1)), kPacketOk);
    const PacketValue two[] = {{"x", 1, 0}, {"y", 1, 0}};
    EXPECT_EQ(w.PutRow(0, two, 2), kPacketInvalidValue);
    Bytes packet;
    EXPECT_NE(w.FinishPacket(packet), kPacketOk);
  }
  {  // a text too long for its one-byte prefix
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kText1)), kPacketOk);
    const std::string text(256, 'x');
    const PacketValue row[] = {{text.data(), 256, 0}};
    EXPECT_EQ(w.PutRow(0, row, 1), kPacketInvalidValue);
    Bytes packet;
    EXPECT_NE(w.FinishPacket(packet), kPacketOk);
  }
  {  // a fixed value shorter than its width
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kDateTime)), kPacketOk);
    const PacketValue row[] = {{"abc", 3, 0}};
    EXPECT_EQ(w.PutRow(0, row, 1), kPacketInvalidValue);
  }
  {  // in the middle of a row begun with PutValue
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kPacketOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kText1)), kPacketOk);
    const std::uint8_t status = 0;
    ASSERT_EQ(w.PutValue(0, 1, &status), kPacketOk);
    EXPECT_EQ(w.PutRow(0, one, 1), kPacketOutOfOrder);
  }
}

}  // namespace
}  // namespace quillset
