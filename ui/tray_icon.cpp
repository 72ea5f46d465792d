// The notification-area icon of the main window: shown while the window is
// hidden to the tray, its tip naming the schedule mode; a button press on it
// brings the window back.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "schedule/schedule_texts.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

constexpr std::uint32_t kTrayIconId = 1;

// The icon's owner as the 32-bit program holds a window handle.
std::uint32_t OwnerHandle(FormView& view) {
  return static_cast<std::uint32_t>(view.MainWindow());
}

}  // namespace

void TForm1::AddTrayIcon() {
  if (TrayIconShown) return;  // the tip is not refreshed either
  TrayIconData.cbSize = sizeof(TrayIconRecord);
  TrayIconData.hWnd = OwnerHandle(view_);
  TrayIconData.uID = kTrayIconId;
  TrayIconData.uFlags = kNifMessage | kNifIcon | kNifTip;
  TrayIconData.uCallbackMessage = kWmTrayNotify;
  TrayIconData.hIcon = shell_.MainIconHandle();
  // A schedule without a mode has no tip: szTip keeps what it holds.
  if (const char* tip = ScheduleTip(CurrentSchedule())) {
    // The whole 64-byte block: the text, then zero bytes.
    std::memset(TrayIconData.szTip, 0, sizeof(TrayIconData.szTip));
    std::memcpy(TrayIconData.szTip, tip,
                std::min(std::strlen(tip), sizeof(TrayIconData.szTip) - 1));
  }
  TrayIconShown = true;
  tray_icon_added_ = false;
  TryAddingTrayIcon();
}

// A hidden window without an icon cannot be reached: when the shell refuses
// the icon (Explorer not started yet at logon, or busy), it is tried again
// from a timer until the shell takes it, and at once when the shell announces
// itself with "TaskbarCreated". A system that gives no timer for the retries
// must not stop the start: Timer1's ticks try again instead.
void TForm1::TryAddingTrayIcon() {
  if (shell_.NotifyIcon(kNimAdd, TrayIconData)) {
    tray_icon_added_ = true;
    tray_icon_retry_.Stop();
  } else if (!tray_icon_retry_.Pending()) {
    tray_icon_retry_.Start();
  }
}

void TForm1::RetryTrayIconWithoutItsTimer() {
  if (TrayIconShown && !tray_icon_added_ && !tray_icon_retry_.Pending()) TryAddingTrayIcon();
}

void TForm1::TrayIconRetryTimer() {
  if (!TrayIconShown || tray_icon_added_) {
    tray_icon_retry_.Stop();  // a late tick of a timer already stopped
    return;
  }
  TryAddingTrayIcon();
  if (!tray_icon_added_) tray_icon_retry_.TryFailed();
}

void TForm1::RemoveTrayIcon() {
  if (!TrayIconShown) return;
  tray_icon_retry_.Stop();
  // An icon the shell never took is not asked away.
  if (tray_icon_added_) {
    TrayIconData.cbSize = sizeof(TrayIconRecord);
    TrayIconData.hWnd = OwnerHandle(view_);
    TrayIconData.uID = kTrayIconId;
    shell_.NotifyIcon(kNimDelete, TrayIconData);
  }
  TrayIconShown = false;
  tray_icon_added_ = false;
}

void TForm1::HideToTray() {
  AddTrayIcon();
  view_.HideWindow();
}

void TForm1::RestoreFromTray() {
  RemoveTrayIcon();
  // The window layer runs FormActivate when the window takes the focus for
  // the first time.
  view_.RestoreWindow();
  // A box opened while the window was hidden disabled it: the box, not the
  // window, is what the user must see now.
  view_.BringOpenBoxToFront();
}

void TForm1::TrayNotify(std::uint32_t mouse_message) {
  // A message from the icon proves the shell holds it, whatever the add
  // answered (a busy shell can time out after it took the icon).
  if (TrayIconShown) {
    tray_icon_added_ = true;
    tray_icon_retry_.Stop();
  }
  // Also during a run: the window opens at once. Mouse moves and the other
  // messages of the icon do nothing, then as ever.
  if (mouse_message == kWmLButtonDown || mouse_message == kWmRButtonDown) RestoreFromTray();
}

void TForm1::TaskbarCreated() {
  // The shell came (back) without our icon (Explorer started after the
  // program at logon, or restarted), and with perhaps other locale settings:
  // read them again as the setting-change broadcast does, and put the icon
  // (back) while the window is in the tray; a refusal goes on being retried.
  SettingChange();
  if (TrayIconShown) {
    tray_icon_added_ = false;
    TryAddingTrayIcon();
  }
}

}  // namespace quillset
