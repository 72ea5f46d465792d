#include "datafile/batch_handover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace quillset {
namespace {

struct Numbers {
  std::vector<int> values;
  bool last = false;
};

// Makes `batches` batches of three numbers each, counting on from 0.
void MakeNumbers(BatchHandover<Numbers>& handover, int batches, std::atomic<int>& made) {
  for (int k = 0; k < batches; ++k) {
    Numbers* batch = handover.SlotToFill(static_cast<std::uint64_t>(k));
    if (batch == nullptr) return;
    batch->values = {3 * k, 3 * k + 1, 3 * k + 2};
    batch->last = k + 1 == batches;
    ++made;
    handover.Filled(static_cast<std::uint64_t>(k));
  }
}

TEST(BatchHandoverTest, BatchesArriveInOrderWhateverTheSlots) {
  BatchHandover<Numbers> handover;
  std::atomic<int> made{0};
  MakingThread making(handover, [&] { MakeNumbers(handover, 100, made); });
  ASSERT_TRUE(making.Started());
  std::vector<int> seen;
  for (std::uint64_t k = 0;; ++k) {
    const Numbers& batch = handover.SlotToUse(k);
    seen.insert(seen.end(), batch.values.begin(), batch.values.end());
    const bool last = batch.last;
    handover.Used(k);
    if (last) break;
  }
  ASSERT_EQ(seen.size(), 300u);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST(BatchHandoverTest, AUserThatStopsEarlyOrThrowsEndsTheMakingThread) {
  // The making side waits for a free slot; the end of the user wakes it.
  std::atomic<int> made{0};
  {
    BatchHandover<Numbers> handover;
    MakingThread making(handover, [&] { MakeNumbers(handover, 1000, made); });
    handover.SlotToUse(0);
    handover.Used(0);
  }
  EXPECT_LT(made.load(), 1000);
  made = 0;
  EXPECT_THROW(
      {
        BatchHandover<Numbers> handover;
        MakingThread making(handover, [&] { MakeNumbers(handover, 1000, made); });
        handover.SlotToUse(0);
        throw std::runtime_error("the user failed");
      },
      std::runtime_error);
  EXPECT_LT(made.load(), 1000);
}

}  // namespace
}  // namespace quillset
