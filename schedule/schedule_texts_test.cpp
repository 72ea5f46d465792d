// The caption and the tray-icon tip each schedule shows.
#include "schedule/schedule_texts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace quillset {
namespace {

TEST(ScheduleTextsTest, CaptionAndTipOfEachSchedule) {
  struct Case {
    std::int32_t mode;
    const char* value;
    const char* caption;  // nullptr: none
    const char* tip;      // nullptr: none
  };
  const Case cases[] = {
      {1, "0", "現在の設定 0 分間隔", "停止中"},
      {1, "30", "現在の設定 30 分間隔", "分単位でバックアップ"},
      // Only exactly "0" is stopped; the value is shown as it stands.
      {1, " 0", "現在の設定  0 分間隔", "分単位でバックアップ"},
      {1, "abc", "現在の設定 abc 分間隔", "分単位でバックアップ"},
      {2, "2027/03/08", "現在の設定 1週間間隔", "週単位でバックアップ"},
      {3, "2027/02/28", "現在の設定 1ヶ月間隔", "月単位でバックアップ"},
      {0, "30", nullptr, nullptr},
      {4, "30", nullptr, nullptr},
      {-1, "0", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " '" + c.value + "'");
    const Schedule schedule{c.mode, c.value};
    const std::optional<std::string> caption = ScheduleCaption(schedule);
    EXPECT_EQ(caption, c.caption ? std::optional<std::string>(c.caption) : std::nullopt);
    const char* tip = ScheduleTip(schedule);
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
