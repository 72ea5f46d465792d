// The main window's lifecycle over real files: the data file loaded at
// creation, kept or reloaded at the first activation, saved at close and at
// the end of the Windows session, and never written over when it could not be
// loaded.
#include "ui/testing/form_fixture.h"


#include <cstdio>

#include "base/errors.h"
#include "datafile/data_file.h"
#include "datafile/table_packet.h"

namespace quillset {
namespace testing_support {
namespace {

class MainFormLifecycleTest : public FormFixtureWith<BinaryPacketCodec> {
 protected:
  // A stored schedule, so that FormCreate shows no first-run message.
  void StoreMinutesSchedule(const std::string& minutes) {
    ASSERT_TRUE(WriteBytes(settings_path_,
                           "[Time]\r\nTimerSet=" + minutes + "\r\nTimerIniSet=1\r\n"));
  }

  void AddPendingEntry(TForm1& form, const std::string& file, const std::string& folder) {
    TClientDataSet& store = form.ClientDataSet1();
    store.MoveLast();
    store.InsertRow();
    store.FieldAt(0).WriteText(file);
    store.FieldAt(1).WriteText(folder);
  }

  // A run of the program that adds one entry and closes: the data file then
  // holds that list.
  void SaveListOf(const std::string& file, const std::string& folder) {
    FakeFormView view;
    auto form = NewForm(view);
    form->FormCreate();
    AddPendingEntry(*form, file, folder);
    form->FormClose();
  }

  std::vector<std::string> FilesOf(TForm1& form) {
    std::vector<std::string> files;
    TClientDataSet& store = form.ClientDataSet1();
    store.EndRowEdit();
    const int count = store.RowCount();
    for (int i = 1; i <= count; ++i) {
      store.SetRowNumber(i);
      files.push_back(store.FieldAt(0).ReadText());
    }
    return files;
  }
};

TEST_F(MainFormLifecycleTest, FirstStartCreatesAnEmptyListAndTheFirstCloseWritesIt) {
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();

  EXPECT_TRUE(form->ClientDataSet1().Active());
  EXPECT_EQ(form->ClientDataSet1().RowCount(), 0);
  EXPECT_EQ(form->DataFilePath, data_path_);
  EXPECT_EQ(view.Caption(), "現在の設定 0 分間隔");
  ASSERT_EQ(view.plain_messages.size(), 1u);
  EXPECT_FALSE(PathExists(data_path_));

  form->FormClose();
  // An empty list that was never changed: header, four columns, no property.
  EXPECT_EQ(ReadBytes(data_path_).size(), 146u);
}

TEST_F(MainFormLifecycleTest, ClosingSavesAPendingEntryAndTheNextStartShowsIt) {
  StoreMinutesSchedule("0");
  SaveListOf("C:\\data\\a.txt", "D:\\bak");
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();
  EXPECT_EQ(FilesOf(*form), std::vector<std::string>({"C:\\data\\a.txt"}));
  EXPECT_TRUE(view.plain_messages.empty());
}

TEST_F(MainFormLifecycleTest, FirstActivationKeepsWhatHappenedSinceTheStart) {
  StoreMinutesSchedule("0");
  SaveListOf("C:\\a.txt", "D:\\");
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();
  // An entry added while the window was still hidden in the tray.
  AddPendingEntry(*form, "C:\\b.txt", "D:\\");
  form->FormActivate();
  EXPECT_EQ(FilesOf(*form), std::vector<std::string>({"C:\\b.txt", "C:\\a.txt"}));
}

TEST_F(MainFormLifecycleTest, FirstActivationReloadsADataFileChangedOnDisk) {
  StoreMinutesSchedule("0");
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();
  {
    // Another copy of the list written to the data file after the start.
    FakeFormView other_view;
    auto other = NewForm(other_view);
    other->FormCreate();
    AddPendingEntry(*other, "C:\\other.txt", "D:\\");
    other->FormClose();
  }
  form->FormActivate();
  EXPECT_EQ(FilesOf(*form), std::vector<std::string>({"C:\\other.txt"}));
}

TEST_F(MainFormLifecycleTest, DamagedDataFileIsRefusedAndNotWrittenOverAtClose) {
  StoreMinutesSchedule("0");
  const std::string damaged = "this is not a backup list";
  ASSERT_TRUE(WriteBytes(data_path_, damaged));
  FakeFormView view;
  auto form = NewForm(view);
  EXPECT_THROW(form->FormCreate(), Exception);
  EXPECT_FALSE(form->ClientDataSet1().Active());
  EXPECT_TRUE(form->DataFilePath.empty());
  // The settings step did not run: the window keeps its design caption.
  EXPECT_EQ(view.Caption(), "右クリックでメニューが出ます。");
  // The same bytes are not tried again at the first activation.
  EXPECT_NO_THROW(form->FormActivate());
  EXPECT_FALSE(form->ClientDataSet1().Active());

  form->FormClose();
  EXPECT_EQ(ReadBytes(data_path_), damaged);
}

TEST_F(MainFormLifecycleTest, ADataFileHeldAtStartIsLoadedAtTheFirstActivation) {
  StoreMinutesSchedule("0");
  SaveListOf("C:\\held.txt", "D:\\");
  // Another program holds the file past the retries while the program starts.
  FakeFormView view;
  auto form = NewForm(view);
  ASSERT_TRUE(os_.HoldFile(data_path_));
  EXPECT_THROW(form->FormCreate(), EFOpenError);
  EXPECT_FALSE(form->ClientDataSet1().Active());
  os_.ReleaseFile(data_path_);
  // Nothing was read, so nothing was refused: the first activation loads it.
  form->FormActivate();
  EXPECT_EQ(FilesOf(*form), std::vector<std::string>({"C:\\held.txt"}));
  EXPECT_EQ(form->DataFilePath, data_path_);
}

TEST_F(MainFormLifecycleTest, FirstActivationLoadsADataFileMendedAfterAFailedStart) {
  StoreMinutesSchedule("0");
  SaveListOf("C:\\good.txt", "D:\\");
  const std::string good = ReadBytes(data_path_);
  ASSERT_TRUE(WriteBytes(data_path_, good.substr(0, good.size() / 2)));
  FakeFormView view;
  auto form = NewForm(view);
  EXPECT_THROW(form->FormCreate(), Exception);
  ASSERT_TRUE(WriteBytes(data_path_, good));  // the user puts the backup copy back
  form->FormActivate();
  EXPECT_EQ(FilesOf(*form), std::vector<std::string>({"C:\\good.txt"}));
  EXPECT_EQ(form->DataFilePath, data_path_);
}

// Another program cancels the first end of the session: the program must stay
// as it was (hidden in the tray, icon shown, timer running) and the next end
// appends what changed since. The end of a session never writes the data
// file: the journal holds the changes, and the next start folds them in.
TEST_F(MainFormLifecycleTest, CancelledSessionEndChangesNothingAndTheNextOneAppendsAgain) {
  StoreMinutesSchedule("10");
  const std::string journal_path = data_path_ + ".journal";
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();
  ASSERT_TRUE(form->TrayIconShown);
  ASSERT_EQ(form->Timer1().Interval(), 600000u);
  const auto view_log = view.log;
  const auto icon_calls = shell_.notify_icon_calls.size();
  const auto timer = shell_.Timer(view.TimerWindow(), 1);

  AddPendingEntry(*form, "C:\\a.txt", "D:\\");
  form->QueryEndSession();
  const std::string first = ReadBytes(journal_path);
  ASSERT_FALSE(first.empty());
  form->EndSession(false);
  EXPECT_EQ(ReadBytes(journal_path), first);
  EXPECT_TRUE(form->TrayIconShown);
  EXPECT_EQ(shell_.notify_icon_calls.size(), icon_calls);
  EXPECT_EQ(shell_.Timer(view.TimerWindow(), 1).arm_count, timer.arm_count);
  EXPECT_TRUE(shell_.Timer(view.TimerWindow(), 1).armed);
  EXPECT_EQ(form->Timer1().Interval(), 600000u);
  EXPECT_EQ(view.log, view_log);
  EXPECT_TRUE(view.failures.empty());

  // The real end: Windows asks again, then a run writes results between the
  // two messages; both are in the journal.
  AddPendingEntry(*form, "C:\\b.txt", "D:\\");
  form->QueryEndSession();
  EXPECT_NE(ReadBytes(journal_path), first);
  AddPendingEntry(*form, "C:\\c.txt", "D:\\");
  form->EndSession(true);
  EXPECT_FALSE(shell_.Timer(view.TimerWindow(), 1).armed) << "no run may start any more";
  EXPECT_TRUE(view.failures.empty());
  EXPECT_FALSE(PathExists(data_path_));
  form.reset();  // the process ends

  FakeFormView next_view;
  auto next = NewForm(next_view);
  next->FormCreate();
  // (A loaded list shows its rows in the order they were first stored.)
  EXPECT_EQ(FilesOf(*next), std::vector<std::string>({"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}));
  EXPECT_TRUE(PathExists(data_path_)) << "folded in";
  EXPECT_FALSE(PathExists(journal_path));
}

// A hidden program gets about 5 s in all, and a large list takes seconds to
// write: the end appends to the journal only what changed since the
// question (a run's result, an entry added between the two), and never
// writes the data file.
TEST_F(MainFormLifecycleTest, SessionEndAppendsOnlyWhatChangedSinceTheQuestion) {
  StoreMinutesSchedule("10");
  const std::string journal_path = data_path_ + ".journal";
  for (bool change_between : {false, true}) {
    SCOPED_TRACE(change_between);
    std::remove(data_path_.c_str());
    std::remove(journal_path.c_str());
    FakeFormView view;
    auto form = NewForm(view);
    form->FormCreate();
    AddPendingEntry(*form, "C:\\a.txt", "D:\\");
    os_.moves.clear();
    view.QueryEndSession(*form);
    const std::string at_question = ReadBytes(journal_path);
    if (change_between) {
      TClientDataSet& store = form->ClientDataSet1();
      store.EditRow();
      store.FieldAt(2).WriteText("changed");
    }
    view.EndSession(*form, true);
    for (const auto& move : os_.moves) EXPECT_NE(move.second, data_path_);
    const std::string at_end = ReadBytes(journal_path);
    EXPECT_EQ(at_end.substr(0, at_question.size()), at_question);
    EXPECT_EQ(at_end.size() > at_question.size(), change_between);
    form.reset();
    FakeFormView next_view;
    auto next = NewForm(next_view);
    next->FormCreate();
    EXPECT_EQ(next->ClientDataSet1().FieldAt(2).ReadText(), change_between ? "changed" : "");
  }
}

TEST_F(MainFormLifecycleTest, SessionEndShowsNoBoxWhenTheSaveFailsAndKeepsTheOldFile) {
  StoreMinutesSchedule("0");
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();
  AddPendingEntry(*form, "C:\\a.txt", "D:\\");
  ASSERT_TRUE(WriteBytes(data_path_, "old"));
  {
    auto holder = os_.OpenExclusive(data_path_, FileOpenMode::kReadExisting);
    ASSERT_TRUE(holder);
    EXPECT_NO_THROW(form->QueryEndSession());
    EXPECT_NO_THROW(form->EndSession(true));
  }
  EXPECT_EQ(ReadBytes(data_path_), "old");
  EXPECT_TRUE(view.failures.empty());
  EXPECT_TRUE(view.plain_messages.empty());
}

TEST_F(MainFormLifecycleTest, FailedSaveAtCloseKeepsTheOldFileAndTheTrayIcon) {
  StoreMinutesSchedule("0");
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();  // a stored schedule: hidden in the tray
  ASSERT_TRUE(form->TrayIconShown);
  AddPendingEntry(*form, "C:\\a.txt", "D:\\");
  ASSERT_TRUE(WriteBytes(data_path_, "old"));
  {
    // Another program holds the data file open.
    auto holder = os_.OpenExclusive(data_path_, FileOpenMode::kReadExisting);
    ASSERT_TRUE(holder);
    EXPECT_THROW(form->FormClose(), EFCreateError);
  }
  EXPECT_TRUE(form->TrayIconShown);
  EXPECT_EQ(ReadBytes(data_path_), "old");
  EXPECT_TRUE(form->ClientDataSet1().Active());

  // Free now, but a file this process never read (it appeared after the
  // start): not written over either.
  EXPECT_THROW(form->FormClose(), EFCreateError);
  EXPECT_EQ(ReadBytes(data_path_), "old");
  ASSERT_EQ(std::remove(data_path_.c_str()), 0);
  form->FormClose();  // the user closes again once the file is gone
  EXPECT_FALSE(form->TrayIconShown);
  EXPECT_TRUE(PathExists(data_path_));
}

TEST_F(MainFormLifecycleTest, StartAtLogonBeforeTheShellRetriesTheIconUntilClosed) {
  StoreMinutesSchedule("0");
  FakeFormView view;
  auto form = NewForm(view);
  shell_.notify_icon_result = false;  // Explorer is not ready yet
  form->FormCreate();
  ASSERT_TRUE(form->TrayIconShown);
  ASSERT_TRUE(form->TrayIconRetries().Pending());
  form->TrayIconRetryTimer();
  form->TrayIconRetryTimer();
  ASSERT_EQ(shell_.notify_icon_calls.size(), 3u);

  form->FormClose();
  EXPECT_TRUE(ReadBytes(data_path_).size() > 0) << "the list is saved";
  EXPECT_FALSE(form->TrayIconRetries().Pending());
  EXPECT_FALSE(shell_.Timer(view.TimerWindow(), TrayIconRetry::kTimerId).armed);
  EXPECT_FALSE(form->TrayIconShown);
  for (const auto& call : shell_.notify_icon_calls) {
    EXPECT_EQ(call.message, kNimAdd) << "an icon the shell never took is not asked away";
  }
  form->TrayIconRetryTimer();  // a tick already queued
  EXPECT_EQ(shell_.notify_icon_calls.size(), 3u);
}

TEST_F(MainFormLifecycleTest, ExitAndTrayItemsGoThroughTheWindow) {
  StoreMinutesSchedule("0");
  FakeFormView view;
  auto form = NewForm(view);
  form->FormCreate();
  form->RestoreFromTray();
  view.log.clear();

  form->MenuClick(MenuItemId::N1);
  EXPECT_FALSE(view.IsWindowVisible());
  EXPECT_TRUE(form->TrayIconShown);

  form->MenuClick(MenuItemId::Exit1);
  EXPECT_EQ(view.close_requests, 1);
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset

