// The main window of the real program: its caption after a first start and
// after a failed settings step, its place on the screen, the application
// window that carries the title, and the popup menu opened by the mouse and by
// the keyboard, whose last item ends the program.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/program_test.h"
#include "ui/form_texts.h"
#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

using form_texts::kApplicationTitle;
using form_texts::kDesignCaption;

class MainWindowTest : public ProgramTest {
 protected:
  // The schedule a first start sets: minutes, "0".
  static std::string FirstRunCaption() { return CaptionOf(kMinutesMode, "0"); }
  HWND WaitForPopupMenu() const {
    return process_->WaitForWindow(kPopupMenuClass, nullptr, kDialogTimeout, true);
  }
  bool PopupMenuGone() const {
    return WaitUntil([&] { return !process_->FindTopLevelWindow(kPopupMenuClass, nullptr, true); },
                     kDialogTimeout);
  }
};

TEST_F(MainWindowTest, FirstStartShowsTheScheduleCaptionCentredAndExitEndsWithZero) {
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  EXPECT_EQ(WindowCaption(form_), FirstRunCaption());

  // Centred on the screen by its own outer size (the font under Wine makes it
  // a little larger than designed).
  RECT outer;
  ASSERT_TRUE(GetWindowRect(form_, &outer));
  int width = outer.right - outer.left, height = outer.bottom - outer.top;
  EXPECT_GE(width, 429);
  EXPECT_GE(height, 122);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);

  // The grid (scroll bars included) fills the client area.
  HWND grid = GridOf(form_);
  ASSERT_NE(grid, nullptr);
  RECT client, grid_rect;
  GetClientRect(form_, &client);
  GetWindowRect(grid, &grid_rect);
  EXPECT_EQ(grid_rect.right - grid_rect.left, client.right);
  EXPECT_EQ(grid_rect.bottom - grid_rect.top, client.bottom);

  // The application window owns the main window and carries the title.
  HWND application = GetWindow(form_, GW_OWNER);
  ASSERT_NE(application, nullptr);
  EXPECT_EQ(WindowClass(application), kApplicationWindowClass);
  EXPECT_EQ(WindowCaption(application), kApplicationTitle);

  PostCommand(MenuItemId::Exit1);
  DWORD code = 99;
  ASSERT_TRUE(process_->WaitForExit(code));
  EXPECT_EQ(code, 0u);
}

TEST_F(MainWindowTest, FailedSettingsStepLeavesTheDesignCaption) {
  const std::string settings = "[Time]\r\nTimerSet=5\r\nTimerIniSet=abc\r\n";
  ASSERT_TRUE(folder_.WriteFile("Quillset.ini", settings));
  ASSERT_NO_FATAL_FAILURE(Start());
  HWND box = process_->WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "'abc' は整数ではありません.");
  EXPECT_EQ(WindowCaption(box), kApplicationTitle);
  ASSERT_TRUE(Dismiss(box));

  // Not hidden to the tray: the window shows, with its design caption.
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
  EXPECT_EQ(WindowCaption(form_), kDesignCaption);

  CloseProgram();
  std::string after;
  ASSERT_TRUE(folder_.ReadFile("Quillset.ini", after));
  EXPECT_EQ(after, settings) << "a failed settings step must not change the file";
}

TEST_F(MainWindowTest, RightClickInTheGridOpensThePopupMenu) {
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  HWND grid = grid_;
  ASSERT_TRUE(BringToForeground(form_));
  RECT area;
  GetClientRect(grid, &area);
  POINT click = {area.right / 2, area.bottom / 2};
  RightClickAt(grid, click.x, click.y);
  HWND menu = WaitForPopupMenu();
  ASSERT_NE(menu, nullptr) << "no popup menu after a right-click in the grid";

  // It opens where the mouse was pressed.
  ClientToScreen(grid, &click);
  RECT placed;
  GetWindowRect(menu, &placed);
  EXPECT_NEAR(placed.left, click.x, 2);
  EXPECT_NEAR(placed.top, click.y, 2);

  // Esc closes it without a command: the program goes on.
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(PopupMenuGone());
  EXPECT_TRUE(process_->IsRunning());
  EXPECT_EQ(WindowCaption(form_), FirstRunCaption());
}

TEST_F(MainWindowTest, ShiftF10OpensTheMenuAtTheGridAndItsLastItemEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartFirstRun());
  HWND grid = grid_;
  ASSERT_TRUE(BringToForeground(form_));
  ASSERT_TRUE(WaitForFocus(grid))
      << "the grid does not hold the focus";

  PressKeys({VK_SHIFT, VK_F10});
  HWND menu = WaitForPopupMenu();
  ASSERT_NE(menu, nullptr) << "no popup menu after Shift+F10";
  // Called up from the keyboard, it opens at the grid's top-left corner.
  POINT corner = {0, 0};
  ClientToScreen(grid, &corner);
  RECT placed;
  GetWindowRect(menu, &placed);
  EXPECT_NEAR(placed.left, corner.x, 2);
  EXPECT_NEAR(placed.top, corner.y, 2);

  // Up from the opened menu reaches the ninth item, "終了"; Enter chooses it.
  PressKeys({VK_UP});
  PressKeys({VK_RETURN});
  DWORD code = 99;
  ASSERT_TRUE(process_->WaitForExit(code)) << "the program did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(folder_.Exists("Quillset.cds")) << "closing saves the list";
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
