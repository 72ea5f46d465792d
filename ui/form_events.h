// What the real window layer calls on the main window's handlers (TForm1,
// ui/main_form.h). Every call runs on the user-interface thread inside the
// handling of one window message; a failure that leaves it is shown in the
// failure box by the window layer, which then goes on.
#pragma once

#include <cstdint>

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
  // The window is being closed (menu "終了", close box, Alt+F4, system menu,
  // taskbar). A failure keeps the window open.
  virtual void FormClose() = 0;
  // A popup-menu item was chosen.
  virtual void MenuClick(MenuItemId item) = 0;
  // Timer1 ticked.
  virtual void Timer1Timer() = 0;
  // Message 1124 (WM_TRAYNOTIFY) with the mouse message of the icon in lParam.
  virtual void TrayNotify(std::uint32_t mouse_message) = 0;
  // The registered "TaskbarCreated" message: the notification area was re-created.
  virtual void TaskbarCreated() = 0;
  // WM_SETTINGCHANGE: the locale settings are read again.
  virtual void SettingChange() = 0;
  // The Windows session ends (WM_QUERYENDSESSION / WM_ENDSESSION): save as the
  // close handler does; must not show anything that waits for the user.
  virtual void EndSession() = 0;
};

}  // namespace quillset
