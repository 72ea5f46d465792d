// While one of the program's modal boxes or dialogs is open, every other window
// of the program is disabled, so that only the box takes input; timer and other
// messages still reach them through the box's message loop. Afterwards the
// windows this scope disabled are enabled again and the window that was active
// gets the activation back (if the program still has the foreground).
#pragma once

#include <windows.h>

#include <vector>

namespace quillset {

class ModalScope {
 public:
  // `box_owner` stays enabled: the box disables and enables it itself, so that
  // the owner is enabled again before the box goes and takes the activation.
  explicit ModalScope(HWND box_owner);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  static BOOL CALLBACK DisableOne(HWND hwnd, LPARAM self);

  HWND box_owner_;
  std::vector<HWND> disabled_;
  HWND previously_active_ = nullptr;
};

}  // namespace quillset
