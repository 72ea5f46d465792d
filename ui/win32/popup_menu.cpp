#include "ui/win32/popup_menu.h"

#include "base/win32_text.h"
#include "ui/win32/popup_menu_win32.h"

namespace quillset {

namespace {
const char* const kCaptions[kMenuItemCount] = {
    "backupファイル選択", "削除", "コピー", "編集", "分単位で",
    "1週間間隔", "1ヶ月間隔", "タスクトレーへ", "終了",
};
}  // namespace

bool MenuItemFromCommand(unsigned command, MenuItemId& item) {
  if (command < kFirstMenuCommand || command >= kFirstMenuCommand + kMenuItemCount) return false;
  item = static_cast<MenuItemId>(command - kFirstMenuCommand);
  return true;
}

const char* MenuItemCaption(MenuItemId item) { return kCaptions[static_cast<int>(item)]; }

PopupMenu::PopupMenu() : menu_(CreatePopupMenu()) {
  for (int i = 0; i < kMenuItemCount; ++i) {
    auto item = static_cast<MenuItemId>(i);
    AppendMenuW(menu_, MF_STRING, MenuCommandId(item),
                ShiftJisToUtf16ForDisplay(MenuItemCaption(item)).c_str());
  }
}

PopupMenu::~PopupMenu() {
  if (menu_) DestroyMenu(menu_);
}

unsigned PopupMenu::Open(HWND owner, POINT at) {
  // The owner must be the foreground window, or the menu does not close when
  // the user clicks elsewhere.
  SetForegroundWindow(owner);
  const BOOL command = TrackPopupMenuEx(
      menu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, owner,
      nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
  return command > 0 ? static_cast<unsigned>(command) : 0u;
}

void PopupMenu::SetChecked(MenuItemId item, bool checked) {
  CheckMenuItem(menu_, MenuCommandId(item), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool PopupMenu::Checked(MenuItemId item) const {
  UINT state = GetMenuState(menu_, MenuCommandId(item), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
}

void PopupMenu::SetEnabled(MenuItemId item, bool enabled) {
  EnableMenuItem(menu_, MenuCommandId(item), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool PopupMenu::Enabled(MenuItemId item) const {
  UINT state = GetMenuState(menu_, MenuCommandId(item), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

}  // namespace quillset
