// What the program shows of a schedule, in one place: the main window's
// caption and the notification icon's tip. Both follow from the mode (and, in
// the minutes mode, from the value); a schedule without a mode has neither,
// so the caption and the tip keep what they show.
#pragma once

#include <optional>
#include <string>

#include "schedule/schedule.h"

namespace quillset {

// "現在の設定 <minutes text> 分間隔" (the value unchanged, also when it is no
// whole number), "現在の設定 1週間間隔" or "現在の設定 1ヶ月間隔"; none without a mode.
std::optional<std::string> ScheduleCaption(const Schedule& schedule);

// "停止中" for the minutes mode with exactly "0", "分単位でバックアップ" for any
// other minutes value, "週単位でバックアップ", "月単位でバックアップ"; nullptr
// without a mode. The texts are short enough for the icon's 64-byte tip.
const char* ScheduleTip(const Schedule& schedule);

}  // namespace quillset
