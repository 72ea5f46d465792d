// The rules of the fake window layer that the handler tests stand on: the
// hang watch, work beside the UI thread, and the session end's order and
// budget.
#include "ui/testing/simulated_ui_thread.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "base/testing/in_memory_os.h"
#include "ui/testing/fake_form_view.h"
#include "ui/testing/fake_shell_services.h"
#include "ui/testing/ui_timed_os.h"

namespace quillset {
namespace {

constexpr char kHang[] = "without handling its messages";

TEST(SimulatedUiThreadTest, ASecondAndMoreWithoutAPumpFailsTheTest) {
  // A flush of 2 s on the UI thread, as one call or in pieces.
  EXPECT_NONFATAL_FAILURE(SimulatedUiThread::Current().Pass(2000, "FlushFile"), kHang);
}

TEST(SimulatedUiThreadTest, StretchesAddUpUntilTheWindowPumps) {
  FakeFormView view;
  SimulatedUiThread& thread = SimulatedUiThread::Current();
  thread.Pass(900);
  view.KeepResponsive();
  thread.Pass(900);
  EXPECT_NONFATAL_FAILURE(thread.Pass(200), kHang);
}

TEST(SimulatedUiThreadTest, WorkBesideTheUiThreadKeepsItPumping) {
  FakeShellServices shell;
  FakeFormView view;
  int pumps = 0;
  shell.RunOffUiThread([] { SimulatedUiThread::Current().Pass(2000, "FlushFile"); },
                       [&] {
                         ++pumps;
                         view.KeepResponsive();
                       });
  EXPECT_EQ(pumps, 1);
  EXPECT_EQ(SimulatedUiThread::Current().NowMs(), 2000u);
  EXPECT_EQ(SimulatedUiThread::Current().LongestBlockMs(), 0u);
}

TEST(SimulatedUiThreadTest, TheForegroundGrantIsSpentByTheFirstForegroundChange) {
  FakeFormView view;
  view.OpenBox();  // no grant: the box opens behind the program the user works in
  EXPECT_EQ(view.active, FakeFormView::Active::kOtherProgram);
  view.GrantForeground();  // a click on the tray icon
  view.RestoreWindow();
  EXPECT_EQ(view.active, FakeFormView::Active::kMainWindow);
  view.OpenBox();  // the program holds the foreground: its box takes it
  EXPECT_EQ(view.active, FakeFormView::Active::kMainWindow);
  view.UserActivatesOtherProgram();
  view.OpenBox();  // the grant was spent by the restore
  view.RestoreWindow();
  EXPECT_EQ(view.active, FakeFormView::Active::kOtherProgram);
}

class CountingEvents : public FormEvents {
 public:
  void FormCreate() override {}
  void FormActivate() override {}
  void FormClose() override {}
  void MenuClick(MenuItemId) override {}
  void PopupMenuOpening() override {}
  void PopupMenuClosed(std::optional<MenuItemId>) override {}
  void Timer1Timer() override {}
  void TrayIconRetryTimer() override {}
  void TrayNotify(std::uint32_t) override {}
  void TaskbarCreated() override {}
  void SettingChange() override {}
  void QueryEndSession() override {
    Spend(query_ms);
    if (on_query) on_query();
  }
  void EndSession(bool) override { Spend(end_ms); }
  std::uint64_t query_ms = 0, end_ms = 0;
  std::function<void()> on_query;
  FakeFormView* view = nullptr;

 private:
  // In pieces of half a second, pumping between them (as a save beside the
  // UI thread would).
  void Spend(std::uint64_t ms) {
    for (; ms > 0; ms -= std::min<std::uint64_t>(ms, 500)) {
      SimulatedUiThread::Current().Pass(std::min<std::uint64_t>(ms, 500));
      view->KeepResponsive();
    }
  }
};

TEST(SimulatedUiThreadTest, SessionEndComesInWindowsOrderWithinItsBudget) {
  FakeFormView view;
  CountingEvents form;
  form.view = &view;
  EXPECT_NONFATAL_FAILURE(view.EndSession(form, true), "only after WM_QUERYENDSESSION");

  form.query_ms = 600;
  form.end_ms = 700;
  view.QueryEndSession(form);
  view.EndSession(form, false);
  ASSERT_EQ(view.session_end_messages.size(), 3u);
  EXPECT_EQ(view.session_end_messages[1].message, "query");
  EXPECT_EQ(view.session_end_messages[1].spent_ms, 600u);
  EXPECT_EQ(view.session_end_messages[2].message, "end:false");
  EXPECT_EQ(view.session_end_messages[2].spent_ms, 700u);

  // About 5 s for both.
  form.query_ms = 2500;
  form.end_ms = 2600;
  view.QueryEndSession(form);
  EXPECT_NONFATAL_FAILURE(view.EndSession(form, true), "the session end took");
}

// Writing a file costs the time of a disk, on the one clock: a save at the
// question of the session's end counts against its budget, even beside the
// UI thread, and the local time moves with it.
TEST(SimulatedUiThreadTest, AFileSaveCostsTimeThatCountsAgainstTheSessionEnd) {
  UiTimedOs<testing_support::InMemoryOs> os;
  os.AddFolder("C:\\");
  FakeShellServices shell;
  FakeFormView view;
  CountingEvents form;
  form.view = &view;
  form.on_query = [&] {
    shell.RunOffUiThread(
        [&] {
          auto file = os.OpenExclusive("C:\\list.cds", FileOpenMode::kCreateAlways);
          const std::string bytes(2u << 20, 'x');
          std::size_t done = 0;
          ASSERT_TRUE(file && file->Write(bytes.data(), bytes.size(), done) && file->Flush());
        },
        [&] { view.KeepResponsive(); });
  };
  view.QueryEndSession(form);
  view.EndSession(form, false);
  EXPECT_EQ(view.session_end_messages[0].spent_ms, 2u + 20u + 20u);  // open, 2 MiB, flush
  EXPECT_EQ(os.LocalTime().milliseconds, 42);

  os.call_ms[OsCall::kFlush] = 5000;  // a disk that takes its time
  view.QueryEndSession(form);
  EXPECT_NONFATAL_FAILURE(view.EndSession(form, true), "the session end took");
}

}  // namespace
}  // namespace quillset
