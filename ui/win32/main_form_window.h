// The real main window Form1: a sizable top-level window owned by the
// application window, with the grid DBGrid1 filling its client area, the popup
// menu PopupMenu1 and the hidden window of Timer1. It implements FormView for
// the handlers and calls their FormEvents:
//   FormCreate    inside Create(), before the window is ever shown; a failure
//                 is shown and creation goes on;
//   FormActivate  the first time the window takes the focus (focus coming back
//                 from the program's boxes and dialogs, or from another
//                 program, does not count);
//   FormClose     for every way of closing (menu, close box, Alt+F4, system
//                 menu, taskbar): a failure is shown and the window stays;
//                 otherwise the window hides and the message loop ends;
//   MenuClick     WM_COMMAND of a menu item posted by a driver;
//   PopupMenuOpening, PopupMenuClosed  around the popup menu's own loop; the
//                 chosen item comes back from the menu and runs from the
//                 main window's queue;
//   Timer1Timer   WM_TIMER id 1 on TimerWindow();
//   TrayIconRetryTimer  WM_TIMER id 2 on TimerWindow();
//   TrayNotify    message 1124 with its lParam (not passed on);
//   TaskbarCreated, SettingChange;
//   FormCloseQuery  before FormClose; false keeps the window open;
//   QueryEndSession, EndSession  WM_QUERYENDSESSION and WM_ENDSESSION, at every
//                 end of the session, also after a cancelled one; no box is
//                 shown for their failures. After a session end that goes on,
//                 the message loop ends unless a box is open. When the
//                 Restart Manager closes the program (ENDSESSION_CLOSEAPP:
//                 the session goes on), FormClose runs and the program ends,
//                 a box open or not.
//
// Use: construct, build the handlers with this FormView, then Create(handlers,
// rows), then Start(show command), then run the message loop, then Destroy().
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "ui/form_events.h"
#include "ui/form_view.h"
#include "ui/grid_source.h"
#include "ui/win32/application_window.h"
#include "ui/win32/data_grid.h"
#include "ui/win32/message_boxes.h"
#include "ui/win32/popup_menu_win32.h"
#include "ui/win32/timer_window.h"
#include "ui/win32/window_base.h"
#include "ui/win32/window_font.h"

namespace quillset {

class MainFormWindow : public WindowBase, public FormView {
 public:
  static constexpr char kDesignCaption[] = "右クリックでメニューが出ます。";
  // Client size at the design text height; scaled by the font's text height / 12.
  static constexpr int kDesignClientWidth = 421;
  static constexpr int kDesignClientHeight = 95;

  // All three must outlive the window.
  MainFormWindow(quillset::ApplicationWindow& application, MessageBoxes& boxes,
                 const WindowFont& font);
  ~MainFormWindow() override;

  // Creates the window (hidden), its grid bound to `rows`, its menu and the
  // timer window, then runs FormCreate. `events` and `rows` must stay alive
  // until Destroy() or the destructor.
  void Create(FormEvents& events, GridSource& rows);
  // Destroys the grid, the timer window and the window (after the message
  // loop); the handlers are not called any more.
  void Destroy();
  // The start: records the show command (3 maximizes at the first showing, 7
  // minimizes the application instead of showing the window) and shows the
  // window if the show-at-start flag is still set.
  void Start(int show_command);

  bool ShowAtStart() const { return show_at_start_; }
  // A failure box is open (possibly under other boxes).
  bool FailureBoxOpen() const { return boxes_.FailureBoxOpen(); }
  // FormClose ran through and the window is closed.
  bool Closed() const { return closed_; }
  DataGrid& Grid() { return *grid_; }
  HMENU PopupMenuHandle() const { return popup_.Handle(); }
  // Opens PopupMenu1 with its top-left corner at a screen point; the chosen
  // item runs when the main window's queue gets to it.
  void OpenPopupMenu(POINT at);

  // ---- FormView
  WindowHandle MainWindow() override;
  WindowHandle ApplicationWindow() override;
  WindowHandle TimerWindow() override;
  void SetCaption(const std::string& caption) override;
  std::string Caption() override;
  void SetShowAtStart(bool show) override { show_at_start_ = show; }
  void HideWindow() override;
  void RestoreWindow() override;
  void BringOpenBoxToFront() override;
  bool IsWindowVisible() override { return visible_; }
  void CloseWindow() override;
  void SetGridReadOnly(bool read_only) override;
  bool GridReadOnly() override;
  void SetMenuChecked(MenuItemId item, bool checked) override;
  bool MenuChecked(MenuItemId item) override;
  void SetMenuEnabled(MenuItemId item, bool enabled) override;
  bool MenuEnabled(MenuItemId item) override;
  void RepaintGrid() override;
  void ScrollGridToColumn(int column) override;
  void KeepResponsive() override;
  void KeepPainted() override;
  bool PostToSelf(std::function<void()> action) override;
  void ShowCopyProgress(std::uint64_t copied, std::uint64_t total) override;
  void HideCopyProgress() override;
  void ShowPlainMessage(const std::string& text) override;
  void ShowFailure(const std::string& message) override;
  bool AskYesNo(const std::string& question) override;
  std::string InputBox(const std::string& title, const std::string& prompt,
                       const std::string& preset) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void ReportFailure(const std::string& message) override;

 private:
  void Close();
  void FirstShowing();
  void BringToFront();
  void FocusGrid();
  void QueryEndSession();
  void EndSession(bool ending, LPARAM how);
  void PopupMenuClosed(unsigned command);
  void RunPostedAction();

  quillset::ApplicationWindow& application_;
  MessageBoxes& boxes_;
  const WindowFont& font_;
  FormEvents* events_ = nullptr;
  PopupMenu popup_;
  std::unique_ptr<DataGrid> grid_;
  std::unique_ptr<quillset::TimerWindow> timer_;
  UINT taskbar_created_message_ = 0;
  UINT queue_marker_message_ = 0;
  LPARAM queue_marker_ = 0;  // the last queue marker posted to the window
  UINT posted_action_message_ = 0;
  std::deque<std::function<void()>> posted_actions_;  // PostToSelf, oldest first
  bool popup_menu_open_ = false;    // PopupMenu1's own loop is running
  DWORD copy_started_ = 0;         // tick count at the start of the copy shown

  bool show_at_start_ = true;
  int show_command_ = SW_SHOWNORMAL;
  bool shown_before_ = false;  // the first showing happened (centred then)
  bool visible_ = false;       // shown, possibly inside a minimized application
  bool has_held_focus_ = false;
  bool closed_ = false;
};

}  // namespace quillset
