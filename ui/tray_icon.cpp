// The notification-area icon of the main window: shown while the window is
// hidden to the tray, its tip naming the schedule mode; a button press on it
// brings the window back. Its image and the tip's second line tell how the
// last run ended, as the list's results tell it (so already at start); a run
// the timer started that had failures says so in a balloon.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>

#include "base/errors.h"
#include "locale/whole_number_text.h"
#include "schedule/schedule_texts.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

constexpr std::uint32_t kTrayIconId = 1;
// The grid's column that shows the result.
constexpr int kResultColumn = 2;

// The icon's owner as the 32-bit program holds a window handle.
std::uint32_t OwnerHandle(FormView& view) {
  return static_cast<std::uint32_t>(view.MainWindow());
}

// The schedule's tip, with the last run's outcome on a second line when both
// fit the tip's 63 bytes; the schedule's tip alone otherwise.
std::string TipText(const char* schedule_tip, const RunOutcome& outcome,
                    const LocaleDateSettings& dates) {
  std::string tip = schedule_tip;
  if (outcome.attempted == 0 || outcome.last_attempt <= 0.0) return tip;
  const std::string day = FormatDateTimePattern(form_texts::kTipDatePattern,
                                                outcome.last_attempt, dates);
  const std::string line =
      outcome.HasFailures()
          ? FormatMessageText(form_texts::kTipLastRunFailed, {day, IntToText(outcome.failed)})
          : FormatMessageText(form_texts::kTipLastRunSucceeded, {day});
  if (tip.size() + 1 + line.size() <= sizeof(TrayIconRecord::szTip) - 1) tip += "\n" + line;
  return tip;
}

std::string FailureBalloonText(const RunOutcome& outcome) {
  return FormatMessageText(form_texts::kFailureBalloonText,
                           {IntToText(outcome.attempted), IntToText(outcome.failed),
                            outcome.first_failed_file, outcome.first_failed_result});
}

}  // namespace

void TForm1::FillIconFromOutcome(const RunOutcome& outcome) {
  TrayIconData.hIcon =
      outcome.HasFailures() ? shell_.WarningIconHandle() : shell_.MainIconHandle();
  // A schedule without a mode has no tip: szTip keeps what it holds.
  if (const char* schedule_tip = ScheduleTip(CurrentSchedule())) {
    const std::string tip = TipText(schedule_tip, outcome, date_settings_);
    // The whole 64-byte block: the text, then zero bytes.
    std::memset(TrayIconData.szTip, 0, sizeof(TrayIconData.szTip));
    std::memcpy(TrayIconData.szTip, tip.data(),
                std::min(tip.size(), sizeof(TrayIconData.szTip) - 1));
  }
}

void TForm1::AddTrayIcon() {
  if (TrayIconShown) return;  // the tip is not refreshed either
  TrayIconData.cbSize = sizeof(TrayIconRecord);
  TrayIconData.hWnd = OwnerHandle(view_);
  TrayIconData.uID = kTrayIconId;
  TrayIconData.uFlags = kNifMessage | kNifIcon | kNifTip;
  TrayIconData.uCallbackMessage = kWmTrayNotify;
  FillIconFromOutcome(OutcomeOfList(ClientDataSet1(), os_));
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

void TForm1::BackupRunEnded(bool started_by_timer) {
  // With the window shown there is no icon: the next add shows the outcome.
  if (!TrayIconShown) return;
  try {
    const RunOutcome outcome = OutcomeOfList(ClientDataSet1(), os_);
    FillIconFromOutcome(outcome);
    // An icon the shell does not hold yet is added with it later.
    if (!tray_icon_added_) return;
    shell_.NotifyIcon(kNimModify, TrayIconData);
    if (!started_by_timer || !outcome.HasFailures()) return;
    // One balloon at a time: an earlier run's, shown or waiting in the
    // shell's queue while the user is away, goes first.
    if (balloon_shown_) shell_.NotifyIconBalloon(TrayIconData, std::string(), std::string());
    balloon_shown_ = shell_.NotifyIconBalloon(TrayIconData, form_texts::kFailureBalloonTitle,
                                              FailureBalloonText(outcome));
  } catch (const std::exception&) {
    // display only: the run's results stand in the list
  }
}

void TForm1::RemoveTrayIcon() {
  if (!TrayIconShown) return;
  balloon_shown_ = false;  // the icon takes its balloon with it
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
  // Failures first: the result column lies beyond the two wide path columns.
  if (OutcomeOfList(ClientDataSet1(), os_).HasFailures()) view_.ScrollGridToColumn(kResultColumn);
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
  if (mouse_message == kNinBalloonHide || mouse_message == kNinBalloonTimeout ||
      mouse_message == kNinBalloonUserClick)
    balloon_shown_ = false;
  // Also during a run: the window opens at once. A click on the balloon opens
  // it as a click on the icon does. Mouse moves and the other messages of the
  // icon do nothing, then as ever.
  if (mouse_message == kWmLButtonDown || mouse_message == kWmRButtonDown ||
      mouse_message == kNinBalloonUserClick)
    RestoreFromTray();
}

void TForm1::TaskbarCreated() {
  // The shell came (back) without our icon (Explorer started after the
  // program at logon, or restarted), and with perhaps other locale settings:
  // read them again as the setting-change broadcast does, and put the icon
  // (back) while the window is in the tray; a refusal goes on being retried.
  SettingChange();
  balloon_shown_ = false;  // the new shell has none of ours
  if (TrayIconShown) {
    tray_icon_added_ = false;
    TryAddingTrayIcon();
  }
}

}  // namespace quillset
