#include "ui/win32/main_form_window.h"

#include <optional>

#include "base/win32_text.h"
#include "ui/tray_icon_retry.h"
#include "ui/win32/input_box.h"
#include "ui/win32/popup_menu.h"
#include "ui/win32/shell_message_filter.h"
#include "ui/win32/responsive_pump.h"
#include "ui/win32/win32_handles.h"
#include "ui/win32/window_classes.h"

namespace quillset {

static_assert(kTrayIconRetryTimerId == TrayIconRetry::kTimerId, "one id for the icon's retries");

namespace {
// Posted to the main window when the popup menu has closed: wParam is the
// chosen item's command, 0 for none.
constexpr UINT kPopupMenuClosedMessage = WM_APP + 1;
}  // namespace

MainFormWindow::MainFormWindow(quillset::ApplicationWindow& application, MessageBoxes& boxes,
                               const WindowFont& font)
    : application_(application), boxes_(boxes), font_(font) {}

MainFormWindow::~MainFormWindow() { Destroy(); }

void MainFormWindow::Destroy() {
  events_ = nullptr;
  application_.SetClient({});  // the application window outlives this one
  grid_.reset();
  timer_.reset();
  DestroyBound();
}

void MainFormWindow::Create(FormEvents& events, GridSource& rows) {
  events_ = &events;
  auto show_failure = [this](const std::string& m) { boxes_.ShowFailure(m); };

  RegisterClassOnce(kMainWindowClass, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                    application_.Icon(), nullptr);
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame = {0, 0, font_.Scale(kDesignClientWidth), font_.Scale(kDesignClientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  // Owned by the application window: no taskbar entry of its own.
  CreateBound(0, kMainWindowClass, kDesignCaption, style, 0, 0, frame.right - frame.left,
              frame.bottom - frame.top, application_.Handle());

  DataGrid::Callbacks callbacks;
  callbacks.show_failure = show_failure;
  callbacks.confirm_delete = [this] { return boxes_.ConfirmDelete(); };
  callbacks.open_menu = [this](POINT at) { OpenPopupMenu(at); };
  grid_ = std::make_unique<DataGrid>(Handle(), font_, rows, std::move(callbacks));
  RECT client;
  GetClientRect(Handle(), &client);
  MoveWindow(grid_->Handle(), 0, 0, client.right, client.bottom, FALSE);

  timer_ = std::make_unique<quillset::TimerWindow>(
      [this](unsigned id) {
        if (!events_) return;
        if (id == kTimer1Id) events_->Timer1Timer();
        if (id == kTrayIconRetryTimerId) events_->TrayIconRetryTimer();
      },
      show_failure);
  taskbar_created_message_ = RegisterWindowMessageW(L"TaskbarCreated");
  queue_marker_message_ = RegisterWindowMessageW(ShiftJisToUtf16ForDisplay(kQueueMarkerMessageName).c_str());
  // Run elevated, the program would otherwise never hear from the shell.
  AllowShellMessages(Handle(), taskbar_created_message_, LookUpMessageFilterFunction());
  posted_action_message_ = RegisterWindowMessageW(ShiftJisToUtf16ForDisplay(kPostedActionMessageName).c_str());

  quillset::ApplicationWindow::Client client_of_application;
  client_of_application.restored = [this] {
    if (!visible_) return;
    if (!shown_before_) FirstShowing();
    ::ShowWindow(Handle(), SW_SHOW);
    BringToFront();
    BringOpenBoxToFront();  // a box open behind the restored window
  };
  client_of_application.minimizing = [this] { ::ShowWindow(Handle(), SW_HIDE); };
  client_of_application.close_requested = [this] { Close(); };
  client_of_application.focus_target = [this] { return Handle(); };
  client_of_application.show_failure = show_failure;
  application_.SetClient(std::move(client_of_application));

  RunShowingFailure(show_failure, [&] { events.FormCreate(); });
}

void MainFormWindow::Start(int show_command) {
  show_command_ = show_command;
  if (show_at_start_) RestoreWindow();
}

void MainFormWindow::FirstShowing() {
  shown_before_ = true;
  RECT r;
  GetWindowRect(Handle(), &r);
  POINT at = ScreenCentredPosition(SIZE{r.right - r.left, r.bottom - r.top});
  SetWindowPos(Handle(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainFormWindow::RestoreWindow() {
  if (!Handle()) return;
  visible_ = true;
  if (!shown_before_) {
    FirstShowing();
    if (show_command_ == SW_SHOWMINNOACTIVE) {
      // The application goes to the taskbar, minimized; the window shows when
      // the user restores it.
      application_.Minimize(false);
      return;
    }
    application_.ShowTaskbarEntry();
    ::ShowWindow(Handle(), show_command_ == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  } else if (application_.IsMinimized()) {
    ::ShowWindow(application_.Handle(), SW_RESTORE);  // shows the window again
    return;
  } else {
    application_.ShowTaskbarEntry();
    ::ShowWindow(Handle(), SW_SHOW);
  }
  BringToFront();
}

void MainFormWindow::BringToFront() {
  SetForegroundWindow(Handle());
  BringWindowToTop(Handle());
  SetActiveWindow(Handle());
  FocusGrid();
}

void MainFormWindow::BringOpenBoxToFront() { quillset::BringOpenBoxToFront(); }

void MainFormWindow::FocusGrid() {
  if (!grid_) return;
  HWND target = grid_->EditorOpen() ? grid_->Editor() : grid_->Handle();
  if (::IsWindowEnabled(Handle())) SetFocus(target);
}

void MainFormWindow::HideWindow() {
  if (!Handle()) return;
  visible_ = false;
  ::ShowWindow(Handle(), SW_HIDE);
  application_.HideTaskbarEntry();
}

void MainFormWindow::CloseWindow() {
  if (Handle()) SendMessageW(Handle(), WM_CLOSE, 0, 0);
}

void MainFormWindow::Close() {
  if (closed_ || !events_) return;
  const FailureSink show_failure = [this](const std::string& m) { boxes_.ShowFailure(m); };
  // Refused (during a backup run, say): the handlers close the window later.
  bool may_close = false;
  if (!RunShowingFailure(show_failure, [&] { may_close = events_->FormCloseQuery(); }) ||
      !may_close)
    return;
  bool ok = RunShowingFailure(show_failure, [this] { events_->FormClose(); });
  if (!ok) return;  // the window stays open
  closed_ = true;
  visible_ = false;
  EndMenu();  // a popup menu still open would keep its own loop running
  ::ShowWindow(Handle(), SW_HIDE);
  application_.HideTaskbarEntry();
  PostQuitMessage(0);
}

void MainFormWindow::RunPostedAction() {
  if (posted_actions_.empty()) return;
  std::function<void()> action = std::move(posted_actions_.front());
  posted_actions_.pop_front();
  // After the close nothing runs any more (a tick would start a run).
  if (events_ && !closed_)
    RunShowingFailure([this](const std::string& m) { boxes_.ShowFailure(m); }, action);
}

void MainFormWindow::QueryEndSession() {
  if (!events_) return;
  // Nothing may wait for the user now: a failure is not shown.
  RunShowingFailure(nullptr, [this] { events_->QueryEndSession(); });
}

void MainFormWindow::EndSession(bool ending, LPARAM how) {
  if (!events_) return;
  RunShowingFailure(nullptr, [this, ending] { events_->EndSession(ending); });
  if (!ending) return;
  // The list is saved and the timer stopped. At the end of the session
  // Windows ends the process when this returns; with no box open the program
  // ends by itself as well. A box that is open is left alone then: a quit
  // message would close it with a made-up answer (the minutes prompt would
  // answer "0" and switch the schedule off), and that answer would be acted
  // on.
  const bool box_open = !::IsWindowEnabled(Handle());
  if (how & ENDSESSION_CLOSEAPP) {
    // The Restart Manager closes the program and the session goes on: it
    // must end, a box open or not, and its tray icon must go. Nothing is left
    // to the box's answer: with one open the process ends here.
    RunShowingFailure(nullptr, [this] { events_->FormClose(); });
    closed_ = true;
    if (box_open) ExitProcess(0);
  }
  if (!box_open) PostQuitMessage(0);
}

// The menu runs its own loop, in which ticks go on: the handlers note what
// the user sees before it opens, and the chosen command comes back here (not
// as a WM_COMMAND of its own) so that it acts on that. It runs from the main
// window's queue, as a menu command always did, not inside the grid's message.
void MainFormWindow::OpenPopupMenu(POINT at) {
  if (!Handle() || !events_) return;
  events_->PopupMenuOpening();
  popup_menu_open_ = true;
  const unsigned command = popup_.Open(Handle(), at);
  popup_menu_open_ = false;
  PostMessageW(Handle(), kPopupMenuClosedMessage, command, 0);
}

void MainFormWindow::PopupMenuClosed(unsigned command) {
  if (!events_) return;
  MenuItemId item;
  std::optional<MenuItemId> chosen;
  if (MenuItemFromCommand(command, item)) chosen = item;
  events_->PopupMenuClosed(chosen);
}

LRESULT MainFormWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kTrayNotifyMessage) {
    if (events_) events_->TrayNotify(static_cast<std::uint32_t>(lparam));
    return 0;
  }
  if (message == kPopupMenuClosedMessage) {
    PopupMenuClosed(static_cast<unsigned>(wparam));
    return 0;
  }
  if (taskbar_created_message_ != 0 && message == taskbar_created_message_) {
    if (events_) events_->TaskbarCreated();
    return 0;
  }
  if (posted_action_message_ != 0 && message == posted_action_message_) {
    RunPostedAction();
    return 0;
  }
  if (queue_marker_message_ != 0 && message == queue_marker_message_) {
    if (wparam == kQueueMarkerQuery) return queue_marker_;
    queue_marker_ = lparam;
    return 0;
  }
  switch (message) {
    case WM_SIZE:
      if (grid_ && wparam != SIZE_MINIMIZED) {
        MoveWindow(grid_->Handle(), 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && !HIWORD(wparam)) {
        FocusGrid();
        if (!has_held_focus_ && events_) {
          has_held_focus_ = true;
          events_->FormActivate();
        }
        return 0;
      }
      break;
    case WM_SETFOCUS:
      FocusGrid();
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_MINIMIZE) {
        application_.Minimize(true);
        return 0;
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_COMMAND: {
      MenuItemId item;
      if (HIWORD(wparam) == 0 && lparam == 0 && MenuItemFromCommand(LOWORD(wparam), item)) {
        if (events_) events_->MenuClick(item);
        return 0;
      }
      break;
    }
    case WM_SETTINGCHANGE:
      if (events_) events_->SettingChange();
      break;
    case WM_QUERYENDSESSION:
      // Yes, also during a backup run, and with no shutdown block reason:
      // Windows closes a program that says yes whatever reason it set, and
      // a run cut short loses nothing (the due date stays for the next check).
      QueryEndSession();
      return TRUE;
    case WM_ENDSESSION:
      EndSession(wparam != 0, lparam);
      return 0;
  }
  return DefaultHandling(message, wparam, lparam);
}

void MainFormWindow::ReportFailure(const std::string& message) { boxes_.ShowFailure(message); }

// ---- FormView

WindowHandle MainFormWindow::MainWindow() { return ToWindowHandle(Handle()); }

WindowHandle MainFormWindow::ApplicationWindow() {
  return ToWindowHandle(application_.Handle());
}

WindowHandle MainFormWindow::TimerWindow() {
  return timer_ ? ToWindowHandle(timer_->Handle()) : 0;
}

void MainFormWindow::SetCaption(const std::string& caption) {
  if (Handle()) SetWindowTextW(Handle(), ShiftJisToUtf16ForDisplay(caption).c_str());
}

// The caption as Shift-JIS; empty when it holds a character Shift-JIS cannot
// write (only a caption made of bytes that were not Shift-JIS can).
std::string MainFormWindow::Caption() {
  if (!Handle()) return std::string();
  int length = GetWindowTextLengthW(Handle());
  std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(Handle(), &wide[0], length + 1);
  wide.resize(got > 0 ? static_cast<size_t>(got) : 0);
  std::string text;
  Utf16ToShiftJis(wide, text);
  return text;
}

void MainFormWindow::SetGridReadOnly(bool read_only) {
  if (grid_) grid_->SetReadOnly(read_only);
}

bool MainFormWindow::GridReadOnly() { return grid_ ? grid_->ReadOnly() : true; }

void MainFormWindow::SetMenuChecked(MenuItemId item, bool checked) {
  popup_.SetChecked(item, checked);
}

bool MainFormWindow::MenuChecked(MenuItemId item) { return popup_.Checked(item); }

void MainFormWindow::SetMenuEnabled(MenuItemId item, bool enabled) {
  popup_.SetEnabled(item, enabled);
}

bool MainFormWindow::MenuEnabled(MenuItemId item) { return popup_.Enabled(item); }

void MainFormWindow::RepaintGrid() {
  if (grid_) grid_->RepaintNow();
}

void MainFormWindow::ScrollGridToColumn(int column) {
  if (grid_) grid_->ScrollToColumn(column);
}

// A run that began inside a box's or the popup menu's own loop (a tick while
// it was open) handles only paint and sent messages: the rest is for that
// loop, which goes on after the run (a box's keys need its own loop).
void MainFormWindow::KeepResponsive() {
  if (popup_menu_open_ || !::IsWindowEnabled(Handle())) {
    HandlePaintAndSentMessages();
  } else {
    HandleWaitingMessages();
  }
}

void MainFormWindow::KeepPainted() { HandlePaintAndSentMessages(); }

// An action whose message could not be posted (a full queue) is not kept: it
// would run at the next message, in place of that message's own action.
bool MainFormWindow::PostToSelf(std::function<void()> action) {
  if (!Handle()) return false;
  posted_actions_.push_back(std::move(action));
  if (PostMessageW(Handle(), posted_action_message_, 0, 0)) return true;
  posted_actions_.pop_back();
  return false;
}

// A copy shows its progress once it has lasted half a second; shorter ones
// would only flicker.
void MainFormWindow::ShowCopyProgress(std::uint64_t copied, std::uint64_t total) {
  constexpr DWORD kShowAfterMs = 500;
  if (!grid_) return;
  const DWORD now = GetTickCount();
  if (copied == 0) {
    copy_started_ = now;
    if (grid_->RowProgress() >= 0) grid_->SetRowProgress(-1);  // a new copy
    return;
  }
  if (now - copy_started_ < kShowAfterMs) return;
  const int permille = total == 0 ? 1000 : static_cast<int>(copied * 1000 / total);
  grid_->SetRowProgress(permille);
}

void MainFormWindow::HideCopyProgress() {
  if (grid_) grid_->SetRowProgress(-1);
}

void MainFormWindow::ShowPlainMessage(const std::string& text) { boxes_.ShowPlainMessage(text); }

void MainFormWindow::ShowFailure(const std::string& message) { boxes_.ShowFailure(message); }

bool MainFormWindow::AskYesNo(const std::string& question) { return boxes_.AskYesNo(question); }

std::string MainFormWindow::InputBox(const std::string& title, const std::string& prompt,
                                     const std::string& preset) {
  return ShowInputBox(application_.Handle(), font_.Handle(), title, prompt, preset);
}

}  // namespace quillset
