// The fixture every end-to-end test of one running Quillset shares: set-up
// (the built exe copied into a fresh folder, no other copy running), starts
// (first start with its notice, start with a stored schedule restored from the
// tray), boxes dismissed, menu commands sent or posted, the program settled,
// its settings read, and a close that checks the exit code. Tear-down ends a
// program still running. Menu ids and the program's texts come from its own
// headers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "schedule/schedule_modes.h"
#include "schedule/schedule_texts.h"
#include "tests/e2e/e2e_driver.h"
#include "ui/form_view.h"
#include "ui/win32/popup_menu.h"

namespace quillset {
namespace e2e {

// The popup menu window's class.
inline constexpr char kPopupMenuClass[] = "#32768";

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(BuiltExePath().empty()) << "the build made no Quillset.exe";
    ASSERT_EQ(AnyRunningQuillset(), nullptr) << "a Quillset of an earlier run still runs";
    ASSERT_TRUE(folder_.Ok()) << folder_.Path();
  }
  void TearDown() override { StopProgram(); }

  // Ends a program still running: a menu left open would swallow the close,
  // so Esc ends it first; a program that does not close is terminated.
  void StopProgram() {
    if (process_ && process_->FindTopLevelWindow(kPopupMenuClass, nullptr, true))
      PressKeys({VK_ESCAPE});
    if (process_ && process_->IsRunning()) {
      DWORD code = 99;
      if (!process_->CloseProgram(code)) process_->Terminate();
    }
    process_.reset();
  }

  // Starts the program and waits for its main window and grid (the grid is
  // made a moment after the window itself).
  void Start() {
    process_ = QuillsetProcess::Start(folder_.ExePath());
    ASSERT_NE(process_, nullptr);
    form_ = process_->WaitForMainWindow();
    ASSERT_NE(form_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return (grid_ = GridOf(form_)) != nullptr; }, kWindowTimeout));
  }
  // A first start (no settings file): the first-run notice comes before the
  // window shows; OK on it, then the window shows.
  void StartFirstRun() {
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND box = process_->WaitForDialog();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(IsWindowVisible(form_)) << "the window showed before the first-run box closed";
    ASSERT_TRUE(Dismiss(box));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
  }
  // A start with the stored schedule of an earlier run: hidden in the tray,
  // restored by a press on the icon (the list is loaded at that moment).
  void StartStoredAndRestore() {
    ASSERT_NO_FATAL_FAILURE(Start());
    PostTrayCallback(form_, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
  }
  // Closes the program as a user does; it must end with exit code 0.
  void CloseProgram() {
    DWORD code = 99;
    ASSERT_TRUE(process_->CloseProgram(code));
    EXPECT_EQ(code, 0u);
    process_.reset();
  }

  // Presses OK on a box and waits until it is gone.
  static bool Dismiss(HWND box) {
    PressButton(box, IDOK);
    return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kDialogTimeout);
  }
  // Runs a menu command that opens no box: sent, so it has been handled when
  // this returns.
  void Command(MenuItemId item) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(form_, WM_COMMAND, MAKEWPARAM(MenuCommandId(item), 0), 0,
                        SMTO_ABORTIFHUNG, kDialogTimeout, &ignored);
  }
  // A menu command that may open a box: posted, so the test can answer it.
  void PostCommand(MenuItemId item) { PostMenuCommand(form_, MenuCommandId(item)); }
  // Returns once the program has handled what was sent to it before.
  void Settle() {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(grid_ ? grid_ : form_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kDialogTimeout,
                        &ignored);
  }

  // The main window's caption for a schedule.
  static std::string CaptionOf(std::int32_t mode, const std::string& value) {
    return ScheduleCaption(Schedule{mode, value}).value_or("<none>");
  }
  // A key of section Time of the settings file; "<none>" when it is missing.
  std::string Setting(const char* key) const {
    char buffer[256] = {};
    GetPrivateProfileStringA("Time", key, "<none>", buffer, sizeof(buffer),
                             folder_.SettingsFilePath().c_str());
    return buffer;
  }
  // The settings file of an earlier run with this schedule.
  void StoreSchedule(const std::string& timer_set, const std::string& mode) {
    ASSERT_TRUE(folder_.WriteFile("Quillset.ini", "[Time]\r\nTimerSet=" + timer_set +
                                                      "\r\nTimerIniSet=" + mode + "\r\n"));
  }

  TestFolder folder_;
  std::unique_ptr<QuillsetProcess> process_;
  HWND form_ = nullptr;
  HWND grid_ = nullptr;
};

}  // namespace e2e
}  // namespace quillset
