#include "tests/e2e/e2e_driver.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ui/win32/window_classes.h"

namespace quillset {
namespace e2e {
namespace {

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = dir + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(dir.c_str());
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

struct WindowSearch {
  DWORD process_id;
  bool visible_only;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->process_id && (!search->visible_only || IsWindowVisible(window)))
    search->found.push_back(window);
  return TRUE;
}

std::string ReadText(HWND window) {
  char buffer[4096] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 5000, &length))
    return std::string();
  return std::string(buffer, std::min<std::size_t>(length, sizeof buffer - 1));
}

}  // namespace

std::string BuiltExePath() {
#ifdef QUILLSET_EXE_PATH
  return ToWindowsPath(QUILLSET_EXE_PATH);
#else
  return std::string();
#endif
}

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
}

// ---- TestFolder

TestFolder::TestFolder(const std::string& exe) {
  char temp[MAX_PATH] = {};
  if (GetTempPathA(MAX_PATH, temp) == 0) return;
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    std::string candidate = std::string(temp) + "quillset-e2e-" +
                            std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
  }
  if (path_.empty() || exe.empty()) return;
  ok_ = CopyFileA(exe.c_str(), ExePath().c_str(), TRUE) != 0;
}

TestFolder::~TestFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

bool TestFolder::Exists(const std::string& name) const {
  return GetFileAttributesA(FilePath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool TestFolder::ReadFile(const std::string& name, std::string& content) const {
  std::ifstream in(FilePath(name), std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  content = out.str();
  return !in.bad();
}

bool TestFolder::WriteFile(const std::string& name, const std::string& content) const {
  std::ofstream out(FilePath(name), std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

bool TestFolder::MakeFolder(const std::string& name) const {
  return CreateDirectoryA(FilePath(name).c_str(), nullptr) != 0;
}

// ---- QuillsetProcess

QuillsetProcess::QuillsetProcess(HANDLE process, HANDLE thread, DWORD id)
    : process_(process), thread_(thread), process_id_(id) {}

std::unique_ptr<QuillsetProcess> QuillsetProcess::StartSuspended(const std::string& exe,
                                                                 int show_command) {
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_command);
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof info);
  std::string command_line = "\"" + exe + "\"";
  std::string folder = FolderOf(exe);
  if (!CreateProcessA(exe.c_str(), &command_line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info))
    return nullptr;
  return std::unique_ptr<QuillsetProcess>(
      new QuillsetProcess(info.hProcess, info.hThread, info.dwProcessId));
}

std::unique_ptr<QuillsetProcess> QuillsetProcess::Start(const std::string& exe,
                                                        int show_command) {
  auto process = StartSuspended(exe, show_command);
  if (process) process->Resume();
  return process;
}

QuillsetProcess::~QuillsetProcess() {
  if (IsRunning()) Terminate();
  if (thread_) CloseHandle(thread_);
  if (process_) CloseHandle(process_);
}

void QuillsetProcess::Resume() { ResumeThread(thread_); }

bool QuillsetProcess::IsRunning() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> QuillsetProcess::TopLevelWindows(bool visible_only) const {
  WindowSearch search{process_id_, visible_only, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND QuillsetProcess::FindTopLevelWindow(const char* class_name, const char* caption,
                                         bool visible_only) const {
  for (HWND window : TopLevelWindows(visible_only)) {
    if (class_name && *class_name && WindowClass(window) != class_name) continue;
    if (caption && *caption && WindowCaption(window) != caption) continue;
    return window;
  }
  return nullptr;
}

HWND QuillsetProcess::WaitForWindow(const char* class_name, const char* caption,
                                    DWORD timeout_ms, bool visible_only) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindTopLevelWindow(class_name, caption, visible_only);
        return found != nullptr || !IsRunning();
      },
      timeout_ms);
  return found;
}

HWND QuillsetProcess::WaitForDialog(DWORD timeout_ms) const {
  return WaitForWindow("#32770", nullptr, timeout_ms, true);
}

HWND QuillsetProcess::WaitForMainWindow(DWORD timeout_ms) const {
  return WaitForWindow(kMainWindowClass, nullptr, timeout_ms, false);
}

bool QuillsetProcess::CloseProgram(DWORD& exit_code, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  DWORD last_close = 0;
  bool closed_once = false;
  while (IsRunning()) {
    if (GetTickCount() - start >= timeout_ms) return false;
    if (HWND box = FindTopLevelWindow("#32770", nullptr, true)) {
      PressButton(box, IDOK);
    } else if (HWND form = FindTopLevelWindow(kMainWindowClass)) {
      // Closing again after a while covers a close that a box interrupted.
      if (!closed_once || GetTickCount() - last_close > 2000) {
        Close(form);
        closed_once = true;
        last_close = GetTickCount();
      }
    }
    Sleep(kPollInterval);
  }
  return WaitForExit(exit_code, 0);
}

HWND QuillsetProcess::FindMessageOnlyWindow(const char* class_name) const {
  HWND after = nullptr;
  for (;;) {
    HWND window = FindWindowExA(HWND_MESSAGE, after, class_name, nullptr);
    if (!window) return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == process_id_) return window;
    after = window;
  }
}

void QuillsetProcess::Close(HWND window) const { PostMessageA(window, WM_CLOSE, 0, 0); }

bool QuillsetProcess::WaitForExit(DWORD& exit_code, DWORD timeout_ms) const {
  if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(process_, &code)) return false;
  exit_code = code;
  return true;
}

void QuillsetProcess::Terminate() {
  if (!process_) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, kExitTimeout);
}

bool QuillsetProcess::SendMessageWithText(HWND window, UINT message, WPARAM wparam,
                                          const std::string& text, LRESULT& result,
                                          DWORD timeout_ms) const {
  if (!process_) return false;
  void* remote = VirtualAllocEx(process_, nullptr, text.size() + 1, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  if (!remote) return false;
  SIZE_T written = 0;
  bool ok = WriteProcessMemory(process_, remote, text.c_str(), text.size() + 1, &written) &&
            written == text.size() + 1;
  DWORD_PTR answer = 0;
  ok = ok && SendMessageTimeoutA(window, message, wparam, reinterpret_cast<LPARAM>(remote),
                                 SMTO_ABORTIFHUNG, timeout_ms, &answer) != 0;
  result = static_cast<LRESULT>(answer);
  VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
  return ok;
}

// ---- Windows of any process

HWND AnyRunningQuillset() { return FindWindowExA(nullptr, nullptr, kMainWindowClass, nullptr); }

std::string WindowCaption(HWND window) { return ReadText(window); }

std::string WindowClass(HWND window) {
  char name[256] = {};
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? ReadText(text) : std::string();
}

void PressButton(HWND box, int button_id) {
  HWND button = GetDlgItem(box, button_id);
  if (button) {
    PostMessageA(button, BM_CLICK, 0, 0);
  } else {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), 0);
  }
}

bool SetEditText(HWND edit, const std::string& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, 5000, &result) != 0 &&
         result != 0;
}

HWND FindChild(HWND parent, const char* class_name) {
  return FindWindowExA(parent, nullptr, class_name, nullptr);
}

namespace {
BOOL CALLBACK CollectChild(HWND window, LPARAM lparam) {
  reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(window);
  return TRUE;
}

INPUT KeyInput(WORD key, bool up) {
  INPUT input;
  std::memset(&input, 0, sizeof input);
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}
}  // namespace

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND FindChildWithTextEnding(HWND parent, const std::string& suffix) {
  for (HWND child : ChildWindows(parent)) {
    std::string text = ReadText(child);
    if (text.size() >= suffix.size() &&
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
      return child;
  }
  return nullptr;
}

void PostKey(HWND window, UINT virtual_key) {
  UINT scan = MapVirtualKeyA(virtual_key, MAPVK_VK_TO_VSC);
  PostMessageA(window, WM_KEYDOWN, virtual_key, 1 | (scan << 16));
  PostMessageA(window, WM_KEYUP, virtual_key, 1 | (scan << 16) | 0xC0000000u);
}

void PostText(HWND window, const std::string& bytes) {
  for (unsigned char byte : bytes) PostMessageA(window, WM_CHAR, byte, 1);
}

void SendKey(HWND window, UINT virtual_key) {
  UINT scan = MapVirtualKeyA(virtual_key, MAPVK_VK_TO_VSC);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_KEYDOWN, virtual_key, 1 | (scan << 16), SMTO_ABORTIFHUNG,
                      kDialogTimeout, &ignored);
  SendMessageTimeoutA(window, WM_KEYUP, virtual_key, 1 | (scan << 16) | 0xC0000000u,
                      SMTO_ABORTIFHUNG, kDialogTimeout, &ignored);
}

void SendText(HWND window, const std::string& bytes) {
  DWORD_PTR ignored = 0;
  for (unsigned char byte : bytes)
    SendMessageTimeoutA(window, WM_CHAR, byte, 1, SMTO_ABORTIFHUNG, kDialogTimeout, &ignored);
}

bool BringToForeground(HWND window) {
  SetForegroundWindow(window);
  return WaitUntil([&] { return GetForegroundWindow() == window; }, kDialogTimeout);
}

bool WaitForFocus(HWND window, DWORD timeout_ms) {
  return WaitUntil(
      [&] {
        GUITHREADINFO info;
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
               info.hwndFocus == window;
      },
      timeout_ms);
}

void PressKeys(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(KeyInput(key, false));
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) inputs.push_back(KeyInput(*key, true));
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void RightClickAt(HWND window, int client_x, int client_y) {
  POINT at = {client_x, client_y};
  ClientToScreen(window, &at);
  // The move travels with the presses, so they cannot land where an earlier
  // pointer position still stands.
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3];
  std::memset(inputs, 0, sizeof inputs);
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((at.x * 65536LL + width / 2) / width);
    input.mi.dy = static_cast<LONG>((at.y * 65536LL + height / 2) / height);
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
  }
  inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
  inputs[1].mi.dwFlags |= MOUSEEVENTF_RIGHTDOWN;
  inputs[2].mi.dwFlags |= MOUSEEVENTF_RIGHTUP;
  SetCursorPos(at.x, at.y);
  SendInput(1, &inputs[0], sizeof(INPUT));
  // The X server takes the pointer's new place a moment later; a press sent
  // before that would land at the old place.
  WaitUntil(
      [&] {
        POINT now;
        return GetCursorPos(&now) && now.x == at.x && now.y == at.y;
      },
      kDialogTimeout);
  Sleep(200);
  SendInput(2, &inputs[1], sizeof(INPUT));
}

HWND GridOf(HWND form) { return FindChild(form, kDataGridClass); }

HWND GridEditorOf(HWND grid) { return FindChild(grid, "Edit"); }

bool ReadGridCell(HWND grid, std::string& text) {
  HWND editor = GridEditorOf(grid);
  if (!editor) return false;
  SendKey(grid, VK_F2);
  if (!IsWindowVisible(editor)) return false;
  text = ReadText(editor);
  SendKey(grid, VK_RETURN);
  return !IsWindowVisible(editor);
}

void TypeIntoGridCell(HWND grid, const std::string& bytes, UINT leave_key) {
  SendText(grid, bytes);
  SendKey(grid, leave_key);
}

void PostMenuCommand(HWND window, unsigned command_id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(command_id, 0), 0);
}

void PostTrayCallback(HWND window, unsigned mouse_message, unsigned icon_id,
                      unsigned callback_message) {
  PostMessageA(window, callback_message, icon_id, mouse_message);
}

void PostTimerTick(HWND window, unsigned timer_id) {
  PostMessageA(window, WM_TIMER, timer_id, 0);
}

bool WaitForPostedMessages(HWND form) {
  static const UINT marker_message = RegisterWindowMessageA(kQueueMarkerMessageName);
  static LPARAM last_marker = 0;
  const LPARAM marker = ++last_marker;
  if (!PostMessageA(form, marker_message, kQueueMarkerPost, marker)) return false;
  return WaitUntil(
      [&] {
        DWORD_PTR answer = 0;
        return SendMessageTimeoutA(form, marker_message, kQueueMarkerQuery, 0, SMTO_ABORTIFHUNG,
                                   kPollInterval * 4, &answer) != 0 &&
               static_cast<LPARAM>(answer) == marker;
      },
      kDialogTimeout);
}

}  // namespace e2e
}  // namespace quillset
