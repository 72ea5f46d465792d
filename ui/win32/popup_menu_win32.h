// The Win32 menu of PopupMenu1 (see popup_menu.h for items and command ids).
#pragma once

#include <windows.h>

#include "ui/form_view.h"

namespace quillset {

class PopupMenu {
 public:
  PopupMenu();
  ~PopupMenu();
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  HMENU Handle() const { return menu_; }
  // Opens the menu at `screen_point` (top-left corner) for `owner` and
  // returns when it closed: the chosen item's command id, 0 for none.
  unsigned Open(HWND owner, POINT screen_point);

  void SetChecked(MenuItemId item, bool checked);
  bool Checked(MenuItemId item) const;
  // Greyed out (false): the item cannot be chosen.
  void SetEnabled(MenuItemId item, bool enabled);
  bool Enabled(MenuItemId item) const;

 private:
  HMENU menu_;
};

}  // namespace quillset
