// The tray icon tells how the last run ended, from the list's results: its
// image and the tip's second line after every run while the window is in the
// tray, at start and after the shell comes back; a run the timer started with
// failures says so in one balloon, whose click opens the window at the
// result column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datafile/data_file.h"
#include "datafile/table_packet.h"
#include "ui/testing/schedule_fixture.h"

namespace quillset {
namespace {

const char kTitle[] = "バックアップに失敗したファイルがあります";

class TrayOutcomeTest : public schedule_fixture::FormTest {
 protected:
  TrayOutcomeTest() {
    // A list that is saved and loaded for real, in the minutes mode (every
    // tick runs), with one entry that copies and one whose stick is unplugged.
    form = std::make_unique<TForm1>(os, view, shell, binary_codec);
    form->ClientDataSet1().CreateEmpty();
    form->ScheduleMode = 1;
    form->TimerSetValue = "10";
    AddCopyingEntry();
    TClientDataSet& store = form->ClientDataSet1();
    store.AppendRow();
    form->ClientDataSet1Field().WriteText("C:\\data\\report.xlsx");
    form->ClientDataSet1Field1().WriteText("E:\\stick");
    store.EndRowEdit();
    os.AddFile("C:\\data\\report.xlsx", "figures");
  }

  const FakeShellServices::NotifyIconCall& LastIconCall() {
    return shell.notify_icon_calls.back();
  }
  std::string Tip() { return LastIconCall().record.szTip; }
  std::size_t Scrolls() {
    std::size_t scrolls = 0;
    for (const std::string& entry : view.log) scrolls += entry == "scroll-to-column:2";
    return scrolls;
  }

  BinaryPacketCodec binary_codec;
};

TEST_F(TrayOutcomeTest, TimerRunsShowTheirOutcomeAndFailuresInOneBalloon) {
  form->HideToTray();
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kMainIcon);  // never run yet
  EXPECT_EQ(Tip(), "分単位でバックアップ");

  form->Timer1Timer();
  EXPECT_EQ(LastIconCall().message, kNimModify);
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kWarningIcon);
  EXPECT_EQ(Tip(), "分単位でバックアップ\n前回 12/13 失敗 1 件");
  ASSERT_EQ(shell.balloon_calls.size(), 1u);
  EXPECT_EQ(shell.balloon_calls[0].title, kTitle);
  EXPECT_EQ(shell.balloon_calls[0].text, "2 件中 1 件: report.xlsx（フォルダーが見つかりません）");

  // Failing runs in a row while the user is away: never two balloons.
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_EQ(shell.balloons_waiting.size(), 1u);
  // The shell comes back: the icon with the warning, and no old balloon.
  form->TaskbarCreated();
  EXPECT_EQ(LastIconCall().message, kNimAdd);
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kWarningIcon);

  // A click on the balloon opens the window at the result column.
  form->TrayNotify(kNinBalloonUserClick);
  EXPECT_TRUE(view.visible);
  EXPECT_FALSE(form->TrayIconShown);
  EXPECT_EQ(Scrolls(), 1u);

  // The stick is back: the next run succeeds whole, and says nothing.
  os.AddFolder("E:\\stick");
  form->HideToTray();
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kWarningIcon);
  const std::size_t balloons = shell.balloon_calls.size();
  form->Timer1Timer();
  EXPECT_EQ(LastIconCall().message, kNimModify);
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kMainIcon);
  EXPECT_EQ(Tip(), "分単位でバックアップ\n前回 12/13 成功");
  EXPECT_EQ(shell.balloon_calls.size(), balloons);
  form->TrayNotify(kWmLButtonDown);
  EXPECT_EQ(Scrolls(), 1u);
}

TEST_F(TrayOutcomeTest, MenuRunsAndRunsWithTheWindowShownShowNoBalloon) {
  view.visible = true;
  form->MenuClick(MenuItemId::Copy1);
  form->Timer1Timer();  // the window shows: no icon, no balloon
  EXPECT_TRUE(shell.notify_icon_calls.empty());
  form->MenuClick(MenuItemId::N1);
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kWarningIcon);
  form->Copy1Click();  // from the menu while in the tray (a run that ends there)
  EXPECT_EQ(LastIconCall().message, kNimModify);
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kWarningIcon);
  EXPECT_TRUE(shell.balloon_calls.empty());
}

TEST_F(TrayOutcomeTest, StartAfterAFailedRunShowsTheWarningAtOnce) {
  form->Timer1Timer();
  form->DataFilePath = DataFilePathFor(os);
  form->FormClose();  // the list with the run's results goes into the data file
  StoreSettings("10", "1");
  form = std::make_unique<TForm1>(os, view, shell, binary_codec);
  shell.notify_icon_calls.clear();
  form->FormCreate();
  EXPECT_TRUE(form->TrayIconShown);
  ASSERT_EQ(shell.notify_icon_calls.size(), 1u);
  EXPECT_EQ(LastIconCall().record.hIcon, FakeShellServices::kWarningIcon);
  EXPECT_EQ(Tip(), "分単位でバックアップ\n前回 12/13 失敗 1 件");
  EXPECT_TRUE(shell.balloon_calls.empty());
}

}  // namespace
}  // namespace quillset
