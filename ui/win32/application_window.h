// The application window: an invisible top-level window created before any
// other. It owns the main window and every box and dialog, and it carries the
// program's taskbar entry, labelled with the application title and showing the
// icon "MAINICON". The window has no size, so it is never seen itself; it is
// shown (the entry appears) while the main window is visible and hidden with
// it. Minimizing the main window minimizes the application: the main window
// hides and the entry stays, minimized, until the user restores it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/win32/window_base.h"

namespace quillset {

class ApplicationWindow : public WindowBase {
 public:
  // What the application window asks of the main window.
  struct Client {
    // The user restored the minimized program (taskbar entry, system menu).
    std::function<void()> restored;
    // The user minimized the program: the main window must hide.
    std::function<void()> minimizing;
    // Close from the taskbar entry: close the main window by its usual path.
    std::function<void()> close_requested;
    // The window that takes the focus when the application window gets it.
    std::function<HWND()> focus_target;
    // Where failures in the application window's handling are shown.
    std::function<void(const std::string&)> show_failure;
  };

  explicit ApplicationWindow(const std::string& title);
  ~ApplicationWindow() override;

  const std::string& Title() const { return title_; }
  // "MAINICON" of the executable, or the system's application icon without it.
  HICON Icon() const { return icon_; }

  void SetClient(Client client) { client_ = std::move(client); }

  // The taskbar entry while the main window is visible.
  void ShowTaskbarEntry();
  void HideTaskbarEntry();
  // Minimizes the program; `activate` false leaves the activation where it is
  // (the start's show command 7).
  void Minimize(bool activate);
  bool IsMinimized() const { return minimized_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void ReportFailure(const std::string& message) override;

 private:
  std::string title_;
  HICON icon_ = nullptr;
  Client client_;
  bool minimized_ = false;
};

}  // namespace quillset
