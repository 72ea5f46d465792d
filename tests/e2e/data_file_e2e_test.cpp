// The data file of the real program: closing writes it, a restart shows the
// same list and saves the same bytes again, a data file held open by another
// program makes the close fail without losing the old file, and a damaged
// data file is reported at start and left as it is.
//
// Entries are typed into the grid (editing on, Insert, text, Tab); the grid's
// cells are read back through its cell editor.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/program_test.h"
#include "ui/form_texts.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

constexpr std::size_t kEmptyListFileSize = 146;
using form_texts::kApplicationTitle;
using form_texts::kDesignCaption;

class DataFileTest : public ProgramTest {
 protected:
  void TearDown() override {
    if (lock_ != INVALID_HANDLE_VALUE) CloseHandle(lock_);
    ProgramTest::TearDown();
  }

  // Editing on, a new entry in front of the current row, its file and folder
  // typed in. The entry stays pending until the close commits it.
  void TypeNewEntry(const std::string& file, const std::string& folder) {
    Command(MenuItemId::Edit1);
    SendKey(grid_, VK_INSERT);
    TypeIntoGridCell(grid_, file, VK_TAB);
    TypeIntoGridCell(grid_, folder, VK_RETURN);
    HWND editor = GridEditorOf(grid_);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(editor); }, kDialogTimeout));
    Settle();
  }
  // The first row's cells of the first two columns (editing must be on).
  void ReadFirstEntry(std::string& file, std::string& folder) {
    SendKey(grid_, VK_HOME);
    ASSERT_TRUE(ReadGridCell(grid_, file));
    SendKey(grid_, VK_RIGHT);
    ASSERT_TRUE(ReadGridCell(grid_, folder));
  }
  std::string DataFile() {
    std::string content;
    EXPECT_TRUE(folder_.ReadFile("Quillset.cds", content));
    return content;
  }
  HWND VisibleBox() const { return process_->FindTopLevelWindow("#32770", nullptr, true); }

  HANDLE lock_ = INVALID_HANDLE_VALUE;
};

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

TEST_F(DataFileTest, ClosingAnEmptyListWritesItAndARestartSavesTheSameBytes) {
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  EXPECT_FALSE(folder_.Exists("Quillset.cds")) << "written before the close";
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  const std::string first = DataFile();
  EXPECT_EQ(first.size(), kEmptyListFileSize);

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  EXPECT_EQ(DataFile(), first);
}

TEST_F(DataFileTest, AnEntryTypedIntoTheGridSurvivesARestart) {
  // A double-byte file name whose second byte is a backslash (表: 0x95 0x5C).
  const std::string file = "C:\\データ\\表.txt";
  const std::string folder = "C:\\保管";
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  ASSERT_NO_FATAL_FAILURE(TypeNewEntry(file, folder));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  const std::string saved = DataFile();
  EXPECT_GT(saved.size(), kEmptyListFileSize);
  EXPECT_TRUE(Contains(saved, file));
  EXPECT_TRUE(Contains(saved, folder));

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  Command(MenuItemId::Edit1);
  std::string shown_file, shown_folder;
  ASSERT_NO_FATAL_FAILURE(ReadFirstEntry(shown_file, shown_folder));
  EXPECT_EQ(shown_file, file);
  EXPECT_EQ(shown_folder, folder);
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  EXPECT_EQ(DataFile(), saved) << "a load and a save without changes must give the same bytes";
}

TEST_F(DataFileTest, ADataFileHeldOpenByAnotherProgramFailsTheCloseAndKeepsTheOldFile) {
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  const std::string old_content = DataFile();
  ASSERT_EQ(old_content.size(), kEmptyListFileSize);

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  ASSERT_NO_FATAL_FAILURE(TypeNewEntry("C:\\new.txt", "C:\\dest"));
  lock_ = CreateFileA(folder_.DataFilePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock_, INVALID_HANDLE_VALUE);

  process_->Close(form_);
  HWND box = process_->WaitForDialog();
  ASSERT_NE(box, nullptr) << "no failure box for the held data file";
  EXPECT_EQ(MessageBoxText(box), "ファイル " + folder_.DataFilePath() + " を作成できません.");
  EXPECT_EQ(WindowCaption(box), kApplicationTitle);
  ASSERT_TRUE(Dismiss(box));
  // The window stays open, the old file is whole and nothing is left beside it.
  Settle();
  EXPECT_TRUE(process_->IsRunning());
  EXPECT_TRUE(IsWindowVisible(form_));
  CloseHandle(lock_);
  lock_ = INVALID_HANDLE_VALUE;
  EXPECT_EQ(DataFile(), old_content);
  EXPECT_FALSE(folder_.Exists("Quillset.cds.new"));

  // Released, the next close saves, the new entry included.
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  const std::string saved = DataFile();
  EXPECT_NE(saved, old_content);
  EXPECT_TRUE(Contains(saved, "C:\\new.txt"));
}

// A pseudo-random byte string (fixed seed: the same bytes in every run).
std::string RandomBytes(std::size_t count) {
  std::string bytes;
  std::uint32_t state = 0x2545F491u;
  for (std::size_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes.push_back(static_cast<char>(state >> 24));
  }
  return bytes;
}

TEST_F(DataFileTest, ADamagedDataFileIsReportedAtStartAndLeftUntouched) {
  // A valid empty-list file, cut short, and bytes that were never a data file.
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  const std::string valid = DataFile();
  ASSERT_EQ(valid.size(), kEmptyListFileSize);
  ASSERT_TRUE(DeleteFileA(folder_.SettingsFilePath().c_str()));

  for (const std::string& damaged : {valid.substr(0, 60), RandomBytes(500)}) {
    SCOPED_TRACE(damaged.size());
    ASSERT_TRUE(folder_.WriteFile("Quillset.cds", damaged));
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND box = process_->WaitForDialog();
    ASSERT_NE(box, nullptr) << "the damaged file was not reported";
    EXPECT_EQ(WindowCaption(box), kApplicationTitle);
    // The box says which file failed, not only ".".
    EXPECT_NE(MessageBoxText(box).find("Quillset.cds"), std::string::npos) << MessageBoxText(box);
    // The failed load ends the creation handler before the settings step: no
    // first-run notice, no settings file, the window shown with its design
    // caption. (The first activation may report the failed load once more.)
    ASSERT_TRUE(WaitUntil(
        [&] {
          if (HWND shown = VisibleBox()) PressButton(shown, IDOK);
          return IsWindowVisible(form_) && !VisibleBox();
        },
        kWindowTimeout));
    EXPECT_EQ(WindowCaption(form_), kDesignCaption);
    EXPECT_TRUE(process_->IsRunning());
    ASSERT_NO_FATAL_FAILURE(CloseProgram());
    EXPECT_EQ(DataFile(), damaged) << "the damaged file was written over";
    EXPECT_FALSE(folder_.Exists("Quillset.ini"));
    EXPECT_FALSE(folder_.Exists("Quillset.cds.new"));
  }
}

// Ended from outside (TerminateProcess: no close, no end of session) right
// after a backup run: the next start shows the entry and its result, from
// the journal, and folds the journal into the data file.
TEST_F(DataFileTest, AnEntryAndItsResultSurviveTheProcessBeingTerminated) {
  ASSERT_TRUE(folder_.WriteFile("source.txt", "content"));
  ASSERT_TRUE(CreateDirectoryA(folder_.FilePath("dest").c_str(), nullptr));
  const std::string file = folder_.FilePath("source.txt");
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  ASSERT_NO_FATAL_FAILURE(TypeNewEntry(file, folder_.FilePath("dest")));
  Command(MenuItemId::Copy1);
  Settle();
  ASSERT_TRUE(folder_.Exists("dest\\source.txt")) << "the run copied nothing";
  EXPECT_TRUE(folder_.Exists("Quillset.cds.journal"));
  process_->Terminate();
  process_.reset();

  ASSERT_NO_FATAL_FAILURE(StartStoredAndRestore());
  EXPECT_EQ(VisibleBox(), nullptr) << "a box at the start";
  Command(MenuItemId::Edit1);
  std::string shown_file, shown_folder, result;
  ASSERT_NO_FATAL_FAILURE(ReadFirstEntry(shown_file, shown_folder));
  SendKey(grid_, VK_RIGHT);
  ASSERT_TRUE(ReadGridCell(grid_, result));
  EXPECT_EQ(shown_file, file);
  EXPECT_EQ(result, "バックアップ成功");
  EXPECT_FALSE(folder_.Exists("Quillset.cds.journal")) << "not folded in";
  EXPECT_TRUE(Contains(DataFile(), file));
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
