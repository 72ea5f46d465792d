// The packet reader on the program's files and on cut, damaged and hostile
// bytes: every read stays within the packet, every bad packet gets a status.
#include "datafile/packet_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/packet_test_support.h"
#include "datafile/packet_writer.h"

namespace quillset {
namespace {

using testing_support::Bytes;
using testing_support::FromHex;

// Reads a whole packet through the interface; the first failing status, or 0.
Status ReadAll(const Bytes& packet, std::size_t* rows_read = nullptr) {
  DSEXTRACT reader;
  Status s = reader.OpenPacket(packet.data(), packet.size());
  if (s) return s;
  PacketColumnDesc desc;
  std::string name;
  TypeCode type;
  std::uint32_t size;
  const std::uint8_t* value;
  while ((s = reader.NextColumn(desc)) == kStatusOk) {
    while ((s = reader.NextPropertyInPlace(name, type, size, value)) == kStatusOk) {
    }
    if (s != kStatusNoMore) return s;
  }
  if (s != kStatusNoMore) return s;
  while ((s = reader.NextPropertyInPlace(name, type, size, value)) == kStatusOk) {
  }
  if (s != kStatusNoMore) return s;
  std::vector<PacketRowValue> values(reader.ValueColumnCount());
  std::uint8_t row_status = 0;
  std::size_t rows = 0;
  for (;;) {
    s = reader.NextRow(row_status, values.data());
    if (s == kStatusNoMore) break;
    if (s != kStatusOk) return s;
    ++rows;
  }
  if (rows_read) *rows_read = rows;
  return kStatusOk;
}

TEST(PacketReaderTest, ReadsTheProgramsFileInPlace) {
  const Bytes packet = testing_support::AfterBackupRunFile();
  DSEXTRACT reader;
  ASSERT_EQ(reader.OpenPacket(packet.data(), packet.size()), kStatusOk);
  EXPECT_FALSE(reader.IsTextForm());
  EXPECT_EQ(reader.HeaderRowCount(), 2u);
  PacketColumnDesc desc;
  ASSERT_EQ(reader.NextColumn(desc), kStatusOk);
  EXPECT_EQ(ColumnDescName(desc), "バックアップファイル");
  EXPECT_EQ(desc.type, 0x00490001u);
  std::uint32_t size = 0;
  ASSERT_EQ(reader.NextPropertySize(size), kStatusOk);
  EXPECT_EQ(size, 2u);
  std::string name;
  TypeCode type = 0;
  std::uint8_t small[1];
  size = 1;
  EXPECT_EQ(reader.NextProperty(name, type, size, small), kStatusInvalidArgument);
  EXPECT_EQ(size, 2u);  // the size needed; the property is still next
  std::uint8_t value[2];
  ASSERT_EQ(reader.NextProperty(name, type, size, value), kStatusOk);
  EXPECT_EQ(name, "WIDTH");
  EXPECT_EQ(LoadU16(value), 100);
  EXPECT_EQ(reader.NextProperty(name, type, size, value), kStatusNoMore);
  // The other columns' properties are skipped by asking for the next column.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(reader.NextColumn(desc), kStatusOk);
  EXPECT_EQ(ColumnDescName(desc), "バックアップ日時");
  EXPECT_EQ(reader.NextColumn(desc), kStatusNoMore);
  const std::uint8_t* in_place = nullptr;
  ASSERT_EQ(reader.NextPropertyInPlace(name, type, size, in_place), kStatusOk);
  EXPECT_EQ(name, "CHANGE_LOG");
  EXPECT_EQ(type, kTypeChangeLog);
  EXPECT_EQ(size, 28u);
  EXPECT_GE(in_place, packet.data());
  EXPECT_LT(in_place, packet.data() + packet.size());
  EXPECT_EQ(reader.NextPropertyInPlace(name, type, size, in_place), kStatusNoMore);

  std::uint8_t row_status = 0;
  PacketRowValue values[4];
  ASSERT_EQ(reader.NextRow(row_status, values), kStatusOk);
  EXPECT_EQ(row_status, 0x05);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(values[0].bytes), values[0].size),
            "C:\\data\\a.txt");
  EXPECT_GE(values[0].bytes, packet.data());
  EXPECT_LT(values[0].bytes, packet.data() + packet.size());
  EXPECT_EQ(values[1].field_status, kFieldPresent);
  EXPECT_EQ(values[2].field_status, kFieldNull);
  EXPECT_EQ(values[2].bytes, nullptr);
  EXPECT_EQ(values[3].field_status, kFieldNull);
  ASSERT_EQ(reader.NextRow(row_status, values), kStatusOk);
  EXPECT_EQ(row_status, 0x0C);
  EXPECT_EQ(values[2].size, 16u);
  EXPECT_EQ(values[3].size, 8u);
  EXPECT_EQ(reader.NextRow(row_status, values), kStatusNoMore);
  EXPECT_EQ(reader.BytesLeft(), 0u);
}

TEST(PacketReaderTest, HeaderCheckDecidesBinaryOrText) {
  Bytes packet = testing_support::EmptyListFile();
  // The other signature is binary whatever the version words say.
  Bytes alternative = packet;
  std::memcpy(alternative.data(), "\xCD\xAB\x00\x00\x09\x00\x07\x00", 8);
  DSEXTRACT reader;
  ASSERT_EQ(reader.OpenPacket(alternative.data(), alternative.size()), kStatusOk);
  EXPECT_FALSE(reader.IsTextForm());
  EXPECT_EQ(ReadAll(alternative), kStatusOk);
  // A version word above 3 sends the bytes to the text reader, which refuses them.
  for (int word : {4, 6}) {
    Bytes versioned = packet;
    versioned[word] = 4;
    EXPECT_EQ(reader.OpenPacket(versioned.data(), versioned.size()), kStatusBadPacket);
    EXPECT_TRUE(reader.IsTextForm());
  }
  Bytes three = packet;
  three[4] = 3;
  three[6] = 3;
  EXPECT_EQ(ReadAll(three), kStatusOk);
  // Another signature is not binary either.
  Bytes other = packet;
  other[0] = 0x97;
  EXPECT_EQ(reader.OpenPacket(other.data(), other.size()), kStatusBadPacket);
  EXPECT_EQ(reader.OpenPacket(packet.data(), 0), kStatusBadPacket);
  EXPECT_EQ(reader.OpenPacket(packet.data(), 23), kStatusBadPacket);
}

TEST(PacketReaderTest, ColumnNameOf32BytesReadsBackAs31) {
  Bytes packet = FromHex("96 19 E0 BD 01 00 00 00 18 00 00 00 01 00 00 00 00 00 01 00 00 00 00 00");
  packet.push_back(32);
  for (int i = 0; i < 32; ++i) packet.push_back(static_cast<std::uint8_t>('a' + i % 26));
  testing_support::Append(packet, FromHex("04 00 01 00 00 00 00 00 00 00"));
  DSEXTRACT reader;
  ASSERT_EQ(reader.OpenPacket(packet.data(), packet.size()), kStatusOk);
  PacketColumnDesc desc;
  ASSERT_EQ(reader.NextColumn(desc), kStatusOk);
  EXPECT_EQ(ColumnDescName(desc), "abcdefghijklmnopqrstuvwxyzabcde");
  EXPECT_EQ(desc.type, 0x00010004u);
  EXPECT_EQ(ReadAll(packet), kStatusOk);
}
// One row as the loading path sees it.
struct RowSeen {
  std::uint8_t status = 0;
  std::vector<PacketRowValue> values;
};

// Positions `reader` on the first row of `packet`; the first failing status.
Status OpenAtRows(DSEXTRACT& reader, const Bytes& packet) {
  if (Status s = reader.OpenPacket(packet.data(), packet.size())) return s;
  PacketColumnDesc desc;
  Status s;
  while ((s = reader.NextColumn(desc)) == kStatusOk) {
  }
  if (s != kStatusNoMore) return s;
  std::string name;
  TypeCode type;
  std::uint32_t size;
  const std::uint8_t* value;
  while ((s = reader.NextPropertyInPlace(name, type, size, value)) == kStatusOk) {
  }
  return s == kStatusNoMore ? kStatusOk : s;
}

// ReadAll's walk with one NextRow call per row; the rows land in `rows`.
Status ReadAllByRows(const Bytes& packet, std::vector<RowSeen>* rows = nullptr) {
  DSEXTRACT reader;
  if (Status s = OpenAtRows(reader, packet)) return s;
  for (;;) {
    RowSeen row;
    row.values.resize(reader.ValueColumnCount());
    const Status s = reader.NextRow(row.status, row.values.data());
    if (s == kStatusNoMore) return kStatusOk;
    if (s != kStatusOk) return s;
    if (rows) rows->push_back(row);
  }
}

// A packet with every kind of value the row walk decodes: fixed, 1- and
// 2-byte prefixed texts, an array value (decoded by its codec), nulls and
// unchanged values, over more than four columns (two field-status bytes).
Bytes MixedRowsPacket() {
  DSDATAPACKET w;
  EXPECT_EQ(w.BeginPacket(3, 6), kStatusOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("s", 0x00490001)), kStatusOk);  // 1-byte prefix text
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("i", 0x00010004)), kStatusOk);  // 4-byte integer
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("w", 0x004B0002)), kStatusOk);  // 2-byte prefix bytes
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("d", 0x00040008)), kStatusOk);  // 8-byte float
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("a", 0x00810004)), kStatusOk);  // array of 4-byte integers
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("t", 0x00490001)), kStatusOk);
  EXPECT_EQ(w.AddProperty(PropertyLevel::kTable, nullptr, 0, 0, nullptr), kStatusOk);
  const std::uint8_t four[4] = {1, 2, 3, 4};
  const std::uint8_t eight[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  const std::uint8_t array[12] = {2, 0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0};
  const PacketValue null{nullptr, 0, kFieldNull};
  for (std::uint8_t row = 0; row < 3; ++row) {
    const PacketValue values[] = {
        {"hello", 5, 0},
        row == 1 ? null : PacketValue{four, 4, 0},
        {"xyz", 3, 0},
        row == 2 ? PacketValue{nullptr, 0, kFieldNotChanged} : PacketValue{eight, 8, 0},
        {array, 12, 0},
        row == 0 ? null : PacketValue{"ok", 2, 0}};
    EXPECT_EQ(w.PutRow(static_cast<std::uint8_t>(4 + row), values, 6), kStatusOk);
  }
  Bytes packet;
  EXPECT_EQ(w.FinishPacket(packet), kStatusOk);
  return packet;
}

TEST(PacketReaderTest, ARowGivesEveryShapeOfValueInPlace) {
  const Bytes mixed = MixedRowsPacket();  // the values point into it
  std::vector<RowSeen> rows;
  ASSERT_EQ(ReadAllByRows(mixed, &rows), kStatusOk);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].status, 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rows[0].values[0].bytes), 5), "hello");
  EXPECT_EQ(rows[1].values[1].field_status, kFieldNull);
  EXPECT_EQ(rows[1].values[1].bytes, nullptr);
  EXPECT_EQ(rows[2].values[3].field_status, kFieldNotChanged);
  EXPECT_EQ(rows[0].values[4].size, 12u);  // an array: its count and elements
  EXPECT_EQ(LoadU32(rows[0].values[4].bytes + 8), 9u);
  EXPECT_EQ(LoadU32(rows[2].values[1].bytes), 0x04030201u);
  EXPECT_EQ(rows[0].values[2].size, 3u);  // a 2-byte prefix
  EXPECT_EQ(std::memcmp(rows[0].values[2].bytes, "xyz", 3), 0);
  EXPECT_EQ(rows[0].values[5].field_status, kFieldNull);
  EXPECT_EQ(rows[2].values[5].size, 2u);
}

TEST(PacketReaderTest, ACutRowIsRefusedAndNotConsumed) {
  const Bytes full = MixedRowsPacket();
  // Cut inside the last row's text: the first two rows read, the third fails
  // each time it is asked for, reading nothing past the cut.
  const Bytes part(full.begin(), full.end() - 2);
  DSEXTRACT reader;
  ASSERT_EQ(OpenAtRows(reader, part), kStatusOk);
  std::uint8_t status = 0;
  std::vector<PacketRowValue> values(reader.ValueColumnCount());
  ASSERT_EQ(reader.NextRow(status, values.data()), kStatusOk);
  ASSERT_EQ(reader.NextRow(status, values.data()), kStatusOk);
  const std::size_t left = reader.BytesLeft();
  EXPECT_EQ(reader.NextRow(status, values.data()), kStatusBadPacket);
  EXPECT_EQ(reader.BytesLeft(), left);
  EXPECT_EQ(reader.NextRow(status, values.data()), kStatusBadPacket);
}

TEST(PacketReaderTest, EveryCutOfAPacketIsRefusedWithoutReadingPastItsEnd) {
  for (const Bytes& full : {testing_support::OneEntryFile(), testing_support::AfterBackupRunFile()}) {
    ASSERT_EQ(ReadAll(full), kStatusOk);
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
      // A copy of exactly `cut` bytes, so that the sanitizer sees any overrun.
      const Bytes part(full.begin(), full.begin() + cut);
      EXPECT_NE(ReadAll(part), kStatusOk) << "cut at " << cut;
      EXPECT_NE(ReadAllByRows(part), kStatusOk) << "cut at " << cut;
    }
  }
}

TEST(PacketReaderTest, CountsThatThePacketCannotBackAreRefused) {
  // A header claiming four billion rows in a 200-byte file.
  Bytes packet = testing_support::OneEntryFile();
  StoreU32(packet.data() + 14, 0xFFFFFFFFu);
  std::size_t rows = 0;
  EXPECT_EQ(ReadAll(packet, &rows), kStatusBadPacket);
  // A change log whose element count runs past the end.
  packet = testing_support::OneEntryFile();
  StoreU32(packet.data() + 161, 0x40000000u);
  EXPECT_EQ(ReadAll(packet), kStatusBadPacket);
  // A column count of 65,535 in a tiny packet.
  packet = testing_support::EmptyListFile();
  StoreU16(packet.data() + 12, 0xFFFF);
  EXPECT_EQ(ReadAll(packet), kStatusBadPacket);
  // A header size beyond the packet.
  packet = testing_support::EmptyListFile();
  StoreU32(packet.data() + 8, 1000);
  EXPECT_EQ(ReadAll(packet), kStatusBadPacket);
  // A composite column announcing 65,535 children.
  packet = testing_support::EmptyListFile();
  StoreU32(packet.data() + 24 + 21, 0x010CFFFFu);
  EXPECT_EQ(ReadAll(packet), kStatusBadPacket);
}

TEST(PacketReaderTest, RandomBitFlipsNeverReadOutside) {
  const Bytes base = testing_support::AfterBackupRunFile();
  std::uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes damaged = base;
    const int flips = 1 + static_cast<int>(next() % 4);
    for (int f = 0; f < flips; ++f) damaged[next() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (next() % 8));
    const bool read = ReadAll(damaged) == kStatusOk;
    EXPECT_EQ(ReadAllByRows(damaged) == kStatusOk, read) << "round " << round;
    if (read) ++accepted;
  }
  // Many flips land in text bytes and stay readable; the point is no crash.
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace quillset
