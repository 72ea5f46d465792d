// The schedule as the settings file keeps it: section Time, TimerSet for the
// value and TimerIniSet for the mode, always written in that order. One object
// for each sequence of reads or writes, released straight after (releasing
// flushes the OS's profile cache, as TIniFile does).
#pragma once

#include <cstdint>
#include <string>

#include "base/os_services.h"
#include "schedule/schedule.h"
#include "settings/ini_file.h"

namespace quillset {

// What the first start writes: the minutes mode, stopped.
Schedule FirstRunSchedule();

class ScheduleSettings {
 public:
  // The settings file beside the executable. REQUIRES: `os` outlives the object.
  explicit ScheduleSettings(OsServices& os);

  // The stored value (TimerSet); empty when none is stored, which is a first
  // start: no file, no key, or an empty value.
  std::string ReadValue();
  // The stored mode (TimerIniSet) read as whole-number text. Throws
  // EConvertError "'%s' は整数ではありません" when it is missing, empty or no
  // whole number.
  std::int32_t ReadMode();

  // Writes the value, then the mode. Throws EIniFileException "<file name>
  // に書き込めません" when the OS refuses a write; a refused value writes no mode.
  void Write(const Schedule& schedule);
  // Writes only the value: the due date a backup run moved on.
  void WriteDueDate(const std::string& due_date);

 private:
  TIniFile file_;
};

}  // namespace quillset
