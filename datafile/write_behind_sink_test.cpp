#include "datafile/write_behind_sink.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillset {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Records what reaches it; the write numbered `fail_at` (from 1) fails, and
// so does the flush numbered `flush_fails_at`.
class TargetSink : public PacketSink {
 public:
  explicit TargetSink(int fail_at = 0, int flush_fails_at = 0)
      : fail_at_(fail_at), flush_fails_at_(flush_fails_at) {}
  Status Write(const std::uint8_t* bytes, std::size_t length) override {
    if (++writes == fail_at_) return kStatusWriteFailed;
    received.insert(received.end(), bytes, bytes + length);
    return kStatusOk;
  }
  Status Flush() override {
    flushed_after.push_back(writes);
    return static_cast<int>(flushed_after.size()) == flush_fails_at_ ? kStatusWriteFailed : kStatusOk;
  }
  Bytes received;
  int writes = 0;
  std::vector<int> flushed_after;  // the writes done at each flush

 private:
  int fail_at_;
  int flush_fails_at_;
};

// Hands `pieces` pieces of 1000 counting bytes to `sink`; the statuses.
std::vector<Status> HandOver(WriteBehindSink& sink, int pieces, Bytes& handed) {
  std::vector<Status> statuses;
  Bytes piece(1000);
  for (int i = 0; i < pieces; ++i) {
    for (std::size_t b = 0; b < piece.size(); ++b) piece[b] = static_cast<std::uint8_t>(i * 7 + b);
    statuses.push_back(sink.Write(piece.data(), piece.size()));
    handed.insert(handed.end(), piece.begin(), piece.end());
    // The caller's buffer is used again at once, as the packet writer does.
    std::fill(piece.begin(), piece.end(), 0xEE);
  }
  return statuses;
}

TEST(WriteBehindSinkTest, EveryByteArrivesInOrderAndEachWriteIsFollowedByItsFlush) {
  TargetSink target;
  Bytes handed;
  {
    WriteBehindSink sink(target);
    for (Status s : HandOver(sink, 50, handed)) EXPECT_EQ(s, kStatusOk);
    EXPECT_EQ(sink.Finish(), kStatusOk);
    EXPECT_EQ(target.received, handed);  // all of it once Finish returns
  }
  EXPECT_EQ(target.writes, 50);
  ASSERT_EQ(target.flushed_after.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(target.flushed_after[i], i + 1);
}

TEST(WriteBehindSinkTest, AFailedWriteOrFlushStopsTheWritingAndIsReported) {
  for (int fail_at : {1, 2, 25, 50}) {
    TargetSink target(fail_at);
    Bytes handed;
    WriteBehindSink sink(target);
    const std::vector<Status> statuses = HandOver(sink, 50, handed);
    EXPECT_EQ(sink.Finish(), kStatusWriteFailed) << fail_at;
    // Writes after the failure are refused, and nothing more reaches the target.
    EXPECT_EQ(target.writes, fail_at) << fail_at;
    for (std::size_t i = static_cast<std::size_t>(fail_at) + 1; i < statuses.size(); ++i)
      EXPECT_EQ(statuses[i], kStatusWriteFailed) << fail_at << " write " << i;
  }
  TargetSink target(0, 3);
  Bytes handed;
  WriteBehindSink sink(target);
  HandOver(sink, 10, handed);
  EXPECT_EQ(sink.Finish(), kStatusWriteFailed);
  EXPECT_EQ(target.flushed_after.size(), 3u);
  EXPECT_EQ(target.writes, 3);
}

TEST(WriteBehindSinkTest, AnEndWithoutFinishDoesNotWait) {
  TargetSink target;
  Bytes handed;
  {
    WriteBehindSink sink(target);
    HandOver(sink, 5, handed);
  }  // ends with the thread joined; what it had not written yet is dropped
  EXPECT_LE(target.writes, 5);
}

}  // namespace
}  // namespace quillset
