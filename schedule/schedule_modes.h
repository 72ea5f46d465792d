// The values of ScheduleMode, as the settings file stores them under
// TimerIniSet. Any other value means no mode: ticks do nothing.
#pragma once

#include <cstdint>

namespace quillset {

constexpr std::int32_t kMinutesMode = 1;  // every N minutes ("0": stopped)
constexpr std::int32_t kWeeklyMode = 2;   // weekly, by the next due date
constexpr std::int32_t kMonthlyMode = 3;  // monthly, by the next due date

}  // namespace quillset
