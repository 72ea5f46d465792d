#include "backup/backup_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "base/errors.h"
#include "backup/safe_copy.h"
#include "base/testing/real_files_test_os.h"

namespace quillset {
namespace {

using namespace testing_support;

const ShiftJisCodePage kShiftJis;

class BackupRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Valid());
    date_settings_ = LocaleDateSettings::FromOs(os_);
    store_ = MakeBackupEntryStore(nullptr);
    store_->SetDateTextContext(&date_settings_, &os_);
    store_->CreateEmpty();
    dest_ = temp_ / "dest";
    ASSERT_TRUE(MakeFolder(dest_));
  }

  void AddEntry(const std::string& file_path, const std::string& folder) {
    store_->AppendRow();
    store_->FieldAt(0).WriteText(file_path);
    store_->FieldAt(1).WriteText(folder);
    store_->CommitRow();
  }

  // The due dates the run hands over land in due_dates_; the one numbered
  // refuse_due_date_ (from 1) is refused with a failure.
  BackupRunContext Context(std::int32_t mode, const std::string& separator) {
    return BackupRunContext{os_, date_settings_, mode,
                            [this](const std::string& due_date) {
                              due_dates_.push_back(due_date);
                              if (static_cast<int>(due_dates_.size()) == refuse_due_date_) {
                                throw std::runtime_error("due date refused");
                              }
                            },
                            separator, [this] { ++entries_done_; }};
  }
  void Run(std::int32_t mode) {
    BackupRunContext context = Context(mode, kTestPathSeparator);
    RunBackup(*store_, context);
  }

  std::string FieldText(int row, int field) {
    store_->SetRowNumber(row);
    return store_->FieldAt(field).ReadText();
  }
  std::string Result(int row) { return FieldText(row, 2); }
  bool TimeIsNull(int row) {
    store_->SetRowNumber(row);
    return store_->FieldAt(3).ValueIsNull();
  }
  TDateTime Time(int row) {
    store_->SetRowNumber(row);
    return static_cast<TDateTimeField&>(store_->FieldAt(3)).ReadDateTime();
  }
  std::string ShortDate(int year, int month, int day) {
    return FormatShortDate(EncodeDate(year, month, day), date_settings_);
  }

  TempFolder temp_;
  RealFilesTestOs os_;
  LocaleDateSettings date_settings_;
  std::unique_ptr<TClientDataSet> store_;
  std::string dest_;
  std::vector<std::string> due_dates_;
  int refuse_due_date_ = 0;
  int entries_done_ = 0;
};

const char kFolderMissingStored[] = "フォルダーが見つかり";

TEST_F(BackupRunTest, EmptyListWritesNothingAndMovesNoDueDate) {
  Run(2);
  EXPECT_EQ(entries_done_, 0);
  EXPECT_TRUE(due_dates_.empty());
  EXPECT_TRUE(os_.moves.empty());
  EXPECT_EQ(store_->State(), StoreState::Browse);
}

TEST_F(BackupRunTest, PendingAddedEntryIsCommittedAndProcessedWithTheFormerLastEntry) {
  const std::string a = MakeSourceFile(temp_.Path(), "s1", "a.txt", "A");
  const std::string b = MakeSourceFile(temp_.Path(), "s2", "b.txt", "B");
  const std::string n = MakeSourceFile(temp_.Path(), "s3", "new.txt", "N");
  AddEntry(a, dest_);
  AddEntry(b, dest_);
  // As the add command leaves it: in front of the last entry, still pending.
  store_->MoveLast();
  store_->InsertRow();
  store_->FieldAt(0).WriteText(n);
  store_->FieldAt(1).WriteText(dest_);

  Run(1);

  EXPECT_EQ(entries_done_, 3);
  EXPECT_EQ(store_->RowCount(), 3);
  EXPECT_EQ(FieldText(1, 0), a);
  EXPECT_EQ(FieldText(2, 0), n);
  EXPECT_EQ(FieldText(3, 0), b);
  for (int row = 1; row <= 3; ++row) EXPECT_EQ(Result(row), backup_texts::kCopied) << row;
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "a.txt")), "A");
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "new.txt")), "N");
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "b.txt")), "B");
}

TEST_F(BackupRunTest, EachOutcomeGetsItsResultTextAndTheTimeOfTheAttempt) {
  const SystemTime now = MakeSystemTime(2026, 12, 7, 14, 5, 9, 250);
  os_.SetClock(now);
  const std::string file = MakeSourceFile(temp_.Path(), "src", "data.txt", "data");
  const std::string not_a_folder = temp_ / "plain-file";
  ASSERT_TRUE(WriteBytes(not_a_folder, "x"));
  AddEntry(file, dest_);                                   // copied
  AddEntry(JoinPath(temp_.Path(), "src") + "\\gone.txt", dest_);  // source missing
  AddEntry(file, temp_ / "no-such-folder");                // folder missing
  AddEntry(file, not_a_folder);                            // "folder" is a file
  AddEntry(file, "");                                      // no folder at all

  Run(1);

  EXPECT_EQ(Result(1), "バックアップ成功");
  EXPECT_EQ(Result(2), "バックアップ失敗");
  EXPECT_EQ(Result(3), kFolderMissingStored);
  EXPECT_EQ(Result(3).size(), 20u);
  EXPECT_EQ(Result(4), kFolderMissingStored);
  EXPECT_EQ(Result(5), kFolderMissingStored);
  for (int row = 1; row <= 5; ++row) {
    EXPECT_NEAR(Time(row), SystemTimeToDateTime(now), 1e-9) << row;
  }
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "data.txt")), "data");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1) << "a failed copy leaves nothing behind";
  EXPECT_EQ(ReadBytes(not_a_folder), "x");
}

TEST_F(BackupRunTest, DoubleByteNamesAreSplitOnlyAtARealBackslash) {
  // 表 and ソ end in the byte 0x5C; the name must come through whole.
  const std::string hyou = MakeSourceFile(temp_.Path(), "src", "データ表.txt", "hyou");
  const std::string so = MakeSourceFile(temp_.Path(), "表", "ソ", "so");
  ASSERT_FALSE(hyou.empty());
  ASSERT_FALSE(so.empty());
  AddEntry(hyou, dest_);
  AddEntry(so, dest_);

  Run(1);

  EXPECT_EQ(Result(1), backup_texts::kCopied);
  EXPECT_EQ(Result(2), backup_texts::kCopied);
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "データ表.txt")), "hyou");
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "ソ")), "so");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 2);
}

TEST(BackupTargetPathTest, JoinsFolderBackslashAndFileNameUnchanged) {
  EXPECT_EQ(BackupTargetPath("C:\\Backup", "C:\\Data\\report.xls", kShiftJis),
            "C:\\Backup\\report.xls");
  // A drive root keeps its backslash: two in a row.
  EXPECT_EQ(BackupTargetPath("D:\\", "C:\\Data\\report.xls", kShiftJis), "D:\\\\report.xls");
  // Trail bytes 0x5C of 表 and ソ are no separators; ":" is one.
  EXPECT_EQ(BackupTargetPath("E:\\表", "C:\\表\\ソ表.txt", kShiftJis), "E:\\表\\ソ表.txt");
  EXPECT_EQ(BackupTargetPath("E:\\x", "C:report.xls", kShiftJis), "E:\\x\\report.xls");
  EXPECT_EQ(BackupTargetPath("E:\\x", "report.xls", kShiftJis), "E:\\x\\report.xls");
}

TEST_F(BackupRunTest, DriveRootFolderGivesTwoBackslashesPassedToTheCopyUnchanged) {
  os_.extra_folders.push_back("Q:\\");
  AddEntry("C:\\Data\\report.xls", "Q:\\");
  BackupRunContext context = Context(1, "\\");
  RunBackup(*store_, context);
  ASSERT_EQ(os_.copies.size(), 1u);
  EXPECT_EQ(os_.copies[0].first, "C:\\Data\\report.xls");
  EXPECT_EQ(os_.copies[0].second, SafeCopyTemporaryName("Q:\\\\report.xls", 0));
  ASSERT_EQ(os_.moves.size(), 1u);
  EXPECT_EQ(os_.moves[0].second, "Q:\\\\report.xls");
}

TEST_F(BackupRunTest, TwoEntriesWithTheSameNameAndFolderBothSucceedTheLaterWins) {
  AddEntry(MakeSourceFile(temp_.Path(), "first", "report.xls", "first"), dest_);
  AddEntry(MakeSourceFile(temp_.Path(), "second", "report.xls", "second"), dest_);
  Run(1);
  EXPECT_EQ(Result(1), backup_texts::kCopied);
  EXPECT_EQ(Result(2), backup_texts::kCopied);
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "report.xls")), "second");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

TEST_F(BackupRunTest, WeeklyModeHandsOverTheDueDateOnceAtTheEndOfTheRun) {
  os_.SetClock(MakeSystemTime(2026, 12, 7, 9, 0, 0));
  AddEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), dest_);
  AddEntry(JoinPath(temp_.Path(), "src") + "\\missing.txt", dest_);
  AddEntry(MakeSourceFile(temp_.Path(), "src", "three.txt", "3"), dest_);

  Run(2);

  EXPECT_EQ(due_dates_, (std::vector<std::string>{ShortDate(2026, 12, 14)}));
  EXPECT_EQ(Result(2), backup_texts::kCopyFailed);
}

TEST_F(BackupRunTest, MonthlyModeClampsTheDueDayToTheEndOfTheMonth) {
  os_.SetClock(MakeSystemTime(2027, 1, 31, 9, 0, 0));
  AddEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), dest_);
  Run(3);
  EXPECT_EQ(due_dates_, std::vector<std::string>{ShortDate(2027, 2, 28)});
}

TEST_F(BackupRunTest, DueDateStaysWhenNothingWasCopiedOrTheModeHasNoDueDate) {
  AddEntry(JoinPath(temp_.Path(), "src") + "\\missing.txt", dest_);
  AddEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), temp_ / "no-such-folder");
  Run(2);  // weekly, but nothing copied
  EXPECT_TRUE(due_dates_.empty());

  AddEntry(MakeSourceFile(temp_.Path(), "src", "two.txt", "2"), dest_);
  for (std::int32_t mode : {0, 1, 4}) {
    Run(mode);
    EXPECT_EQ(Result(3), backup_texts::kCopied);
  }
  EXPECT_TRUE(due_dates_.empty());
}

TEST_F(BackupRunTest, RunPassingMidnightTakesTheDueDateFromTheDayOfTheLastCopy) {
  // Every clock read moves the clock on by an hour: the first entry is copied
  // on 7 December, the second after midnight.
  os_.SetClock(MakeSystemTime(2026, 12, 7, 22, 30, 0));
  os_.SetClockStep(3600 * 1000);
  AddEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), dest_);
  AddEntry(MakeSourceFile(temp_.Path(), "src", "two.txt", "2"), dest_);

  Run(2);

  EXPECT_EQ(due_dates_, (std::vector<std::string>{ShortDate(2026, 12, 15)}));
  int year, month, day;
  DecodeDate(Time(2), year, month, day);
  EXPECT_EQ(day, 8);
}

TEST_F(BackupRunTest, CopyBrokenOffHalfWayKeepsThePreviousBackupWhole) {
  const std::string file = MakeSourceFile(temp_.Path(), "src", "big.bin", std::string(4096, 'n'));
  ASSERT_TRUE(WriteBytes(JoinPath(dest_, "big.bin"), "previous backup"));
  os_.FailNthCall(1, OsFault::kShortWrite, OsCall::kCopy);
  AddEntry(file, dest_);
  Run(2);
  EXPECT_EQ(Result(1), backup_texts::kCopyFailed);
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "big.bin")), "previous backup");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
  EXPECT_TRUE(due_dates_.empty());
}

// Under Wine the entry's folder is the source's own, spelled in capitals;
// natively (names are case-sensitive and "\\" is no separator) it holds a
// hard link to the source under the name the backup would get.
TEST_F(BackupRunTest, AnEntryWhoseBackupWouldBeTheSourceItselfFailsAndMovesNoDueDate) {
  const std::string file = MakeSourceFile(temp_.Path(), "src", "own.txt", "the only copy");
#ifdef _WIN32
  const std::string folder = temp_ / "SRC";
#else
  const std::string folder = temp_ / "own-folder";
  ASSERT_TRUE(MakeFolder(folder));
  std::filesystem::create_hard_link(file, JoinPath(folder, "own.txt"));
#endif
  AddEntry(file, folder);
  AddEntry(MakeSourceFile(temp_.Path(), "src", "other.txt", "other"), dest_);
  Run(2);
  EXPECT_EQ(Result(1), backup_texts::kCopyFailed);
  EXPECT_EQ(Result(2), backup_texts::kCopied);
  EXPECT_EQ(due_dates_.size(), 1u) << "only the second entry was backed up";
  EXPECT_EQ(os_.copies.size(), 1u);
  EXPECT_EQ(ReadBytes(file), "the only copy");
}

TEST_F(BackupRunTest, AReadOnlySourceIsBackedUpAtEveryRun) {
  const std::string file = MakeSourceFile(temp_.Path(), "src", "ro.txt", "read-only data");
  ASSERT_TRUE(os_.SetAttributes(file, kAttributeReadOnly));
  AddEntry(file, dest_);
  for (int run = 1; run <= 2; ++run) {
    Run(2);
    EXPECT_EQ(Result(1), backup_texts::kCopied) << "run " << run;
  }
  EXPECT_EQ(due_dates_.size(), 2u);
  EXPECT_EQ(ReadBytes(JoinPath(dest_, "ro.txt")), "read-only data");
  EXPECT_EQ(TempFolder::CountEntries(dest_), 1);
}

// Esc in the grid after a run (a discard) must not bring back the last
// entry's former result: each entry is committed as the run leaves it, with
// the one version and log entry a later row change would have written.
TEST_F(BackupRunTest, EveryEntryIsCommittedAsTheRunLeavesItTheLastOneToo) {
  AddEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), dest_);
  AddEntry(JoinPath(temp_.Path(), "missing.txt"), dest_);
  Run(1);
  const std::size_t logged = store_->Table()->ChangeLog().size();
  EXPECT_EQ(store_->State(), StoreState::Browse);
  EXPECT_EQ(store_->RowNumber(), 2);
  EXPECT_FALSE(store_->AtEnd()) << "the delete command acts on the last entry";
  store_->DiscardRow();
  store_->EndRowEdit();
  EXPECT_EQ(Result(2), backup_texts::kCopyFailed);
  EXPECT_FALSE(TimeIsNull(2));
  EXPECT_EQ(store_->Table()->ChangeLog().size(), logged) << "nothing left to commit";
  const std::vector<ChangeLogEntry>& log = store_->Table()->ChangeLog();
  ASSERT_EQ(log.size(), 4u) << "two inserts, then one change per entry";
  EXPECT_EQ(log[2].kind, kChangeModify);
  EXPECT_EQ(log[3].kind, kChangeModify);
}

TEST_F(BackupRunTest, ClosedStoreEndsTheRunWithTheStoreError) {
  AddEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), dest_);
  auto closed = MakeBackupEntryStore(nullptr);
  BackupRunContext context = Context(2, "\\");
  EXPECT_THROW(RunBackup(*closed, context), EDatabaseError);
  EXPECT_TRUE(os_.copies.empty());
}

}  // namespace
}  // namespace quillset
