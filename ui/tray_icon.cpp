// The notification-area icon of the main window: shown while the window is
// hidden to the tray, its tip naming the schedule mode; a button press on it
// brings the window back.
#include <cstdint>
#include <cstring>

#include "schedule/schedule_modes.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

constexpr std::uint32_t kTrayIconId = 1;

// The tips, each a whole 64-byte block (text, then zero bytes) as szTip holds it.
using TipBlock = char[sizeof(TrayIconRecord::szTip)];
constexpr TipBlock kStoppedTip = "停止中";
constexpr TipBlock kMinutesTip = "分単位でバックアップ";
constexpr TipBlock kWeeklyTip = "週単位でバックアップ";
constexpr TipBlock kMonthlyTip = "月単位でバックアップ";

// The tip for a schedule, or nullptr when the mode has none (szTip then keeps
// what it holds).
const TipBlock* TipFor(std::int32_t mode, const std::string& timer_set_value) {
  switch (mode) {
    case kMinutesMode:
      return timer_set_value == "0" ? &kStoppedTip : &kMinutesTip;
    case kWeeklyMode:
      return &kWeeklyTip;
    case kMonthlyMode:
      return &kMonthlyTip;
    default:
      return nullptr;
  }
}

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
  if (const TipBlock* tip = TipFor(ScheduleMode, TimerSetValue)) {
    std::memcpy(TrayIconData.szTip, *tip, sizeof(TrayIconData.szTip));
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
  if (DeferDuringRun([this, mouse_message] { TrayNotify(mouse_message); })) return;
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
