// The shell services of the Windows build: each call goes to the Win32 "A"
// function named in ui/shell_services.h, with what the program's dialogs add
// (placement, the program's windows disabled while a dialog is open, the
// current folder kept).
#pragma once

#include <string>
#include <vector>

#include "ui/shell_services.h"

namespace quillset {

class Win32ShellServices : public ShellServices {
 public:
  Win32ShellServices() = default;
  Win32ShellServices(const Win32ShellServices&) = delete;
  Win32ShellServices& operator=(const Win32ShellServices&) = delete;

  bool TakeSingleInstanceGuard(const std::string& name) override;
  void InitializeCom() override;
  void UninitializeCom() override;
  bool SetWindowTimer(WindowHandle window, std::uint32_t id, std::uint32_t interval_ms) override;
  void KillWindowTimer(WindowHandle window, std::uint32_t id) override;
  bool NotifyIcon(std::uint32_t message, const TrayIconRecord& record) override;
  std::uint32_t MainIconHandle() override;
  std::uint32_t WarningIconHandle() override;
  bool NotifyIconBalloon(const TrayIconRecord& record, const std::string& title,
                         const std::string& text) override;
  PickedPath ShowOpenFileDialog(WindowHandle owner, WindowHandle placement) override;
  PickedPath BrowseForFolder(WindowHandle owner, const std::string& prompt) override;
  void KeepSystemAwake(bool awake) override;
  bool RunOffUiThread(const std::function<void()>& work, const std::function<void()>& pump,
                      const std::function<bool()>& stop = nullptr) override;
  // Some work was abandoned and may still run: the process must end without
  // tearing down what that work may use (the OS services).
  bool AbandonedWork() const { return abandoned_work_; }

 private:
  // Mutex handles of the single-instance guard: kept open until the process
  // ends, so the name stays taken exactly as long as the program runs.
  std::vector<void*> guard_handles_;
  bool abandoned_work_ = false;
};

}  // namespace quillset
