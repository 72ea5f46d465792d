#include "backup/safe_copy.h"

#include <gtest/gtest.h>

#include "backup/testing/real_files_test_os.h"

namespace quillset {
namespace {

using namespace testing_support;

class SafeCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Valid());
    source_ = temp_ / "report.xls";
    dest_ = temp_ / "dest";
    ASSERT_TRUE(WriteBytes(source_, "new content of the report"));
    ASSERT_TRUE(MakeFolder(dest_));
    target_ = JoinPath(dest_, "report.xls");
  }

  TempFolder temp_;
  RealFilesTestOs os_;
  std::string source_, dest_, target_;
};

TEST_F(SafeCopyTest, CopiesIntoAnEmptyFolderAndLeavesOnlyTheTarget) {
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

TEST_F(SafeCopyTest, ReplacesAnOlderCopy) {
  ASSERT_TRUE(WriteBytes(target_, "old"));
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

TEST_F(SafeCopyTest, CopyBrokenOffHalfWayKeepsTheOlderCopyAndLeavesNoNewFile) {
  ASSERT_TRUE(WriteBytes(target_, "previous backup, complete"));
  os_.FailNthCall(1, OsFault::kShortWrite, OsCall::kCopy);
  EXPECT_FALSE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(ReadBytes(target_), "previous backup, complete");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
  ASSERT_EQ(os_.copies.size(), 1u);
  EXPECT_NE(os_.copies[0].second, target_) << "the copy never writes the target itself";
}

TEST_F(SafeCopyTest, CancelledCopyKeepsTheOlderCopyAndLeavesNoNewFile) {
  ASSERT_TRUE(WriteBytes(source_, std::string(3u << 20, 'n')));
  ASSERT_TRUE(WriteBytes(target_, "previous backup, complete"));
  int steps = 0;
  auto cancel_midway = [&](std::uint64_t copied, std::uint64_t) {
    ++steps;
    return copied > 0 ? CopyProgressAnswer::kCancel : CopyProgressAnswer::kContinue;
  };
  EXPECT_FALSE(SafeCopyFile(os_, source_, target_, cancel_midway));
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(ReadBytes(target_), "previous backup, complete");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
  EXPECT_TRUE(os_.moves.empty());

  // Going on to the end, the same progress gives the whole copy.
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_,
                           [](std::uint64_t, std::uint64_t) { return CopyProgressAnswer::kContinue; }));
  EXPECT_EQ(ReadBytes(target_), std::string(3u << 20, 'n'));
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

TEST_F(SafeCopyTest, MissingSourceFailsAndKeepsTheOlderCopy) {
  ASSERT_TRUE(WriteBytes(target_, "previous"));
  EXPECT_FALSE(SafeCopyFile(os_, temp_ / "no-such-file.txt", target_));
  EXPECT_EQ(ReadBytes(target_), "previous");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

TEST_F(SafeCopyTest, TargetThatIsAFolderFailsAndLeavesNoNewFile) {
  ASSERT_TRUE(MakeFolder(target_));
  EXPECT_FALSE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

TEST_F(SafeCopyTest, LeftoverOfAnEarlierCutOffCopyIsNeitherUsedNorRemoved) {
  const std::string leftover = SafeCopyTemporaryName(target_, 0);
  ASSERT_TRUE(WriteBytes(leftover, "someone's file"));
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
  EXPECT_EQ(ReadBytes(leftover), "someone's file");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 2);
}

// Another program takes the first free name after the safe copy looked at it.
TEST_F(SafeCopyTest, ANameTakenBetweenTheLookAndTheCopyIsNeitherWrittenNorRemoved) {
  ASSERT_TRUE(WriteBytes(target_, "previous backup"));
  const std::string taken = SafeCopyTemporaryName(target_, 0);
  os_.BeforeCall(OsCall::kAnyIo, 1, [&] { WriteBytes(taken, "another program's file"); });
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(ReadBytes(taken), "another program's file");
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 2);
}

TEST_F(SafeCopyTest, APowerLossAfterTheCopyLeavesTheNewCopyWhole) {
  ASSERT_TRUE(WriteBytes(target_, "previous backup"));
  ASSERT_TRUE(SafeCopyFile(os_, source_, target_));
  os_.Crash();
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
}

TEST_F(SafeCopyTest, EveryFailingCallLeavesTheOlderCopyWholeAndNoNewFile) {
  for (int n = 1;; ++n) {
    ASSERT_TRUE(WriteBytes(target_, "previous backup"));
    os_.FailNthCall(n);
    const bool copied = SafeCopyFile(os_, source_, target_);
    const bool failed_removal = os_.Injected() && os_.FailedCall() == OsCall::kRemove;
    const bool done = !os_.Injected();
    os_.FailNthCall(0);
    os_.Crash();
    EXPECT_EQ(ReadBytes(target_), copied ? "new content of the report" : "previous backup")
        << "call " << n;
    if (!failed_removal) {
      EXPECT_EQ(TempFolder::CountEntries(dest_), 1) << "call " << n;
    }
    if (done) break;
    ASSERT_LT(n, 20);
  }
}

TEST_F(SafeCopyTest, ATargetHeldByAnotherProgramKeepsItsContentAndLeavesNoNewFile) {
  ASSERT_TRUE(WriteBytes(target_, "previous backup"));
  ASSERT_TRUE(os_.HoldFile(target_));
  EXPECT_FALSE(SafeCopyFile(os_, source_, target_));
  os_.ReleaseFile(target_);
  EXPECT_EQ(ReadBytes(target_), "previous backup");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
  // Held only for a moment (the look at the names): the copy goes through.
  ASSERT_TRUE(os_.HoldFile(target_, 1));
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
}

TEST_F(SafeCopyTest, CopyOfAFileOntoItselfKeepsItsContent) {
  EXPECT_TRUE(SafeCopyFile(os_, source_, source_));
  EXPECT_EQ(ReadBytes(source_), "new content of the report");
}

}  // namespace
}  // namespace quillset
