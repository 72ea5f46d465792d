// The names under which the schedule is kept in the settings file, in one place.
#pragma once

namespace quillset {

// The one section of the settings file.
inline constexpr const char kTimeSection[] = "Time";
// TimerSetValue: the minutes as whole-number text, or the next due date as
// short-date text.
inline constexpr const char kTimerSetKey[] = "TimerSet";
// ScheduleMode as whole-number text: "1", "2" or "3".
inline constexpr const char kTimerIniSetKey[] = "TimerIniSet";
// The extension that turns the executable's path into the settings file's.
inline constexpr const char kSettingsFileExtension[] = ".ini";

}  // namespace quillset
