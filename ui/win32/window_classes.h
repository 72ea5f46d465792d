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

// A registered message that lets another process wait until the program's
// thread has handled everything posted to it before: posted to the main
// window with a number in lParam (wParam 0), the window keeps the number;
// sent with wParam 1, it answers the last number kept. Posted messages of one
// thread are handled in order, so once the answer is the number posted, every
// message posted before it was handled (or is inside a box it opened).
inline constexpr char kQueueMarkerMessageName[] = "Quillset.QueueMarker";
inline constexpr unsigned kQueueMarkerPost = 0;
// A registered message the main window posts to itself to run, later, an
// action its handlers put off (FormView::PostToSelf).
inline constexpr char kPostedActionMessageName[] = "Quillset.PostedAction";
inline constexpr unsigned kQueueMarkerQuery = 1;

}  // namespace quillset
