#include "settings/schedule_settings.h"

#include "locale/whole_number_text.h"
#include "schedule/schedule_modes.h"
#include "settings/settings_keys.h"

namespace quillset {

Schedule FirstRunSchedule() { return Schedule{kMinutesMode, "0"}; }

ScheduleSettings::ScheduleSettings(OsServices& os) : file_(os, SettingsFilePath(os)) {}

std::string ScheduleSettings::ReadValue() {
  return file_.ReadString(kTimeSection, kTimerSetKey, "");
}

std::int32_t ScheduleSettings::ReadMode() {
  return TextToInt(file_.ReadString(kTimeSection, kTimerIniSetKey, ""));
}

void ScheduleSettings::Write(const Schedule& schedule) {
  file_.WriteString(kTimeSection, kTimerSetKey, schedule.value);
  file_.WriteInteger(kTimeSection, kTimerIniSetKey, schedule.mode);
  file_.UpdateFile();
}

void ScheduleSettings::WriteDueDate(const std::string& due_date) {
  file_.WriteString(kTimeSection, kTimerSetKey, due_date);
  file_.UpdateFile();
}

}  // namespace quillset
