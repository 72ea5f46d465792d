// The journal seen from the window, over real files: what a killed program,
// a power loss at any write or flush (of an append, of the fold at start, of
// the close), a damaged journal and the journal of another data file leave
// for the next start.
#include "ui/testing/form_fixture.h"

#include <cstdio>
#include <functional>

#include "backup/backup_run.h"
#include "datafile/journal.h"
#include "datafile/table_packet.h"

namespace quillset {
namespace testing_support {
namespace {

struct PowerLoss {};  // no std::exception: nothing in the program catches it

class FormJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Valid());
    os_.SetExecutablePath(temp_ / "Quillset.exe");
    // A stored schedule: no first-run box. An empty list, then one entry.
    ASSERT_TRUE(WriteBytes(temp_ / "Quillset.ini", "[Time]\r\nTimerSet=10\r\nTimerIniSet=1\r\n"));
    Close(Start(os_));
    empty_list_ = ReadBytes(data_path_);
    auto form = Start(os_);
    Add(*form, "C:\\base.txt");
    Close(std::move(form));
    one_entry_ = ReadBytes(data_path_);
  }

  std::unique_ptr<TForm1> Start(OsServices& os) {
    auto form = std::make_unique<TForm1>(os, view_, shell_, codec_);
    form->FormCreate();
    return form;
  }
  void Close(std::unique_ptr<TForm1> form) { form->FormClose(); }
  void Add(TForm1& form, const std::string& file) {
    shell_.open_file_ok = true;
    shell_.open_file_path = file;
    shell_.folder_result = PickResult::kChosen;
    shell_.folder_path = temp_ / "dest";
    form.MenuClick(MenuItemId::bakup1);
  }
  // Each entry's file and result, as a start over the files now shows them.
  std::vector<std::string> ListAtNextStart() {
    FakeFormView view;
    TForm1 form(os_, view, shell_, codec_);
    form.FormCreate();
    messages_ = view.plain_messages;
    EXPECT_TRUE(view.failures.empty());
    std::vector<std::string> list;
    TClientDataSet& store = form.ClientDataSet1();
    for (int i = 1; i <= store.RowCount(); ++i) {
      store.SetRowNumber(i);
      list.push_back(store.FieldAt(0).ReadText() + "|" + store.FieldAt(2).ReadText());
    }
    return list;
  }
  void RemoveJournals() {
    for (const char* suffix : {".journal", ".journal.new", ".journal.1", ".new"})
      std::remove((data_path_ + suffix).c_str());
  }

  // The steps of two runs of the program, each of which writes: a killed
  // run of four changes, then a run that folds its journal in at start, adds
  // an entry and closes.
  enum Step { kAddX, kAddY, kResult, kDelete, kFold, kAddZ, kClose, kSteps };
  // Runs the steps over `os` from the one-entry data file, until a
  // PowerLoss or `stop` steps are done (the program is killed then).
  // Returns the number of steps done.
  int RunSteps(OsServices& os, int stop = kSteps) {
    WriteBytes(data_path_, one_entry_);
    RemoveJournals();
    int done = 0;
    if (stop == 0) return done;
    std::unique_ptr<TForm1> form;
    const auto step_done = [&] { return ++done == stop; };
    try {
      form = Start(os);
      Add(*form, "C:\\x.txt");
      if (step_done()) return done;
      Add(*form, "C:\\y.txt");  // x is committed, y pending
      if (step_done()) return done;
      TClientDataSet& store = form->ClientDataSet1();
      store.SetRowNumber(1);
      store.EditRow();
      store.FieldAt(2).WriteText("ok");
      store.CommitRow();
      form->MenuClick(MenuItemId::Edit1);  // a command: the journal is appended after it
      if (step_done()) return done;
      form->PopupMenuOpening();
      form->PopupMenuClosed(MenuItemId::Delete1);
      if (step_done()) return done;
      form.reset();  // killed
      form = Start(os);
      if (step_done()) return done;
      Add(*form, "C:\\z.txt");
      if (step_done()) return done;
      Close(std::move(form));
      ++done;
    } catch (const PowerLoss&) {
    }
    return done;
  }

  TempFolder temp_;
  FormTestOs os_;
  FakeShellServices shell_;
  FakeFormView view_;
  BinaryPacketCodec codec_;
  std::string data_path_ = temp_ / "Quillset.cds";
  std::string journal_path_ = data_path_ + ".journal";
  std::string empty_list_, one_entry_;
  std::vector<std::string> messages_;
};

TEST_F(FormJournalTest, AKilledProgramLosesNoEntryAndNoResult) {
  MakeFolder(temp_ / "dest");
  const std::string source = MakeSourceFile(temp_.Path(), "src", "a.txt", "content");
  auto form = Start(os_);
  Add(*form, source);
  form->MenuClick(MenuItemId::Copy1);
  EXPECT_EQ(ReadBytes(data_path_), one_entry_) << "no full save before the close";
  form.reset();  // TerminateProcess: no close, no end of session

  // (A changed entry stands after the entries stored before it.)
  EXPECT_EQ(ListAtNextStart(), std::vector<std::string>({source + "|" + backup_texts::kCopied,
                                                         std::string("C:\\base.txt|") +
                                                             backup_texts::kCopyFailed}));
  EXPECT_TRUE(messages_.empty());
  EXPECT_FALSE(PathExists(journal_path_)) << "folded into the data file";
  EXPECT_EQ(ListAtNextStart().size(), 2u);
}

// A power loss just before each write and each flush, of each step: the next
// start shows every change whose append was flushed, and no other.
TEST_F(FormJournalTest, APowerLossAtAnyWriteOrFlushKeepsEveryFlushedChangeAndNoOther) {
  // The list after each number of steps done, as a start then shows it.
  std::vector<std::vector<std::string>> after;
  for (int steps = 0; steps <= kSteps; ++steps) {
    ASSERT_EQ(RunSteps(os_, steps), steps);
    after.push_back(ListAtNextStart());
  }
  EXPECT_EQ(after[kAddY], std::vector<std::string>({"C:\\base.txt|", "C:\\x.txt|"}));
  EXPECT_EQ(after[kDelete + 1], std::vector<std::string>({"C:\\base.txt|", "C:\\y.txt|"}));
  EXPECT_EQ(after[kSteps].size(), 3u);
  int losses = 0;
  for (OsCall call : {OsCall::kWrite, OsCall::kFlush}) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(::testing::Message() << (call == OsCall::kWrite ? "write " : "flush ") << n);
      // The test's OS services are the fault-injecting ones.
      os_.BeforeCall(call, n, [] { throw PowerLoss(); });
      const int done = RunSteps(os_);
      if (done == kSteps) break;
      ++losses;
      os_.Crash();
      EXPECT_EQ(ListAtNextStart(), after[done]);
      EXPECT_TRUE(messages_.empty()) << (messages_.empty() ? "" : messages_[0]);
    }
  }
  EXPECT_GE(losses, 2 * kSteps);
}

// A journal that cannot be applied is set aside under another name, the
// user is told once, and the data file is left as it is.
TEST_F(FormJournalTest, ADamagedJournalOrOneOfAnotherDataFileIsSetAsideAndToldOnce) {
  const std::string aside = journal_path_ + ".1";
  struct Case {
    const char* what;
    std::function<void()> spoil;
    std::vector<std::string> list;  // what the start shows
  } cases[] = {
      {"a flipped bit before the last record",
       [&] {
         std::string journal = ReadBytes(journal_path_);
         journal[kJournalHeaderBytes + 12] ^= 0x10;
         WriteBytes(journal_path_, journal);
       },
       {"C:\\base.txt|"}},
      {"the data file restored from an older backup",
       [&] { WriteBytes(data_path_, empty_list_); }, {}},
      {"no data file", [&] { std::remove(data_path_.c_str()); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(RunSteps(os_, kDelete + 1), kDelete + 1);  // killed with a journal
    std::remove(aside.c_str());
    c.spoil();
    const std::string data_file = ReadBytes(data_path_);
    const std::string journal = ReadBytes(journal_path_);
    EXPECT_EQ(ListAtNextStart(), c.list);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find(journal_path_), std::string::npos);
    EXPECT_NE(messages_[0].find(aside), std::string::npos);
    EXPECT_EQ(ReadBytes(aside), journal);
    EXPECT_FALSE(PathExists(journal_path_));
    EXPECT_EQ(ReadBytes(data_path_), data_file) << "untouched";
    EXPECT_EQ(ListAtNextStart(), c.list);
    EXPECT_TRUE(messages_.empty()) << "told once";
  }
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset
