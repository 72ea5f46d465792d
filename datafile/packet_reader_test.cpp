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
PacketStatus ReadAll(const Bytes& packet, std::size_t* rows_read = nullptr) {
  DSEXTRACT reader;
  PacketStatus s = reader.OpenPacket(packet.data(), packet.size());
  if (s) return s;
  PacketColumnDesc desc;
  std::string name;
  TypeCode type;
  std::uint32_t size;
  const std::uint8_t* value;
  while ((s = reader.NextColumn(desc)) == kPacketOk) {
    while ((s = reader.NextPropertyInPlace(name, type, size, value)) == kPacketOk) {
    }
    if (s != kPacketNoMore) return s;
  }
  if (s != kPacketNoMore) return s;
  while ((s = reader.NextPropertyInPlace(name, type, size, value)) == kPacketOk) {
  }
  if (s != kPacketNoMore) return s;
  std::uint8_t field_status;
  std::size_t rows = 0;
  for (;;) {
    s = reader.NextValue(size, value, field_status);
    if (s == kPacketNoMore) break;
    if (s != kPacketOk) return s;
    for (std::size_t c = 0; c < reader.ValueColumnCount(); ++c) {
      s = reader.NextValue(size, value, field_status);
      if (s != kPacketOk && s != kPacketValueIsNull) return s;
    }
    ++rows;
  }
  if (rows_read) *rows_read = rows;
  return kPacketOk;
}

TEST(PacketReaderTest, ReadsTheProgramsFileInPlace) {
  const Bytes packet = testing_support::AfterBackupRunFile();
  DSEXTRACT reader;
  ASSERT_EQ(reader.OpenPacket(packet.data(), packet.size()), kPacketOk);
  EXPECT_FALSE(reader.IsTextForm());
  EXPECT_EQ(reader.HeaderRowCount(), 2u);
  PacketColumnDesc desc;
  ASSERT_EQ(reader.NextColumn(desc), kPacketOk);
  EXPECT_EQ(ColumnDescName(desc), "バックアップファイル");
  EXPECT_EQ(desc.type, 0x00490001u);
  std::uint32_t size = 0;
  ASSERT_EQ(reader.NextPropertySize(size), kPacketOk);
  EXPECT_EQ(size, 2u);
  std::string name;
  TypeCode type = 0;
  std::uint8_t small[1];
  size = 1;
  EXPECT_EQ(reader.NextProperty(name, type, size, small), kPacketInvalidValue);
  EXPECT_EQ(size, 2u);  // the size needed; the property is still next
  std::uint8_t value[2];
  ASSERT_EQ(reader.NextProperty(name, type, size, value), kPacketOk);
  EXPECT_EQ(name, "WIDTH");
  EXPECT_EQ(LoadU16(value), 100);
  EXPECT_EQ(reader.NextProperty(name, type, size, value), kPacketNoMore);
  // The other columns' properties are skipped by asking for the next column.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(reader.NextColumn(desc), kPacketOk);
  EXPECT_EQ(ColumnDescName(desc), "バックアップ日時");
  EXPECT_EQ(reader.NextColumn(desc), kPacketNoMore);
  const std::uint8_t* in_place = nullptr;
  ASSERT_EQ(reader.NextPropertyInPlace(name, type, size, in_place), kPacketOk);
  EXPECT_EQ(name, "CHANGE_LOG");
  EXPECT_EQ(type, kTypeChangeLog);
  EXPECT_EQ(size, 28u);
  EXPECT_GE(in_place, packet.data());
  EXPECT_LT(in_place, packet.data() + packet.size());
  EXPECT_EQ(reader.NextPropertyInPlace(name, type, size, in_place), kPacketNoMore);

  std::uint8_t field_status = 0;
  ASSERT_EQ(reader.NextValue(size, in_place, field_status), kPacketOk);
  EXPECT_EQ(in_place[0], 0x05);
  ASSERT_EQ(reader.NextValue(size, in_place, field_status), kPacketOk);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(in_place), size), "C:\\data\\a.txt");
  ASSERT_EQ(reader.NextValue(size, in_place, field_status), kPacketOk);
  EXPECT_EQ(reader.NextValue(size, in_place, field_status), kPacketValueIsNull);
  EXPECT_EQ(field_status, kFieldNull);
  EXPECT_EQ(reader.NextValue(size, in_place, field_status), kPacketValueIsNull);
  ASSERT_EQ(reader.NextValue(size, in_place, field_status), kPacketOk);
  EXPECT_EQ(in_place[0], 0x0C);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(reader.NextValue(size, in_place, field_status), kPacketOk);
  ASSERT_EQ(reader.NextValue(size, in_place, field_status), kPacketOk);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(reader.NextValue(size, in_place, field_status), kPacketNoMore);
  EXPECT_EQ(reader.BytesLeft(), 0u);
}

TEST(PacketReaderTest, HeaderCheckDecidesBinaryOrText) {
  Bytes packet = testing_support::EmptyListFile();
  // The other signature is binary whatever the version words say.
  Bytes alternative = packet;
  std::memcpy(alternative.data(), "\xCD\xAB\x00\x00\x09\x00\x07\x00", 8);
  DSEXTRACT reader;
  ASSERT_EQ(reader.OpenPacket(alternative.data(), alternative.size()), kPacketOk);
  EXPECT_FALSE(reader.IsTextForm());
  EXPECT_EQ(ReadAll(alternative), kPacketOk);
  // A version word above 3 sends the bytes to the text reader, which refuses them.
  for (int word : {4, 6}) {
    Bytes versioned = packet;
    versioned[word] = 4;
    EXPECT_EQ(reader.OpenPacket(versioned.data(), versioned.size()), kPacketBad);
    EXPECT_TRUE(reader.IsTextForm());
  }
  Bytes three = packet;
  three[4] = 3;
  three[6] = 3;
  EXPECT_EQ(ReadAll(three), kPacketOk);
  // Another signature is not binary either.
  Bytes other = packet;
  other[0] = 0x97;
  EXPECT_EQ(reader.OpenPacket(other.data(), other.size()), kPacketBad);
  EXPECT_EQ(reader.OpenPacket(packet.data(), 0), kPacketBad);
  EXPECT_EQ(reader.OpenPacket(packet.data(), 23), kPacketBad);
}

TEST(PacketReaderTest, ColumnNameOf32BytesReadsBackAs31) {
  Bytes packet = FromHex("96 19 E0 BD 01 00 00 00 18 00 00 00 01 00 00 00 00 00 01 00 00 00 00 00");
  packet.push_back(32);
  for (int i = 0; i < 32; ++i) packet.push_back(static_cast<std::uint8_t>('a' + i % 26));
  testing_support::Append(packet, FromHex("04 00 01 00 00 00 00 00 00 00"));
  DSEXTRACT reader;
  ASSERT_EQ(reader.OpenPacket(packet.data(), packet.size()), kPacketOk);
  PacketColumnDesc desc;
  ASSERT_EQ(reader.NextColumn(desc), kPacketOk);
  EXPECT_EQ(ColumnDescName(desc), "abcdefghijklmnopqrstuvwxyzabcde");
  EXPECT_EQ(desc.type, 0x00010004u);
  EXPECT_EQ(ReadAll(packet), kPacketOk);
}
// One row as the loading path sees it.
struct RowSeen {
  std::uint8_t status = 0;
  std::vector<PacketRowValue> values;
};

// Positions `reader` on the first row of `packet`; the first failing status.
PacketStatus OpenAtRows(DSEXTRACT& reader, const Bytes& packet) {
  if (PacketStatus s = reader.OpenPacket(packet.data(), packet.size())) return s;
  PacketColumnDesc desc;
  PacketStatus s;
  while ((s = reader.NextColumn(desc)) == kPacketOk) {
  }
  if (s != kPacketNoMore) return s;
  std::string name;
  TypeCode type;
  std::uint32_t size;
  const std::uint8_t* value;
  while ((s = reader.NextPropertyInPlace(name, type, size, value)) == kPacketOk) {
  }
  return s == kPacketNoMore ? kPacketOk : s;
}

// ReadAll's walk with one NextRow call per row; the rows land in `rows`.
PacketStatus ReadAllByRows(const Bytes& packet, std::vector<RowSeen>* rows = nullptr) {
  DSEXTRACT reader;
  if (PacketStatus s = OpenAtRows(reader, packet)) return s;
  for (;;) {
    RowSeen row;
    row.values.resize(reader.ValueColumnCount());
    const PacketStatus s = reader.NextRow(row.status, row.values.data());
    if (s == kPacketNoMore) return kPacketOk;
    if (s != kPacketOk) return s;
    if (rows) rows->push_back(row);
  }
}

// The same rows through NextValue, one call per value.
PacketStatus ReadAllByValues(const Bytes& packet, std::vector<RowSeen>& rows) {
  DSEXTRACT reader;
  if (PacketStatus s = OpenAtRows(reader, packet)) return s;
  std::uint32_t size;
  const std::uint8_t* value;
  std::uint8_t field_status;
  for (;;) {
    PacketStatus s = reader.NextValue(size, value, field_status);
    if (s == kPacketNoMore) return kPacketOk;
    if (s != kPacketOk) return s;
    RowSeen row;
    row.status = value[0];
    for (std::size_t c = 0; c < reader.ValueColumnCount(); ++c) {
      s = reader.NextValue(size, value, field_status);
      if (s != kPacketOk && s != kPacketValueIsNull) return s;
      row.values.push_back(field_status == kFieldPresent ? PacketRowValue{value, size, kFieldPresent}
                                                         : PacketRowValue{nullptr, 0, field_status});
    }
    rows.push_back(row);
  }
}

// A packet with every kind of value the row walk decodes: fixed, 1- and
// 2-byte prefixed texts, an array value (decoded by its codec), nulls and
// unchanged values, over more than four columns (two field-status bytes).
Bytes MixedRowsPacket() {
  DSDATAPACKET w;
  EXPECT_EQ(w.BeginPacket(3, 6), kPacketOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("s", 0x00490001)), kPacketOk);  // 1-byte prefix text
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("i", 0x00010004)), kPacketOk);  // 4-byte integer
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("w", 0x004B0002)), kPacketOk);  // 2-byte prefix bytes
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("d", 0x00040008)), kPacketOk);  // 8-byte float
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("a", 0x00810004)), kPacketOk);  // array of 4-byte integers
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("t", 0x00490001)), kPacketOk);
  EXPECT_EQ(w.AddProperty(PropertyLevel::kTable, nullptr, 0, 0, nullptr), kPacketOk);
  const std::uint8_t four[4] = {1, 2, 3, 4};
  const std::uint8_t eight[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  const std::uint8_t array[12] = {2, 0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0};
  for (std::uint8_t row = 0; row < 3; ++row) {
    const std::uint8_t status = static_cast<std::uint8_t>(4 + row);
    EXPECT_EQ(w.PutValue(0, 1, &status), kPacketOk);
    EXPECT_EQ(w.PutValue(0, 5, "hello"), kPacketOk);
    EXPECT_EQ(row == 1 ? w.PutValue(kFieldNull, 0, nullptr) : w.PutValue(0, 4, four), kPacketOk);
    EXPECT_EQ(w.PutValue(0, 3, "xyz"), kPacketOk);
    EXPECT_EQ(row == 2 ? w.PutValue(kFieldNotChanged, 0, nullptr) : w.PutValue(0, 8, eight),
              kPacketOk);
    EXPECT_EQ(w.PutValue(0, 12, array), kPacketOk);
    EXPECT_EQ(row == 0 ? w.PutValue(kFieldNull, 0, nullptr) : w.PutValue(0, 2, "ok"), kPacketOk);
  }
  Bytes packet;
  EXPECT_EQ(w.FinishPacket(packet), kPacketOk);
  return packet;
}

void ExpectSameRows(const std::vector<RowSeen>& a, const std::vector<RowSeen>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t r = 0; r < a.size(); ++r) {
    EXPECT_EQ(a[r].status, b[r].status) << "row " << r;
    ASSERT_EQ(a[r].values.size(), b[r].values.size());
    for (std::size_t c = 0; c < a[r].values.size(); ++c) {
      EXPECT_EQ(a[r].values[c].field_status, b[r].values[c].field_status) << r << "/" << c;
      EXPECT_EQ(a[r].values[c].size, b[r].values[c].size) << r << "/" << c;
      EXPECT_EQ(a[r].values[c].bytes, b[r].values[c].bytes) << r << "/" << c;  // same place
    }
  }
}

TEST(PacketReaderTest, ARowAtOnceGivesWhatTheValueCallsGive) {
  for (const Bytes& packet : {testing_support::OneEntryFile(), testing_support::AfterBackupRunFile(),
                              MixedRowsPacket()}) {
    std::vector<RowSeen> by_rows, by_values;
    ASSERT_EQ(ReadAllByRows(packet, &by_rows), kPacketOk);
    ASSERT_EQ(ReadAllByValues(packet, by_values), kPacketOk);
    ExpectSameRows(by_rows, by_values);
  }
  const Bytes mixed = MixedRowsPacket();  // the values point into it
  std::vector<RowSeen> rows;
  ASSERT_EQ(ReadAllByRows(mixed, &rows), kPacketOk);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].status, 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rows[0].values[0].bytes), 5), "hello");
  EXPECT_EQ(rows[1].values[1].field_status, kFieldNull);
  EXPECT_EQ(rows[1].values[1].bytes, nullptr);
  EXPECT_EQ(rows[2].values[3].field_status, kFieldNotChanged);
  EXPECT_EQ(rows[0].values[4].size, 12u);  // an array: its count and elements
  EXPECT_EQ(rows[0].values[5].field_status, kFieldNull);
  EXPECT_EQ(rows[2].values[5].size, 2u);
}

TEST(PacketReaderTest, ARowAtOnceAfterAValueCallInsideARowIsOutOfOrder) {
  const Bytes packet = MixedRowsPacket();
  DSEXTRACT reader;
  ASSERT_EQ(OpenAtRows(reader, packet), kPacketOk);
  std::uint32_t size;
  const std::uint8_t* value;
  std::uint8_t field_status;
  ASSERT_EQ(reader.NextValue(size, value, field_status), kPacketOk);  // the first row's status
  std::uint8_t status = 0;
  std::vector<PacketRowValue> values(reader.ValueColumnCount());
  EXPECT_EQ(reader.NextRow(status, values.data()), kPacketOutOfOrder);
  for (std::size_t c = 0; c < reader.ValueColumnCount(); ++c) {
    const PacketStatus s = reader.NextValue(size, value, field_status);
    ASSERT_TRUE(s == kPacketOk || s == kPacketValueIsNull);
  }
  // At a row's start again: the second and third rows, then the end.
  EXPECT_EQ(reader.NextRow(status, values.data()), kPacketOk);
  EXPECT_EQ(status, 5);
  EXPECT_EQ(reader.NextRow(status, values.data()), kPacketOk);
  EXPECT_EQ(reader.NextRow(status, values.data()), kPacketNoMore);
  EXPECT_EQ(reader.NextRow(status, values.data()), kPacketNoMore);
}

TEST(PacketReaderTest, ACutRowIsRefusedAndNotConsumed) {
  const Bytes full = MixedRowsPacket();
  // Cut inside the last row's text: the first two rows read, the third fails
  // each time it is asked for, reading nothing past the cut.
  const Bytes part(full.begin(), full.end() - 2);
  DSEXTRACT reader;
  ASSERT_EQ(OpenAtRows(reader, part), kPacketOk);
  std::uint8_t status = 0;
  std::vector<PacketRowValue> values(reader.ValueColumnCount());
  ASSERT_EQ(reader.NextRow(status, values.data()), kPacketOk);
  ASSERT_EQ(reader.NextRow(status, values.data()), kPacketOk);
  const std::size_t left = reader.BytesLeft();
  EXPECT_EQ(reader.NextRow(status, values.data()), kPacketBad);
  EXPECT_EQ(reader.BytesLeft(), left);
  EXPECT_EQ(reader.NextRow(status, values.data()), kPacketBad);
}

TEST(PacketReaderTest, EveryCutOfAPacketIsRefusedWithoutReadingPastItsEnd) {
  for (const Bytes& full : {testing_support::OneEntryFile(), testing_support::AfterBackupRunFile()}) {
    ASSERT_EQ(ReadAll(full), kPacketOk);
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
      // A copy of exactly `cut` bytes, so that the sanitizer sees any overrun.
      const Bytes part(full.begin(), full.begin() + cut);
      EXPECT_NE(ReadAll(part), kPacketOk) << "cut at " << cut;
      EXPECT_NE(ReadAllByRows(part), kPacketOk) << "cut at " << cut;
    }
  }
}

TEST(PacketReaderTest, CountsThatThePacketCannotBackAreRefused) {
  // A header claiming four billion rows in a 200-byte file.
  Bytes packet = testing_support::OneEntryFile();
  StoreU32(packet.data() + 14, 0xFFFFFFFFu);
  std::size_t rows = 0;
  EXPECT_EQ(ReadAll(packet, &rows), kPacketBad);
  // A change log whose element count runs past the end.
  packet = testing_support::OneEntryFile();
  StoreU32(packet.data() + 161, 0x40000000u);
  EXPECT_EQ(ReadAll(packet), kPacketBad);
  // A column count of 65,535 in a tiny packet.
  packet = testing_support::EmptyListFile();
  StoreU16(packet.data() + 12, 0xFFFF);
  EXPECT_EQ(ReadAll(packet), kPacketBad);
  // A header size beyond the packet.
  packet = testing_support::EmptyListFile();
  StoreU32(packet.data() + 8, 1000);
  EXPECT_EQ(ReadAll(packet), kPacketBad);
  // A composite column announcing 65,535 children.
  packet = testing_support::EmptyListFile();
  StoreU32(packet.data() + 24 + 21, 0x010CFFFFu);
  EXPECT_EQ(ReadAll(packet), kPacketBad);
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
    const bool read = ReadAll(damaged) == kPacketOk;
    EXPECT_EQ(ReadAllByRows(damaged) == kPacketOk, read) << "round " << round;
    if (read) ++accepted;
  }
  // Many flips land in text bytes and stay readable; the point is no crash.
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace quillset
