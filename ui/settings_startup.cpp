// The settings step of the creation handler: the stored schedule is applied
// and the window goes hidden to the tray, or on a first run the defaults are
// written and a message explains them.
#include <string>

#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "locale/whole_number_text.h"
#include "ui/main_form.h"

namespace quillset {
namespace {

const char kFirstRunMessage[] =
    "初期設定値は ０分です。\r\nバックアップは開始しません！！\r\n"
    "メニューよりバックアップ開始間隔を設定して下さい。";
const char kFirstRunTimerSet[] = "0";
constexpr std::int32_t kFirstRunMode = 1;

}  // namespace

void TForm1::ReadSettingsAtStart() {
  // One settings-file object for the whole step; released (and the profile
  // cache flushed) also when a step fails.
  TIniFile settings(os_, SettingsFilePath(os_));
  TimerSetValue = settings.ReadString(kTimeSection, kTimerSetKey, "");
  if (!TimerSetValue.empty()) {
    ScheduleMode = TextToInt(settings.ReadString(kTimeSection, kTimerIniSetKey, ""));
    TimeIniSet();
    view_.SetShowAtStart(false);
    HideToTray();
    return;
  }
  TimerSetValue = kFirstRunTimerSet;
  ScheduleMode = kFirstRunMode;
  settings.WriteString(kTimeSection, kTimerSetKey, TimerSetValue);
  settings.WriteInteger(kTimeSection, kTimerIniSetKey, ScheduleMode);
  view_.SetCaption(std::string(form_texts::kCaptionPrefix) + TimerSetValue +
                   form_texts::kMinutesCaptionSuffix);
  Timer1().SetInterval(0);
  view_.ShowPlainMessage(kFirstRunMessage);
}

}  // namespace quillset
