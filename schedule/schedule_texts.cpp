#include "schedule/schedule_texts.h"

#include "schedule/schedule_modes.h"

namespace quillset {
namespace {

const char kCaptionPrefix[] = "現在の設定 ";
const char kMinutesCaptionSuffix[] = " 分間隔";
const char kWeeklyCaption[] = "現在の設定 1週間間隔";
const char kMonthlyCaption[] = "現在の設定 1ヶ月間隔";

const char kStoppedTip[] = "停止中";
const char kMinutesTip[] = "分単位でバックアップ";
const char kWeeklyTip[] = "週単位でバックアップ";
const char kMonthlyTip[] = "月単位でバックアップ";

// The minutes value that means stopped, exactly: " 0" or "00" read as 0 too,
// but only this text names the timer stopped.
const char kStoppedMinutes[] = "0";

}  // namespace

std::optional<std::string> ScheduleCaption(const Schedule& schedule) {
  switch (schedule.mode) {
    case kMinutesMode:
      return kCaptionPrefix + schedule.value + kMinutesCaptionSuffix;
    case kWeeklyMode:
      return std::string(kWeeklyCaption);
    case kMonthlyMode:
      return std::string(kMonthlyCaption);
    default:
      return std::nullopt;
  }
}

const char* ScheduleTip(const Schedule& schedule) {
  switch (schedule.mode) {
    case kMinutesMode:
      return schedule.value == kStoppedMinutes ? kStoppedTip : kMinutesTip;
    case kWeeklyMode:
      return kWeeklyTip;
    case kMonthlyMode:
      return kMonthlyTip;
    default:
      return nullptr;
  }
}

}  // namespace quillset
