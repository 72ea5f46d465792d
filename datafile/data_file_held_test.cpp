// The data file while other programs hold it for a moment (antivirus, the
// search indexer, a sync client): the program's retrying OS services over the
// shared fault-injecting ones. Whichever file call of a load or a save finds
// its file held, a hold of a moment is waited out and the load or save goes
// through; a longer one fails with the usual message and loses nothing.
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/host_os_services.h"
#include "base/retrying_os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "datafile/data_file.h"
#include "datafile/packet_test_support.h"
#include "datafile/table_packet.h"
#include "datafile/data_file_test_support.h"

namespace quillset {
namespace {

using testing_support::FileExistsOnDisk;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

constexpr std::uint32_t kAMoment = 300;
constexpr std::uint32_t kLonger = 60000;

class DataFileHeldTest : public testing_support::DataFileFixture {
 protected:
  RetryingOsServices& os_ = retrying_;  // what the loads and saves here go through
  void SetUp() override { WriteFileBytes(path_, testing_support::OneEntryFile()); }

  // The message of what `action` throws as `E`; empty when it throws nothing.
  template <typename E, typename Action>
  static std::string MessageOf(Action action) {
    try {
      action();
    } catch (const E& e) {
      return e.what();
    }
    return std::string();
  }
};

TEST_F(DataFileHeldTest, ASaveWhoseFileIsHeldForAMomentAtAnyCallGoesThrough) {
  for (int n = 1;; ++n) {
    WriteFileBytes(path_, testing_support::OneEntryFile());
    auto store = StoreWithANewEntry();
    faults_.HoldAtNthCall(n, kAMoment);
    EXPECT_NO_THROW(SaveFile(*store, retrying_, path_)) << "call " << n;
    const bool held = !faults_.HeldPath().empty();
    EXPECT_EQ(held, faults_.HeldCallFailures() > 0) << "call " << n;
    faults_.HoldAtNthCall(0, 0);
    EXPECT_EQ(RowsOnDisk(), 2) << "call " << n;
    EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_))) << "call " << n;
    if (!held) break;
    ASSERT_LT(n, 20);
  }
}

TEST_F(DataFileHeldTest, ASaveWhoseFileIsHeldLongerFailsWithItsMessageAndLosesNothing) {
  const std::string message = "ファイル " + path_ + " を作成できません";
  for (int n = 1;; ++n) {
    WriteFileBytes(path_, testing_support::OneEntryFile());
    auto store = StoreWithANewEntry();
    faults_.HoldAtNthCall(n, kLonger);
    const std::string failure = MessageOf<EFCreateError>([&] { SaveFile(*store, retrying_, path_); });
    const bool held = !faults_.HeldPath().empty();
    faults_.HoldAtNthCall(0, 0);
    if (!held) {
      EXPECT_EQ(failure, "");
      break;
    }
    EXPECT_EQ(failure, message) << "call " << n;
    EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile()) << "call " << n;
    EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_))) << "call " << n;
    // The list is still in memory: the next save, once the file is let go, keeps it.
    SaveFile(*store, retrying_, path_);
    EXPECT_EQ(RowsOnDisk(), 2) << "call " << n;
    ASSERT_LT(n, 20);
  }
}

TEST_F(DataFileHeldTest, ALoadWhoseFileIsHeldForAMomentGoesThroughAndALongerHoldFails) {
  auto store = MakeBackupEntryStore(&codec_);
  faults_.HoldAtNthCall(1, kAMoment);
  LoadFile(*store, retrying_, path_);
  EXPECT_EQ(faults_.HeldPath(), path_);
  EXPECT_TRUE(store->Active());
  EXPECT_EQ(store->RowCount(), 1);

  auto other = MakeBackupEntryStore(&codec_);
  faults_.HoldAtNthCall(1, kLonger);
  EXPECT_EQ(MessageOf<EFOpenError>([&] { LoadFile(*other, retrying_, path_); }),
            "ファイル " + path_ + " は開けません");
  EXPECT_FALSE(other->Active());
  faults_.HoldAtNthCall(0, 0);
  LoadFile(*other, retrying_, path_);
  EXPECT_EQ(other->RowCount(), 1);
  EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
}

// Held through the host's own model of a file open with no sharing.
TEST_F(DataFileHeldTest, ADataFileAnotherProgramHoldsOpenIsWaitedForUpToTwoSeconds) {
  auto store = StoreWithANewEntry();
  ASSERT_TRUE(faults_.HoldFileFor(path_, 1500));
  SaveFile(*store, retrying_, path_);
  EXPECT_EQ(RowsOnDisk(), 2);

  ASSERT_TRUE(faults_.HoldFileFor(path_, 1500));
  auto loaded = MakeBackupEntryStore(&codec_);
  LoadFile(*loaded, retrying_, path_);
  EXPECT_EQ(loaded->RowCount(), 2);

  ASSERT_TRUE(faults_.HoldFileFor(path_, 5000));
  EXPECT_THROW(LoadFile(*loaded, retrying_, path_), EFOpenError);
  EXPECT_THROW(SaveFile(*store, retrying_, path_), EFCreateError);
}

}  // namespace
}  // namespace quillset
