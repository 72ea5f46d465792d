// An elevated program does not receive window messages from the shell, which
// runs with less rights (the message filter of User Interface Privilege
// Isolation): neither "TaskbarCreated" nor the tray icon's own message 1124.
// ChangeWindowMessageFilterEx lets the two through to the main window. It is
// looked up at run time, as it exists only from Windows 7 on; for a program
// that is not elevated the call changes nothing.
#pragma once

#include <windows.h>

namespace quillset {

// ChangeWindowMessageFilterEx(window, message, action, change_info).
using MessageFilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);

// MSGFLT_ALLOW.
inline constexpr DWORD kMessageFilterAllow = 1;

// ChangeWindowMessageFilterEx of user32, or null where the system has none.
MessageFilterFunction LookUpMessageFilterFunction();

// Lets `taskbar_created` and the tray icon's message through to `window` with
// `filter`; nothing without a function. Returns how many of the two messages
// the filter accepted.
int AllowShellMessages(HWND window, UINT taskbar_created, MessageFilterFunction filter);

}  // namespace quillset
