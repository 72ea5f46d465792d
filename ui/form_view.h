// What the main window's handlers (TForm1, ui/main_form.h) need from the real
// window: the small window interface under the handlers. The Win32 window layer
// (ui/win32/) implements it; tests use a headless fake that records calls.
// What the handlers need of the shell beside their own window (timers, the
// notification icon, dialogs) is the window layer's other half,
// ShellServices (ui/shell_services.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/shell_services.h"

namespace quillset {

// The popup menu's items, in menu order.
enum class MenuItemId { bakup1, Delete1, Copy1, Edit1, TimerSet, Wee, Mon, N1, Exit1 };

class FormView {
 public:
  virtual ~FormView() = default;

  // Handles: the main window (tray icon owner), the application window (owner of
  // dialogs and boxes), and the hidden window that carries Timer1.
  virtual WindowHandle MainWindow() = 0;
  virtual WindowHandle ApplicationWindow() = 0;
  virtual WindowHandle TimerWindow() = 0;

  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() = 0;

  // Show-at-start flag of the application object (set by default). Cleared by
  // the creation handler when a schedule is stored.
  virtual void SetShowAtStart(bool show) = 0;

  // Hide the main window (and with it the taskbar entry).
  virtual void HideWindow() = 0;
  // Make the main window visible, bring it to the top and give it the focus;
  // the show command of the start (maximized, minimized) applies at the first
  // showing.
  virtual void RestoreWindow() = 0;
  virtual bool IsWindowVisible() = 0;
  // The user reached the program (a click on its tray icon): when one of its
  // boxes is open, the box comes to the front and takes the foreground, which
  // Windows lets a program do right after such a click; the window behind a
  // box is disabled and takes no input. Nothing when no box is open.
  virtual void BringOpenBoxToFront() = 0;
  // Ask the window to close, by the same path as its close box.
  virtual void CloseWindow() = 0;

  // The grid's read-only switch and the menu's check marks.
  virtual void SetGridReadOnly(bool read_only) = 0;
  virtual bool GridReadOnly() = 0;
  virtual void SetMenuChecked(MenuItemId item, bool checked) = 0;
  virtual bool MenuChecked(MenuItemId item) = 0;
  // Greys an item out (false) or gives it back; an item greyed out cannot be
  // chosen.
  virtual void SetMenuEnabled(MenuItemId item, bool enabled) = 0;
  virtual bool MenuEnabled(MenuItemId item) = 0;
  // Redraw the grid now (a long backup run shows each result as it is written).
  virtual void RepaintGrid() = 0;
  // Scroll the grid sideways so that the column (0-based) starts at the left
  // of its data area, as far as the columns reach; the current cell stays.
  virtual void ScrollGridToColumn(int column) = 0;

  // ---- While a backup run goes on (it runs inside one handler)
  // Handles the messages waiting for the program's windows (input, commands,
  // timers, paint, messages other programs send), as the message loop
  // would, and returns when none waits: the window works during the run,
  // and the handlers it reaches run inside it.
  virtual void KeepResponsive() = 0;
  // Short waits outside a run (a journal append, a save): only paint and the
  // messages other programs send are handled, so no command or click runs
  // inside the handler that waits.
  virtual void KeepPainted() = 0;
  // Runs `action` later, as a message posted to the main window: after the
  // handler running now has returned, in the order posted. False: the
  // message could not be posted and `action` will not run.
  virtual bool PostToSelf(std::function<void()> action) = 0;
  // The copy of the current row's file has reached `copied` of `total`
  // bytes; a copy that lasts shows this in the current row. Display only.
  virtual void ShowCopyProgress(std::uint64_t copied, std::uint64_t total) = 0;
  // The entry's result is written (or the run ended): the progress goes.
  virtual void HideCopyProgress() = 0;

  // The plain message box: centred on the screen, the application title as
  // caption, no icon, one "OK" button. Returns when the user closed it.
  virtual void ShowPlainMessage(const std::string& text) = 0;
  // The question box: application title, question icon, "はい" and
  // "いいえ"; true on "はい" ("いいえ", Esc and the close box say no).
  virtual bool AskYesNo(const std::string& question) = 0;
  // The failure box: application title, error icon, one OK button; `message`
  // gets the "." rule (FailureBoxText) here.
  virtual void ShowFailure(const std::string& message) = 0;
  // The input box: modal, centred on the screen, prompt word-wrapped above a
  // one-line field of at most 255 characters holding `preset` all selected,
  // "OK" (default) and "キャンセル". OK gives the text; cancel or close gives
  // `preset`.
  virtual std::string InputBox(const std::string& title, const std::string& prompt,
                               const std::string& preset) = 0;
};

}  // namespace quillset
