// The list commands (bakup1Click, Delete1Click, Edit1Click) and Copy1Click,
// driven through the main window with the headless view.
#include <gtest/gtest.h>

#include "base/errors.h"
#include "backup/backup_run.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "ui/testing/form_fixture.h"

namespace quillset {
namespace {

using namespace testing_support;

const char kPromptSuffix[] = "バックアップ保存するディレクトリを選択して下さい";

class ListCommandsTest : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    OpenEmptyStore();
  }
  TClientDataSet& Store() { return form_->ClientDataSet1(); }
};

TEST_F(ListCommandsTest, AddingToAnEmptyListGivesOnePendingEntry) {
  PrepareDialogs("C:\\Data\\report.xls", "D:\\Backup");
  form_->bakup1Click();

  EXPECT_EQ(shell_.open_file_owner, view_.ApplicationWindow());
  EXPECT_EQ(shell_.open_file_placement, view_.MainWindow());
  EXPECT_EQ(shell_.folder_owner, view_.ApplicationWindow());
  ASSERT_EQ(shell_.folder_prompts.size(), 1u);
  EXPECT_EQ(shell_.folder_prompts[0], std::string("report.xls") + kPromptSuffix);

  // Pending in Insert, not yet counted; the delete command stays inactive.
  EXPECT_EQ(Store().State(), StoreState::Insert);
  EXPECT_TRUE(Store().AtEnd());
  EXPECT_EQ(Store().RowCount(), 0);
  EXPECT_EQ(Store().FieldAt(0).ReadText(), "C:\\Data\\report.xls");
  EXPECT_EQ(Store().FieldAt(1).ReadText(), "D:\\Backup");
  EXPECT_TRUE(Store().FieldAt(2).ValueIsNull());
  EXPECT_TRUE(Store().FieldAt(3).ValueIsNull());
  EXPECT_TRUE(view_.plain_messages.empty());

  Store().EndRowEdit();
  EXPECT_EQ(Store().RowCount(), 1);
}

TEST_F(ListCommandsTest, PromptTakesTheWholeDoubleByteFileName) {
  PrepareDialogs("C:\\表\\データ表.xls", "D:\\Backup");
  form_->bakup1Click();
  ASSERT_EQ(shell_.folder_prompts.size(), 1u);
  EXPECT_EQ(shell_.folder_prompts[0], std::string("データ表.xls") + kPromptSuffix);
}

TEST_F(ListCommandsTest, NewEntryGoesInFrontOfTheFormerLastEntry) {
  AddCommittedEntry("C:\\a.txt", "D:\\");
  AddCommittedEntry("C:\\b.txt", "D:\\");
  AddCommittedEntry("C:\\c.txt", "D:\\");
  PrepareDialogs("C:\\new.txt", "D:\\");
  form_->bakup1Click();
  Store().EndRowEdit();
  ASSERT_EQ(Store().RowCount(), 4);
  EXPECT_EQ(FieldOfRow(1, 0), "C:\\a.txt");
  EXPECT_EQ(FieldOfRow(2, 0), "C:\\b.txt");
  EXPECT_EQ(FieldOfRow(3, 0), "C:\\new.txt");
  EXPECT_EQ(FieldOfRow(4, 0), "C:\\c.txt");
}

TEST_F(ListCommandsTest, CancellingEitherDialogChangesNothing) {
  AddCommittedEntry("C:\\a.txt", "D:\\");

  form_->bakup1Click();  // file dialog cancelled
  EXPECT_EQ(shell_.open_file_calls, 1);
  EXPECT_TRUE(shell_.folder_prompts.empty()) << "no folder is asked for without a file";

  for (PickResult outcome : {PickResult::kCancelled, PickResult::kFailed}) {
    PrepareDialogs("C:\\b.txt", "D:\\");
    shell_.folder_result = outcome;
    form_->bakup1Click();
  }
  EXPECT_EQ(shell_.folder_prompts.size(), 2u);
  EXPECT_EQ(Store().State(), StoreState::Browse);
  EXPECT_EQ(Store().RowCount(), 1);
  EXPECT_FALSE(Store().AtEnd());
  EXPECT_TRUE(view_.plain_messages.empty());
  EXPECT_TRUE(view_.failures.empty());
}

// A file or folder whose name Shift-JIS cannot write is refused at once, by
// its character; the folder is not asked for after such a file.
TEST_F(ListCommandsTest, NameShiftJisCannotWriteIsRefusedByItsCharacter) {
  PrepareDialogs("C:\\Data\\caf[U+00E9].xlsx", "D:\\Backup");
  shell_.open_file_unwritable = 0xE9;
  form_->bakup1Click();
  EXPECT_TRUE(shell_.folder_prompts.empty());

  PrepareDialogs("C:\\Data\\a.txt", "D:\\[U+1F600]");
  shell_.open_file_unwritable = 0;
  shell_.folder_result = PickResult::kNotShiftJis;
  shell_.folder_unwritable = 0x1F600;
  form_->bakup1Click();
  EXPECT_EQ(shell_.folder_prompts.size(), 1u);

  ASSERT_EQ(view_.plain_messages.size(), 2u);
  EXPECT_EQ(view_.plain_messages[0],
            "ファイル名に Shift-JIS で表せない文字 U+00E9 があるため、登録できません。\r\n"
            "C:\\Data\\caf[U+00E9].xlsx");
  EXPECT_EQ(view_.plain_messages[1],
            "フォルダ名に Shift-JIS で表せない文字 U+1F600 があるため、登録できません。\r\n"
            "D:\\[U+1F600]");
  EXPECT_EQ(Store().State(), StoreState::Browse);
  EXPECT_EQ(Store().RowCount(), 0);
  EXPECT_TRUE(view_.failures.empty());
}

TEST_F(ListCommandsTest, PathLongerThanTheFieldIsRefusedWithAMessage) {
  const std::string long_file = "C:\\" + std::string(94, 'f') + ".txt";  // 101 bytes
  const std::string long_folder = "D:\\" + std::string(98, 'd');         // 101 bytes
  ASSERT_EQ(long_file.size(), 101u);
  ASSERT_EQ(long_folder.size(), 101u);

  PrepareDialogs(long_file, "D:\\Backup");
  form_->bakup1Click();
  ASSERT_EQ(view_.plain_messages.size(), 1u);
  EXPECT_NE(view_.plain_messages[0].find("全角 50 文字（半角 100 文字）を超えるパスは登録できません"), std::string::npos);
  EXPECT_NE(view_.plain_messages[0].find(long_file), std::string::npos);
  EXPECT_TRUE(shell_.folder_prompts.empty());

  PrepareDialogs("C:\\a.txt", long_folder);
  form_->bakup1Click();
  ASSERT_EQ(view_.plain_messages.size(), 2u);
  EXPECT_NE(view_.plain_messages[1].find(long_folder), std::string::npos);

  EXPECT_EQ(Store().State(), StoreState::Browse);
  EXPECT_EQ(Store().RowCount(), 0);

  // 100 bytes fit whole.
  const std::string fitting = long_file.substr(1);
  PrepareDialogs(fitting, "D:\\Backup");
  form_->bakup1Click();
  EXPECT_EQ(view_.plain_messages.size(), 2u);
  EXPECT_EQ(Store().FieldAt(0).ReadText(), fitting);
}

TEST_F(ListCommandsTest, DeleteDoesNothingRightAfterAddingOrOnAnEmptyList) {
  form_->Delete1Click();  // empty list
  EXPECT_EQ(Store().RowCount(), 0);

  AddCommittedEntry("C:\\a.txt", "D:\\");
  AddCommittedEntry("C:\\b.txt", "D:\\");
  PrepareDialogs("C:\\new.txt", "D:\\");
  form_->bakup1Click();
  form_->Delete1Click();
  EXPECT_EQ(Store().State(), StoreState::Insert) << "the pending entry is kept";
  Store().EndRowEdit();
  EXPECT_EQ(Store().RowCount(), 3);

  // Once another row is selected, the command deletes it, without asking.
  Store().SetRowNumber(1);
  form_->Delete1Click();
  EXPECT_EQ(Store().RowCount(), 2);
  EXPECT_EQ(FieldOfRow(1, 0), "C:\\new.txt");
  EXPECT_TRUE(view_.plain_messages.empty());
}

// ---- "削除" chosen from the popup menu, with a timer tick while it is open:
// the tick's run leaves the last row current with the end flag clear, but the
// command acts on what the user saw when the menu opened.

class PopupMenuDeleteTest : public ListCommandsTest {
 protected:
  void SetUp() override {
    ListCommandsTest::SetUp();
    AddCommittedEntry("C:\\a.txt", "D:\\");
    AddCommittedEntry("C:\\b.txt", "D:\\");
    AddCommittedEntry("C:\\c.txt", "D:\\");
    form_->ScheduleMode = 1;  // every tick runs the backup
    form_->TimerSetValue = "10";
  }
  // The menu opens, Timer1 ticks inside its loop, then `chosen` comes back.
  void ChooseWithATickInBetween(std::optional<MenuItemId> chosen) {
    form_->PopupMenuOpening();
    form_->Timer1Timer();
    ASSERT_FALSE(Store().AtEnd()) << "the run leaves the end flag clear";
    form_->PopupMenuClosed(chosen);
  }
  std::vector<std::string> Files() {
    Store().EndRowEdit();
    std::vector<std::string> files;
    for (int row = 1; row <= Store().RowCount(); ++row) files.push_back(FieldOfRow(row, 0));
    return files;
  }
};

TEST_F(PopupMenuDeleteTest, DeletesTheRowCurrentWhenTheMenuOpened) {
  Store().SetRowNumber(1);
  ChooseWithATickInBetween(MenuItemId::Delete1);
  EXPECT_EQ(Files(), (std::vector<std::string>{"C:\\b.txt", "C:\\c.txt"}));
  EXPECT_TRUE(view_.failures.empty());
}

TEST_F(PopupMenuDeleteTest, DoesNothingWhenTheMenuOpenedRightAfterAdding) {
  PrepareDialogs("C:\\new.txt", "D:\\");
  form_->bakup1Click();
  ChooseWithATickInBetween(MenuItemId::Delete1);
  EXPECT_EQ(Files(), (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt", "C:\\new.txt",
                                               "C:\\c.txt"}));
}

TEST_F(PopupMenuDeleteTest, NewRowStartedInTheGridIsTheOneRemovedAfterTheTickCommittedIt) {
  Store().SetRowNumber(2);
  Store().InsertRow();  // Insert in the grid: in front of b, the end flag clear
  Store().FieldAt(0).WriteText("C:\\typed.txt");
  ChooseWithATickInBetween(MenuItemId::Delete1);
  EXPECT_EQ(Files(), (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}));
}

TEST_F(PopupMenuDeleteTest, OtherItemsRunAndAClosedMenuDoesNothing) {
  Store().SetRowNumber(1);
  ChooseWithATickInBetween(std::nullopt);
  ChooseWithATickInBetween(MenuItemId::Edit1);
  EXPECT_TRUE(view_.MenuChecked(MenuItemId::Edit1));
  EXPECT_EQ(Files().size(), 3u);
  // Without a menu (a command posted to the window) it acts on the list as
  // it is: the run left the last row current.
  Store().SetRowNumber(1);
  form_->Timer1Timer();
  form_->MenuClick(MenuItemId::Delete1);
  EXPECT_EQ(Files(), (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}));
}

TEST_F(ListCommandsTest, EditTogglesCheckMarkAndReadOnlyTogether) {
  EXPECT_FALSE(view_.MenuChecked(MenuItemId::Edit1));
  EXPECT_TRUE(view_.GridReadOnly());
  form_->Edit1Click();
  EXPECT_TRUE(view_.MenuChecked(MenuItemId::Edit1));
  EXPECT_FALSE(view_.GridReadOnly());
  form_->Edit1Click();
  EXPECT_FALSE(view_.MenuChecked(MenuItemId::Edit1));
  EXPECT_TRUE(view_.GridReadOnly());
}

TEST_F(ListCommandsTest, CopyRunsOverTheListRepaintsPerEntryAndMovesTheDueDate) {
  // The run joins folder and file name with "\", as the entries hold Windows
  // paths: natively that names a file "dest\<name>" beside the folder, under
  // Wine the file in the folder; the path text is the same.
  const std::string dest = temp_ / "dest";
  ASSERT_TRUE(MakeFolder(dest));
  AddCommittedEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), dest);
  AddCommittedEntry(MakeSourceFile(temp_.Path(), "src", "two.txt", "2"), dest);
  os_.SetClock(MakeSystemTime(2027, 3, 1, 12, 0, 0));
  form_->ScheduleMode = 2;
  form_->TimerSetValue = "2027/02/20";

  form_->Copy1Click();

  EXPECT_EQ(view_.repaints, 2);
  EXPECT_EQ(ReadBytes(dest + "\\one.txt"), "1");
  EXPECT_EQ(ReadBytes(dest + "\\two.txt"), "2");
  const std::string due = FormatShortDate(EncodeDate(2027, 3, 8), form_->DateSettings());
  EXPECT_EQ(form_->TimerSetValue, due);
  TIniFile settings(os_, settings_path_);
  EXPECT_EQ(settings.ReadString(kTimeSection, kTimerSetKey, ""), due);
  EXPECT_EQ(Store().State(), StoreState::Browse);
  EXPECT_EQ(Store().FieldAt(2).ReadText(), backup_texts::kCopied);
}

// A refused write of the due date is shown once, after every entry has its
// result: the failure leaves Copy1Click only then.
TEST_F(ListCommandsTest, RefusedDueDateWriteIsHeardOnceAfterEveryEntryHasItsResult) {
  const std::string dest = temp_ / "dest";
  ASSERT_TRUE(MakeFolder(dest));
  AddCommittedEntry(MakeSourceFile(temp_.Path(), "src", "one.txt", "1"), dest);
  AddCommittedEntry(MakeSourceFile(temp_.Path(), "src", "two.txt", "2"), dest);
  os_.SetClock(MakeSystemTime(2027, 3, 1, 12, 0, 0));
  form_->ScheduleMode = 3;
  form_->TimerSetValue = "2027/02/20";
  // The first two replaces are the copies', the third the settings file's.
  os_.FailNthCall(3, OsFault::kFail, OsCall::kMove);

  try {
    form_->Copy1Click();
    FAIL() << "the refused write must be heard";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), settings_path_ + " に書き込めません");
  }

  const std::string due = FormatShortDate(EncodeDate(2027, 4, 1), form_->DateSettings());
  ASSERT_TRUE(os_.Injected());
  EXPECT_FALSE(PathExists(settings_path_)) << "nothing half written";
  EXPECT_EQ(form_->TimerSetValue, due) << "the new date stays in memory";
  EXPECT_EQ(view_.repaints, 2);
  EXPECT_EQ(FieldOfRow(1, 2), backup_texts::kCopied);
  EXPECT_EQ(FieldOfRow(2, 2), backup_texts::kCopied);
}

}  // namespace
}  // namespace quillset

