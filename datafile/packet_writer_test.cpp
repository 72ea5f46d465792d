// The binary packet writer, driven through its interface as the table drives
// it: the program's files byte for byte, the statuses of misuse, and packets
// large enough to outgrow the first buffer, read back whole.
#include "datafile/packet_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/packet_reader.h"
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
  ASSERT_EQ(w.BeginPacket(3, 4), kStatusOk);
  const std::uint8_t w100[] = {100, 0};
  const std::uint8_t w20[] = {20, 0};
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("バックアップファイル", kText1)), kStatusOk);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, w100), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("保管場所", kText1)), kStatusOk);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, w100), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("結果", kText1)), kStatusOk);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kColumn, "WIDTH", kTypeUInt16, 2, w20), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("バックアップ日時", kDateTime)), kStatusOk);
}

void PutChangeLog(DSDATAPACKET& w, const std::vector<std::uint32_t>& words) {
  Bytes value(4 + words.size() * 4);
  StoreU32(value.data(), static_cast<std::uint32_t>(words.size()));
  for (std::size_t i = 0; i < words.size(); ++i) StoreU32(value.data() + 4 + 4 * i, words[i]);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kTable, "CHANGE_LOG", kTypeChangeLog,
                          static_cast<std::uint32_t>(value.size()), value.data()),
            kStatusOk);
}

const PacketValue kFile{"C:\\data\\a.txt", 13, 0};
const PacketValue kFolder{"D:\\bak", 6, 0};
const PacketValue kNull{nullptr, 0, kFieldNull};

TEST(PacketWriterTest, EmptyListGivesThe146BytesOfTheProgramsFile) {
  DSDATAPACKET w;
  WriteBackupColumns(w);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kTable, nullptr, 0, 0, nullptr), kStatusOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
  EXPECT_EQ(ToHex(packet), ToHex(testing_support::EmptyListFile()));
  EXPECT_EQ(packet.size(), 146u);
}

TEST(PacketWriterTest, OneEntryAndAfterBackupRunByteForByte) {
  {
    DSDATAPACKET w;
    WriteBackupColumns(w);
    PutChangeLog(w, {1, 0, 4});
    const PacketValue row[] = {kFile, kFolder, kNull, kNull};
    ASSERT_EQ(w.PutRow(0x04, row, 4), kStatusOk);
    std::uint32_t size = 0;
    ASSERT_EQ(w.PacketSize(size), kStatusOk);
    EXPECT_EQ(size, 200u);
    Bytes packet;
    ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
    EXPECT_EQ(ToHex(packet), ToHex(testing_support::OneEntryFile()));
  }
  {
    DSDATAPACKET w;
    WriteBackupColumns(w);
    PutChangeLog(w, {1, 0, 4, 2, 1, 8});
    const PacketValue replaced[] = {kFile, kFolder, kNull, {nullptr, 0, 0}};  // no value: null as well
    ASSERT_EQ(w.PutRow(0x05, replaced, 4), kStatusOk);
    const Bytes stamp = FromHex("00 C0 35 74 B1 12 CD 42");
    const PacketValue changed[] = {kFile, kFolder, {"バックアップ成功", 16, 0}, {stamp.data(), 0, 0}};
    ASSERT_EQ(w.PutRow(0x0C, changed, 4), kStatusOk);
    Bytes packet;
    ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
    EXPECT_EQ(ToHex(packet), ToHex(testing_support::AfterBackupRunFile()));
  }
}

TEST(PacketWriterTest, EmptyTextIsOneZeroByteAndNotChangedSetsItsBit) {
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 2), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("B", 0x00010004)), kStatusOk);
  const std::uint8_t zero = 0;
  const PacketValue row[] = {{&zero, 1, 0}, {nullptr, 0, kFieldNotChanged}};
  ASSERT_EQ(w.PutRow(0, row, 2), kStatusOk);  // closes the table properties
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
  // ... 00 00 (no table property), row: status 00, field status 0x08, "01 00".
  const Bytes tail(packet.end() - 6, packet.end());
  EXPECT_EQ(ToHex(tail), "00 00 00 08 01 00");
}

TEST(PacketWriterTest, MisuseIsRefusedWithItsStatus) {
  {
    DSDATAPACKET w;
    EXPECT_EQ(w.BeginPacket(4, 1), kStatusBadPacket);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("RowState", kText1)), kStatusOutOfOrder);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kStatusOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("B", kText1)), kStatusOutOfOrder);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("A", kTypeVarying | kTypeArray | 0x00020004)),
              kStatusBadType);
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    EXPECT_EQ(w.AddColumn(MakeColumnDesc("A", 0x00130004)), kStatusOutOfOrder);  // base 19
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", 0x00010004)), kStatusOk);
    const std::uint8_t v[4] = {1, 2, 3, 4};
    const PacketValue row[] = {{v, 0, 0}};
    ASSERT_EQ(w.PutRow(0, row, 1), kStatusOk);
    const std::uint8_t w100[] = {100, 0};
    EXPECT_EQ(w.AddProperty(PropertyLevel::kTable, "X", kTypeUInt16, 2, w100), kStatusOutOfOrder);
    Bytes packet;
    EXPECT_NE(w.FinishPacket(packet), kStatusOk);  // a failed writer hands out nothing
    EXPECT_TRUE(packet.empty());
  }
  {
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 2), kStatusOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", 0x00010004)), kStatusOk);
    const PacketValue row[] = {kNull, kNull};
    EXPECT_EQ(w.PutRow(0, row, 2), kStatusNoCodecs);  // column B never described
  }
}

TEST(PacketWriterTest, LongColumnNameIsWrittenAs31Bytes) {
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
  PacketColumnDesc desc;
  std::memset(&desc, 0, sizeof desc);
  std::memset(desc.name, 'N', sizeof desc.name);  // no terminator at all
  desc.type = 0x00010004;
  ASSERT_EQ(w.AddColumn(desc), kStatusOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
  EXPECT_EQ(packet[24], 31);
}

TEST(PacketWriterTest, APacketOfManyRowsHoldsEveryRowWhereTheFormatPutsIt) {
  // About 1.6 MB: far past the first buffer and its first few growths. Every
  // row is different, so a row lost, doubled or moved while the buffer grows
  // shows in the bytes.
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 2), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("B", 0x00010004)), kStatusOk);
  constexpr std::uint32_t kRows = 8000;
  std::string text(200, 'x');
  for (std::uint32_t r = 0; r < kRows; ++r) {
    std::memcpy(&text[0], &r, sizeof r);
    std::uint8_t number[4];
    StoreU32(number, r * 7);
    const PacketValue row[] = {{text.data(), 200, 0}, {number, 0, 0}};
    ASSERT_EQ(w.PutRow(static_cast<std::uint8_t>(r & 0x0F), row, 2), kStatusOk);
  }
  std::uint32_t size = 0;
  ASSERT_EQ(w.PacketSize(size), kStatusOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
  ASSERT_EQ(packet.size(), size);

  // Header, metadata of two columns, no table property, then rows of 207 bytes:
  // status, one field-status byte, 1-byte length and 200 bytes, 4 bytes.
  const std::size_t first_row = 24 + (1 + 1 + 8) + (1 + 1 + 8) + 2;
  EXPECT_EQ(LoadU32(packet.data() + 14), kRows);
  EXPECT_EQ(LoadU32(packet.data() + 18), kPacketFlagMetadata | kPacketFlagFirstRowOffset);
  EXPECT_EQ(LoadU16(packet.data() + 22), first_row);
  ASSERT_EQ(packet.size(), first_row + kRows * 207u);
  for (std::uint32_t r = 0; r < kRows; ++r) {
    const std::uint8_t* row = packet.data() + first_row + r * 207u;
    ASSERT_EQ(row[0], r & 0x0F) << "row " << r;
    ASSERT_EQ(row[1], 0) << "row " << r;
    ASSERT_EQ(row[2], 200) << "row " << r;
    std::uint32_t tag = 0;
    std::memcpy(&tag, row + 3, sizeof tag);
    ASSERT_EQ(tag, r);
    ASSERT_EQ(row[3 + 199], 'x') << "row " << r;
    ASSERT_EQ(LoadU32(row + 203), r * 7) << "row " << r;
  }
}

TEST(PacketWriterTest, FirstRowOffsetBeyond65535LeavesTheFlagClear) {
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
  ASSERT_EQ(w.AddColumn(MakeColumnDesc("A", kText1)), kStatusOk);
  Bytes big(70000, 0x41);
  const Bytes header = {0x70, 0x11, 0x01, 0x00};  // prefix of a 4-byte varying value
  Bytes value = header;
  testing_support::Append(value, big);
  ASSERT_EQ(w.AddProperty(PropertyLevel::kTable, "BIG", 0x004B0004,
                          static_cast<std::uint32_t>(value.size()), value.data()),
            kStatusOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
  EXPECT_EQ(LoadU32(packet.data() + 18), kPacketFlagMetadata);
  EXPECT_EQ(LoadU16(packet.data() + 22), 0);
}

TEST(PacketWriterTest, EveryShapeOfValueAndEveryFieldStatusPositionReadsBack) {
  // Texts with 1- and 2-byte length prefixes, an empty text, fixed numbers,
  // an array column, and null and unchanged fields in every position of the
  // field-status bytes, written and read back by the reader.
  const TypeCode kText2 = 0x00490002, kInt32 = 0x00010004, kWords = 0x00820004;
  const TypeCode types[] = {kText1, kText2, kDateTime, kInt32, kWords, kText1};
  DSDATAPACKET w;
  ASSERT_EQ(w.BeginPacket(3, 6), kStatusOk);
  const char* names[] = {"a", "b", "c", "d", "e", "f"};
  for (int c = 0; c < 6; ++c) ASSERT_EQ(w.AddColumn(MakeColumnDesc(names[c], types[c])), kStatusOk);
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
  for (std::size_t r = 0; r < rows.size(); ++r)
    ASSERT_EQ(w.PutRow(statuses[r], rows[r].data(), rows[r].size()), kStatusOk);
  Bytes packet;
  ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
  EXPECT_EQ(LoadU32(packet.data() + 14), 3u);

  DSEXTRACT reader;
  ASSERT_EQ(reader.OpenPacket(packet.data(), packet.size()), kStatusOk);
  const std::size_t widths[] = {0, 0, 8, 4, 0, 0};  // fixed types: their width
  std::vector<PacketRowValue> got(6);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::uint8_t status = 0xFF;
    ASSERT_EQ(reader.NextRow(status, got.data()), kStatusOk);
    EXPECT_EQ(status, statuses[r]);
    for (std::size_t c = 0; c < 6; ++c) {
      const PacketValue& in = rows[r][c];
      const std::uint8_t expected_status =
          in.status != kFieldPresent ? in.status : in.bytes == nullptr ? kFieldNull : kFieldPresent;
      ASSERT_EQ(got[c].field_status, expected_status) << r << "/" << c;
      if (expected_status != kFieldPresent) continue;
      const std::size_t length = widths[c] ? widths[c] : in.length;
      ASSERT_EQ(got[c].size, length) << r << "/" << c;
      EXPECT_EQ(0, std::memcmp(got[c].bytes, in.bytes, length)) << r << "/" << c;
    }
  }
  std::uint8_t status = 0;
  EXPECT_EQ(reader.NextRow(status, got.data()), kStatusNoMore);
}

TEST(PacketWriterTest, AWholeRowThatCannotBeWrittenSpoilsThePacket) {
  const PacketValue one[] = {{"x", 1, 0}};
  {  // a count that differs from the columns
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kText1)), kStatusOk);
    const PacketValue two[] = {{"x", 1, 0}, {"y", 1, 0}};
    EXPECT_EQ(w.PutRow(0, two, 2), kStatusInvalidArgument);
    Bytes packet;
    EXPECT_NE(w.FinishPacket(packet), kStatusOk);
  }
  {  // a text too long for its one-byte prefix
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kText1)), kStatusOk);
    const std::string text(256, 'x');
    const PacketValue row[] = {{text.data(), 256, 0}};
    EXPECT_EQ(w.PutRow(0, row, 1), kStatusInvalidArgument);
    Bytes packet;
    EXPECT_NE(w.FinishPacket(packet), kStatusOk);
  }
  {  // a fixed value shorter than its width
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kDateTime)), kStatusOk);
    const PacketValue row[] = {{"abc", 3, 0}};
    EXPECT_EQ(w.PutRow(0, row, 1), kStatusInvalidArgument);
  }
  {  // after the packet was finished
    DSDATAPACKET w;
    ASSERT_EQ(w.BeginPacket(3, 1), kStatusOk);
    ASSERT_EQ(w.AddColumn(MakeColumnDesc("a", kText1)), kStatusOk);
    Bytes packet;
    ASSERT_EQ(w.FinishPacket(packet), kStatusOk);
    EXPECT_EQ(w.PutRow(0, one, 1), kStatusOutOfOrder);
  }
}

}  // namespace
}  // namespace quillset
