// Drives the real Quillset.exe from another process, for the end-to-end tests
// of the Windows build (run under Wine). Windows build only.
//
// A test makes a TestFolder (a fresh temporary folder with its own copy of the
// exe, so the data and settings files beside it are the test's alone), starts
// the copy with QuillsetProcess::Start, finds its windows, sends them messages,
// dismisses its boxes, reads its files, closes it and checks the exit code.
// Every wait polls every 50 ms. Tests that start the program must be SERIAL
// (the single-instance mutex is shared by every process of the Wine prefix)
// and must leave nothing running: a QuillsetProcess that is still running when
// it is destroyed is terminated.
//
// Texts are code-page bytes (Shift-JIS), as the "A" functions give them; the
// test sources' literals are compiled to the same code page.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillset {
namespace e2e {

// Waits of the driver, in milliseconds.
constexpr DWORD kPollInterval = 50;
constexpr DWORD kWindowTimeout = 20000;   // a main window or a first box
constexpr DWORD kDialogTimeout = 15000;   // a box after a message
constexpr DWORD kExitTimeout = 15000;     // the process after its window closed

// The path of the Quillset.exe the build made (a Windows path); empty when the
// build has no such program.
std::string BuiltExePath();

// A Unix path ("/work/...") as Wine sees it ("Z:\work\..."); other paths unchanged.
std::string ToWindowsPath(const std::string& path);

// A fresh folder under the temporary folder, removed with everything in it when
// the object goes. It holds a copy of the exe as "Quillset.exe".
class TestFolder {
 public:
  // Copies `exe` (default: the built one) into the folder; Ok() tells success.
  explicit TestFolder(const std::string& exe = BuiltExePath());
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  bool Ok() const { return ok_; }
  const std::string& Path() const { return path_; }
  std::string ExePath() const { return path_ + "\\Quillset.exe"; }
  std::string DataFilePath() const { return path_ + "\\Quillset.cds"; }
  std::string SettingsFilePath() const { return path_ + "\\Quillset.ini"; }
  // A file of the folder by name ("Quillset.ini", "sub\\a.txt").
  std::string FilePath(const std::string& name) const { return path_ + "\\" + name; }

  bool Exists(const std::string& name) const;
  // The whole file; false when it cannot be read.
  bool ReadFile(const std::string& name, std::string& content) const;
  bool WriteFile(const std::string& name, const std::string& content) const;
  bool MakeFolder(const std::string& name) const;

 private:
  std::string path_;
  bool ok_ = false;
};

// One started copy of the program.
class QuillsetProcess {
 public:
  // Starts `exe` with the show command (SW_SHOWNORMAL, SW_SHOWMAXIMIZED,
  // SW_SHOWMINNOACTIVE ...) in the exe's folder; null when it cannot start.
  static std::unique_ptr<QuillsetProcess> Start(const std::string& exe,
                                                int show_command = SW_SHOWNORMAL);
  // Creates the process suspended; Resume() lets it run. Two copies created
  // this way and resumed back to back start at the same moment.
  static std::unique_ptr<QuillsetProcess> StartSuspended(const std::string& exe,
                                                         int show_command = SW_SHOWNORMAL);
  ~QuillsetProcess();  // terminates the process if it still runs
  QuillsetProcess(const QuillsetProcess&) = delete;
  QuillsetProcess& operator=(const QuillsetProcess&) = delete;

  void Resume();
  DWORD Id() const { return process_id_; }
  bool IsRunning() const;

  // Top-level windows of the process (EnumWindows + GetWindowThreadProcessId).
  std::vector<HWND> TopLevelWindows(bool visible_only = false) const;
  // The first top-level window of the process with this class and/or caption
  // (null or empty: any); null when there is none.
  HWND FindTopLevelWindow(const char* class_name, const char* caption = nullptr,
                  bool visible_only = false) const;
  // Polls FindTopLevelWindow until a window shows or the process ends or time runs out.
  HWND WaitForWindow(const char* class_name, const char* caption = nullptr,
                     DWORD timeout_ms = kWindowTimeout, bool visible_only = true) const;
  // A visible message box or dialog (class "#32770") of the process.
  HWND WaitForDialog(DWORD timeout_ms = kDialogTimeout) const;
  // The main window Form1 (class "TForm1"), shown or not.
  HWND WaitForMainWindow(DWORD timeout_ms = kWindowTimeout) const;
  // A message-only window of the process (FindWindowExA(HWND_MESSAGE, ...)).
  HWND FindMessageOnlyWindow(const char* class_name) const;

  // Posts WM_CLOSE to the window.
  void Close(HWND window) const;
  // Waits for the process to end; true and its exit code when it did.
  bool WaitForExit(DWORD& exit_code, DWORD timeout_ms = kExitTimeout) const;
  // Ends the program the way a user does: presses OK on every box it shows,
  // closes the main window, and waits for the process to end. True and the
  // exit code when it ended within the time.
  bool CloseProgram(DWORD& exit_code, DWORD timeout_ms = kWindowTimeout);
  // The last resort: ends the process at once and waits for it.
  void Terminate();

  // Sends `message` to a window of the process with a zero-terminated copy of
  // `text` placed in the process's own memory as the lparam (for messages that
  // take a text pointer and that Windows does not carry between processes,
  // such as the folder browser's BFFM_SETSELECTIONA). The result in `result`.
  bool SendMessageWithText(HWND window, UINT message, WPARAM wparam, const std::string& text,
                           LRESULT& result, DWORD timeout_ms = kDialogTimeout) const;

 private:
  QuillsetProcess(HANDLE process, HANDLE thread, DWORD id);
  HANDLE process_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD process_id_ = 0;
};

// ---- Windows of any process

// The main window of any Quillset running in this Wine prefix (a copy left over
// by an earlier test would end every later start at once); null when none runs.
HWND AnyRunningQuillset();

std::string WindowCaption(HWND window);
std::string WindowClass(HWND window);
// The text of a message box: its static control with the id 0xFFFF.
std::string MessageBoxText(HWND box);
// Presses a button of a box or dialog: BM_CLICK on the button with that id,
// or WM_COMMAND with the id when the box has no such button.
void PressButton(HWND box, int button_id = IDOK);
// Puts text into an edit field (WM_SETTEXT).
bool SetEditText(HWND edit, const std::string& text);
// The first child with this class (e.g. "Edit"), null when there is none.
HWND FindChild(HWND parent, const char* class_name);

// Every child window of `parent`, at every depth.
std::vector<HWND> ChildWindows(HWND parent);
// The first child (any depth) whose text ends with `suffix`; null when none.
HWND FindChildWithTextEnding(HWND parent, const std::string& suffix);

// Posted keys and characters, straight into a window's queue (no key state:
// Ctrl and Shift read as up). PostKey posts WM_KEYDOWN and WM_KEYUP; PostText
// posts one WM_CHAR per code-page byte, as an "A" window receives them.
void PostKey(HWND window, UINT virtual_key);
void PostText(HWND window, const std::string& bytes);
// The same, sent: each message has been handled when the call returns, in
// order with other sent messages (a sent message overtakes posted ones, so
// mixing the two needs care). For windows that open no box on the key.
void SendKey(HWND window, UINT virtual_key);
void SendText(HWND window, const std::string& bytes);

// Real input through SendInput, delivered to the foreground window.
// PressKeys presses the keys in order and releases them in reverse (a chord
// such as {VK_SHIFT, VK_F10}); RightClickAt clicks the right button at a
// point of a window's client area.
bool BringToForeground(HWND window);
// Waits until `window` holds the keyboard focus of its thread.
bool WaitForFocus(HWND window, DWORD timeout_ms = kDialogTimeout);
void PressKeys(const std::vector<WORD>& keys);
void RightClickAt(HWND window, int client_x, int client_y);

// The grid DBGrid1 (class "QuillsetGrid") of a main window; null when none.
HWND GridOf(HWND form);
// The grid's cell editor (its EDIT child), open or not; null when none.
HWND GridEditorOf(HWND grid);
// The text of the grid's current cell as its cell editor shows it: opens the
// editor with F2, reads it, closes it with Enter (an unchanged text is not
// written back). Works only while editing is on ("編集"); false when the
// editor did not open. Keys are sent (SendKey).
bool ReadGridCell(HWND grid, std::string& text);
// Types `bytes` into the grid's current cell (opening its editor), then
// leaves the cell with `leave_key` (VK_TAB, VK_DOWN, VK_RETURN ...); sent.
void TypeIntoGridCell(HWND grid, const std::string& bytes, UINT leave_key);

// Posted messages: a menu command, a tray-icon press, a timer tick.
void PostMenuCommand(HWND window, unsigned command_id);
void PostTrayCallback(HWND window, unsigned mouse_message = WM_LBUTTONDOWN,
                      unsigned icon_id = 1, unsigned callback_message = 1124);
void PostTimerTick(HWND window, unsigned timer_id = 1);
// Waits until the program has handled every message posted to its thread
// before this call (a queue marker posted to the main window `form` comes
// back): the way to check that something did NOT happen. False on time-out.
bool WaitForPostedMessages(HWND form);

// Sleeps in steps of `poll_ms` until `condition` holds; false on time-out.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeout_ms, DWORD poll_ms = kPollInterval) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(poll_ms);
  }
}

}  // namespace e2e
}  // namespace quillset
