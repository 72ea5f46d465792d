// A long backup run seen from the main window: every blocking step of each
// copy runs beside the window's thread, which handles its messages and never
// goes a second without it; the commands that change the list are greyed out
// and dropped meanwhile, while the tray icon, "タスクトレーへ" and closing
// work; the system stays awake for exactly the run; the question of the
// session's end saves the results so far and lets the run go on, and only
// the real end or the user's "終了" cuts it short, leaving the due date for
// the next check. The copies are real, of files several progress steps long,
// through the retries the program uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "backup/backup_run.h"
#include "backup/safe_copy.h"
#include "base/retrying_os_services.h"
#include "datafile/table_packet.h"
#include "settings/ini_file.h"
#include "locale/calendar_dates.h"
#include "schedule/schedule.h"
#include "ui/testing/form_fixture.h"

namespace quillset {
namespace testing_support {
namespace {

// Three progress steps of the copy (each part is 1 MiB) and the end.
const std::string kBigContent(3u << 20, 'n');

class LongRunTest : public FormFixtureWith<BinaryPacketCodec> {
 protected:
  void SetUp() override {
    FormFixtureWith::SetUp();
    dest_ = temp_ / "dest";
    ASSERT_TRUE(MakeFolder(dest_));
    // A stored minutes schedule: no first-run box, and every tick runs.
    ASSERT_TRUE(WriteBytes(temp_ / "Quillset.ini", "[Time]\r\nTimerSet=10\r\nTimerIniSet=1\r\n"));
    form_ = NewForm(view_, true);
    form_->FormCreate();
    for (const char* name : {"one.bin", "two.bin", "three.bin"}) {
      const std::string source = MakeSourceFile(temp_.Path(), "src", name, kBigContent);
      ASSERT_FALSE(source.empty());
      sources_.push_back(source);
      AddEntry(*form_, source);
      // An older backup of each file stands in the folder already.
      ASSERT_TRUE(WriteBytes(Target(name), std::string("old ") + name));
    }
    view_.RunPosted();  // the entries' journal append
  }

  void AddEntry(TForm1& form, const std::string& file) {
    TClientDataSet& store = form.ClientDataSet1();
    store.AppendRow();
    store.FieldAt(0).WriteText(file);
    store.FieldAt(1).WriteText(dest_);
    store.CommitRow();
  }

  // Where the run puts a file (folder and name joined with "\").
  std::string Target(const std::string& name) const { return dest_ + "\\" + name; }

  // The result field of each entry, in the order of the entries' files (a
  // reloaded list may show a changed entry in another place).
  static std::vector<std::string> Results(TForm1& form) {
    std::map<std::string, std::string> by_file;
    TClientDataSet& store = form.ClientDataSet1();
    store.EndRowEdit();
    for (int i = 1; i <= store.RowCount(); ++i) {
      store.SetRowNumber(i);
      std::string file = store.FieldAt(0).ReadText();
      by_file[file.substr(file.find_last_of("/\\") + 1)] = store.FieldAt(2).ReadText();
    }
    std::vector<std::string> results;
    for (const char* name : {"one.bin", "two.bin", "three.bin"})
      if (by_file.count(name)) results.push_back(by_file[name]);
    return results;
  }

  // True while the second entry is being copied, after its first part.
  bool InsideSecondCopy() const {
    return view_.repaints == 1 && !view_.progress_steps.empty() &&
           view_.progress_steps.back().first > 0 && view_.progress_shown;
  }

  // Does `what` once, at the window's first chance to answer inside the
  // second copy; `delivered_` tells whether that came.
  void OnceInsideSecondCopy(std::function<void()> what) {
    view_.while_responsive = [this, what] {
      if (delivered_ || !InsideSecondCopy()) return;
      delivered_ = true;
      what();
    };
  }
  bool delivered_ = false;

  int CopiesOf(const std::string& name) const {
    int count = 0;
    for (const auto& copy : os_.copies)
      if (copy.first.size() >= name.size() &&
          copy.first.compare(copy.first.size() - name.size(), name.size(), name) == 0)
        ++count;
    return count;
  }

  // Weekly, due a week ago.
  void SetWeeklyPastDue() {
    form_->ScheduleMode = 2;
    form_->TimerSetValue = "2026/11/30";
  }
  std::string NextWeeklyDueDate() {
    return NextDueDateText(2, TodayDate(os_), form_->DateSettings());
  }

  std::string dest_;
  std::vector<std::string> sources_;
};

TEST_F(LongRunTest, WindowStaysAnsweringDuringEachCopyAndShowsItsProgress) {
  std::vector<bool> progress_seen;
  std::vector<bool> awake_seen;
  view_.while_responsive = [&] {
    progress_seen.push_back(view_.progress_shown);
    awake_seen.push_back(shell_.awake);
  };

  const int before = shell_.off_thread_runs;
  form_->Copy1Click();
  EXPECT_EQ(shell_.off_thread_runs - before, 3 + 3)
      << "each entry's blocking steps, and its journal append, beside the UI thread";

  // Each copy reports from its start to its end (natively after each 1 MiB
  // part, on Windows at short intervals), and the window handles its
  // messages at each report and after each entry.
  const std::uint64_t total = kBigContent.size();
  const auto& steps = view_.progress_steps;
  ASSERT_GE(steps.size(), 6u);
  int starts = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(steps[i].second, total);
    // A copy starts at 0 after the one before ended; on Windows a copy that
    // has not begun in the first interval reports 0 again, as the same copy.
    if (steps[i].first == 0 && (i == 0 || steps[i - 1].first == total)) {
      ++starts;
    } else {
      EXPECT_GE(steps[i].first, steps[i - 1].first) << "a copy went back, or began before the one before ended";
    }
  }
  EXPECT_EQ(starts, 3);
  EXPECT_EQ(steps.back().first, total);
  // It also pumps while each copy's flush takes its time beside it.
  const int flushes = 3;
  EXPECT_EQ(view_.responsive_calls, static_cast<int>(steps.size()) + 3 + flushes);
  EXPECT_GT(view_.painted_calls, 0) << "the journal's appends paint the window";
  // The progress shows during a copy and is gone once its result is written.
  ASSERT_EQ(progress_seen.size(), steps.size() + 3 + flushes);
  EXPECT_EQ(std::count(progress_seen.begin(), progress_seen.end(), false), 3 + flushes);
  EXPECT_FALSE(progress_seen.back());
  EXPECT_FALSE(view_.progress_shown);
  // ... and the system stays awake, for exactly as long.
  EXPECT_EQ(awake_seen, std::vector<bool>(awake_seen.size(), true));
  EXPECT_EQ(shell_.awake_requests, std::vector<bool>({true, false}));
  EXPECT_FALSE(form_->BackupRunning());
  EXPECT_EQ(Results(*form_), std::vector<std::string>(3, backup_texts::kCopied));
  EXPECT_EQ(ReadBytes(Target("two.bin")), kBigContent);
}

// A slow disk (each flush of a copy takes 1.9 s)
// and a replace held for a moment by a scanner: the UI thread still handles
// its messages at least every second (the hang watch of the simulated UI
// thread fails the test otherwise).
TEST_F(LongRunTest, SlowFlushesAndARetriedReplaceNeverKeepTheWindowFromAnswering) {
  SetWeeklyPastDue();
  os_.call_ms[OsCall::kFlush] = 1900;
  os_.HoldAtNthCall(2, 300, OsCall::kMove);
  int pumps_during_flush = 0;
  os_.BeforeCall(OsCall::kFlush, 1, [&] {
    const int before = view_.responsive_calls;
    view_.while_responsive = [&, before] { pumps_during_flush = view_.responsive_calls - before; };
  });

  form_->Copy1Click();

  EXPECT_GT(os_.HeldCallFailures(), 0) << "the second replace was tried again";
  EXPECT_GT(pumps_during_flush, 0);
  EXPECT_GE(SimulatedUiThread::Current().NowMs(), 3u * 1900 + 1500);
  EXPECT_EQ(Results(*form_), std::vector<std::string>(3, backup_texts::kCopied));
  EXPECT_EQ(form_->TimerSetValue, NextWeeklyDueDate());
  EXPECT_EQ(ReadBytes(Target("two.bin")), kBigContent);
}

TEST_F(LongRunTest, TickDuringARunStartsNoSecondRunAndIsHandledAfterIt) {
  int nested = 0;
  view_.while_responsive = [&] {
    // Ticks delivered during the run (as a nested loop would): each of them
    // would run the backup in the minutes mode.
    if (CopiesOf("one.bin") != 1 || CopiesOf("two.bin") != 0 || nested == 2) return;
    ++nested;
    form_->Timer1Timer();
  };

  form_->Copy1Click();

  ASSERT_EQ(nested, 2);
  EXPECT_EQ(os_.copies.size(), 3u) << "no second run inside the first";
  ASSERT_EQ(view_.posted.size(), 1u) << "the ticks wait, as one";
  view_.while_responsive = nullptr;
  view_.RunPosted();
  EXPECT_EQ(os_.copies.size(), 6u) << "the waiting tick ran the backup after the run";
}

// During a run: the list's commands are dropped, not run later; the tray
// icon opens the window at once (mouse moves do nothing); "タスクトレーへ"
// works; closing asks, and "いいえ" lets the run go on.
TEST_F(LongRunTest, DuringARunTheWindowWorksAndTheListsCommandsAreDropped) {
  form_->HideToTray();
  view_.SetGridReadOnly(false);  // "編集" was on
  OnceInsideSecondCopy([&] {
    EXPECT_TRUE(view_.GridReadOnly() && !view_.MenuEnabled(MenuItemId::Delete1) &&
                !view_.MenuEnabled(MenuItemId::Wee) && view_.MenuEnabled(MenuItemId::Exit1));
    form_->TrayNotify(0x0200);  // WM_MOUSEMOVE
    EXPECT_TRUE(view_.posted.empty()) << "a mouse move queued";
    form_->TrayNotify(kWmLButtonDown);
    EXPECT_TRUE(view_.visible);
    for (MenuItemId item : {MenuItemId::Delete1, MenuItemId::Copy1, MenuItemId::Wee})
      form_->MenuClick(item);
    form_->PopupMenuOpening();
    form_->PopupMenuClosed(MenuItemId::Delete1);
    EXPECT_FALSE(form_->FormCloseQuery()) << "the question answered no";
    form_->MenuClick(MenuItemId::N1);
    EXPECT_FALSE(view_.visible);
  });

  form_->Copy1Click();

  ASSERT_TRUE(delivered_);
  EXPECT_EQ(view_.questions, std::vector<std::string>({form_texts::kStopRunQuestion}));
  EXPECT_EQ(os_.copies.size(), 3u);
  EXPECT_EQ(Results(*form_), std::vector<std::string>(3, backup_texts::kCopied));
  EXPECT_EQ(form_->ScheduleMode, 1);
  EXPECT_TRUE(view_.posted.empty()) << "nothing runs later behind the user's back";
  EXPECT_TRUE(!view_.GridReadOnly() && view_.MenuEnabled(MenuItemId::Delete1));
}

// "終了" while the second entry's flush hangs (a share that stopped
// answering), answered "はい": the program ends a few seconds later, the
// first entry's result saved, the older backups whole, the system free to
// sleep.
TEST_F(LongRunTest, QuitWhileAFlushHangsEndsTheProgramWithTheResultsSoFar) {
  view_.closing = form_.get();
  view_.yes_to_questions = true;
  std::uint64_t asked_at = 0;
  // Flushes: the first copy's, its journal append's, the second copy's.
  os_.BeforeCall(OsCall::kFlush, 3, [&] {
    view_.while_responsive = [&] {
      if (asked_at != 0) return;
      asked_at = SimulatedUiThread::Current().NowMs();
      form_->Exit1Click();
    };
    for (int ms = 0; ms < 3600 * 1000; ms += 50) SimulatedUiThread::Current().Pass(50);
  });

  form_->Copy1Click();

  ASSERT_TRUE(view_.closed);
  EXPECT_LE(SimulatedUiThread::Current().NowMs() - asked_at,
            ShellServices::kAbandonAfterStopMs + 1000);
  EXPECT_EQ(view_.questions, std::vector<std::string>({form_texts::kStopRunQuestion}));
  EXPECT_EQ(shell_.awake_requests, std::vector<bool>({true, false}));
  EXPECT_EQ(ReadBytes(Target("two.bin")), "old two.bin");
  FakeFormView next_view;
  auto next = NewForm(next_view);
  next->FormCreate();
  EXPECT_EQ(Results(*next), std::vector<std::string>({backup_texts::kCopied, "", ""}));
}

// Windows ends the session after two of five entries of a weekly run: the due
// date stays, in memory and in the settings file, so the next check copies
// all five rather than leaving three for a week.
TEST_F(LongRunTest, AWeeklyRunCutAfterTwoOfFiveEntriesLeavesTheDueDateAndTheNextCheckCopiesAll) {
  ASSERT_TRUE(WriteBytes(temp_ / "Quillset.ini", "[Time]\r\nTimerSet=2026/11/30\r\nTimerIniSet=2\r\n"));
  SetWeeklyPastDue();
  for (const char* name : {"four.bin", "five.bin"})
    AddEntry(*form_, MakeSourceFile(temp_.Path(), "src", name, "small"));
  view_.while_responsive = [&] {
    if (delivered_ || view_.repaints != 2 || view_.progress_shown) return;
    delivered_ = true;
    view_.QueryEndSession(*form_);
    view_.EndSession(*form_, true);
  };

  form_->Copy1Click();

  EXPECT_EQ(os_.copies.size(), 2u) << "the session ended after two entries";
  EXPECT_EQ(form_->TimerSetValue, "2026/11/30");
  TIniFile settings(os_, temp_ / "Quillset.ini");
  EXPECT_EQ(settings.ReadString("Time", "TimerSet", ""), "2026/11/30");

  FakeFormView next_view;  // the next start, and its first check
  auto next = NewForm(next_view);
  next->FormCreate();
  next->Timer1Timer();
  EXPECT_EQ(os_.copies.size(), 7u) << "all five entries copied";
  EXPECT_EQ(TIniFile(os_, temp_ / "Quillset.ini").ReadString("Time", "TimerSet", ""),
            NextWeeklyDueDate());
}

// The question can come while the due date is written at the run's end (the
// window handles messages then too): the run goes on undisturbed.
TEST_F(LongRunTest, SessionEndQuestionDuringTheDueDatesWriteLetsTheRunGoOn) {
  SetWeeklyPastDue();
  os_.call_ms[OsCall::kFlush] = 100;  // the due date's write takes a moment
  bool delivered = false;
  const int before = shell_.off_thread_runs;
  view_.while_responsive = [&] {
    // Beside the UI thread: the first copy, its due date, its journal
    // append, the second copy, and now its due date.
    if (delivered || shell_.off_thread_runs != before + 5) return;
    delivered = true;
    view_.QueryEndSession(*form_);
  };

  form_->Copy1Click();

  ASSERT_TRUE(delivered);
  EXPECT_TRUE(view_.failures.empty());
  EXPECT_EQ(Results(*form_), std::vector<std::string>(3, backup_texts::kCopied));
  view_.EndSession(*form_, false);
}

// Windows asks, then another program says no: the run goes on as if nothing
// happened, so no entry waits a whole week for the next run.
TEST_F(LongRunTest, CancelledSessionEndDuringTheSecondCopyLetsTheRunFinishAndMovesTheDueDate) {
  SetWeeklyPastDue();
  OnceInsideSecondCopy([&] {
    view_.QueryEndSession(*form_);
    view_.EndSession(*form_, false);
  });

  form_->Copy1Click();

  ASSERT_TRUE(delivered_);
  EXPECT_EQ(Results(*form_), std::vector<std::string>(3, backup_texts::kCopied));
  for (const char* name : {"one.bin", "two.bin", "three.bin"}) {
    EXPECT_EQ(ReadBytes(Target(name)), kBigContent) << name;
  }
  EXPECT_EQ(form_->TimerSetValue, NextWeeklyDueDate());
  TIniFile settings(os_, temp_ / "Quillset.ini");
  EXPECT_EQ(settings.ReadString("Time", "TimerSet", ""), NextWeeklyDueDate());
  EXPECT_TRUE(view_.failures.empty());
}

TEST_F(LongRunTest, SessionEndDuringACopySavesTheEntriesDoneAndKeepsTheOldBackup) {
  OnceInsideSecondCopy([&] {
    view_.QueryEndSession(*form_);
    view_.EndSession(*form_, true);
  });

  form_->Copy1Click();

  ASSERT_TRUE(delivered_);
  EXPECT_FALSE(form_->BackupRunning());
  // The copy in progress was cancelled: the older backup is whole and no
  // part of the new copy is left; the third entry was not reached.
  EXPECT_EQ(ReadBytes(Target("one.bin")), kBigContent);
  EXPECT_EQ(ReadBytes(Target("two.bin")), "old two.bin");
  EXPECT_FALSE(PathExists(SafeCopyTemporaryName(Target("two.bin"), 0)));
  EXPECT_EQ(ReadBytes(Target("three.bin")), "old three.bin");
  EXPECT_EQ(CopiesOf("three.bin"), 0);
  EXPECT_TRUE(view_.failures.empty());
  EXPECT_FALSE(shell_.awake);

  // The data file holds the first entry's result, and the others as before.
  FakeFormView next_view;
  auto next = NewForm(next_view, true);
  next->FormCreate();
  EXPECT_EQ(Results(*next), std::vector<std::string>({backup_texts::kCopied, "", ""}));
  // No run starts any more in this session, from a tick or the menu.
  form_->Timer1Timer();
  form_->Copy1Click();
  view_.RunPosted();
  EXPECT_EQ(CopiesOf("three.bin"), 0);
}

// The question alone saves what is done so far, and the run goes on.
TEST_F(LongRunTest, SessionEndQuestionBetweenEntriesSavesTheEntryJustDoneAndTheRunGoesOn) {
  bool delivered = false;
  view_.while_responsive = [&] {
    // After the first entry's result, before the second entry.
    if (delivered || view_.repaints != 1 || view_.progress_shown) return;
    delivered = true;
    view_.QueryEndSession(*form_);
    FakeFormView next_view;
    auto next = NewForm(next_view, true);
    next->FormCreate();
    EXPECT_EQ(Results(*next), std::vector<std::string>({backup_texts::kCopied, "", ""}));
  };

  form_->Copy1Click();

  ASSERT_TRUE(delivered);
  EXPECT_EQ(Results(*form_), std::vector<std::string>(3, backup_texts::kCopied));
  view_.EndSession(*form_, false);
}

// However the run ends, the system may sleep again after it, and not before
// its end.
TEST_F(LongRunTest, TheSystemStaysAwakeForExactlyTheRunHoweverItEnds) {
  enum class End { kDone, kFailure, kSessionEndDuringACopy, kSessionEndBetweenEntries };
  for (End end : {End::kDone, End::kFailure, End::kSessionEndDuringACopy,
                  End::kSessionEndBetweenEntries}) {
    SCOPED_TRACE(static_cast<int>(end));
    FakeShellServices shell;
    FakeFormView view;
    std::remove((temp_ / "Quillset.cds").c_str());
    ASSERT_TRUE(WriteBytes(temp_ / "Quillset.ini", "[Time]\r\nTimerSet=10\r\nTimerIniSet=1\r\n"));
    TForm1 form(retrying_, view, shell, codec_);
    form.FormCreate();
    for (const std::string& source : sources_) AddEntry(form, source);
    form.ScheduleMode = 2;  // each copy writes its due date
    // Replaces: the three copies', then the due date's once the run is done.
    if (end == End::kFailure) os_.FailNthCall(4, OsFault::kFail, OsCall::kMove);
    bool delivered = false, awake_throughout = true;
    view.while_responsive = [&] {
      awake_throughout = awake_throughout && shell.awake;
      const bool between = view.repaints == 1 && !view.progress_shown;
      const bool copying = view.repaints == 1 && view.progress_shown;
      if (delivered || (end == End::kSessionEndDuringACopy && !copying) ||
          (end == End::kSessionEndBetweenEntries && !between) ||
          end == End::kDone || end == End::kFailure)
        return;
      delivered = true;
      view.QueryEndSession(form);
      view.EndSession(form, true);
    };
    if (end == End::kFailure) {
      EXPECT_ANY_THROW(form.Copy1Click());
    } else {
      form.Copy1Click();
    }
    os_.FailNthCall(0);
    EXPECT_TRUE(awake_throughout);
    EXPECT_EQ(shell.awake_requests, std::vector<bool>({true, false}));
    EXPECT_EQ(delivered, end == End::kSessionEndDuringACopy ||
                             end == End::kSessionEndBetweenEntries);
  }
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset

