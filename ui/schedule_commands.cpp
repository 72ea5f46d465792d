// The schedule handlers of the main window: the three menu commands that
// choose a schedule mode, applying the mode to Timer1 and the caption, the
// minutes prompt, and the timer's tick. What the schedule means (intervals,
// due dates, which minutes counts are valid) is schedule/schedule.h.
//
// A refused answer of the prompt changes nothing: the mode, the value, the
// timer, the caption and the settings file stay as they were.
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "base/errors.h"
#include "locale/calendar_dates.h"
#include "locale/whole_number_text.h"
#include "schedule/schedule.h"
#include "schedule/schedule_texts.h"
#include "settings/schedule_settings.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

const char kPromptTitle[] = "TimerSet";
const char kPromptText[] =
    "自動でバックアップする\r\n分(10分以上）を設定してください。\r\n ０ でバックアップ停止。";
const char kPromptPreset[] = "0";
const char kTooShortMessage[] = "設定値は無効です(10分以上にして下さい。)";
// A count above the largest one is told the upper limit, not the lower one.
const char kTooLongMessage[] = "設定値は無効です(%s分以下にして下さい。)";
const char kNotWholeNumberMessage[] = "整数じゃない！設定値は無効です";

}  // namespace

void TForm1::TimeIniSet() {
  const Schedule schedule = CurrentSchedule();
  const std::optional<std::string> caption = ScheduleCaption(schedule);
  if (!caption) return;  // no mode: nothing to apply
  // The minutes caption comes first: a value that is no whole number is shown
  // there when the conversion fails. The date modes show theirs once the
  // timer runs.
  if (schedule.mode == kMinutesMode) view_.SetCaption(*caption);
  timer_.SetInterval(TimerInterval(schedule));
  if (schedule.mode != kMinutesMode) view_.SetCaption(*caption);
}

bool TForm1::TimSet() {
  // Every refusal leaves TimerSetValue and the timer as they were, so that the
  // caller can put the previous schedule back whole.
  std::string answer;
  std::int32_t minutes = 0;
  try {
    answer = view_.InputBox(kPromptTitle, kPromptText, kPromptPreset);
    minutes = TextToInt(answer);
  } catch (const Exception&) {
    view_.ShowPlainMessage(kNotWholeNumberMessage);
    return false;
  }
  const std::optional<std::uint32_t> interval_ms = MinutesInterval(minutes);
  if (!interval_ms) {
    view_.ShowPlainMessage(minutes > kLongestMinutes
                               ? FormatMessageText(kTooLongMessage, {IntToText(kLongestMinutes)})
                               : std::string(kTooShortMessage));
    return false;
  }
  const std::uint32_t previous_interval = timer_.Interval();
  try {
    timer_.SetInterval(*interval_ms);
  } catch (const EOutOfResources&) {
    // The refused timer took the running one with it: arm the previous
    // interval again if the system lets us.
    try {
      timer_.SetInterval(previous_interval);
    } catch (const EOutOfResources&) {
      // The timer stays off; the message below already tells of a refusal.
    }
    view_.ShowPlainMessage(kNotWholeNumberMessage);
    return false;
  }
  TimerSetValue = answer;
  return true;
}

void TForm1::TimerSetClick() {
  // Mode 1 is in force while the prompt is open, so a tick then runs the
  // backup. Such a run changes neither TimerSetValue nor the settings file
  // (only the date modes move the due date), so putting the mode back is all a
  // refused answer needs.
  const std::int32_t previous_mode = ScheduleMode;
  ScheduleMode = kMinutesMode;
  bool accepted = false;
  try {
    accepted = TimSet();
  } catch (...) {
    ScheduleMode = previous_mode;
    throw;
  }
  if (!accepted) {
    ScheduleMode = previous_mode;
    return;
  }
  TimeIniSet();
  ScheduleSettings(os_).Write(CurrentSchedule());
  view_.SetCaption(*ScheduleCaption(CurrentSchedule()));
}

void TForm1::WeeClick() {
  ScheduleMode = kWeeklyMode;
  TimeIniSet();
  TimerSetValue = NextDueDateText(ScheduleMode, TodayDate(os_), date_settings_);
  ScheduleSettings(os_).Write(CurrentSchedule());
}

void TForm1::MonClick() {
  ScheduleMode = kMonthlyMode;
  TimeIniSet();
  TimerSetValue = NextDueDateText(ScheduleMode, TodayDate(os_), date_settings_);
  ScheduleSettings(os_).Write(CurrentSchedule());
}

void TForm1::RunTimerTick() {
  if (IsRunDue(CurrentSchedule(), TodayDate(os_), date_settings_)) Copy1Click(true);
}

void TForm1::Timer1Timer() {
  RetryTrayIconWithoutItsTimer();
  // A tick during a run is handled after it, once, as the system keeps one.
  if (runs_.Running()) {
    runs_.TickWaits();
    return;
  }
  std::string failure;
  try {
    RunTimerTick();
    return;
  } catch (const Exception& e) {
    failure = e.Message();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  // Ticks go on while the failure box of an earlier tick waits for the user
  // (its message loop delivers them), so that one failure does not stop the
  // scheduled backups. Their own failures open no second box: an unreadable
  // due date would otherwise open one more every interval.
  if (!runs_.OpenTickFailureBox()) return;
  try {
    view_.ShowFailure(failure);
  } catch (...) {
    runs_.CloseTickFailureBox();
    throw;
  }
  runs_.CloseTickFailureBox();
}

}  // namespace quillset
