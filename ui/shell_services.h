// What the program needs from Windows' shell and window manager besides its
// own windows: window timers, the notification icon, the common dialogs, at
// start-up the single-instance guard and COM, the power request that keeps
// the system awake, and work run beside the user-interface thread. It belongs to the window
// layer, as FormView does: the portable core (files, settings, dates) never
// sees it. Implementations:
//   Win32ShellServices (ui/win32/win32_shell_services.cpp): the real calls.
//   FakeShellServices  (ui/testing/fake_shell_services.h): records the calls
//                      for the handler tests and answers what the test prepared.
//
// The numbers the notification icon is stored and sent with are the shell's
// documented values; they are defined here, once, and the Win32
// implementation checks them against the system headers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillset {

// A window of the program as an opaque number (an HWND in the Windows build).
using WindowHandle = std::uintptr_t;

// The shell's notification-icon record in its first layout: 88 bytes in the
// 32-bit program. Handles are kept as 32-bit values, as that program holds them.
struct TrayIconRecord {
  std::uint32_t cbSize = 0;
  std::uint32_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::uint32_t hIcon = 0;
  char szTip[64] = {};
};
static_assert(sizeof(TrayIconRecord) == 88, "first NOTIFYICONDATAA layout");

// Shell_NotifyIconA messages and TrayIconRecord::uFlags bits.
inline constexpr std::uint32_t kNimAdd = 0;     // NIM_ADD
inline constexpr std::uint32_t kNimModify = 1;  // NIM_MODIFY
inline constexpr std::uint32_t kNimDelete = 2;  // NIM_DELETE
inline constexpr std::uint32_t kNifMessage = 1;  // NIF_MESSAGE
inline constexpr std::uint32_t kNifIcon = 2;     // NIF_ICON
inline constexpr std::uint32_t kNifTip = 4;      // NIF_TIP
// The message the icon sends to its window: WM_USER + 100.
inline constexpr std::uint32_t kWmTrayNotify = 0x0400 + 100;  // 1124
// Mouse messages the icon passes on in lParam.
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;  // WM_LBUTTONDOWN
inline constexpr std::uint32_t kWmRButtonDown = 0x0204;  // WM_RBUTTONDOWN
// What the icon passes on in lParam about its balloon: it went (closed, or
// the icon went), its time ran out, or the user clicked it.
inline constexpr std::uint32_t kNinBalloonHide = 0x0400 + 3;       // NIN_BALLOONHIDE
inline constexpr std::uint32_t kNinBalloonTimeout = 0x0400 + 4;    // NIN_BALLOONTIMEOUT
inline constexpr std::uint32_t kNinBalloonUserClick = 0x0400 + 5;  // NIN_BALLOONUSERCLICK

// What a file or folder dialog gave back. The program keeps paths in
// Shift-JIS; a name with a character outside it cannot be kept (it would come
// back with "?" or a look-alike in it and name another file or none).
enum class PickResult { kChosen, kCancelled, kFailed, kNotShiftJis };
struct PickedPath {
  PickResult result = PickResult::kCancelled;
  // kChosen: the full path in Shift-JIS. kNotShiftJis: the path for a
  // message, each character Shift-JIS cannot write spelt "[U+00E9]".
  std::string path;
  // kNotShiftJis: the first character Shift-JIS cannot write.
  std::uint32_t unwritable = 0;
};

class ShellServices {
 public:
  virtual ~ShellServices() = default;

  // ---- Single-instance guard
  // Creates the named mutex, or opens the one that exists, in one atomic step
  // and keeps the handle for the life of the process. Returns true when this
  // process is the only holder (the mutex did not exist before the call).
  virtual bool TakeSingleInstanceGuard(const std::string& name) = 0;

  // ---- COM for the user-interface thread (the folder browser needs it).
  virtual void InitializeCom() = 0;
  virtual void UninitializeCom() = 0;

  // ---- Window timer on a window of the program (SetTimer / KillTimer).
  virtual bool SetWindowTimer(WindowHandle window, std::uint32_t id, std::uint32_t interval_ms) = 0;
  virtual void KillWindowTimer(WindowHandle window, std::uint32_t id) = 0;

  // ---- Notification icon (Shell_NotifyIcon with kNimAdd, kNimModify or
  // kNimDelete; the Windows build converts the record to the shell's UTF-16
  // layout).
  virtual bool NotifyIcon(std::uint32_t message, const TrayIconRecord& record) = 0;
  // The executable's main icon resource "MAINICON" as an icon handle.
  virtual std::uint32_t MainIconHandle() = 0;
  // Its icon resource "WARNICON" (the last run had an entry that did not
  // succeed) as an icon handle.
  virtual std::uint32_t WarningIconHandle() = 0;
  // The balloon of the icon that `record` names (hWnd, uID): NIM_MODIFY with
  // NIF_INFO and the warning symbol, `title` and `text` in Shift-JIS (at most
  // 63 and 255 characters are shown). Empty texts take the icon's balloon
  // away, shown or waiting in the shell's queue.
  virtual bool NotifyIconBalloon(const TrayIconRecord& record, const std::string& title,
                                 const std::string& text) = 0;

  // ---- Dialogs
  // GetOpenFileNameW with default options and a 260-character name buffer,
  // owned by `owner`, placed centred horizontally with its top at a third of
  // the free height on the monitor of `placement`; the program's windows are
  // disabled while it is open, and the process's current folder is as before
  // after it. kChosen and the full path on OK; kCancelled otherwise.
  virtual PickedPath ShowOpenFileDialog(WindowHandle owner, WindowHandle placement) = 0;
  // SHBrowseForFolderW with `prompt` and BIF_RETURNONLYFSDIRS, owned by
  // `owner`; the program's windows are disabled and critical-error boxes off
  // while it is open. On kChosen the path is the file-system path.
  virtual PickedPath BrowseForFolder(WindowHandle owner, const std::string& prompt) = 0;

  // ---- Power: SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED)
  // while `awake`, ES_CONTINUOUS alone after: idle sleep waits meanwhile.
  // Called on the user-interface thread (the request is the thread's).
  virtual void KeepSystemAwake(bool awake) = 0;

  // ---- Blocking work beside the user-interface thread
  // How long work is still waited for once `stop` says true: a step that
  // hangs (a share that stopped answering) must not keep the program.
  static constexpr std::uint32_t kAbandonAfterStopMs = 3000;
  // Runs `work` on a thread of its own and returns true when it has ended;
  // the calling (user-interface) thread meanwhile calls `pump` at short
  // intervals (every 50 ms, and when a message comes), where the window
  // handles its messages. Once `stop` (asked at each pump) has said true for
  // kAbandonAfterStopMs without the work ending, the work is abandoned:
  // false comes back at once and the thread is left to end by itself.
  // REQUIRES: `work` touches neither the windows nor the list, and owns what
  // it uses (copies, shared pointers; the OS services outlive the program's
  // windows), since abandoned work may go on after its caller has returned.
  // A failure `work` throws is thrown here.
  virtual bool RunOffUiThread(const std::function<void()>& work,
                              const std::function<void()>& pump,
                              const std::function<bool()>& stop = nullptr) = 0;
};

}  // namespace quillset
