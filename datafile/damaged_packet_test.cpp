// Damaged packets: every cut and bit flip is refused or loads a table that
// writes itself again; a row count that drops rows, bytes after the last row
// and a change log naming slots the packet lacks are refused, whole and read
// in pieces, in turn and alongside; the store stays closed.
#include "datafile/table_packet.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "datafile/little_endian.h"
#include "datafile/table_packet_test_support.h"

namespace quillset {
namespace {

using namespace testing_support;


TEST(DamagedPacketTest, RowsThatThePacketsSizeCannotBackAreRefused) {
  // 65,535-byte texts in a packet of a few hundred bytes: the row image is
  // allowed, but four billion claimed rows are not placed one by one.
  Bytes packet = HandPacket({{"a", 0x00490002, {{"WIDTH", {0xFF, 0xFF}}}}}).Row(0, {"x"}).Finish();
  StoreU32(packet.data() + 14, 0xFFFFFFFFu);
  DSBASE table;
  const Status s = AppendPacket(table, packet.data(), packet.size());
  EXPECT_TRUE(s == kStatusBadPacket || s == kStatusOutOfMemory) << s;
}

// Loads `packet`; when it is accepted, the table must write a packet again.
void LoadOrRefuseCleanly(const Bytes& packet) {
  DSBASE table;
  const Status s = AppendPacket(table, packet.data(), packet.size());
  if (s == kStatusOk) {
    Bytes again;
    EXPECT_EQ(StreamPacket(table, PacketForm::kBinary, again), kStatusOk);
  }
}

TEST(DamagedPacketTest, EveryCutIsRefusedAndBitFlipsLoadOrAreRefused) {
  for (const Bytes& full : {testing_support::OneEntryFile(), LargerFile()}) {
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
      const Bytes part(full.begin(), full.begin() + cut);
      DSBASE table;
      EXPECT_NE(AppendPacket(table, part.data(), part.size()), kStatusOk) << "cut at " << cut;
    }
    SeededNumbers next(777);
    for (int round = 0; round < 1500; ++round) {
      Bytes damaged = full;
      const int flips = 1 + static_cast<int>(next() % 3);
      for (int f = 0; f < flips; ++f)
        damaged[next() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (next() % 8));
      LoadOrRefuseCleanly(damaged);
    }
  }
}

TEST(DamagedPacketTest, ADamagedFileLeavesTheStoreClosed) {
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  Bytes cut = testing_support::OneEntryFile();
  cut.resize(190);
  store->SetHeldPacket(cut);
  try {
    store->OpenFromHeldPacket();
    FAIL() << "a cut file was accepted";
  } catch (const EDBClient& e) {
    EXPECT_EQ(e.Status(), kStatusBadPacket.Code());
    EXPECT_EQ(e.Message(), "");
  }
  EXPECT_FALSE(store->Active());
}

TEST(DamagedPacketTest, DamagedPacketsReadInPiecesFailAsWhenHeldWhole) {
  for (const Bytes& full : {testing_support::OneEntryFile(), LargerFile()}) {
    for (std::size_t cut = 1; cut < full.size(); ++cut) {
      const Bytes part(full.begin(), full.begin() + cut);
      const Status whole = LoadedWhole(part).first;
      EXPECT_NE(whole, kStatusOk) << "cut at " << cut;
      for (RowReading reading : kReadings)
        EXPECT_EQ(LoadedInPieces(part, 16, reading).first, whole) << "cut at " << cut;
    }
    SeededNumbers next(4242);
    for (int round = 0; round < 500; ++round) {
      Bytes damaged = full;
      damaged[next() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (next() % 8));
      const auto whole = LoadedWhole(damaged);
      for (RowReading reading : kReadings) {
        const auto pieces = LoadedInPieces(damaged, 16, reading);
        EXPECT_EQ(pieces.first, whole.first) << "round " << round;
        EXPECT_EQ(pieces.second, whole.second) << "round " << round;
      }
    }
  }
}

TEST(DamagedPacketTest, RowsThatDoNotEndWhereThePacketEndsAreRefusedEveryWay) {
  // A lowered row count (one flipped bit can drop 65,536 versions) leaves
  // rows after the last one read; appended bytes follow the last row. The
  // load used to stop at the count and drop them without a word.
  for (const Bytes& full : {OneEntryFile(), AfterBackupRunFile(), LargerFile()}) {
    std::vector<Bytes> damaged;
    for (std::uint32_t rows = 0; rows < LoadU32(full.data() + 14); ++rows) {
      damaged.push_back(full);
      StoreU32(damaged.back().data() + 14, rows);
    }
    for (const Bytes& more : {Bytes{0}, FromHex("96 19 E0 BD"), Bytes(5000, 0x20)}) {
      damaged.push_back(full);
      Append(damaged.back(), more);
    }
    for (const Bytes& packet : damaged) {
      EXPECT_EQ(LoadedWhole(packet).first, kStatusBadPacket) << packet.size();
      for (RowReading reading : kReadings)
        for (std::size_t piece : {std::size_t{16}, kReadPieceBytes})
          EXPECT_EQ(LoadedInPieces(packet, piece, reading).first, kStatusBadPacket) << packet.size();
    }
  }
}

TEST(DamagedPacketTest, AChangeLogNamingASlotThePacketLacksIsRefused) {
  const auto packet = [](const std::vector<std::uint32_t>& log) {
    return HandPacket({{"name", 0x00490001, {{"WIDTH", kWidth5}}}})
        .TableProperty("CHANGE_LOG", kTypeChangeLog, Words(log))
        .Row(0x05, {"a"})
        .Row(0x0C, {"b"})
        .Finish();
  };
  EXPECT_EQ(LoadedWhole(packet({1, 0, 4, 2, 1, 8})).first, kStatusOk);
  for (const std::vector<std::uint32_t>& log :
       {std::vector<std::uint32_t>{1, 0, 4, 3, 1, 8}, {1, 0, 4, 2, 3, 8}, {0, 0, 4}})
    EXPECT_EQ(LoadedWhole(packet(log)).first, kStatusBadPacket) << log[3];
}

TEST(DamagedPacketTest, RowsASaveWouldLeaveOutAndAWrongFirstRowOffsetAreRefused) {
  // Without a change log a save writes the rows in view only (with none in
  // view, every row but emptied ones): rows it would drop mean a lost log.
  const auto packet = [](std::uint8_t first, std::uint8_t second) {
    return HandPacket({{"name", 0x00490001, {{"WIDTH", kWidth5}}}})
        .Row(first, {"a"})
        .Row(second, {"b"})
        .Finish();
  };
  EXPECT_EQ(LoadedWhole(packet(0x00, 0x04)).first, kStatusOk);
  for (const auto& statuses : {std::make_pair(0x00, 0x02), std::make_pair(0x01, 0x00),
                               std::make_pair(0x02, 0x01),
                               std::make_pair(0x00, 0x20), std::make_pair(0x02, 0x20)})
    EXPECT_EQ(LoadedWhole(packet(statuses.first, statuses.second)).first, kStatusBadPacket)
        << statuses.first << " " << statuses.second;
  // The header's first-row offset must be where the metadata ends.
  Bytes moved = OneEntryFile();
  StoreU16(moved.data() + 22, static_cast<std::uint16_t>(LoadU16(moved.data() + 22) + 8));
  EXPECT_EQ(LoadedWhole(moved).first, kStatusBadPacket);
}

}  // namespace
}  // namespace quillset
