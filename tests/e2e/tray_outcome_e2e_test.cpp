// The tray icon of the real program after runs while the window is hidden: a
// run with a missing folder changes the picture the taskbar shows for the
// icon, a run in which every entry copies brings the first picture back, and
// a failed run the timer started shows a balloon whose click opens the
// window. The icon is compared by the pixels the shell drew for it at the
// taskbar's right end (the shell holds its own copy of the icon); those are
// compared while no balloon shows, as its stem points at the icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/program_test.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

class TrayOutcomeTest : public ProgramTest {
 protected:
  // The pixels of the taskbar's notification area, where the icon is drawn.
  std::vector<char> TrayPixels() {
    HWND taskbar = FindWindowExA(nullptr, nullptr, "Shell_TrayWnd", nullptr);
    if (taskbar == nullptr) return {};
    RECT bar = {};
    GetWindowRect(taskbar, &bar);
    const int width = 64, height = bar.bottom - bar.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, bar.right - width, bar.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    std::vector<char> pixels(static_cast<std::size_t>(width) * height * 4);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
  }
  // Waits until the icon's pixels settle on something that `changed` accepts.
  // Waits until the icon's pixels settle on something (un)equal to `than`.
  bool TrayBecomes(const std::vector<char>& than, bool equal) {
    return WaitUntil([&] { return (TrayPixels() == than) == equal; }, kDialogTimeout);
  }
  // A balloon of the notification area: a visible tooltip of the shell.
  static bool BalloonShows() {
    HWND taskbar = FindWindowExA(nullptr, nullptr, "Shell_TrayWnd", nullptr);
    DWORD shell = 0;
    GetWindowThreadProcessId(taskbar, &shell);
    for (HWND tip = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); tip != nullptr;
         tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(tip, &owner);
      if (owner == shell && IsWindowVisible(tip)) return true;
    }
    return false;
  }
  void Tick() {
    HWND timer = process_->FindTopLevelWindow(kTimerWindowClass);
    ASSERT_NE(timer, nullptr);
    PostTimerTick(timer);
    ASSERT_TRUE(WaitForPostedMessages(form_));
  }
};

TEST_F(TrayOutcomeTest, ARunWithAMissingFolderChangesTheIconAndAGoodRunBringsItBack) {
  ASSERT_TRUE(folder_.MakeFolder("source"));
  ASSERT_TRUE(folder_.WriteFile("source\\report.xlsx", "figures"));
  // The entry, typed into the grid at a first start; the stick is unplugged.
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  Command(MenuItemId::Edit1);
  SendKey(grid_, VK_INSERT);
  TypeIntoGridCell(grid_, folder_.FilePath("source\\report.xlsx"), VK_TAB);
  TypeIntoGridCell(grid_, folder_.FilePath("stick"), VK_RETURN);
  Settle();
  ASSERT_NO_FATAL_FAILURE(CloseProgram());

  // Every ten minutes: started hidden in the tray, never run yet.
  StoreSchedule("10", "1");
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(WaitForPostedMessages(form_));
  ASSERT_FALSE(IsWindowVisible(form_));
  SetCursorPos(0, 0);  // no tip over the icon
  std::vector<char> normal;
  ASSERT_TRUE(WaitUntil(
      [&] {
        std::vector<char> now = TrayPixels();
        Sleep(300);
        if (now.empty() || now != TrayPixels()) return false;
        normal = now;
        return true;
      },
      kWindowTimeout));

  // A run while hidden (the command posted, as no menu can open now): the
  // icon changes; a run not started by the timer shows no balloon.
  PostCommand(MenuItemId::Copy1);
  ASSERT_TRUE(WaitForPostedMessages(form_));
  EXPECT_TRUE(TrayBecomes(normal, false)) << "the icon did not change after a failed run";
  EXPECT_FALSE(IsWindowVisible(form_));
  EXPECT_FALSE(BalloonShows());

  // The stick is back: the timer's run copies, and the icon is the normal one again.
  ASSERT_TRUE(folder_.MakeFolder("stick"));
  ASSERT_NO_FATAL_FAILURE(Tick());
  EXPECT_TRUE(TrayBecomes(normal, true)) << "the icon did not come back after a good run";
  EXPECT_TRUE(folder_.Exists("stick\\report.xlsx"));
  EXPECT_FALSE(BalloonShows());

  // The timer's run fails again: a balloon, and a click on it opens the window.
  ASSERT_TRUE(DeleteFileA(folder_.FilePath("stick\\report.xlsx").c_str()));
  ASSERT_TRUE(RemoveDirectoryA(folder_.FilePath("stick").c_str()));
  ASSERT_NO_FATAL_FAILURE(Tick());
  EXPECT_TRUE(WaitUntil(BalloonShows, kDialogTimeout)) << "no balloon after the timer's failed run";
  PostTrayCallback(form_, NIN_BALLOONUSERCLICK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
  CloseProgram();
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
