// The one way the program's windows are bound to their C++ objects: the object
// is passed at creation, found again in every message through the window's
// user data, and its HandleMessage runs under RunShowingFailure, so that no
// exception crosses the system's frames and a failure is shown and survived.
#pragma once

#include <windows.h>

#include <string>

#include "ui/failure_guard.h"

namespace quillset {

class WindowBase {
 public:
  virtual ~WindowBase();
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HWND Handle() const { return hwnd_; }

 protected:
  WindowBase() = default;

  // Registers a window class once per process (later calls do nothing).
  static void RegisterClassOnce(const char* class_name, UINT class_style, HBRUSH background,
                                HICON icon, HCURSOR cursor);
  // Creates the window bound to this object. Throws when the system refuses.
  void CreateBound(DWORD ex_style, const char* class_name, const std::string& title,
                   DWORD style, int x, int y, int width, int height, HWND parent);
  // Destroys the window if it still exists. Derived classes call it in their
  // destructor, while their handling still works.
  void DestroyBound();

  // The window's own handling; DefaultHandling for everything it leaves alone.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;
  LRESULT DefaultHandling(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
  // Where a failure that leaves HandleMessage is shown.
  virtual void ReportFailure(const std::string& message) = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
};

}  // namespace quillset
