// A headless FormView for the native tests of the main window's handlers: it
// records what the handlers did to the window and answers the input box from a
// queue the test fills. Its pump tells the simulated UI thread's hang watch
// (ui/testing/simulated_ui_thread.h) that messages were handled, and it
// delivers the end of the Windows session in Windows' order, timing each
// message in simulated time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/form_events.h"
#include "ui/form_view.h"
#include "ui/testing/simulated_ui_thread.h"

namespace quillset {

class FakeFormView : public FormView {
 public:
  WindowHandle MainWindow() override { return 0x1001; }
  WindowHandle ApplicationWindow() override { return 0x1002; }
  WindowHandle TimerWindow() override { return 0x1003; }

  void SetCaption(const std::string& caption) override { caption_ = caption; }
  std::string Caption() override { return caption_; }
  void SetShowAtStart(bool show) override { show_at_start = show; }

  void HideWindow() override {
    visible = false;
    log.push_back("hide");
  }
  void RestoreWindow() override {
    visible = true;
    log.push_back("restore");
    if (TakeForeground()) active = Active::kMainWindow;
  }
  void BringOpenBoxToFront() override {
    if (open_boxes > 0 && TakeForeground()) active = Active::kBox;
  }
  bool IsWindowVisible() override { return visible; }
  // As the window layer closes: FormCloseQuery, then FormClose, when
  // `closing` is set (a test that follows the close to its end).
  void CloseWindow() override {
    log.push_back("close");
    close_requests++;
    if (closing && !closed && closing->FormCloseQuery()) {
      closing->FormClose();
      closed = true;
    }
  }
  FormEvents* closing = nullptr;
  bool closed = false;

  void SetGridReadOnly(bool read_only) override { grid_read_only = read_only; }
  bool GridReadOnly() override { return grid_read_only; }
  void SetMenuChecked(MenuItemId item, bool checked) override { checks[item] = checked; }
  bool MenuChecked(MenuItemId item) override { return checks[item]; }
  void SetMenuEnabled(MenuItemId item, bool enabled) override { greyed[item] = !enabled; }
  bool MenuEnabled(MenuItemId item) override { return !greyed[item]; }
  void RepaintGrid() override { repaints++; }
  void ScrollGridToColumn(int column) override {
    log.push_back("scroll-to-column:" + std::to_string(column));
  }

  // While a run goes on: `while_responsive` stands for what the real window
  // handles then (paint, messages sent by other programs); posted actions
  // wait in `posted` until the test runs them (RunPosted), as the message
  // loop would after the run.
  void KeepResponsive() override {
    ++responsive_calls;
    SimulatedUiThread::Current().Pumped();
    if (while_responsive) while_responsive();
  }
  void KeepPainted() override {
    ++painted_calls;
    SimulatedUiThread::Current().Pumped();
  }
  bool PostToSelf(std::function<void()> action) override {
    posted.push_back(std::move(action));
    return true;
  }
  // Runs the posted actions in order, those they post included.
  void RunPosted() {
    while (!posted.empty()) {
      std::function<void()> action = std::move(posted.front());
      posted.pop_front();
      action();
    }
  }
  void ShowCopyProgress(std::uint64_t copied, std::uint64_t total) override {
    progress_steps.push_back({copied, total});
    progress_shown = true;
  }
  void HideCopyProgress() override { progress_shown = false; }

  void ShowPlainMessage(const std::string& text) override {
    plain_messages.push_back(text);
    log.push_back("plain:" + text);
    OpenBox();
  }
  // Answered `yes_to_questions`, while `during_box` runs.
  bool AskYesNo(const std::string& question) override {
    questions.push_back(question);
    OpenBox();
    return yes_to_questions;
  }
  std::vector<std::string> questions;
  bool yes_to_questions = false;
  void ShowFailure(const std::string& message) override {
    failures.push_back(message);
    log.push_back("failure:" + message);
    OpenBox();
  }
  std::string InputBox(const std::string& title, const std::string& prompt,
                       const std::string& preset) override {
    input_titles.push_back(title);
    input_prompts.push_back(prompt);
    OpenBox();
    if (input_answers.empty()) return preset;  // closed: the preset comes back
    std::string answer = input_answers.front();
    input_answers.pop_front();
    return answer;
  }

  // Windows' foreground rule: a program may move the foreground to one of
  // its windows while it holds the foreground, or once after the user acted
  // on it (a click on its tray icon: the test calls GrantForeground); the
  // first foreground change spends that grant. Otherwise a window it restores
  // or a box it opens is not the active window.
  enum class Active { kOtherProgram, kMainWindow, kBox };
  Active active = Active::kOtherProgram;
  // The grant; spent by the first foreground change.
  bool may_take_foreground = false;
  int open_boxes = 0;
  void GrantForeground() { may_take_foreground = true; }
  // The user turns to another program.
  void UserActivatesOtherProgram() { active = Active::kOtherProgram; }
  bool TakeForeground() {
    if (active != Active::kOtherProgram) return true;
    if (!may_take_foreground) return false;
    may_take_foreground = false;
    return true;
  }
  void OpenBox() {
    ++open_boxes;
    if (TakeForeground()) active = Active::kBox;
    // A box runs a message loop of its own: the UI thread pumps while it is open.
    SimulatedUiThread::Current().Pumped();
    if (during_box) during_box();
    SimulatedUiThread::Current().Pumped();
    --open_boxes;
    if (active == Active::kBox) active = visible ? Active::kMainWindow : Active::kOtherProgram;
  }

  // ---- The end of the Windows session: WM_QUERYENDSESSION, then
  // WM_ENDSESSION with the outcome. A hidden program gets about 5 s for both
  // before Windows ends it; each message's simulated time is recorded.
  static constexpr std::uint64_t kSessionEndBudgetMs = 5000;
  struct SessionEndMessage {
    std::string message;  // "query", "end:true", "end:false"
    std::uint64_t spent_ms;
  };
  std::vector<SessionEndMessage> session_end_messages;
  void QueryEndSession(FormEvents& form) {
    const std::uint64_t start = SimulatedUiThread::Current().NowMs();
    query_pending_ = true;
    form.QueryEndSession();
    session_end_messages.push_back({"query", SimulatedUiThread::Current().NowMs() - start});
  }
  void EndSession(FormEvents& form, bool ending) {
    if (!query_pending_) ADD_FAILURE() << "WM_ENDSESSION comes only after WM_QUERYENDSESSION";
    query_pending_ = false;
    const std::uint64_t start = SimulatedUiThread::Current().NowMs();
    form.EndSession(ending);
    const std::uint64_t spent = SimulatedUiThread::Current().NowMs() - start;
    session_end_messages.push_back({ending ? "end:true" : "end:false", spent});
    const std::uint64_t query = session_end_messages.size() >= 2
                                    ? session_end_messages[session_end_messages.size() - 2].spent_ms
                                    : 0;
    if (ending && query + spent > kSessionEndBudgetMs)
      ADD_FAILURE() << "the session end took " << query + spent << " ms of simulated time";
  }

  // State the test reads or sets.
  std::string caption_ = "右クリックでメニューが出ます。";
  bool show_at_start = true;
  bool visible = false;
  bool grid_read_only = true;
  int close_requests = 0;
  int repaints = 0;
  std::map<MenuItemId, bool> checks;
  std::map<MenuItemId, bool> greyed;
  std::vector<std::string> plain_messages;
  std::vector<std::string> failures;
  std::vector<std::string> input_titles;
  std::vector<std::string> input_prompts;
  std::deque<std::string> input_answers;
  std::vector<std::string> log;
  int responsive_calls = 0;
  int painted_calls = 0;  // KeepPainted: outside a run
  std::function<void()> while_responsive;
  std::deque<std::function<void()>> posted;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress_steps;  // copied, total
  bool progress_shown = false;
  // Runs while a modal box or the input box is "open" (a nested message loop):
  // a test can deliver a timer tick there.
  std::function<void()> during_box;

 private:
  bool query_pending_ = false;
};

}  // namespace quillset
