// Conversions between the portable window handle and HWND.
#pragma once

#include <windows.h>

#include "base/os_services.h"

namespace quillset {

inline HWND ToHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }
inline WindowHandle ToWindowHandle(HWND hwnd) { return reinterpret_cast<WindowHandle>(hwnd); }

}  // namespace quillset
