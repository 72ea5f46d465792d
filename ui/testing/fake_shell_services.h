// Headless shell services for the handler tests: window timers, the
// notification icon and the dialogs are recorded, the dialogs answer what the
// test prepared (nothing prepared: cancelled), and the guard and COM count.
// The keep-awake request is kept with the simulated time of each change, and
// work "off the UI thread" runs inline on the simulated UI thread's terms
// (ui/testing/simulated_ui_thread.h).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ui/shell_services.h"
#include "ui/testing/simulated_ui_thread.h"

namespace quillset {

class FakeShellServices : public ShellServices {
 public:
  // ---- Window timers
  struct TimerState {
    bool armed = false;
    std::uint32_t interval_ms = 0;
    int arm_count = 0;  // SetWindowTimer calls, refused ones included
  };
  std::map<std::pair<WindowHandle, std::uint32_t>, TimerState> timers;
  // The next this many SetWindowTimer calls are refused.
  int timer_refusals = 0;

  bool SetWindowTimer(WindowHandle window, std::uint32_t id, std::uint32_t interval_ms) override {
    TimerState& timer = timers[{window, id}];
    ++timer.arm_count;
    if (timer_refusals > 0) {
      --timer_refusals;
      return false;
    }
    timer.armed = true;
    timer.interval_ms = interval_ms;
    return true;
  }
  void KillWindowTimer(WindowHandle window, std::uint32_t id) override {
    TimerState& timer = timers[{window, id}];
    timer.armed = false;
    timer.interval_ms = 0;
  }
  TimerState Timer(WindowHandle window, std::uint32_t id) const {
    const auto it = timers.find({window, id});
    return it == timers.end() ? TimerState{} : it->second;
  }

  // ---- Notification icon
  struct NotifyIconCall {
    std::uint32_t message;
    TrayIconRecord record;
  };
  std::vector<NotifyIconCall> notify_icon_calls;
  bool notify_icon_result = true;
  // Icon calls are also noted here ("notify-icon:<message>"), so that their
  // order against the window's calls can be checked.
  std::vector<std::string>* shared_log = nullptr;
  static constexpr std::uint32_t kMainIcon = 0x00010001;

  static constexpr std::uint32_t kWarningIcon = 0x00010002;

  bool NotifyIcon(std::uint32_t message, const TrayIconRecord& record) override {
    notify_icon_calls.push_back({message, record});
    if (shared_log) shared_log->push_back("notify-icon:" + std::to_string(message));
    if (message == kNimDelete && notify_icon_result) balloons_waiting.clear();
    return notify_icon_result;
  }
  std::uint32_t MainIconHandle() override { return kMainIcon; }
  std::uint32_t WarningIconHandle() override { return kWarningIcon; }

  // Balloons as Windows keeps them: each one shown goes into a queue (while
  // the user is away, all wait, one after the other); an empty one takes the
  // icon's balloon away, and so does deleting the icon.
  struct Balloon {
    std::string title;
    std::string text;
  };
  std::vector<Balloon> balloon_calls;
  std::vector<Balloon> balloons_waiting;
  bool NotifyIconBalloon(const TrayIconRecord&, const std::string& title,
                         const std::string& text) override {
    balloon_calls.push_back({title, text});
    if (!notify_icon_result) return false;
    if (title.empty() && text.empty()) {
      balloons_waiting.clear();
    } else {
      balloons_waiting.push_back({title, text});
    }
    return true;
  }

  // ---- Dialogs
  // A name the user picks that Shift-JIS cannot write: `*_unwritable` is its
  // first such character and `*_path` the name as the real dialogs show it.
  bool open_file_ok = false;
  std::string open_file_path;
  std::uint32_t open_file_unwritable = 0;
  int open_file_calls = 0;
  WindowHandle open_file_owner = 0, open_file_placement = 0;
  PickedPath ShowOpenFileDialog(WindowHandle owner, WindowHandle placement) override {
    ++open_file_calls;
    open_file_owner = owner;
    open_file_placement = placement;
    PickedPath picked;
    if (!open_file_ok) return picked;
    picked.result = open_file_unwritable ? PickResult::kNotShiftJis : PickResult::kChosen;
    picked.path = open_file_path;
    picked.unwritable = open_file_unwritable;
    return picked;
  }
  PickResult folder_result = PickResult::kCancelled;
  std::string folder_path;
  std::uint32_t folder_unwritable = 0;
  std::vector<std::string> folder_prompts;
  WindowHandle folder_owner = 0;
  PickedPath BrowseForFolder(WindowHandle owner, const std::string& prompt) override {
    folder_prompts.push_back(prompt);
    folder_owner = owner;
    PickedPath picked;
    picked.result = folder_result;
    if (folder_result == PickResult::kChosen || folder_result == PickResult::kNotShiftJis)
      picked.path = folder_path;
    if (folder_result == PickResult::kNotShiftJis) picked.unwritable = folder_unwritable;
    return picked;
  }

  // ---- Start-up
  std::set<std::string> guards;
  int com_initializations = 0;
  int com_uninitializations = 0;
  bool TakeSingleInstanceGuard(const std::string& name) override {
    return guards.insert(name).second;
  }
  void InitializeCom() override { ++com_initializations; }
  void UninitializeCom() override { ++com_uninitializations; }

  // ---- Power: whether the system is kept awake now, and each change.
  bool awake = false;
  std::vector<bool> awake_requests;
  void KeepSystemAwake(bool on) override {
    awake = on;
    awake_requests.push_back(on);
  }

  // ---- Work beside the UI thread
  int off_thread_runs = 0;
  bool RunOffUiThread(const std::function<void()>& work, const std::function<void()>& pump,
                      const std::function<bool()>& stop = nullptr) override {
    ++off_thread_runs;
    return SimulatedUiThread::Current().RunOffUiThread(work, pump, stop, kAbandonAfterStopMs);
  }
};

}  // namespace quillset
