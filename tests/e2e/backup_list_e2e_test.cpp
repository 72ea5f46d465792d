// The backup list of the real program: the first-run notice and the settings
// it writes, entries added through the real file-open dialog and folder
// browser, "コピー" over entries loaded from the data file (files on disk,
// result texts and times in the grid and in the saved file), "削除" after a
// start and right after adding, and "編集" switching typing in the grid.
//
// The dialogs are driven as a user would: the path typed into the file-open
// dialog's name field and OK; in the folder browser the folder is selected
// with BFFM_SETSELECTIONA (its text placed in the program's memory) and OK.
// The browser confirms only folders that exist, and its default selection is
// the desktop folder, so the copy test checks the stored folders before it
// runs a copy.
//
// The grid draws its cells itself; a cell's text is read through its cell
// editor (F2), which needs editing on. The menu's check mark cannot be read
// from another process under Wine, so "編集" is checked by its effect: typing
// opens the cell editor only while editing is on.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "backup/backup_run.h"
#include "tests/e2e/program_test.h"
#include "ui/form_texts.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

constexpr int kResultColumn = 2;
constexpr int kTimeColumn = 3;

using backup_texts::kCopied;
using backup_texts::kCopyFailed;
using form_texts::kApplicationTitle;
const char kFirstRunText[] =
    "初期設定値は ０分です。\r\nバックアップは開始しません！！\r\n"
    "メニューよりバックアップ開始間隔を設定して下さい。";
const char kFolderPromptSuffix[] = "バックアップ保存するディレクトリを選択して下さい";
// The result field keeps the first 20 bytes of the text.
const std::string kFolderMissing = std::string(backup_texts::kFolderMissing).substr(0, 20);

struct Entry {
  std::string file;
  std::string folder;
};

HWND FileNameField(HWND dialog) {
  for (HWND child : ChildWindows(dialog)) {
    int id = GetDlgCtrlID(child);
    // The edit field edt1, or the edit field inside the combo box cmb13
    // (Wine's layout).
    if (WindowClass(child) == "Edit" && (id == edt1 || id == cmb13))
      return child;
  }
  return nullptr;
}

class BackupListTest : public ProgramTest {
 protected:
  // Adds an entry through "backupファイル選択": the path typed into the
  // file-open dialog, the folder selected in the folder browser.
  void AddThroughDialogs(const Entry& entry, const std::string& file_name) {
    PostCommand(MenuItemId::bakup1);
    HWND open = process_->WaitForDialog();
    ASSERT_NE(open, nullptr) << "no file-open dialog";
    HWND name_field = nullptr;
    WaitUntil([&] { return (name_field = FileNameField(open)) != nullptr; }, kDialogTimeout);
    ASSERT_NE(name_field, nullptr) << "no file name field in the file-open dialog";
    ASSERT_TRUE(SetEditText(name_field, entry.file));
    PressButton(open, IDOK);

    HWND browser = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
          HWND box = process_->FindTopLevelWindow("#32770", nullptr, true);
          if (box && box != open) browser = box;
          return browser != nullptr;
        },
        kDialogTimeout))
        << "no folder browser after the file-open dialog";
    HWND prompt = FindChildWithTextEnding(browser, kFolderPromptSuffix);
    ASSERT_NE(prompt, nullptr) << "no prompt in the folder browser";
    EXPECT_EQ(WindowCaption(prompt), file_name + kFolderPromptSuffix);
    LRESULT ignored = 0;
    ASSERT_TRUE(process_->SendMessageWithText(browser, BFFM_SETSELECTIONA, TRUE, entry.folder,
                                              ignored));
    PressButton(browser, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser) || !IsWindowVisible(browser); },
                          kDialogTimeout));
    Settle();
  }

  // The texts of one column, top row first, read through the cell editor
  // with editing on; the grid's current row ends on the last entry.
  std::vector<std::string> ColumnTexts(int column, int rows) {
    std::vector<std::string> texts;
    SendKey(grid_, VK_HOME);  // first column
    for (int i = 0; i < column; ++i) SendKey(grid_, VK_RIGHT);
    for (int i = 0; i < 50; ++i) SendKey(grid_, VK_UP);  // first row
    for (int row = 0; row < rows; ++row) {
      std::string text;
      if (!ReadGridCell(grid_, text)) {
        ADD_FAILURE() << "the cell editor did not open at row " << row;
        break;
      }
      texts.push_back(text);
      if (row + 1 < rows) SendKey(grid_, VK_DOWN);
    }
    return texts;
  }

  // The texts of the first column down to the last row: read until the row
  // that Down appends after the last one (editing on), which Esc drops again.
  std::vector<std::string> FileColumn() {
    std::vector<std::string> texts;
    SendKey(grid_, VK_HOME);
    for (int i = 0; i < 50; ++i) SendKey(grid_, VK_UP);
    for (int row = 0; row < 20; ++row) {
      std::string text;
      if (!ReadGridCell(grid_, text)) {
        ADD_FAILURE() << "the cell editor did not open at row " << row;
        break;
      }
      if (text.empty()) {
        SendKey(grid_, VK_ESCAPE);
        break;
      }
      texts.push_back(text);
      SendKey(grid_, VK_DOWN);
    }
    Settle();
    return texts;
  }

  // A data file made by the program from entries added through its dialogs
  // (each file name is the part after the last backslash).
  void MakeDataFile(const std::vector<Entry>& entries) {
    ASSERT_NO_FATAL_FAILURE(StartFirstRun());
    for (const Entry& entry : entries) {
      std::string name = entry.file.substr(entry.file.find_last_of('\\') + 1);
      ASSERT_NO_FATAL_FAILURE(AddThroughDialogs(entry, name));
    }
    ASSERT_NO_FATAL_FAILURE(CloseProgram());
    ASSERT_TRUE(folder_.Exists("Quillset.cds"));
  }

  std::string Path(const std::string& name) const { return folder_.FilePath(name); }
};

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

std::string TodayShortDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char buffer[128] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, buffer, sizeof buffer);
  return buffer;
}

TEST_F(BackupListTest, FirstRunShowsTheNoticeBeforeTheWindowAndWritesTheSettings) {
  Start();
  HWND box = process_->WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(IsWindowVisible(form_));
  EXPECT_EQ(MessageBoxText(box), kFirstRunText);
  EXPECT_EQ(WindowCaption(box), kApplicationTitle);
  EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "one OK button only";

  // The settings are written before the notice shows.
  std::string settings;
  ASSERT_TRUE(folder_.ReadFile("Quillset.ini", settings));
  EXPECT_TRUE(Contains(settings, "[Time]")) << settings;
  EXPECT_TRUE(Contains(settings, "TimerSet=0")) << settings;
  EXPECT_TRUE(Contains(settings, "TimerIniSet=1")) << settings;
  EXPECT_LT(settings.find("[Time]"), settings.find("TimerSet=0"));

  ASSERT_TRUE(Dismiss(box));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
  CloseProgram();
}

TEST_F(BackupListTest, CopyOverEntriesLoadedFromTheDataFile) {
  ASSERT_TRUE(folder_.MakeFolder("source"));
  ASSERT_TRUE(folder_.MakeFolder("dest"));
  // The browser confirms only folders that exist: this one goes before the run.
  ASSERT_TRUE(folder_.MakeFolder("removed"));
  const std::string content = "the bytes to back up\r\n";
  ASSERT_TRUE(folder_.WriteFile("source\\a.txt", content));
  const Entry copied{Path("source\\a.txt"), Path("dest")};
  const Entry no_folder{Path("source\\a.txt"), Path("removed")};
  const Entry no_file{Path("source\\gone.txt"), Path("dest")};

  // The data file, made by the program itself from entries added through its
  // dialogs.
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  ASSERT_NO_FATAL_FAILURE(AddThroughDialogs(copied, "a.txt"));
  ASSERT_NO_FATAL_FAILURE(AddThroughDialogs(no_folder, "a.txt"));
  ASSERT_NO_FATAL_FAILURE(AddThroughDialogs(no_file, "gone.txt"));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  ASSERT_TRUE(folder_.Exists("Quillset.cds"));

  // Loaded at the next start: the entries as the dialogs gave them, no results
  // yet. Each was added in front of the last one, but the saved change log
  // brings the rows back in the order they were added (slot order).
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  Command(MenuItemId::Edit1);
  const std::vector<std::string> files = ColumnTexts(0, 3);
  const std::vector<std::string> folders = ColumnTexts(1, 3);
  EXPECT_EQ(files, (std::vector<std::string>{copied.file, no_folder.file, no_file.file}));
  ASSERT_EQ(folders, (std::vector<std::string>{copied.folder, no_folder.folder, no_file.folder}))
      << "the folder browser did not take the folder";
  EXPECT_EQ(ColumnTexts(kResultColumn, 3), (std::vector<std::string>{"", "", ""}));
  Command(MenuItemId::Edit1);

  ASSERT_TRUE(RemoveDirectoryA(Path("removed").c_str()));
  Command(MenuItemId::Copy1);
  std::string copy;
  ASSERT_TRUE(folder_.ReadFile("dest\\a.txt", copy)) << "the file was not copied";
  EXPECT_EQ(copy, content);
  EXPECT_FALSE(folder_.Exists("removed"));
  EXPECT_FALSE(folder_.Exists("dest\\gone.txt"));

  Command(MenuItemId::Edit1);
  const std::vector<std::string> results = ColumnTexts(kResultColumn, 3);
  const std::vector<std::string> times = ColumnTexts(kTimeColumn, 3);
  EXPECT_EQ(results, (std::vector<std::string>{kCopied, kFolderMissing, kCopyFailed}));
  ASSERT_EQ(times.size(), 3u);
  for (const std::string& time : times)
    EXPECT_EQ(time.rfind(TodayShortDate() + " ", 0), 0u) << time;
  ASSERT_NO_FATAL_FAILURE(CloseProgram());

  // The saved file holds the results; a restart shows them again.
  std::string saved;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", saved));
  EXPECT_TRUE(Contains(saved, kCopied));
  EXPECT_TRUE(Contains(saved, kCopyFailed));
  EXPECT_TRUE(Contains(saved, kFolderMissing));
  EXPECT_FALSE(Contains(saved, "フォルダーが見つかりません")) << "the result field holds 20 bytes";
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  Command(MenuItemId::Edit1);
  EXPECT_EQ(ColumnTexts(kResultColumn, 3), results);
  EXPECT_EQ(ColumnTexts(kTimeColumn, 3), times);
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

TEST_F(BackupListTest, CancellingEitherDialogAddsNothing) {
  ASSERT_TRUE(folder_.MakeFolder("データ"));
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());

  PostCommand(MenuItemId::bakup1);
  HWND open = process_->WaitForDialog();
  ASSERT_NE(open, nullptr);
  PressButton(open, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(open); }, kDialogTimeout));
  Settle();
  EXPECT_EQ(process_->FindTopLevelWindow("#32770", nullptr, true), nullptr)
      << "a cancelled file-open dialog must end the command";

  // A double-byte name whose second byte is a backslash (表: 0x95 0x5C) is
  // one name: the prompt starts with all of it.
  PostCommand(MenuItemId::bakup1);
  open = process_->WaitForDialog();
  ASSERT_NE(open, nullptr);
  HWND name_field = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (name_field = FileNameField(open)) != nullptr; }, kDialogTimeout));
  ASSERT_TRUE(SetEditText(name_field, Path("データ\\表.txt")));
  PressButton(open, IDOK);
  HWND browser = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        HWND box = process_->FindTopLevelWindow("#32770", nullptr, true);
        if (box && box != open) browser = box;
        return browser != nullptr;
      },
      kDialogTimeout));
  HWND prompt = FindChildWithTextEnding(browser, kFolderPromptSuffix);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(WindowCaption(prompt), std::string("表.txt") + kFolderPromptSuffix);
  PressButton(browser, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }, kDialogTimeout));
  Settle();
  EXPECT_EQ(process_->FindTopLevelWindow("#32770", nullptr, true), nullptr);

  // Nothing was added: the saved list is the empty one.
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  std::string saved;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", saved));
  EXPECT_EQ(saved.size(), 146u);
}

TEST_F(BackupListTest, DeleteRightAfterAStartDeletesTheFirstEntry) {
  ASSERT_TRUE(folder_.MakeFolder("dest"));
  const std::string dest = Path("dest");
  ASSERT_NO_FATAL_FAILURE(MakeDataFile(
      {{Path("one.txt"), dest}, {Path("two.txt"), dest}, {Path("three.txt"), dest}}));

  // After a load the first row is current and AtEnd is clear.
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  Command(MenuItemId::Delete1);
  Command(MenuItemId::Edit1);
  EXPECT_EQ(FileColumn(), (std::vector<std::string>{Path("two.txt"), Path("three.txt")}));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  Command(MenuItemId::Edit1);
  EXPECT_EQ(FileColumn(), (std::vector<std::string>{Path("two.txt"), Path("three.txt")}))
      << "the deletion was not saved";
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

TEST_F(BackupListTest, DeleteRightAfterAddingDoesNothing) {
  ASSERT_TRUE(folder_.MakeFolder("dest"));
  const std::string dest = Path("dest");
  ASSERT_NO_FATAL_FAILURE(MakeDataFile({{Path("one.txt"), dest}, {Path("two.txt"), dest}}));

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  ASSERT_NO_FATAL_FAILURE(AddThroughDialogs({Path("new.txt"), dest}, "new.txt"));
  Command(MenuItemId::Delete1);  // AtEnd is set after adding: nothing happens
  Command(MenuItemId::Edit1);
  // The new entry stands in front of the last one.
  EXPECT_EQ(FileColumn(),
            (std::vector<std::string>{Path("one.txt"), Path("new.txt"), Path("two.txt")}));

  // Once the current row has moved up, "削除" deletes it again.
  SendKey(grid_, VK_UP);
  Settle();
  Command(MenuItemId::Delete1);
  EXPECT_EQ(FileColumn(), (std::vector<std::string>{Path("one.txt"), Path("two.txt")}));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

TEST_F(BackupListTest, TypingChangesACellOnlyWhileEditingIsOn) {
  ASSERT_TRUE(folder_.MakeFolder("dest"));
  ASSERT_NO_FATAL_FAILURE(MakeDataFile({{Path("one.txt"), Path("dest")}}));
  std::string before;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", before));

  // Read-only at start: typing opens no cell editor, and neither typing nor
  // Insert nor Down on the last row changes the list.
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  HWND editor = GridEditorOf(grid_);
  ASSERT_NE(editor, nullptr);
  TypeIntoGridCell(grid_, "typed.txt", VK_RETURN);
  SendKey(grid_, VK_F2);
  EXPECT_FALSE(IsWindowVisible(editor));
  SendKey(grid_, VK_INSERT);
  SendKey(grid_, VK_DOWN);
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  std::string after;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", after));
  EXPECT_EQ(after, before) << "typing changed the list while editing was off";

  // "編集" switches editing on: the typed text replaces the cell.
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  editor = GridEditorOf(grid_);
  ASSERT_NE(editor, nullptr);
  Command(MenuItemId::Edit1);
  SendText(grid_, "C:\\typed.txt");
  EXPECT_TRUE(IsWindowVisible(editor));
  SendKey(grid_, VK_RETURN);
  EXPECT_FALSE(IsWindowVisible(editor));
  std::string text;
  ASSERT_TRUE(ReadGridCell(grid_, text));
  EXPECT_EQ(text, "C:\\typed.txt");

  // And "編集" again switches it off.
  Command(MenuItemId::Edit1);
  SendText(grid_, "x");
  SendKey(grid_, VK_F2);
  EXPECT_FALSE(IsWindowVisible(editor));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  Command(MenuItemId::Edit1);
  EXPECT_EQ(FileColumn(), (std::vector<std::string>{"C:\\typed.txt"}));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

// ---- Timer ticks inside a box, and the end of the Windows session

const char kDeleteQuestion[] = "レコードを削除してもよいですか？";

// A tick during Ctrl+Delete's question runs the backup, which leaves the last
// row current; "OK" still deletes the row the question was about.
TEST_F(BackupListTest, ATickDuringTheDeleteQuestionDeletesTheRowAskedAbout) {
  ASSERT_TRUE(folder_.MakeFolder("dest"));
  for (const char* name : {"one.txt", "two.txt", "three.txt"})
    ASSERT_TRUE(folder_.WriteFile(name, name));
  const std::string dest = Path("dest");
  ASSERT_NO_FATAL_FAILURE(MakeDataFile(
      {{Path("one.txt"), dest}, {Path("two.txt"), dest}, {Path("three.txt"), dest}}));

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());  // the first row is current
  Command(MenuItemId::Edit1);
  ASSERT_TRUE(BringToForeground(form_));
  ASSERT_TRUE(WaitForFocus(grid_))
      << "the grid does not hold the focus";
  PressKeys({VK_CONTROL, VK_DELETE});
  HWND box = process_->WaitForDialog();
  ASSERT_NE(box, nullptr) << "no question after Ctrl+Delete";
  EXPECT_EQ(MessageBoxText(box), kDeleteQuestion);

  HWND timer = process_->FindTopLevelWindow(kTimerWindowClass);
  ASSERT_NE(timer, nullptr);
  PostTimerTick(timer);  // the stored schedule is the minutes mode: a tick runs
  ASSERT_TRUE(WaitUntil([&] { return folder_.Exists("dest\\three.txt"); }, kDialogTimeout))
      << "the tick did not run the backup while the question was open";
  ASSERT_TRUE(Dismiss(box));
  Settle();
  EXPECT_EQ(FileColumn(), (std::vector<std::string>{Path("two.txt"), Path("three.txt")}));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

// "削除" from the popup menu with a timer tick while the menu is open: the
// tick's run leaves the last row current, but the row deleted is the one
// that was current when the menu opened.
TEST_F(BackupListTest, ATickWhileThePopupMenuIsOpenDeletesTheRowSeenCurrent) {
  ASSERT_TRUE(folder_.MakeFolder("dest"));
  for (const char* name : {"one.txt", "two.txt", "three.txt"})
    ASSERT_TRUE(folder_.WriteFile(name, name));
  const std::string dest = Path("dest");
  ASSERT_NO_FATAL_FAILURE(MakeDataFile(
      {{Path("one.txt"), dest}, {Path("two.txt"), dest}, {Path("three.txt"), dest}}));

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());  // the first row is current
  ASSERT_TRUE(BringToForeground(form_));
  ASSERT_TRUE(WaitForFocus(grid_)) << "the grid does not hold the focus";
  PressKeys({VK_SHIFT, VK_F10});
  HWND menu = process_->WaitForWindow("#32768", nullptr, kDialogTimeout, true);
  ASSERT_NE(menu, nullptr) << "no popup menu after Shift+F10";

  HWND timer = process_->FindTopLevelWindow(kTimerWindowClass);
  ASSERT_NE(timer, nullptr);
  PostTimerTick(timer);  // the stored schedule is the minutes mode: a tick runs
  ASSERT_TRUE(WaitUntil([&] { return folder_.Exists("dest\\three.txt"); }, kDialogTimeout))
      << "the tick did not run the backup while the menu was open";
  PressKeys({VK_DOWN});  // "backupファイル選択"
  PressKeys({VK_DOWN});  // "削除"
  PressKeys({VK_RETURN});
  ASSERT_TRUE(WaitUntil([&] { return !process_->FindTopLevelWindow("#32768", nullptr, true); },
                        kDialogTimeout));
  Settle();
  Command(MenuItemId::Edit1);
  EXPECT_EQ(FileColumn(), (std::vector<std::string>{Path("two.txt"), Path("three.txt")}));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

// Another program cancels the first end of the session: the program goes on
// as before (its timer too), and the real end afterwards saves what the run
// wrote since, then ends the program.
TEST_F(BackupListTest, ACancelledSessionEndThenARunThenARealEndSavesTheRunsResults) {
  ASSERT_TRUE(folder_.MakeFolder("dest"));
  ASSERT_TRUE(folder_.WriteFile("a.txt", "a"));
  ASSERT_NO_FATAL_FAILURE(MakeDataFile({{Path("a.txt"), Path("dest")}}));
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());

  auto send = [&](UINT message, WPARAM wparam) {
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutA(form_, message, wparam, 0, SMTO_ABORTIFHUNG, kDialogTimeout,
                                  &result),
              0);
    return result;
  };
  EXPECT_EQ(send(WM_QUERYENDSESSION, 0), static_cast<DWORD_PTR>(TRUE));
  send(WM_ENDSESSION, FALSE);
  ASSERT_TRUE(WaitForPostedMessages(form_));
  EXPECT_TRUE(process_->IsRunning());
  EXPECT_TRUE(IsWindowVisible(form_));
  EXPECT_EQ(process_->FindTopLevelWindow("#32770", nullptr, true), nullptr) << "no box";

  HWND timer = process_->FindTopLevelWindow(kTimerWindowClass);
  ASSERT_NE(timer, nullptr);
  PostTimerTick(timer);
  ASSERT_TRUE(WaitUntil([&] { return folder_.Exists("dest\\a.txt"); }, kDialogTimeout))
      << "no run after the cancelled end of the session";

  // The run ends before the sent messages are handled.
  EXPECT_EQ(send(WM_QUERYENDSESSION, 0), static_cast<DWORD_PTR>(TRUE));
  send(WM_ENDSESSION, TRUE);
  DWORD code = 99;
  ASSERT_TRUE(process_->WaitForExit(code)) << "the program did not end with the session";
  EXPECT_EQ(code, 0u);
  process_.reset();
  // The end of the session only appended to the journal: the next start
  // folds it into the data file, and its close saves the list whole.
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  std::string saved;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", saved));
  EXPECT_TRUE(Contains(saved, kCopied)) << "the run's result was not saved";
}

TEST_F(BackupListTest, MainWindowTakesNoInputWhileTheFileOpenDialogIsOpen) {
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  ASSERT_TRUE(IsWindowEnabled(form_));

  PostCommand(MenuItemId::bakup1);
  HWND open = process_->WaitForDialog();
  ASSERT_NE(open, nullptr) << "no file-open dialog";
  // No menu behind the dialog: the window it would open from is disabled.
  EXPECT_FALSE(IsWindowEnabled(form_));
  EXPECT_TRUE(IsWindowEnabled(open));

  PressButton(open, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(open); }, kDialogTimeout));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(form_) != FALSE; }, kDialogTimeout))
      << "the main window stays disabled after the dialog";
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

// A file of `size` bytes made in a moment: its length is set, nothing is
// written (a sparse file on the host's file system).
bool MakeLongFile(const std::string& path, LONGLONG size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = size;
  const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

int CountOf(const std::string& haystack, const std::string& needle) {
  int count = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size()))
    ++count;
  return count;
}

// Runs over three entries whose second is a file of several GiB (sparse: made
// in a moment), with older backups of the last two in place.
class LongRunTest : public BackupListTest {
 protected:
  void TearDown() override {
    BackupListTest::TearDown();  // the program goes first: it may hold them
    for (const char* name : {"big.bin", "dest\\big.bin", "dest\\big.bin.quillset-0.tmp"})
      DeleteFileA(Path(name).c_str());
  }

  // Returns with the run started and the long copy under way.
  void StartRunWithALongCopy() {
    ASSERT_TRUE(folder_.MakeFolder("dest"));
    ASSERT_TRUE(folder_.WriteFile("a.txt", "a"));
    ASSERT_TRUE(folder_.WriteFile("c.txt", "c"));
    ASSERT_TRUE(MakeLongFile(Path("big.bin"), kLongFileSize));
    ASSERT_NO_FATAL_FAILURE(MakeDataFile({{Path("a.txt"), Path("dest")},
                                          {Path("big.bin"), Path("dest")},
                                          {Path("c.txt"), Path("dest")}}));
    ASSERT_TRUE(folder_.WriteFile("dest\\big.bin", "older backup of big.bin"));
    ASSERT_TRUE(folder_.WriteFile("dest\\c.txt", "older backup of c.txt"));
    ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
    PostCommand(MenuItemId::Copy1);
    ASSERT_TRUE(WaitUntil([&] { return folder_.Exists("dest\\big.bin.quillset-0.tmp"); },
                          kDialogTimeout))
        << "the copy of the long file did not start";
  }

  // True while the long copy goes on (its older backup still in place).
  bool StillCopying() {
    std::string target;
    return folder_.Exists("dest\\big.bin.quillset-0.tmp") &&
           folder_.ReadFile("dest\\big.bin", target) && target == "older backup of big.bin";
  }

  DWORD_PTR Send(UINT message, WPARAM wparam) {
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(form_, message, wparam, 0, SMTO_ABORTIFHUNG, kDialogTimeout,
                                  &answer),
              0);
    return answer;
  }

  static constexpr LONGLONG kLongFileSize = 6LL << 30;
};

// The window answers throughout, and the end of the session during the copy
// keeps the results so far and the interrupted entry's older backup.
TEST_F(LongRunTest, LongRunAnswersAndASessionEndDuringItKeepsTheResultsSoFar) {
  ASSERT_NO_FATAL_FAILURE(StartRunWithALongCopy());
  for (int probe = 0; probe < 5; ++probe) {
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutA(form_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0)
        << "no answer within a second, probe " << probe;
    Sleep(50);
  }
  // Still copying: what follows happens during the copy.
  ASSERT_TRUE(StillCopying()) << "the copy ended too soon to look";

  EXPECT_EQ(Send(WM_QUERYENDSESSION, 0), static_cast<DWORD_PTR>(TRUE));
  Send(WM_ENDSESSION, TRUE);
  DWORD code = 99;
  ASSERT_TRUE(process_->WaitForExit(code)) << "the program did not end with the session";
  EXPECT_EQ(code, 0u);
  process_.reset();
  // The end of the session only appended to the journal: the next start
  // folds it into the data file, and its close saves the list whole.
  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  std::string saved;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", saved));
  EXPECT_EQ(CountOf(saved, kCopied), 1) << "the first entry's result, and only it";
  EXPECT_EQ(CountOf(saved, kCopyFailed), 0) << "the interrupted entry got no result";
  std::string copy;
  ASSERT_TRUE(folder_.ReadFile("dest\\a.txt", copy));
  EXPECT_EQ(copy, "a");
  ASSERT_TRUE(folder_.ReadFile("dest\\big.bin", copy));
  EXPECT_EQ(copy, "older backup of big.bin");
  // (The cancelled copy's own file is not checked: Wine's system copy reads
  // neither its progress routine's answer nor its cancel flag, so it runs on
  // until the process ends; Windows' stops and removes it.)
  ASSERT_TRUE(folder_.ReadFile("dest\\c.txt", copy));
  EXPECT_EQ(copy, "older backup of c.txt") << "the entry after it was not reached";
}

// Another program says no to the end of the session during the long copy:
// the run goes on to its end, every entry copied and saved at the close.
TEST_F(LongRunTest, ACancelledSessionEndDuringTheLongCopyLetsTheRunFinish) {
  ASSERT_NO_FATAL_FAILURE(StartRunWithALongCopy());
  ASSERT_TRUE(StillCopying()) << "the copy ended too soon to look";
  EXPECT_EQ(Send(WM_QUERYENDSESSION, 0), static_cast<DWORD_PTR>(TRUE));
  Send(WM_ENDSESSION, FALSE);

  std::string copy;
  ASSERT_TRUE(WaitUntil([&] { return folder_.ReadFile("dest\\c.txt", copy) && copy == "c"; },
                        180000))
      << "the run did not go on to the last entry";
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  std::string saved;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", saved));
  EXPECT_EQ(CountOf(saved, kCopied), 3);
  WIN32_FILE_ATTRIBUTE_DATA big = {};
  ASSERT_TRUE(GetFileAttributesExA(Path("dest\\big.bin").c_str(), GetFileExInfoStandard, &big));
  EXPECT_EQ((LONGLONG(big.nFileSizeHigh) << 32) | big.nFileSizeLow, kLongFileSize);
}

// During the long copy "タスクトレーへ" hides the window and the icon shows it.
TEST_F(LongRunTest, TheTrayIconShowsTheWindowDuringTheLongCopy) {
  ASSERT_NO_FATAL_FAILURE(StartRunWithALongCopy());
  PostCommand(MenuItemId::N1);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(form_); }, kWindowTimeout))
      << "the window did not go to the tray during the run";
  PostTrayCallback(form_, WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout))
      << "the window did not show";
  EXPECT_TRUE(StillCopying()) << "the copy ended too soon to look";
}

// "終了" during the long copy, "はい": the program ends, the older backup whole.
TEST_F(LongRunTest, QuitDuringTheLongCopyAnsweredYesEndsWithTheOlderBackupWhole) {
  ASSERT_NO_FATAL_FAILURE(StartRunWithALongCopy());
  PostCommand(MenuItemId::Exit1);
  HWND box = process_->WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), form_texts::kStopRunQuestion);
  PressButton(box, IDYES);
  DWORD code = 99;
  ASSERT_TRUE(process_->WaitForExit(code)) << "the program did not end";
  EXPECT_EQ(code, 0u);
  process_.reset();

  std::string saved, copy;
  ASSERT_TRUE(folder_.ReadFile("Quillset.cds", saved));
  EXPECT_EQ(CountOf(saved, kCopied), 1) << "the first entry's result, and only it";
  ASSERT_TRUE(folder_.ReadFile("dest\\big.bin", copy));
  EXPECT_EQ(copy, "older backup of big.bin");
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
