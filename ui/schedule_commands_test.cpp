// The schedule handlers of the main window: applying a mode, the minutes
// prompt, the weekly and monthly commands and the timer's tick.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "base/errors.h"
#include "ui/testing/schedule_fixture.h"

namespace quillset {
namespace {

using schedule_fixture::FormTest;

const char kPromptTitle[] = "TimerSet";
const char kPromptText[] =
    "自動でバックアップする\r\n分(10分以上）を設定してください。\r\n ０ でバックアップ停止。";
const char kTooShort[] = "設定値は無効です(10分以上にして下さい。)";
const char kTooLong[] = "設定値は無効です(35791分以下にして下さい。)";
const char kNotWholeNumber[] = "整数じゃない！設定値は無効です";

// Everything that makes up the schedule in force.
struct Schedule {
  std::int32_t mode;
  std::string value;
  std::uint32_t interval;
  bool armed;
  int arm_count;
  std::string caption;
  std::string settings;  // the settings file
  bool operator==(const Schedule& o) const {
    return std::tie(mode, value, interval, armed, arm_count, caption, settings) ==
           std::tie(o.mode, o.value, o.interval, o.armed, o.arm_count, o.caption, o.settings);
  }
};

class ScheduleTest : public FormTest {
 protected:
  Schedule Snapshot() {
    return {form->ScheduleMode, form->TimerSetValue, form->Timer1().Interval(),
            Timer().armed, Timer().arm_count, view.Caption(), SettingsText()};
  }
  void ChooseMinutes(const std::string& answer) {
    view.input_answers.push_back(answer);
    form->TimerSetClick();
  }
};

// ---- TimeIniSet

using ScheduleTimeIniSetTest = ScheduleTest;

TEST_F(ScheduleTimeIniSetTest, MinutesModeArmsMinutesTimesSixtyThousandAndShowsTheText) {
  form->ScheduleMode = 1;
  form->TimerSetValue = "30";
  form->TimeIniSet();
  EXPECT_EQ(view.Caption(), MinutesCaption("30"));
  EXPECT_EQ(form->Timer1().Interval(), 1800000u);
  EXPECT_TRUE(Timer().armed);
  EXPECT_EQ(Timer().interval_ms, 1800000u);

  form->TimerSetValue = "0";
  form->TimeIniSet();
  EXPECT_EQ(view.Caption(), "現在の設定 0 分間隔");
  EXPECT_EQ(form->Timer1().Interval(), 0u);
  EXPECT_FALSE(Timer().armed);
  EXPECT_FALSE(os.FileExists(SettingsPath()));
}

TEST_F(ScheduleTimeIniSetTest, MinutesTextThatIsNoWholeNumberFailsAfterTheCaptionWasSet) {
  form->ScheduleMode = 1;
  form->TimerSetValue = "abc";
  try {
    form->TimeIniSet();
    FAIL() << "no conversion failure";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' は整数ではありません");
  }
  EXPECT_EQ(view.Caption(), MinutesCaption("abc"));
  EXPECT_EQ(form->Timer1().Interval(), 0u);
  EXPECT_EQ(Timer().arm_count, 0);
}

TEST_F(ScheduleTimeIniSetTest, StoredMinutesOutOfRangeLeaveTheTimerOff) {
  // What the prompt refuses never reaches the timer, also when it comes from
  // the settings file: 1..9, negative counts, and counts whose interval would
  // not fit 32 bits.
  for (const char* value : {"5", "9", "-3", "35792", "2147483647", "$FFFFFFFF"}) {
    SCOPED_TRACE(value);
    form->ScheduleMode = 1;
    form->TimerSetValue = value;
    EXPECT_NO_THROW(form->TimeIniSet());
    EXPECT_EQ(view.Caption(), MinutesCaption(value));
    EXPECT_EQ(form->Timer1().Interval(), 0u);
    EXPECT_FALSE(Timer().armed);
  }
  form->TimerSetValue = "35791";  // the largest count that fits
  form->TimeIniSet();
  EXPECT_EQ(form->Timer1().Interval(), 2147460000u);
  EXPECT_TRUE(Timer().armed);
}

TEST_F(ScheduleTimeIniSetTest, DateModesCheckEveryHundredMinutes) {
  form->ScheduleMode = 2;
  form->TimerSetValue = "not read here";  // the date is read at the first check only
  form->TimeIniSet();
  EXPECT_EQ(form->Timer1().Interval(), kDateCheckMs);
  EXPECT_EQ(view.Caption(), "現在の設定 1週間間隔");

  form->ScheduleMode = 3;
  form->TimeIniSet();
  EXPECT_EQ(form->Timer1().Interval(), kDateCheckMs);
  EXPECT_EQ(view.Caption(), "現在の設定 1ヶ月間隔");
  EXPECT_EQ(Timer().arm_count, 1);  // same interval: the phase is kept
}

TEST_F(ScheduleTimeIniSetTest, ModesOutsideOneToThreeChangeNothing) {
  for (std::int32_t mode : {0, 4, -1, 100}) {
    SCOPED_TRACE(mode);
    form->ScheduleMode = mode;
    form->TimerSetValue = "30";
    form->TimeIniSet();
    EXPECT_EQ(view.Caption(), "右クリックでメニューが出ます。");
    EXPECT_EQ(form->Timer1().Interval(), 0u);
  }
  EXPECT_EQ(Timer().arm_count, 0);
}

TEST_F(ScheduleTimeIniSetTest, RefusedTimerIsAFailure) {
  shell.timer_refusals = 1;
  form->ScheduleMode = 2;
  try {
    form->TimeIniSet();
    FAIL() << "no failure";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "タイマーを取得できません");
  }
  EXPECT_EQ(form->Timer1().Interval(), 0u);
}

// ---- The minutes prompt (TimerSetClick, TimSet)

using ScheduleMinutesPromptTest = ScheduleTest;

TEST_F(ScheduleMinutesPromptTest, TenMinutesIsAppliedShownAndStored) {
  ChooseMinutes("10");
  ASSERT_EQ(view.input_titles.size(), 1u);
  EXPECT_EQ(view.input_titles[0], kPromptTitle);
  EXPECT_EQ(view.input_prompts[0], kPromptText);
  EXPECT_TRUE(view.plain_messages.empty());
  EXPECT_TRUE(view.failures.empty());
  EXPECT_EQ(form->ScheduleMode, 1);
  EXPECT_EQ(form->TimerSetValue, "10");
  EXPECT_EQ(form->Timer1().Interval(), kTenMinutesMs);
  EXPECT_TRUE(Timer().armed);
  EXPECT_EQ(view.Caption(), "現在の設定 10 分間隔");
  EXPECT_EQ(SettingsText(), SettingsWritten("10", 1));
}

TEST_F(ScheduleMinutesPromptTest, ZeroOrCancelStopsTheTimer) {
  ChooseMinutes("30");
  ASSERT_TRUE(Timer().armed);

  ChooseMinutes("0");
  EXPECT_EQ(form->Timer1().Interval(), 0u);
  EXPECT_FALSE(Timer().armed);
  EXPECT_EQ(view.Caption(), "現在の設定 0 分間隔");
  EXPECT_EQ(Setting(kTimerSetKey), "0");

  ChooseMinutes("30");
  form->TimerSetClick();  // cancelled: the preset "0" comes back
  EXPECT_TRUE(view.plain_messages.empty());
  EXPECT_EQ(form->TimerSetValue, "0");
  EXPECT_FALSE(Timer().armed);
  EXPECT_EQ(view.Caption(), "現在の設定 0 分間隔");
  EXPECT_EQ(Setting(kTimerSetKey), "0");
  EXPECT_EQ(Setting(kTimerIniSetKey), "1");
}

TEST_F(ScheduleMinutesPromptTest, LeadingBlankIsAcceptedAndKeptAsTyped) {
  ChooseMinutes(" 15");
  EXPECT_TRUE(view.plain_messages.empty());
  EXPECT_EQ(form->Timer1().Interval(), 900000u);
  EXPECT_EQ(form->TimerSetValue, " 15");
  EXPECT_EQ(view.Caption(), MinutesCaption(" 15"));
  EXPECT_EQ(SettingsText(), SettingsWritten(" 15", 1));
}

TEST_F(ScheduleMinutesPromptTest, LargestCountThatFitsIsAccepted) {
  ChooseMinutes("35791");
  EXPECT_TRUE(view.plain_messages.empty());
  EXPECT_EQ(form->Timer1().Interval(), 2147460000u);
  EXPECT_EQ(Setting(kTimerSetKey), "35791");
}

// A refused answer leaves the schedule in force as it was, whatever it was,
// and shows exactly one plain message and no failure box.
TEST_F(ScheduleMinutesPromptTest, RefusedAnswersChangeNothing) {
  struct Case {
    const char* answer;
    const char* message;
  };
  const Case cases[] = {{"15 ", kNotWholeNumber}, {"abc", kNotWholeNumber},
                        {"", kNotWholeNumber},    {"5", kTooShort},
                        {"9", kTooShort},         {"-3", kTooShort},
                        {"35792", kTooLong},      {"2147483647", kTooLong}};
  SetToday(2027, 3, 1);
  for (int previous = 0; previous < 3; ++previous) {
    if (previous == 0) ChooseMinutes("30");
    if (previous == 1) form->WeeClick();
    if (previous == 2) form->MonClick();
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string("previous ") + std::to_string(previous) + ", answer '" +
                   c.answer + "'");
      const Schedule before = Snapshot();
      view.plain_messages.clear();
      ChooseMinutes(c.answer);
      EXPECT_EQ(view.plain_messages, (std::vector<std::string>{c.message}));
      EXPECT_TRUE(view.failures.empty());
      EXPECT_TRUE(Snapshot() == before);
    }
  }
}

TEST_F(ScheduleMinutesPromptTest, TickDuringThePromptRunsTheBackupAndARefusalPutsTheModeBack) {
  AddCopyingEntry();
  SetToday(2027, 3, 1);
  form->WeeClick();  // due 2027/03/08: no weekly run yet
  const Schedule before = Snapshot();
  view.during_box = [this] {
    if (!view.input_titles.empty() && view.plain_messages.empty()) form->Timer1Timer();
  };
  ChooseMinutes("5");
  // Mode 1 was in force while the prompt was open: the tick ran the backup,
  // and being a mode-1 run it moved no due date.
  EXPECT_EQ(Runs(), 1);
  EXPECT_EQ(view.plain_messages, (std::vector<std::string>{kTooShort}));
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_EQ(form->ScheduleMode, 2);
  EXPECT_EQ(form->TimerSetValue, "2027/03/08");
}

TEST_F(ScheduleMinutesPromptTest, RefusedTimerKeepsThePreviousScheduleRunning) {
  ChooseMinutes("30");
  const Schedule before = Snapshot();
  shell.timer_refusals = 1;  // the new interval is refused, the old one comes back
  ChooseMinutes("20");
  EXPECT_EQ(view.plain_messages, (std::vector<std::string>{kNotWholeNumber}));
  EXPECT_TRUE(view.failures.empty());
  EXPECT_EQ(form->ScheduleMode, 1);
  EXPECT_EQ(form->TimerSetValue, "30");
  EXPECT_EQ(form->Timer1().Interval(), 1800000u);
  EXPECT_TRUE(Timer().armed);
  EXPECT_EQ(SettingsText(), before.settings);
}

TEST_F(ScheduleMinutesPromptTest, FailedWriteEndsTheCommandWithTheTimerSet) {
  SetSettingsWritable(false);
  view.input_answers.push_back("20");
  try {
    form->TimerSetClick();
    FAIL() << "no failure";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "C:\\Quillset\\Quillset.ini に書き込めません");
  }
  EXPECT_EQ(form->ScheduleMode, 1);
  EXPECT_EQ(form->TimerSetValue, "20");
  EXPECT_EQ(form->Timer1().Interval(), 1200000u);
  EXPECT_EQ(view.Caption(), MinutesCaption("20"));
  EXPECT_EQ(SettingsText(), "") << "the refused file is as it was";
}

// ---- Weekly and monthly

using ScheduleDateModesTest = ScheduleTest;

TEST_F(ScheduleDateModesTest, WeeklyStoresTodayPlusSevenAndRunsTheDayAfter) {
  AddCopyingEntry();
  SetToday(2027, 3, 1);
  form->WeeClick();
  EXPECT_EQ(form->ScheduleMode, 2);
  EXPECT_EQ(form->TimerSetValue, "2027/03/08");
  EXPECT_EQ(view.Caption(), "現在の設定 1週間間隔");
  EXPECT_EQ(form->Timer1().Interval(), kDateCheckMs);
  EXPECT_EQ(SettingsText(), SettingsWritten("2027/03/08", 2));

  SetToday(2027, 3, 8, 23, 59);
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 0);  // due today: not yet

  SetToday(2027, 3, 9, 0, 1);
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 1);
  // The run moved the due date from its own day.
  EXPECT_EQ(form->TimerSetValue, "2027/03/16");
  EXPECT_EQ(Setting(kTimerSetKey), "2027/03/16");
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 1);
  EXPECT_TRUE(view.failures.empty());
}

TEST_F(ScheduleDateModesTest, MonthlyClampsTheDayAndRunsOnTheFirstOfMarch) {
  AddCopyingEntry();
  SetToday(2027, 1, 31);
  form->MonClick();
  EXPECT_EQ(form->ScheduleMode, 3);
  EXPECT_EQ(form->TimerSetValue, "2027/02/28");
  EXPECT_EQ(view.Caption(), "現在の設定 1ヶ月間隔");
  EXPECT_EQ(SettingsText(), SettingsWritten("2027/02/28", 3));

  SetToday(2027, 2, 28);
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 0);

  SetToday(2027, 3, 1);
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 1);
  EXPECT_EQ(form->TimerSetValue, "2027/04/01");
  EXPECT_EQ(Setting(kTimerSetKey), "2027/04/01");
  EXPECT_EQ(Setting(kTimerIniSetKey), "3");
}

TEST_F(ScheduleDateModesTest, ChoosingAgainResetsTheDueDateFromToday) {
  SetToday(2027, 3, 1);
  form->WeeClick();
  SetToday(2027, 3, 5);
  form->WeeClick();
  EXPECT_EQ(form->TimerSetValue, "2027/03/12");
  EXPECT_EQ(Setting(kTimerSetKey), "2027/03/12");
}

TEST_F(ScheduleDateModesTest, WeeklyToMonthlyKeepsThePhaseAndMinutesToWeeklyRearms) {
  ChooseMinutes("10");
  EXPECT_EQ(Timer().arm_count, 1);
  form->WeeClick();
  EXPECT_EQ(Timer().arm_count, 2);  // another interval: armed afresh
  EXPECT_EQ(Timer().interval_ms, kDateCheckMs);
  form->MonClick();
  EXPECT_EQ(Timer().arm_count, 2);  // the same interval: no re-arm
  EXPECT_TRUE(Timer().armed);
}

TEST_F(ScheduleDateModesTest, FailedWriteKeepsWhatWasSetInMemory) {
  SetToday(2027, 3, 1);
  SetSettingsWritable(false);
  EXPECT_THROW(form->WeeClick(), EIniFileException);
  EXPECT_EQ(form->ScheduleMode, 2);
  EXPECT_EQ(form->TimerSetValue, "2027/03/08");
  EXPECT_EQ(form->Timer1().Interval(), kDateCheckMs);
  EXPECT_EQ(view.Caption(), "現在の設定 1週間間隔");
  EXPECT_EQ(SettingsText(), "") << "the refused file is as it was";
}

TEST_F(ScheduleDateModesTest, ShortDateFollowsTheLocalePattern) {
  os.SetLocaleItem(locale_item::kSShortDate, "dd.MM.yyyy");
  os.SetLocaleItem(locale_item::kSDate, ".");
  form->SettingChange();
  SetToday(2027, 3, 1);
  form->WeeClick();
  EXPECT_EQ(form->TimerSetValue, "08.03.2027");
}

// ---- The timer's tick

using ScheduleTimerTickTest = ScheduleTest;

TEST_F(ScheduleTimerTickTest, MinutesModeRunsOnEveryTickAndNoModeNever) {
  AddCopyingEntry();
  form->Timer1Timer();  // mode 0
  EXPECT_EQ(Runs(), 0);
  ChooseMinutes("10");
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 2);
  EXPECT_EQ(Setting(kTimerSetKey), "10");  // a mode-1 run moves no date
  form->ScheduleMode = 7;
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 2);
}

TEST_F(ScheduleTimerTickTest, DueDateLongPastRunsAtTheFirstCheck) {
  AddCopyingEntry();
  StoreSettings("2027/02/01", "2");
  form->ScheduleMode = 2;
  form->TimerSetValue = "2027/02/01";
  form->TimeIniSet();
  EXPECT_EQ(Runs(), 0);  // no check at the moment the mode is applied
  SetToday(2027, 3, 1);
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 1);
  EXPECT_EQ(Setting(kTimerSetKey), "2027/03/08");
}

TEST_F(ScheduleTimerTickTest, UnreadableDueDateFailsEveryTickWithoutRunning) {
  AddCopyingEntry();
  SetToday(2027, 3, 1);
  form->WeeClick();
  form->TimerSetValue = "2027-02-01";  // written under another date format
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 0);
  EXPECT_EQ(view.failures, (std::vector<std::string>{"'2027-02-01' は日付ではありません",
                                                     "'2027-02-01' は日付ではありません"}));
}

TEST_F(ScheduleTimerTickTest, FailureBoxesOfTicksDoNotPileUp) {
  AddCopyingEntry();
  form->ScheduleMode = 3;
  form->TimerSetValue = "garbage";
  int nested_ticks = 0;
  view.during_box = [&] {
    // Three more ticks arrive while the box is open (three in all, should
    // they open boxes of their own).
    while (nested_ticks < 3) {
      ++nested_ticks;
      form->Timer1Timer();
    }
  };
  form->Timer1Timer();
  EXPECT_EQ(nested_ticks, 3);
  EXPECT_EQ(view.failures.size(), 1u);
  EXPECT_EQ(Runs(), 0);

  // Once the box is closed, the next failing tick shows its box again.
  view.during_box = nullptr;
  form->Timer1Timer();
  EXPECT_EQ(view.failures.size(), 2u);
}

TEST_F(ScheduleTimerTickTest, BackupsGoOnWhileTheFailureBoxOfAnEarlierTickIsOpen) {
  AddCopyingEntry();
  SetSettingsWritable(false);
  form->ScheduleMode = 2;
  form->TimerSetValue = "2027/01/01";
  SetToday(2027, 3, 1);
  // The run copies, then cannot store the new due date: the tick fails and its
  // box stays open for weeks.
  int nested_ticks = 0;
  view.during_box = [&] {
    SetToday(2027, 3, 20);
    ++nested_ticks;
    form->Timer1Timer();  // fails the same way: no second box
    SetSettingsWritable(true);
    SetToday(2027, 3, 30);
    ++nested_ticks;
    form->Timer1Timer();
  };
  EXPECT_NO_THROW(form->Timer1Timer());
  EXPECT_EQ(nested_ticks, 2);
  EXPECT_EQ(Runs(), 3);
  EXPECT_EQ(view.failures,
            (std::vector<std::string>{"C:\\Quillset\\Quillset.ini に書き込めません"}));
  EXPECT_EQ(Setting(kTimerSetKey), "2027/04/06");
}

// ---- Start-up with a stored schedule

using ScheduleStartUpTest = ScheduleTest;

TEST_F(ScheduleStartUpTest, StoredModeOutsideOneToThreeLeavesTimerAndCaptionAlone) {
  form = std::make_unique<TForm1>(os, view, shell, codec);
  StoreSettings("30", "7");
  form->FormCreate();
  EXPECT_EQ(form->ScheduleMode, 7);
  EXPECT_EQ(form->TimerSetValue, "30");
  EXPECT_EQ(view.Caption(), "右クリックでメニューが出ます。");
  EXPECT_EQ(form->Timer1().Interval(), 0u);
  EXPECT_TRUE(form->TrayIconShown);  // still hidden in the tray
  EXPECT_FALSE(view.show_at_start);
  EXPECT_TRUE(view.failures.empty());
  AddCopyingEntry();
  form->Timer1Timer();
  EXPECT_EQ(Runs(), 0);
}

TEST_F(ScheduleStartUpTest, StoredMinutesOutOfRangeStartWithTheTimerOff) {
  form = std::make_unique<TForm1>(os, view, shell, codec);
  StoreSettings("5", "1");
  form->FormCreate();
  EXPECT_EQ(form->ScheduleMode, 1);
  EXPECT_EQ(view.Caption(), MinutesCaption("5"));
  EXPECT_EQ(form->Timer1().Interval(), 0u);
  EXPECT_EQ(Timer().arm_count, 0);
  EXPECT_TRUE(form->TrayIconShown);
  EXPECT_EQ(Setting(kTimerSetKey), "5");  // the file is not changed
}

TEST_F(ScheduleStartUpTest, StoredWeeklyScheduleChecksEveryHundredMinutes) {
  form = std::make_unique<TForm1>(os, view, shell, codec);
  StoreSettings("2027/03/08", "2");
  form->FormCreate();
  EXPECT_EQ(form->ScheduleMode, 2);
  EXPECT_EQ(view.Caption(), "現在の設定 1週間間隔");
  EXPECT_EQ(form->Timer1().Interval(), kDateCheckMs);
  EXPECT_TRUE(form->TrayIconShown);
}

}  // namespace
}  // namespace quillset
