// The caption and the tray-icon tip each schedule shows.
#include "schedule/schedule_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace quillset {
namespace {

TEST(ScheduleTextsTest, CaptionAndTipOfEachSchedule) {
  struct Case {
    Schedule schedule;
    std::optional<std::string> caption;
    const char* tip;  // nullptr: none
  };
  const Case cases[] = {
      {{1, "0"}, "現在の設定 0 分間隔", "停止中"},
      {{1, "30"}, "現在の設定 30 分間隔", "分単位でバックアップ"},
      // Only exactly "0" is stopped; the value is shown as it stands.
      {{1, " 0"}, "現在の設定  0 分間隔", "分単位でバックアップ"},
      {{1, "abc"}, "現在の設定 abc 分間隔", "分単位でバックアップ"},
      {{2, "2027/03/08"}, "現在の設定 1週間間隔", "週単位でバックアップ"},
      {{3, "2027/02/28"}, "現在の設定 1ヶ月間隔", "月単位でバックアップ"},
      {{0, "30"}, std::nullopt, nullptr},
      {{4, "30"}, std::nullopt, nullptr},
      {{-1, "0"}, std::nullopt, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.schedule.mode) + " '" + c.schedule.value + "'");
    EXPECT_EQ(ScheduleCaption(c.schedule), c.caption);
    const char* tip = ScheduleTip(c.schedule);
    if (c.tip == nullptr) {
      EXPECT_EQ(tip, nullptr);
    } else {
      ASSERT_NE(tip, nullptr);
      EXPECT_STREQ(tip, c.tip);
      EXPECT_LT(std::strlen(tip), 64u) << "fits the icon's tip with its zero byte";
    }
  }
}

}  // namespace
}  // namespace quillset
