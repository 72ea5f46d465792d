// The settings step of the creation handler, through FormCreate with no data
// file beside the executable: first run, stored schedule, and the settings
// files it must cope with.
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/retrying_os_services.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "ui/testing/form_fixture.h"

namespace quillset {
namespace {

using namespace testing_support;

const char kFirstRunMessage[] =
    "初期設定値は ０分です。\r\nバックアップは開始しません！！\r\n"
    "メニューよりバックアップ開始間隔を設定して下さい。";
const char kFirstRunCaption[] = "現在の設定 0 分間隔";
const char kDesignCaption[] = "右クリックでメニューが出ます。";

class SettingsStartupTest : public FormFixture {
 protected:
  std::string Stored(const std::string& section, const std::string& key) {
    TIniFile settings(os_, settings_path_);
    return settings.ReadString(section, key, "<missing>");
  }

  void ExpectFirstRunDone() {
    EXPECT_EQ(form_->TimerSetValue, "0");
    EXPECT_EQ(form_->ScheduleMode, 1);
    EXPECT_EQ(Stored(kTimeSection, kTimerSetKey), "0");
    EXPECT_EQ(Stored(kTimeSection, kTimerIniSetKey), "1");
    EXPECT_EQ(view_.Caption(), kFirstRunCaption);
    EXPECT_EQ(form_->Timer1().Interval(), 0u);
    EXPECT_EQ(view_.plain_messages, std::vector<std::string>{kFirstRunMessage});
    EXPECT_TRUE(view_.show_at_start) << "the window is shown after the message";
    EXPECT_FALSE(form_->TrayIconShown);
  }
};

TEST_F(SettingsStartupTest, FirstRunWithoutSettingsFileWritesTheDefaultsAndExplainsThem) {
  form_->FormCreate();
  ExpectFirstRunDone();
  // Both keys in one write of the file.
  EXPECT_EQ(ReadBytes(settings_path_), "[Time]\r\nTimerSet=0\r\nTimerIniSet=1\r\n");
  EXPECT_EQ(os_.moves.size(), 1u);
}

TEST_F(SettingsStartupTest, EmptyTimerSetCountsAsFirstRunAndBothKeysAreOverwritten) {
  ASSERT_TRUE(WriteBytes(settings_path_, "[Time]\r\nTimerSet=\r\nTimerIniSet=3\r\n"));
  form_->FormCreate();
  ExpectFirstRunDone();
}

TEST_F(SettingsStartupTest, OtherSectionsAndKeysOfTheFileSurviveTheFirstRun) {
  ASSERT_TRUE(WriteBytes(settings_path_,
                         "[Other]\r\nColour=blue\r\n[Time]\r\nNote=kept\r\n[Last]\r\nX=1\r\n"));
  form_->FormCreate();
  ExpectFirstRunDone();
  EXPECT_EQ(Stored("Other", "Colour"), "blue");
  EXPECT_EQ(Stored(kTimeSection, "Note"), "kept");
  EXPECT_EQ(Stored("Last", "X"), "1");
}

TEST_F(SettingsStartupTest, SettingsFileOfJunkBytesCountsAsFirstRun) {
  // No section header, a stray "=", bytes above 0x7F and a lone lead byte at
  // the very end.
  const char junk[] = "=\xff\xfe junk\r\nTimerSet=5\r\n[\x81";
  ASSERT_TRUE(WriteBytes(settings_path_, std::string(junk, sizeof junk - 1)));
  form_->FormCreate();
  ExpectFirstRunDone();
}

// A scanner or a sync client holds the settings file as the program starts:
// it is waited for as every held file is. Held for good, it is never taken
// for a first start: the failure is shown, the file stays as it is, and the
// program starts with the timer off and the window shown.
TEST_F(SettingsStartupTest, AHeldSettingsFileIsWaitedForAndNeverTakenForAFirstStart) {
  const std::string stored = "[Time]\r\nTimerSet=30\r\nTimerIniSet=1\r\n";
  ASSERT_TRUE(WriteBytes(settings_path_, stored));
  // The waits come before the window is first shown, as the data file's do:
  // no hang watch here.
  RealFilesTestOs os;
  os.SetExecutablePath(temp_ / "Quillset.exe");
  RetryingOsServices retrying(os);
  {
    ASSERT_TRUE(os.HoldFileFor(settings_path_, 1000));
    TForm1 form(retrying, view_, shell_, codec_);
    form.FormCreate();
    EXPECT_EQ(form.ScheduleMode, 1);
    EXPECT_EQ(form.Timer1().Interval(), 30u * 60000u);
    EXPECT_FALSE(view_.show_at_start);
  }
  EXPECT_GE(os.SleptMilliseconds(), 1000u);
  FakeFormView view;
  ASSERT_TRUE(os.HoldFile(settings_path_));
  TForm1 form(retrying, view, shell_, codec_);
  try {
    form.FormCreate();
    FAIL() << "the unreadable file must leave the handler";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "ファイル " + settings_path_ + " は開けません");
  }
  EXPECT_TRUE(view.plain_messages.empty()) << "no first-run message";
  EXPECT_EQ(view.Caption(), kDesignCaption);
  EXPECT_EQ(form.ScheduleMode, 0);
  EXPECT_EQ(form.Timer1().Interval(), 0u);
  EXPECT_TRUE(view.show_at_start);
  os.ReleaseFile(settings_path_);
  EXPECT_EQ(ReadBytes(settings_path_), stored);
  EXPECT_TRUE(os.moves.empty()) << "nothing written";
}

TEST_F(SettingsStartupTest, UnwritableSettingsFileEndsTheStepWithTheWriteFailure) {
  // A read-only file with no schedule in it: read, but not written.
  ASSERT_TRUE(WriteBytes(settings_path_, "[Time]\r\n"));
  ASSERT_TRUE(os_.SetAttributes(settings_path_, kAttributeReadOnly));

  try {
    form_->FormCreate();
    FAIL() << "the refused write must leave the handler";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), settings_path_ + " に書き込めません");
  }
  EXPECT_TRUE(view_.plain_messages.empty()) << "no first-run message after a failed write";
  EXPECT_EQ(view_.Caption(), kDesignCaption);
  EXPECT_EQ(form_->TimerSetValue, "0");
  EXPECT_EQ(form_->ScheduleMode, 1);
  EXPECT_TRUE(view_.show_at_start);
  ASSERT_TRUE(os_.SetAttributes(settings_path_, kAttributeNormal));
  EXPECT_EQ(ReadBytes(settings_path_), "[Time]\r\n");
}

TEST_F(SettingsStartupTest, StoredModeThatIsNoWholeNumberLeavesTheWindowToBeShown) {
  const std::string content = "[Time]\r\nTimerSet=30\r\nTimerIniSet=1x\r\n";
  ASSERT_TRUE(WriteBytes(settings_path_, content));
  try {
    form_->FormCreate();
    FAIL() << "the conversion failure must leave the handler";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'1x' は整数ではありません");
  }
  EXPECT_EQ(form_->TimerSetValue, "30");
  EXPECT_EQ(form_->ScheduleMode, 0);
  EXPECT_EQ(view_.Caption(), kDesignCaption);
  EXPECT_EQ(form_->Timer1().Interval(), 0u);
  EXPECT_TRUE(view_.show_at_start);
  EXPECT_FALSE(form_->TrayIconShown);
  EXPECT_TRUE(os_.moves.empty());
  EXPECT_EQ(ReadBytes(settings_path_), content);
}

TEST_F(SettingsStartupTest, StoredScheduleWithoutModeKeyFailsTheSameWay) {
  ASSERT_TRUE(WriteBytes(settings_path_, "[Time]\r\nTimerSet=2027/03/08\r\n"));
  EXPECT_THROW(form_->FormCreate(), EConvertError);
  EXPECT_EQ(form_->ScheduleMode, 0);
  EXPECT_TRUE(view_.show_at_start);
}

TEST_F(SettingsStartupTest, StoredScheduleIsAppliedAndTheWindowStartsHiddenInTheTray) {
  ASSERT_TRUE(WriteBytes(settings_path_, "[Time]\r\nTimerSet=30\r\nTimerIniSet=1\r\n"));
  form_->FormCreate();
  EXPECT_EQ(form_->TimerSetValue, "30");
  EXPECT_EQ(form_->ScheduleMode, 1);
  EXPECT_EQ(view_.Caption(), "現在の設定 30 分間隔");
  EXPECT_EQ(form_->Timer1().Interval(), 30u * 60000u);
  EXPECT_FALSE(view_.show_at_start);
  EXPECT_TRUE(form_->TrayIconShown);
  EXPECT_FALSE(view_.visible);
  EXPECT_TRUE(view_.plain_messages.empty());
  EXPECT_TRUE(os_.moves.empty());
}

}  // namespace
}  // namespace quillset
