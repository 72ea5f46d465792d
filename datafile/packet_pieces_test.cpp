// The packet a piece at a time: streamed to a sink through a buffer of any
// size, in turn or written behind, and read from a source in pieces of any
// size, in turn or alongside, with the bytes of the whole packet either way.
#include "datafile/table_packet.h"

#include <gtest/gtest.h>

#include "datafile/table_packet_test_support.h"
#include "store/testing/backup_history.h"

namespace quillset {
namespace {

using namespace testing_support;


TEST(PacketPiecesTest, StreamingGivesTheBytesOfTheWholePacketWhateverTheBuffer) {
  for (const Bytes& packet : KnownPackets()) {
    DSBASE table;
    ASSERT_EQ(AppendPacket(table, packet.data(), packet.size()), kStatusOk);
    Bytes whole;
    ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, whole), kStatusOk);
    // Buffers of odd sizes cut values at any byte, not only between words.
    for (std::size_t buffer : {std::size_t{1}, std::size_t{30}, std::size_t{40}, std::size_t{50},
                               std::size_t{64}, std::size_t{1} << 20}) {
      RecordingSink sink;
      ASSERT_EQ(StreamPacketTo(table, sink, InTurn(buffer)), kStatusOk) << buffer;
      EXPECT_EQ(ToHex(sink.received), ToHex(whole)) << "buffer " << buffer;
      EXPECT_EQ(sink.empty_writes, 0);
    }
  }
}

TEST(PacketPiecesTest, ABigPacketStreamsInPiecesOfTheBuffersSize) {
  // A 4 KB buffer hands the packet on in many writes (the first holds the
  // metadata: the header is final only when the first row's place is known).
  DSBASE table;
  const Bytes whole = ThreeThousandEntries(table);
  RecordingSink sink;
  ASSERT_EQ(StreamPacketTo(table, sink, InTurn(4096)), kStatusOk);
  EXPECT_EQ(sink.received, whole);
  EXPECT_GT(sink.writes, static_cast<int>((whole.size() - 65536) / 4096));
  // Every write fails the stream at its point, and the status says so.
  for (int fail_at : {1, 2, sink.writes / 2, sink.writes}) {
    RecordingSink failing(fail_at);
    EXPECT_EQ(StreamPacketTo(table, failing, InTurn(4096)), kStatusWriteFailed) << fail_at;
    EXPECT_EQ(failing.writes, fail_at);  // nothing is written after a refused write
  }
}

TEST(PacketPiecesTest, ReadingInPiecesBuildsWhatTheWholePacketBuilds) {
  // Pieces of odd sizes end inside headers, properties, rows and values. A
  // text of 40,000 bytes makes a row longer than a piece and than the room
  // kept for a row.
  std::vector<Bytes> packets = KnownPackets();
  const Bytes width = {0xFF, 0xFF};
  packets.push_back(HandPacket({{"a", 0x00490002, {{"WIDTH", width}}}})
                        .Row(0, {std::string(40000, 'x')})
                        .Row(0, {"y"})
                        .Row(0, {std::string(70000 % 65536, 'z')})
                        .Finish());
  for (const Bytes& packet : packets) {
    const auto whole = LoadedWhole(packet);
    ASSERT_EQ(whole.first, kStatusOk);
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{30}, std::size_t{1000},
                              kReadPieceBytes}) {
      for (RowReading reading : kReadings) {
        std::size_t bytes_read = 0;
        const auto pieces = LoadedInPieces(packet, piece, reading, &bytes_read);
        const int way = static_cast<int>(reading);
        EXPECT_EQ(pieces.first, kStatusOk) << "piece " << piece << " way " << way;
        EXPECT_EQ(bytes_read, packet.size()) << "piece " << piece << " way " << way;  // every byte once
        EXPECT_EQ(ToHex(pieces.second), ToHex(whole.second)) << "piece " << piece << " way " << way;
      }
    }
  }
}

TEST(PacketPiecesTest, ABigPacketIsReadInPiecesAndAFailingReadFailsTheLoad) {
  // The rows are read a piece at a time, never the packet whole.
  DSBASE built;
  const Bytes whole = ThreeThousandEntries(built);
  MemorySource source(whole);
  DSBASE table;
  ASSERT_EQ(AppendPacketFrom(table, source, 4096), kStatusOk);
  EXPECT_LT(source.largest_read, whole.size() / 2);
  EXPECT_EQ(table.LastSlot(), 3000u);
  // A read that fails at any point fails the load with its own status, and
  // one that runs out of memory with that status, whichever thread reads.
  for (RowReading reading : kReadings) {
    for (int fail_at : {1, 2, source.reads / 2, source.reads}) {
      MemorySource failing(whole, fail_at);
      DSBASE refused;
      EXPECT_EQ(AppendPacketFrom(refused, failing, 4096, reading), kStatusReadFailed) << fail_at;
      MemorySource throwing(whole, 0, fail_at);
      DSBASE unplaced;
      EXPECT_EQ(AppendPacketFrom(unplaced, throwing, 4096, reading), kStatusOutOfMemory) << fail_at;
    }
  }
}

TEST(PacketPiecesTest, APacketPastItsLimitIsRefusedBeforeItsBytesPassIt) {
  // The limit stands for the 4 GiB that a packet's 32-bit sizes (and a
  // 32-bit process's counters) allow: lowered here to the packet's size.
  DSBASE table;
  const Bytes whole = ThreeThousandEntries(table);
  for (PacketWriting writing : {PacketWriting::kInTurn, PacketWriting::kBehind}) {
    PacketSaving how = InTurn(4096);
    how.writing = writing;
    how.max_packet_bytes = whole.size();
    RecordingSink fits;
    EXPECT_EQ(StreamPacketTo(table, fits, how), kStatusOk);
    EXPECT_EQ(fits.received, whole);
    how.max_packet_bytes = whole.size() - 1;
    RecordingSink past;
    EXPECT_EQ(StreamPacketTo(table, past, how), kStatusOutOfMemory);
    EXPECT_LE(past.received.size(), how.max_packet_bytes);
  }
}

TEST(PacketPiecesTest, AHistoryOfSeveralMegabytesLoadsAlongsideInTheRealPiecesAsWhole) {
  // The load as the program runs it: pieces of 1 MiB, full batches of rows
  // on a second thread, the window's two buffers used again and again.
  DSBASE history;
  ASSERT_EQ(BuildBackupHistory(history, 60000, 20, 600000.0), kStatusOk);
  Bytes packet;
  ASSERT_EQ(StreamPacket(history, PacketForm::kBinary, packet), kStatusOk);
  ASSERT_GT(packet.size(), 4 * kReadPieceBytes);
  const auto whole = LoadedWhole(packet);
  ASSERT_EQ(whole.first, kStatusOk);
  const auto alongside = LoadedInPieces(packet, kReadPieceBytes, RowReading::kAlongside);
  EXPECT_EQ(alongside.first, kStatusOk);
  EXPECT_TRUE(alongside.second == whole.second);
  EXPECT_TRUE(whole.second == packet);
}

}  // namespace
}  // namespace quillset
