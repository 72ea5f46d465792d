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
  // The shell's answer is not examined: the icon counts as shown either way.
  shell_.NotifyIcon(kNimAdd, TrayIconData);
  TrayIconShown = true;
}

void TForm1::RemoveTrayIcon() {
  if (!TrayIconShown) return;
  TrayIconData.cbSize = sizeof(TrayIconRecord);
  TrayIconData.hWnd = OwnerHandle(view_);
  TrayIconData.uID = kTrayIconId;
  shell_.NotifyIcon(kNimDelete, TrayIconData);
  TrayIconShown = false;
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
}

void TForm1::TrayNotify(std::uint32_t mouse_message) {
  if (DeferDuringRun([this, mouse_message] { TrayNotify(mouse_message); })) return;
  if (mouse_message == kWmLButtonDown || mouse_message == kWmRButtonDown) RestoreFromTray();
}

void TForm1::TaskbarCreated() {
  // The shell came back (after explorer restarted, say) without our icon, and
  // with perhaps other locale settings: read them again as the setting-change
  // broadcast does, and put the icon back while the window is in the tray.
  SettingChange();
  if (TrayIconShown) {
    TrayIconShown = false;
    AddTrayIcon();
  }
}

}  // namespace quillset
