// The schedule as the settings file keeps it: section Time, TimerSet for the
// value and TimerIniSet for the mode. One object for each sequence of reads or
// writes; each write command puts the whole file in place once (TIniFile).
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
  // start: no file, no key, or an empty value. Throws EIniFileException
  // "ファイル %s は開けません" when the file exists but cannot be read.
  std::string ReadValue();
  // The stored mode (TimerIniSet) read as whole-number text. Throws
  // EConvertError "'%s' は整数ではありません" when it is missing, empty or no
  // whole number.
  std::int32_t ReadMode();

  // Writes the value and the mode in one write of the file. Throws
  // EIniFileException "<file name> に書き込めません" when it fails; the file
  // then holds both old keys.
  void Write(const Schedule& schedule);
  // Writes only the value: the due date a backup run moved on.
  void WriteDueDate(const std::string& due_date);

 private:
  TIniFile file_;
};

}  // namespace quillset
