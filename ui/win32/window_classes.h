// Window class names of the program's windows, for the window layer and for
// test drivers that look for them from another process. Plain text, no
// <windows.h>: a driver may include this header alone.
#pragma once

#include "ui/shell_services.h"

namespace quillset {

// The invisible application window: owner of every other window, carrier of
// the taskbar entry (titled with the application title).
inline constexpr char kApplicationWindowClass[] = "QuillsetApplication";
// The main window Form1.
inline constexpr char kMainWindowClass[] = "TForm1";
// The data grid DBGrid1, a child of the main window.
inline constexpr char kDataGridClass[] = "QuillsetGrid";
// The hidden top-level window that carries the window timers (ids below).
inline constexpr char kTimerWindowClass[] = "QuillsetTimerWindow";

// Message of the tray icon, handled by the main window.
inline constexpr unsigned kTrayNotifyMessage = kWmTrayNotify;
// Timer1's identifier on the timer window.
inline constexpr unsigned kTimer1Id = 1;
// The timer that tries again to add a tray icon the shell refused.
inline constexpr unsigned kTrayIconRetryTimerId = 2;

}  // namespace quillset
