#include "backup/safe_copy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "base/retrying_os_services.h"
#include "backup/same_file.h"
#include "base/testing/real_files_test_os.h"

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

  void SetReadOnly(const std::string& path, bool read_only) {
    ASSERT_TRUE(os_.SetAttributes(path, read_only ? kAttributeReadOnly : kAttributeNormal));
  }
  bool IsReadOnly(const std::string& path) {
    std::uint32_t attributes = 0;
    return os_.GetAttributes(path, attributes) && (attributes & kAttributeReadOnly) != 0;
  }
  // Writes `bytes` into `path`, whatever its read-only bit, and gives it `read_only`.
  void Rewrite(const std::string& path, const std::string& bytes, bool read_only) {
    if (PathExists(path)) SetReadOnly(path, false);
    ASSERT_TRUE(WriteBytes(path, bytes));
    SetReadOnly(path, read_only);
  }
  bool IsOurNewFile(const std::string& path) const {
    return path.rfind(target_ + ".quillset-", 0) == 0;
  }

  // Fails the 1st, 2nd, ... call of a copy over an older copy, each after
  // `prepare`, and checks after a power loss that the target holds the older
  // or the new copy whole, and that no new file is left.
  void FailEveryCallInTurn(const std::function<void()>& prepare) {
    for (int n = 1;; ++n) {
      prepare();
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
      ASSERT_LT(n, 30);
    }
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
  // Windows reports at short intervals, so the copy may report nothing copied
  // more than once before its first bytes: cancel at the first that has some.
  bool cancelled = false;
  int reports_after_cancel = 0;
  auto cancel_midway = [&](std::uint64_t copied, std::uint64_t) {
    if (cancelled) ++reports_after_cancel;
    if (copied == 0) return CopyProgressAnswer::kContinue;
    cancelled = true;
    return CopyProgressAnswer::kCancel;
  };
  EXPECT_FALSE(SafeCopyFile(os_, source_, target_, cancel_midway));
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(reports_after_cancel, 0);
  EXPECT_EQ(ReadBytes(target_), "previous backup, complete");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
  EXPECT_TRUE(os_.moves.empty());

  // Going on to the end, the same progress gives the whole copy.
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_,
                           [](std::uint64_t, std::uint64_t) { return CopyProgressAnswer::kContinue; }));
  EXPECT_EQ(ReadBytes(target_), std::string(3u << 20, 'n'));
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

// The end of the session may come while the new copy is being flushed.
TEST_F(SafeCopyTest, ACancelHeardDuringTheFlushKeepsTheOlderCopy) {
  ASSERT_TRUE(WriteBytes(target_, "previous backup, complete"));
  bool flushed = false;
  os_.BeforeCall(OsCall::kFlush, 1, [&] { flushed = true; });
  EXPECT_FALSE(SafeCopyFile(os_, source_, target_, [&](std::uint64_t, std::uint64_t) {
    return flushed ? CopyProgressAnswer::kCancel : CopyProgressAnswer::kContinue;
  }));
  EXPECT_EQ(ReadBytes(target_), "previous backup, complete");
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

// Copies cut off by a killed process leave their new files behind; they
// never make an entry fail, and those nobody holds go at the next copy.
// Leftovers last written two hours ago: cut off, unless held open.
void WriteLeftover(const std::string& path) {
  ASSERT_TRUE(WriteBytes(path, "cut off"));
  namespace fs = std::filesystem;
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
}

TEST_F(SafeCopyTest, LeftoversOfCutOffCopiesGoUnlessHeldOrRecentAndNeverFailTheCopy) {
  ASSERT_TRUE(WriteBytes(target_, "previous backup"));
  // -1: none kept; 3: held open by another program; 7: written a moment ago
  // (another copy's, at work).
  for (int kept_one : {-1, 3, 7}) {
    SCOPED_TRACE(kept_one);
    for (int n = 0; n < 16; ++n) WriteLeftover(SafeCopyTemporaryName(target_, n));
    SetReadOnly(SafeCopyTemporaryName(target_, 5), true);  // of a read-only source
    const std::string kept = SafeCopyTemporaryName(target_, kept_one);
    if (kept_one == 3) {
      ASSERT_TRUE(os_.HoldFile(kept));
    }
    if (kept_one == 7) {
      ASSERT_TRUE(WriteBytes(kept, "cut off"));
    }

    EXPECT_TRUE(SafeCopyFile(os_, source_, target_));
    os_.ReleaseFile(kept);
    EXPECT_EQ(ReadBytes(target_), "new content of the report");
    EXPECT_EQ(TempFolder::CountEntries(dest_), kept_one >= 0 ? 2 : 1);
    if (kept_one >= 0) {
      EXPECT_EQ(ReadBytes(kept), "cut off");
      ASSERT_EQ(std::remove(kept.c_str()), 0);
    }
  }
}

// Two programs (two sessions, two PCs on one share) back up one file to one
// folder at once: neither removes the other's new file, and both succeed.
TEST_F(SafeCopyTest, TwoCopiesToOneTargetAtOnceBothSucceed) {
  ASSERT_TRUE(WriteBytes(target_, "previous backup"));
  RealFilesTestOs other_program;
  bool other_done = false;
  const CopyProgress midway = [&](std::uint64_t, std::uint64_t) {
    if (!other_done) {
      other_done = true;
      EXPECT_TRUE(SafeCopyFile(other_program, source_, target_));
    }
    return CopyProgressAnswer::kContinue;
  };
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_, midway));
  EXPECT_TRUE(other_done);
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
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
  FailEveryCallInTurn([&] { ASSERT_TRUE(WriteBytes(target_, "previous backup")); });
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

// ---- Read-only files

TEST_F(SafeCopyTest, AReadOnlySourceIsBackedUpAtEveryRunAndItsBackupStaysReadOnly) {
  for (int run = 1; run <= 3; ++run) {
    const std::string content = "version " + std::to_string(run) + " of the report";
    Rewrite(source_, content, true);
    EXPECT_TRUE(SafeCopyFile(os_, source_, target_)) << "run " << run;
    os_.Crash();
    EXPECT_EQ(ReadBytes(target_), content) << "run " << run;
    EXPECT_TRUE(IsReadOnly(target_)) << "run " << run;
    EXPECT_EQ(TempFolder::CountEntries(dest_), 1) << "run " << run;
  }
}

TEST_F(SafeCopyTest, AReadOnlyOlderCopyIsReplacedAndTheBackupTakesTheSourcesAttributes) {
  Rewrite(target_, "previous backup", true);
  EXPECT_TRUE(SafeCopyFile(os_, source_, target_));
  EXPECT_EQ(ReadBytes(target_), "new content of the report");
  EXPECT_FALSE(IsReadOnly(target_));
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

TEST_F(SafeCopyTest, EveryFailingCallOfAReadOnlyCopyLeavesTheOlderCopyWholeAndNoNewFile) {
  FailEveryCallInTurn([&] {
    Rewrite(source_, "new content of the report", true);
    Rewrite(target_, "previous backup", true);
  });
  EXPECT_TRUE(IsReadOnly(target_));
}

// ---- Files that other programs hold

TEST_F(SafeCopyTest, AFileHeldForAMomentAtAnyCallIsWaitedForAndTheCopyGoesThrough) {
  RetryingOsServices retrying(os_);
  for (int n = 1;; ++n) {
    ASSERT_TRUE(WriteBytes(target_, "previous backup"));
    os_.HoldAtNthCall(n, 300);
    EXPECT_TRUE(SafeCopyFile(retrying, source_, target_)) << "call " << n;
    const bool held = !os_.HeldPath().empty();
    EXPECT_EQ(held, os_.HeldCallFailures() > 0) << "call " << n;
    os_.HoldAtNthCall(0, 0);
    EXPECT_EQ(ReadBytes(target_), "new content of the report") << "call " << n;
    EXPECT_EQ(TempFolder::CountEntries(dest_), 1) << "call " << n;
    if (!held) break;
    ASSERT_LT(n, 20);
  }
}

TEST_F(SafeCopyTest, AFileHeldLongerAtAnyCallFailsTheCopyAndKeepsTheOlderCopy) {
  RetryingOsServices retrying(os_);
  for (int n = 1;; ++n) {
    ASSERT_TRUE(WriteBytes(target_, "previous backup"));
    os_.HoldAtNthCall(n, 60000);
    const bool copied = SafeCopyFile(retrying, source_, target_);
    const std::string held = os_.HeldPath();
    os_.HoldAtNthCall(0, 0);
    if (held.empty()) {
      EXPECT_TRUE(copied);
      break;
    }
    EXPECT_FALSE(copied) << held;
    EXPECT_EQ(ReadBytes(target_), "previous backup") << held;
    if (IsOurNewFile(held)) {
      std::remove(held.c_str());  // held all along, it could not be removed
    } else {
      EXPECT_EQ(TempFolder::CountEntries(dest_), 1) << held;
    }
    ASSERT_LT(n, 20);
  }
}

// ---- A copy onto the source itself

TEST_F(SafeCopyTest, ACopyOntoTheSourceItselfUnderAnySpellingFailsAndTouchesNothing) {
  const std::string folder = temp_.Path();
  std::filesystem::create_hard_link(source_, temp_ / "hard-link.xls");
  std::string other_slashes = source_;
  for (char& c : other_slashes) c = c == '/' ? '\\' : c == '\\' ? '/' : c;
  const std::vector<std::string> spellings = {
      source_,
      temp_ / "REPORT.XLS",
      other_slashes,
      JoinPath(JoinPath(folder, "."), "report.xls"),
      JoinPath(JoinPath(dest_, ".."), "report.xls"),
      temp_ / "hard-link.xls",
  };
  const int entries = TempFolder::CountEntries(folder);
  for (const std::string& spelling : spellings) {
    EXPECT_FALSE(SafeCopyFile(os_, source_, spelling)) << spelling;
    EXPECT_EQ(ReadBytes(source_), "new content of the report") << spelling;
    EXPECT_EQ(TempFolder::CountEntries(folder), entries) << spelling;
  }
  EXPECT_TRUE(os_.copies.empty());
  // Another file of the same content is another file.
  ASSERT_TRUE(WriteBytes(temp_ / "twin.xls", "new content of the report"));
  EXPECT_TRUE(SafeCopyFile(os_, source_, temp_ / "twin.xls"));
}

TEST(SamePathSpellingTest, IgnoresLetterCaseAndSlashKindButNotInsideDoubleByteCharacters) {
  const ShiftJisCodePage cp;
  EXPECT_TRUE(SamePathSpelling("C:\\Data\\Report.XLS", "c:/data/report.xls", cp));
  EXPECT_FALSE(SamePathSpelling("C:\\Data\\Report.XLS", "C:\\Data\\Report.XLSX", cp));
  // ア is 83 41 and ヂ is 83 61: a trail byte is not a letter.
  EXPECT_FALSE(SamePathSpelling("C:\\ア.txt", "C:\\ヂ.txt", cp));
  // 表 is 95 5C: its trail byte is no backslash, to be taken for "/".
  EXPECT_FALSE(SamePathSpelling("C:\\表", "C:\\\x95/", cp));
  EXPECT_TRUE(SamePathSpelling("C:\\表\\ア", "c:/表/ア", cp));
}

}  // namespace
}  // namespace quillset
