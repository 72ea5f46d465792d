// The settings step of the creation handler: the stored schedule is applied
// and the window goes hidden to the tray, or on a first run the defaults are
// written and a message explains them.
#include <string>

#include "schedule/schedule_texts.h"
#include "settings/schedule_settings.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

const char kFirstRunMessage[] =
    "初期設定値は ０分です。\r\nバックアップは開始しません！！\r\n"
    "メニューよりバックアップ開始間隔を設定して下さい。";

}  // namespace

void TForm1::ReadSettingsAtStart() {
  // One settings-file object for the whole step; released (and the profile
  // cache flushed) also when a step fails.
  ScheduleSettings settings(os_);
  // The value is kept also when the mode then fails to read.
  TimerSetValue = settings.ReadValue();
  if (!TimerSetValue.empty()) {
    ScheduleMode = settings.ReadMode();
    TimeIniSet();
    view_.SetShowAtStart(false);
    HideToTray();
    return;
  }
  const Schedule first_run = FirstRunSchedule();
  TimerSetValue = first_run.value;
  ScheduleMode = first_run.mode;
  settings.Write(first_run);
  view_.SetCaption(*ScheduleCaption(first_run));
  Timer1().SetInterval(0);
  view_.ShowPlainMessage(kFirstRunMessage);
}

}  // namespace quillset
