// Start-up of the real program: one copy per session. A second start ends at
// once with exit code 0 and shows nothing; of two copies started at the same
// moment exactly one stays; once the running copy has ended, by closing or by
// being killed, the next start runs. The Restart Manager ends it, a box open
// or not.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_driver.h"

namespace quillset {
namespace e2e {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(BuiltExePath().empty()) << "the build made no Quillset.exe";
    ASSERT_EQ(AnyRunningQuillset(), nullptr) << "a Quillset of an earlier run still runs";
    ASSERT_TRUE(first_folder_.Ok()) << first_folder_.Path();
    ASSERT_TRUE(second_folder_.Ok()) << second_folder_.Path();
  }

  // Starts a copy and waits until its main window exists.
  static std::unique_ptr<QuillsetProcess> StartRunning(const TestFolder& folder) {
    const bool first_start = !folder.Exists("Quillset.ini");
    auto process = QuillsetProcess::Start(folder.ExePath());
    if (process && process->WaitForMainWindow() == nullptr) return nullptr;
    // A first start writes its settings, then shows its notice: once the
    // notice is up, the copy's files stay as they are.
    if (process && first_start && process->WaitForDialog() == nullptr) return nullptr;
    return process;
  }

  // Waits for a copy that must end by itself; false if it showed a window on
  // the way (any top-level window: the guard comes before every window).
  static bool EndsShowingNothing(QuillsetProcess& process, DWORD& exit_code) {
    bool showed = false;
    bool ended = WaitUntil(
        [&] {
          if (!process.TopLevelWindows(false).empty()) showed = true;
          return !process.IsRunning();
        },
        kExitTimeout);
    return ended && process.WaitForExit(exit_code, 0) && !showed;
  }

  TestFolder first_folder_;
  TestFolder second_folder_;
};

TEST_F(StartupTest, ASecondStartEndsAtOnceWithExitCodeZeroAndShowsNothing) {
  auto first = StartRunning(first_folder_);
  ASSERT_NE(first, nullptr);

  // From the same folder, and a copy of the program in another folder: the
  // guard is the session's, not the folder's.
  for (const TestFolder* folder : {&first_folder_, &second_folder_}) {
    std::string settings_before;
    first_folder_.ReadFile("Quillset.ini", settings_before);
    auto second = QuillsetProcess::Start(folder->ExePath());
    ASSERT_NE(second, nullptr);
    DWORD code = 99;
    EXPECT_TRUE(EndsShowingNothing(*second, code)) << folder->Path();
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(second_folder_.Exists("Quillset.ini"));
    EXPECT_FALSE(second_folder_.Exists("Quillset.cds"));
    std::string settings_after;
    first_folder_.ReadFile("Quillset.ini", settings_after);
    EXPECT_EQ(settings_after, settings_before);
  }
  EXPECT_TRUE(first->IsRunning());

  DWORD code = 99;
  ASSERT_TRUE(first->CloseProgram(code));
  EXPECT_EQ(code, 0u);
}

TEST_F(StartupTest, TwoCopiesStartedAtTheSameMomentLeaveExactlyOneRunning) {
  auto a = QuillsetProcess::StartSuspended(first_folder_.ExePath());
  auto b = QuillsetProcess::StartSuspended(second_folder_.ExePath());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  a->Resume();
  b->Resume();

  ASSERT_TRUE(WaitUntil([&] { return !a->IsRunning() || !b->IsRunning(); }, kWindowTimeout))
      << "both copies still run";
  QuillsetProcess& ended = a->IsRunning() ? *b : *a;
  QuillsetProcess& survivor = a->IsRunning() ? *a : *b;
  DWORD code = 99;
  ASSERT_TRUE(ended.WaitForExit(code, 0));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(ended.TopLevelWindows(false).empty());
  HWND survivor_form = survivor.WaitForMainWindow();
  ASSERT_NE(survivor_form, nullptr);
  ASSERT_TRUE(WaitForPostedMessages(survivor_form));
  EXPECT_TRUE(survivor.IsRunning());

  ASSERT_TRUE(survivor.CloseProgram(code));
  EXPECT_EQ(code, 0u);
}

TEST_F(StartupTest, AfterTheRunningCopyEndsTheNextStartRuns) {
  auto first = StartRunning(first_folder_);
  ASSERT_NE(first, nullptr);
  DWORD code = 99;
  ASSERT_TRUE(first->CloseProgram(code));
  EXPECT_EQ(code, 0u);

  auto next = StartRunning(first_folder_);
  ASSERT_NE(next, nullptr) << "the start after a closed copy did not run";
  // Killed rather than closed: the mutex goes with the process all the same.
  next->Terminate();
  EXPECT_FALSE(next->IsRunning());

  auto after_kill = StartRunning(first_folder_);
  ASSERT_NE(after_kill, nullptr) << "the start after a killed copy did not run";
  ASSERT_TRUE(after_kill->CloseProgram(code));
  EXPECT_EQ(code, 0u);
}

// The Restart Manager closes the program (ENDSESSION_CLOSEAPP: the session
// goes on) while the first-run notice is open: the program ends all the same.
TEST_F(StartupTest, TheRestartManagerEndsTheProgramEvenWithABoxOpen) {
  auto process = StartRunning(first_folder_);
  ASSERT_NE(process, nullptr);
  HWND form = process->WaitForMainWindow();
  DWORD_PTR answer = 0;
  for (UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION})
    SendMessageTimeoutA(form, message, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                        kDialogTimeout, &answer);
  DWORD code = 99;
  EXPECT_TRUE(process->WaitForExit(code)) << "the program stayed with its box open";
  EXPECT_EQ(code, 0u);
  if (process->IsRunning()) process->Terminate();
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
