#include "backup/run_outcome.h"

#include <gtest/gtest.h>

#include <memory>

#include "backup/backup_run.h"
#include "base/testing/real_files_test_os.h"

namespace quillset {
namespace {

using namespace testing_support;

const ShiftJisCodePage kShiftJis;

// A real run over a real store: the outcome is read from what the run wrote,
// and from an entry being edited as edited so far.
TEST(RunOutcomeTest, ReadsTheRunsResultsWithoutMovingTheList) {
  TempFolder temp;
  ASSERT_TRUE(temp.Valid());
  RealFilesTestOs os;
  const LocaleDateSettings dates = LocaleDateSettings::FromOs(os);
  std::unique_ptr<TClientDataSet> store = MakeBackupEntryStore(nullptr);
  store->SetDateTextContext(&dates, &os);
  store->CreateEmpty();
  EXPECT_FALSE(OutcomeOfList(*store, kShiftJis).HasFailures());
  const std::string dest = temp / "dest";
  ASSERT_TRUE(MakeFolder(dest));
  const std::string copied = MakeSourceFile(temp.Path(), "src", "a.txt", "a");
  ASSERT_FALSE(copied.empty());
  const auto add = [&](const std::string& file, const std::string& folder) {
    store->AppendRow();
    store->FieldAt(0).WriteText(file);
    store->FieldAt(1).WriteText(folder);
    store->CommitRow();
  };
  add(copied, dest);
  add(temp.Path() + "\\gone.txt", dest);                    // バックアップ失敗
  add(temp.Path() + "\\report.xlsx", temp / "unplugged");
  BackupRunContext context{os, dates, 0, nullptr, kTestPathSeparator, nullptr};
  RunBackup(*store, context);

  RunOutcome outcome = OutcomeOfList(*store, kShiftJis);
  EXPECT_EQ(outcome.attempted, 3);
  EXPECT_EQ(outcome.failed, 2);
  EXPECT_EQ(outcome.first_failed_file, "gone.txt");
  EXPECT_EQ(outcome.first_failed_result, backup_texts::kCopyFailed);
  EXPECT_GT(outcome.last_attempt, 0.0);

  // An entry never run added, and the failed entry being fixed in the grid
  // (not committed): one failure left, the folder's message given whole; the
  // new entry does not count, and nothing moves.
  add(temp / "new.txt", dest);
  store->SetRowNumber(2);
  store->EditRow();
  store->FieldAt(2).WriteText(backup_texts::kCopied);
  outcome = OutcomeOfList(*store, kShiftJis);
  EXPECT_EQ(store->State(), StoreState::Edit);
  EXPECT_EQ(store->RowNumber(), 2);
  EXPECT_EQ(outcome.attempted, 3);
  EXPECT_EQ(outcome.failed, 1);
  EXPECT_EQ(outcome.first_failed_file, "report.xlsx");
  EXPECT_EQ(outcome.first_failed_result, backup_texts::kFolderMissing);
}

TEST(RunOutcomeTest, OnlyTheRunsOwnTextsCutByTheFieldAreGivenWhole) {
  EXPECT_EQ(ResultInFull("フォルダーが見つかり", 20), "フォルダーが見つかりません");
  EXPECT_EQ(ResultInFull("バックアップ失敗", 20), "バックアップ失敗");
  // Typed by the user in the grid: as it stands.
  EXPECT_EQ(ResultInFull("バックアップ", 20), "バックアップ");
  EXPECT_EQ(ResultInFull("", 20), "");
}

}  // namespace
}  // namespace quillset
