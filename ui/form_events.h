// What the real window layer calls on the main window's handlers (TForm1,
// ui/main_form.h). Every call runs on the user-interface thread inside the
// handling of one window message; a failure that leaves it is shown in the
// failure box by the window layer, which then goes on.
#pragma once

#include <cstdint>
#include <optional>

#include "ui/form_view.h"

namespace quillset {

class FormEvents {
 public:
  virtual ~FormEvents() = default;

  // The creation handler: runs once inside the window's construction, before it
  // is ever shown. A failure ends it; construction goes on.
  virtual void FormCreate() = 0;
  // The window became the program's focused window for the first time.
  virtual void FormActivate() = 0;
  // Asked before FormClose, for every way of closing: false keeps the window
  // open for now (during a backup run: the user was asked whether to stop it
  // and quit, and on yes the window closes when the run has ended).
  virtual bool FormCloseQuery() { return true; }
  // The window is being closed (menu "終了", close box, Alt+F4, system menu,
  // taskbar). A failure keeps the window open.
  virtual void FormClose() = 0;
  // A menu command that did not come through the open popup menu (a posted
  // WM_COMMAND): it acts on the list as it is now.
  virtual void MenuClick(MenuItemId item) = 0;
  // The grid's popup menu is about to open. Ticks run while it is open, so
  // what the user sees now (the current row, whether the list stands at its
  // end) is what a command chosen from it acts on.
  virtual void PopupMenuOpening() = 0;
  // The popup menu closed: `chosen` is the item picked, or none. The item runs
  // as MenuClick does, on what PopupMenuOpening saw.
  virtual void PopupMenuClosed(std::optional<MenuItemId> chosen) = 0;
  // Timer1 ticked.
  virtual void Timer1Timer() = 0;
  // The timer that tries again to add the notification icon the shell refused
  // (it has its own id: Timer1's phase is not touched).
  virtual void TrayIconRetryTimer() = 0;
  // Message 1124 (WM_TRAYNOTIFY) with the mouse message of the icon in lParam.
  virtual void TrayNotify(std::uint32_t mouse_message) = 0;
  // The registered "TaskbarCreated" message: the notification area was re-created.
  virtual void TaskbarCreated() = 0;
  // WM_SETTINGCHANGE: the locale settings are read again.
  virtual void SettingChange() = 0;
  // Windows asks whether the session may end (WM_QUERYENDSESSION) and wants
  // the answer at once; another program may still cancel it. Saves the list
  // as the close handler does, but shows nothing that waits for the user and
  // changes nothing the user sees: window, tray icon, timer and a backup run
  // going on stay as they are. The window answers yes, so Windows does not
  // wait for a run: a run cut by the end of the session leaves the due date
  // as it was, and the next check copies the whole list again.
  virtual void QueryEndSession() = 0;
  // The end of the session is decided (WM_ENDSESSION). `ending` false: it was
  // cancelled and the program goes on as before (a run finishes). `ending`
  // true: the process may be ended at any moment after this returns; a run
  // stops, what changed since the question is saved, nothing may wait for
  // the user. Windows gives both messages about 5 s in all.
  virtual void EndSession(bool ending) = 0;
};

}  // namespace quillset
