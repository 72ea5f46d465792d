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

TEST(PacketReaderTest, EveryCutOfAPacketIsRefusedWithoutReadingPastItsEnd) {
  for (const Bytes& full : {testing_support::OneEntryFile(), testing_support::AfterBackupRunFile()}) {
    ASSERT_EQ(ReadAll(full), kPacketOk);
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
      // A copy of exactly `cut` bytes, so that the sanitizer sees any overrun.
      const Bytes part(full.begin(), full.begin() + cut);
      EXPECT_NE(ReadAll(part), kPacketOk) << "cut at " << cut;
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
    if (ReadAll(damaged) == kPacketOk) ++accepted;
  }
  // Many flips land in text bytes and stay readable; the point is no crash.
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace quillset
