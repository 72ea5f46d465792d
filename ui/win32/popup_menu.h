// PopupMenu1: the grid's right-click menu, nine items in this order, no
// separators, no sub-menus. The menu hands the chosen item's command id back
// to the main window, which runs it through FormEvents::PopupMenuClosed; a
// driver can post the same id as a WM_COMMAND (FormEvents::MenuClick).
#pragma once

#include <string>

#include "ui/form_view.h"

namespace quillset {

inline constexpr int kMenuItemCount = 9;
// Command ids: 101 ("backupファイル選択") to 109 ("終了"), in menu order.
inline constexpr unsigned kFirstMenuCommand = 101;

inline unsigned MenuCommandId(MenuItemId item) {
  return kFirstMenuCommand + static_cast<unsigned>(item);
}
// False when `command` is no menu command.
bool MenuItemFromCommand(unsigned command, MenuItemId& item);
// The caption of an item (Shift-JIS).
const char* MenuItemCaption(MenuItemId item);

}  // namespace quillset
