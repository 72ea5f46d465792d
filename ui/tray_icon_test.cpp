// The notification-area icon of the main window: the record handed to the
// shell, its tip, adding and removing once, and the icon's mouse messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/testing/schedule_fixture.h"
#include "ui/tray_icon_retry.h"

namespace quillset {
namespace {

using schedule_fixture::FormTest;
using testing_support::InMemoryOs;

constexpr std::uint32_t kNimAdd = 0;
constexpr std::uint32_t kNimDelete = 2;

// The 64 bytes of szTip for `text`: the text, then zero bytes.
std::string TipBlock(const std::string& text) {
  std::string block = text;
  block.resize(64, '\0');
  return block;
}
std::string TipOf(const TrayIconRecord& record) {
  return std::string(record.szTip, sizeof(record.szTip));
}

class TrayIconTest : public FormTest {
 protected:
  // The tip of the icon added for a schedule (the icon removed again after).
  std::string TipFor(std::int32_t mode, const std::string& value) {
    form->ScheduleMode = mode;
    form->TimerSetValue = value;
    form->AddTrayIcon();
    const std::string tip = TipOf(shell.notify_icon_calls.back().record);
    form->RemoveTrayIcon();
    return tip;
  }
};

using TrayIconTipTest = TrayIconTest;

TEST_F(TrayIconTipTest, TipNamesTheScheduleMode) {
  EXPECT_EQ(TipFor(1, "0"), TipBlock("停止中"));
  EXPECT_EQ(TipFor(1, "30"), TipBlock("分単位でバックアップ"));
  EXPECT_EQ(TipFor(1, " 0"), TipBlock("分単位でバックアップ"));  // only exactly "0" is stopped
  EXPECT_EQ(TipFor(1, "abc"), TipBlock("分単位でバックアップ"));
  EXPECT_EQ(TipFor(2, "2027/03/08"), TipBlock("週単位でバックアップ"));
  EXPECT_EQ(TipFor(3, "2027/02/28"), TipBlock("月単位でバックアップ"));
  // Shift-JIS: two bytes a character.
  EXPECT_EQ(std::strlen(TipFor(1, "0").c_str()), 6u);
}

TEST_F(TrayIconTipTest, ModeWithoutTipKeepsThePreviousOne) {
  EXPECT_EQ(TipFor(0, "30"), std::string(64, '\0'));  // empty on the first add
  EXPECT_EQ(TipFor(3, "2027/02/28"), TipBlock("月単位でバックアップ"));
  EXPECT_EQ(TipFor(7, "30"), TipBlock("月単位でバックアップ"));
}

TEST_F(TrayIconTipTest, TipIsChosenWhenTheIconIsAdded) {
  form->ScheduleMode = 2;
  form->AddTrayIcon();
  form->ScheduleMode = 1;
  form->TimerSetValue = "0";
  form->AddTrayIcon();  // shown already: no call, the tip is not refreshed
  ASSERT_EQ(shell.notify_icon_calls.size(), 1u);
  EXPECT_EQ(TipOf(form->TrayIconData), TipBlock("週単位でバックアップ"));
}

using TrayIconCallsTest = TrayIconTest;

TEST_F(TrayIconCallsTest, AddFillsTheWholeRecord) {
  form->ScheduleMode = 1;
  form->TimerSetValue = "0";
  form->AddTrayIcon();
  ASSERT_EQ(shell.notify_icon_calls.size(), 1u);
  const FakeShellServices::NotifyIconCall& call = shell.notify_icon_calls[0];
  EXPECT_EQ(call.message, kNimAdd);
  EXPECT_EQ(call.record.cbSize, 88u);
  EXPECT_EQ(call.record.hWnd, static_cast<std::uint32_t>(view.MainWindow()));
  EXPECT_EQ(call.record.uID, 1u);
  EXPECT_EQ(call.record.uFlags, 7u);
  EXPECT_EQ(call.record.uCallbackMessage, 1124u);
  EXPECT_EQ(call.record.hIcon, FakeShellServices::kMainIcon);
  EXPECT_TRUE(form->TrayIconShown);
}

TEST_F(TrayIconCallsTest, AddAndRemoveEachCallTheShellOnce) {
  form->RemoveTrayIcon();  // none shown
  EXPECT_TRUE(shell.notify_icon_calls.empty());
  form->ScheduleMode = 2;
  form->AddTrayIcon();
  form->AddTrayIcon();
  form->RemoveTrayIcon();
  form->RemoveTrayIcon();
  ASSERT_EQ(shell.notify_icon_calls.size(), 2u);
  EXPECT_EQ(shell.notify_icon_calls[0].message, kNimAdd);
  const TrayIconRecord& removed = shell.notify_icon_calls[1].record;
  EXPECT_EQ(shell.notify_icon_calls[1].message, kNimDelete);
  EXPECT_EQ(removed.cbSize, 88u);
  EXPECT_EQ(removed.hWnd, static_cast<std::uint32_t>(view.MainWindow()));
  EXPECT_EQ(removed.uID, 1u);
  // The other fields keep what the add put there.
  EXPECT_EQ(removed.uFlags, 7u);
  EXPECT_EQ(TipOf(removed), TipBlock("週単位でバックアップ"));
  EXPECT_FALSE(form->TrayIconShown);
}

TEST_F(TrayIconCallsTest, HideAddsTheIconThenHidesAndRestoreRemovesThenShows) {
  view.visible = true;
  form->MenuClick(MenuItemId::N1);  // "タスクトレーへ"
  EXPECT_FALSE(view.visible);
  EXPECT_TRUE(form->TrayIconShown);
  form->RestoreFromTray();
  EXPECT_TRUE(view.visible);
  EXPECT_FALSE(form->TrayIconShown);
  EXPECT_EQ(view.log, (std::vector<std::string>{"notify-icon:0", "hide", "notify-icon:2",
                                                "restore"}));
}

using TrayIconNotifyTest = TrayIconTest;

TEST_F(TrayIconNotifyTest, EitherButtonPressRestoresTheWindow) {
  for (std::uint32_t press : {513u, 516u}) {
    SCOPED_TRACE(press);
    form->HideToTray();
    form->TrayNotify(press);
    EXPECT_TRUE(view.visible);
    EXPECT_FALSE(form->TrayIconShown);
    EXPECT_EQ(shell.notify_icon_calls.back().message, kNimDelete);
  }
  EXPECT_EQ(shell.notify_icon_calls.size(), 4u);
}

TEST_F(TrayIconNotifyTest, OtherMouseMessagesDoNothing) {
  form->HideToTray();
  // Move, left up, left double-click, right up, right double-click, middle down.
  for (std::uint32_t message : {512u, 514u, 515u, 517u, 518u, 519u, 0u, 1124u}) {
    form->TrayNotify(message);
  }
  EXPECT_FALSE(view.visible);
  EXPECT_TRUE(form->TrayIconShown);
  EXPECT_EQ(shell.notify_icon_calls.size(), 1u);
  EXPECT_EQ(view.log, (std::vector<std::string>{"notify-icon:0", "hide"}));
}

TEST_F(TrayIconNotifyTest, DoubleClickRestoresOnItsFirstPress) {
  form->HideToTray();
  for (std::uint32_t message : {513u, 514u, 515u, 514u}) form->TrayNotify(message);
  EXPECT_EQ(shell.notify_icon_calls.size(), 2u);
  EXPECT_EQ(view.log, (std::vector<std::string>{"notify-icon:0", "hide", "notify-icon:2",
                                                "restore"}));
}

// A tick's failure box opened while the window is hidden in the tray: by
// Windows' rule it cannot take the foreground from the program the user works
// in. A click on the icon lets the program take it (the shell grants it): the
// box comes to the front, not the window it disabled.
TEST_F(TrayIconNotifyTest, ClickWhileABoxIsOpenBringsTheBoxToTheFront) {
  form->ScheduleMode = 2;
  form->TimerSetValue = "not a date";
  form->HideToTray();
  FakeFormView::Active when_opened = FakeFormView::Active::kMainWindow;
  FakeFormView::Active after_click = FakeFormView::Active::kOtherProgram;
  bool clicked = false;
  view.during_box = [&] {
    if (clicked) return;
    clicked = true;
    when_opened = view.active;
    view.GrantForeground();
    form->TrayNotify(kWmLButtonDown);
    after_click = view.active;
  };
  form->Timer1Timer();
  ASSERT_EQ(view.failures.size(), 1u);
  EXPECT_EQ(when_opened, FakeFormView::Active::kOtherProgram);
  EXPECT_EQ(after_click, FakeFormView::Active::kBox);
  EXPECT_TRUE(view.visible);
  EXPECT_FALSE(form->TrayIconShown);
}

using TrayIconTaskbarTest = TrayIconTest;

TEST_F(TrayIconTaskbarTest, RecreatedTaskbarGetsTheIconBackWhileHidden) {
  form->ScheduleMode = 3;
  form->HideToTray();
  form->TaskbarCreated();
  ASSERT_EQ(shell.notify_icon_calls.size(), 2u);
  EXPECT_EQ(shell.notify_icon_calls[1].message, kNimAdd);
  EXPECT_EQ(std::memcmp(&shell.notify_icon_calls[0].record, &shell.notify_icon_calls[1].record,
                        sizeof(TrayIconRecord)),
            0);
  EXPECT_TRUE(form->TrayIconShown);
  // One icon still: a press removes it once and restores.
  form->TrayNotify(513);
  EXPECT_EQ(shell.notify_icon_calls.size(), 3u);
  EXPECT_FALSE(form->TrayIconShown);
}

TEST_F(TrayIconTaskbarTest, RecreatedTaskbarAddsNoIconWhileTheWindowShows) {
  form->TaskbarCreated();
  form->HideToTray();
  form->RestoreFromTray();
  const std::size_t calls = shell.notify_icon_calls.size();
  form->TaskbarCreated();
  EXPECT_EQ(shell.notify_icon_calls.size(), calls);
  EXPECT_FALSE(form->TrayIconShown);
}

TEST_F(TrayIconTaskbarTest, RecreatedTaskbarReadsTheLocaleSettingsAgain) {
  os.SetLocaleItem(locale_item::kSShortDate, "dd.MM.yyyy");
  os.SetLocaleItem(locale_item::kSDate, ".");
  const int resets = os.ThreadLocaleResets();
  form->TaskbarCreated();
  EXPECT_EQ(os.ThreadLocaleResets(), resets + 1);
  EXPECT_EQ(form->DateSettings().ShortDatePattern, "dd.MM.yyyy");
  EXPECT_EQ(form->DateSettings().DateSeparatorChar, '.');
}

// ---- An icon the shell refuses (Explorer not ready at logon) is tried again.

class TrayIconRetryTest : public TrayIconTest {
 protected:
  // The retry timer as the OS sees it.
  FakeShellServices::TimerState RetryTimer() {
    return shell.Timer(view.TimerWindow(), TrayIconRetry::kTimerId);
  }
  std::size_t Adds() const {
    std::size_t adds = 0;
    for (const auto& call : shell.notify_icon_calls) adds += call.message == kNimAdd;
    return adds;
  }
  std::size_t Deletes() const { return shell.notify_icon_calls.size() - Adds(); }
  // Starts hidden in the tray, in the minutes mode with Timer1 running, and
  // the shell refusing the icon.
  void HideWithTheShellRefusing() {
    form->ScheduleMode = 1;
    form->TimerSetValue = "10";
    form->TimeIniSet();
    shell.notify_icon_result = false;
    form->HideToTray();
  }
};

TEST_F(TrayIconRetryTest, RefusedIconIsTriedEveryTwoSecondsThenEveryMinuteUntilAdded) {
  HideWithTheShellRefusing();
  const FakeShellServices::TimerState timer1 = Timer();
  EXPECT_FALSE(view.visible);
  EXPECT_TRUE(form->TrayIconShown);
  EXPECT_FALSE(form->TrayIconAdded());
  ASSERT_TRUE(RetryTimer().armed);
  EXPECT_EQ(RetryTimer().interval_ms, 2000u);

  // Two minutes of tries 2 s apart, then one a minute.
  for (int tick = 1; tick <= 60; ++tick) {
    EXPECT_EQ(RetryTimer().interval_ms, 2000u) << "before try " << tick;
    form->TrayIconRetryTimer();
  }
  EXPECT_EQ(Adds(), 61u);
  EXPECT_EQ(RetryTimer().interval_ms, 60000u);
  const int arms = RetryTimer().arm_count;
  for (int tick = 0; tick < 5; ++tick) form->TrayIconRetryTimer();
  EXPECT_EQ(RetryTimer().interval_ms, 60000u);
  EXPECT_EQ(RetryTimer().arm_count, arms) << "a running cadence is not re-armed";

  // The shell is ready: the next try adds the icon, the same record, and the
  // retries end.
  shell.notify_icon_result = true;
  form->TrayIconRetryTimer();
  EXPECT_TRUE(form->TrayIconAdded());
  EXPECT_FALSE(RetryTimer().armed);
  EXPECT_EQ(std::memcmp(&shell.notify_icon_calls.front().record,
                        &shell.notify_icon_calls.back().record, sizeof(TrayIconRecord)),
            0);
  const std::size_t calls = shell.notify_icon_calls.size();
  form->TrayIconRetryTimer();  // a late tick of the stopped timer
  EXPECT_EQ(shell.notify_icon_calls.size(), calls);

  // Timer1 kept its interval and phase: never re-armed by the retries.
  EXPECT_EQ(Timer().interval_ms, timer1.interval_ms);
  EXPECT_EQ(Timer().arm_count, timer1.arm_count);
  EXPECT_TRUE(Timer().armed);

  // The icon the shell took is a normal icon: a press removes it and restores.
  form->TrayNotify(513);
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(Deletes(), 1u);
}

TEST_F(TrayIconRetryTest, TaskbarCreatedAddsTheIconAndEndsThePendingRetries) {
  HideWithTheShellRefusing();
  form->TrayIconRetryTimer();
  ASSERT_TRUE(RetryTimer().armed);
  shell.notify_icon_result = true;
  form->TaskbarCreated();
  EXPECT_TRUE(form->TrayIconAdded());
  EXPECT_FALSE(RetryTimer().armed);
  EXPECT_EQ(Adds(), 3u);

  // A shell that comes back and refuses again starts the retries afresh.
  shell.notify_icon_result = false;
  form->TaskbarCreated();
  EXPECT_FALSE(form->TrayIconAdded());
  EXPECT_TRUE(RetryTimer().armed);
  EXPECT_EQ(RetryTimer().interval_ms, 2000u);
}

// The system gives no timer for the retries: the start goes on all the same,
// and the icon is tried again when the shell announces itself and at Timer1's
// next tick.
TEST_F(TrayIconRetryTest, RefusedRetryTimerFallsBackToTaskbarCreatedAndTimer1) {
  form->ScheduleMode = 1;
  form->TimerSetValue = "10";
  form->TimeIniSet();
  shell.notify_icon_result = false;
  shell.timer_refusals = 1;
  EXPECT_NO_THROW(form->HideToTray());
  EXPECT_FALSE(view.visible);
  EXPECT_TRUE(form->TrayIconShown);
  EXPECT_FALSE(RetryTimer().armed);
  EXPECT_TRUE(Timer().armed) << "Timer1 is untouched";

  shell.timer_refusals = 1;
  form->Timer1Timer();  // the shell still refuses, and still no retry timer
  EXPECT_EQ(Adds(), 2u);
  EXPECT_FALSE(RetryTimer().armed);
  shell.notify_icon_result = true;
  form->Timer1Timer();
  EXPECT_EQ(Adds(), 3u);
  EXPECT_TRUE(form->TrayIconAdded());
  form->Timer1Timer();
  EXPECT_EQ(Adds(), 3u) << "an icon the shell holds is not added again";

  shell.notify_icon_result = false;
  shell.timer_refusals = 1;
  EXPECT_NO_THROW(form->TaskbarCreated());
  EXPECT_FALSE(form->TrayIconAdded());
  shell.notify_icon_result = true;
  form->TaskbarCreated();
  EXPECT_TRUE(form->TrayIconAdded());
  EXPECT_EQ(Adds(), 5u);
}

TEST_F(TrayIconRetryTest, RestoreAndHideAgainWhileRetrying) {
  HideWithTheShellRefusing();
  for (int tick = 0; tick < 70; ++tick) form->TrayIconRetryTimer();
  ASSERT_EQ(RetryTimer().interval_ms, 60000u);

  // A press on the icon proves the shell holds it after all (a busy shell
  // can time out after it took the icon): it is removed with the restore.
  form->TrayNotify(513);
  EXPECT_TRUE(view.visible);
  EXPECT_FALSE(RetryTimer().armed);
  EXPECT_EQ(Deletes(), 1u);

  // Hidden again: a new refusal starts from the 2-second cadence; shown
  // again before the shell took it, nothing is asked away and no try is left.
  form->N1Click();
  EXPECT_EQ(RetryTimer().interval_ms, 2000u);
  form->RestoreFromTray();
  EXPECT_TRUE(view.visible);
  EXPECT_FALSE(RetryTimer().armed);
  EXPECT_EQ(Deletes(), 1u);
  const std::size_t calls = shell.notify_icon_calls.size();
  form->TrayIconRetryTimer();
  EXPECT_EQ(shell.notify_icon_calls.size(), calls) << "no icon for a window that shows";
}

}  // namespace
}  // namespace quillset
