// quillset_screenshot_tool: takes the pictures of the user guide from the real
// Quillset.exe under Wine, for scripts/screenshots.
//   quillset_screenshot_tool <folder>
// Starts a copy of the built Quillset.exe in a fresh temporary folder (a first
// start), answers its notice, adds sample entries through the real file-open
// dialog and folder browser (the row marks: a new entry), sets a schedule
// through the minutes prompt, runs "コピー" (the row marks: a row clicked),
// opens the popup menu, opens a cell's editor (the row marks: a row being
// edited) and hides the window to the tray, saving a
// picture of the screen at each step as <folder>\<name>.bmp (24-bit), cut to
// what the picture shows. Every name printed on success. Exit 0 when every
// picture was taken.
//
// The sample files and folders live under C:\ of the Wine prefix (scripts/
// screenshots gives this tool a prefix of its own) and are removed at the end.
#include <windows.h>

#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/e2e_driver.h"
#include "ui/grid_layout.h"
#include "ui/win32/popup_menu.h"
#include "ui/win32/window_classes.h"
#include "ui/win32/window_font.h"

namespace quillset {
namespace e2e {
namespace {

// Command ids of the popup menu.
const unsigned kBakup1Command = MenuCommandId(MenuItemId::bakup1);
const unsigned kCopy1Command = MenuCommandId(MenuItemId::Copy1);
const unsigned kEdit1Command = MenuCommandId(MenuItemId::Edit1);
const unsigned kTimerSetCommand = MenuCommandId(MenuItemId::TimerSet);
const unsigned kN1Command = MenuCommandId(MenuItemId::N1);
// The file name field of Wine's file-open dialog (edt1, or cmb13's edit).
constexpr int kFileNameEditId = edt1;
constexpr int kFileNameComboId = cmb13;

// The sample backup list: two files that copy, one that does not exist, and
// one whose destination (a USB stick) is gone by the time of the run.
const char kSampleRoot[] = "C:\\書類";
const char kBackupFolder[] = "C:\\バックアップ";
const char kStickFolder[] = "C:\\USBメモリ";
struct Sample {
  const char* file;
  const char* folder;
  bool file_exists;
};
// Added in this order; each new entry goes in front of the last one, so the
// grid shows the first of them at the bottom.
const Sample kSamples[] = {
    {"C:\\書類\\住所録.csv", kStickFolder, true},
    {"C:\\書類\\見積書.xlsx", kBackupFolder, true},
    {"C:\\書類\\議事録.docx", kBackupFolder, true},
    {"C:\\書類\\売上一覧.xls", kBackupFolder, false},
};
const char kMinutesAnswer[] = "60";

// The picture's window size and the widths the first two columns are dragged
// to (at 96 pixels per inch), so that every column shows.
constexpr int kWindowWidth = 680;
constexpr int kWindowHeight = 160;
constexpr int kFileColumnWidth = 170;
constexpr int kFolderColumnWidth = 130;
constexpr int kWindowLeft = 40;
constexpr int kWindowTop = 40;
constexpr int kTrayWidth = 200;  // of the taskbar's right end, in its picture
// Rows in the pictures of the row marks: as many as the window shows at the
// size it opens with.
constexpr int kRowMarkRows = 3;

std::string g_out_folder;
std::unique_ptr<QuillsetProcess> g_process;

bool Fail(const char* what) {
  std::fprintf(stderr, "quillset_screenshot_tool: %s\n", what);
  return false;
}

// The pixels of `source` inside `area` as a 24-bit bottom-up BMP file.
bool SaveDcArea(const std::string& name, HDC source, const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return Fail("empty picture area");
  HDC memory_dc = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory_dc, bitmap);
  BitBlt(memory_dc, 0, 0, width, height, source, area.left, area.top, SRCCOPY);
  SelectObject(memory_dc, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<char> pixels(stride * height);
  GetDIBits(memory_dc, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory_dc);

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  const std::string path = g_out_folder + "\\" + name + ".bmp";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return Fail("cannot write a picture");
  bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info, sizeof info, 1, out) == 1 &&
            std::fwrite(pixels.data(), pixels.size(), 1, out) == 1;
  ok = std::fclose(out) == 0 && ok;
  if (ok) std::printf("%s\n", name.c_str());
  return ok;
}

// The whole screen's pixels inside `area`.
bool SaveScreenArea(const std::string& name, RECT area) {
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  IntersectRect(&area, &area, &screen);
  Sleep(400);  // let every window finish painting
  HDC screen_dc = GetDC(nullptr);
  const bool ok = SaveDcArea(name, screen_dc, area);
  ReleaseDC(nullptr, screen_dc);
  return ok;
}

// The exe's icon resource `resource` drawn at `size` pixels, as the shell
// loads it for the notification area (16) and a window (32), on the button
// face colour of the taskbar.
bool SaveIcon(const std::string& name, const char* resource, int size) {
  HMODULE exe = LoadLibraryExA(BuiltExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (exe == nullptr) return Fail("cannot open the exe's resources");
  HICON icon = static_cast<HICON>(LoadImageA(exe, resource, IMAGE_ICON, size, size, 0));
  bool ok = icon != nullptr || Fail("no such icon");
  if (ok) {
    HDC screen_dc = GetDC(nullptr);
    HDC memory_dc = CreateCompatibleDC(screen_dc);
    HBITMAP bitmap = CreateCompatibleBitmap(screen_dc, size, size);
    HGDIOBJ old = SelectObject(memory_dc, bitmap);
    RECT area = {0, 0, size, size};
    FillRect(memory_dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    DrawIconEx(memory_dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    ok = SaveDcArea(name, memory_dc, area);
    SelectObject(memory_dc, old);
    DeleteObject(bitmap);
    DeleteDC(memory_dc);
    ReleaseDC(nullptr, screen_dc);
    DestroyIcon(icon);
  }
  FreeLibrary(exe);
  return ok;
}

RECT WindowArea(HWND window) {
  RECT area = {};
  GetWindowRect(window, &area);
  return area;
}

bool WriteSampleFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const char content[] = "Quillset sample\r\n";
  WriteFile(file, content, sizeof content - 1, &written, nullptr);
  CloseHandle(file);
  return true;
}

bool MakeSamples() {
  for (const char* folder : {kSampleRoot, kBackupFolder, kStickFolder})
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return Fail("cannot make a sample folder");
  for (const Sample& sample : kSamples)
    if (sample.file_exists && !WriteSampleFile(sample.file))
      return Fail("cannot write a sample file");
  return true;
}

void RemoveSamples() {
  for (const Sample& sample : kSamples) {
    DeleteFileA(sample.file);
    const char* name = std::strrchr(sample.file, '\\') + 1;
    DeleteFileA((std::string(kBackupFolder) + "\\" + name).c_str());
    DeleteFileA((std::string(kStickFolder) + "\\" + name).c_str());
  }
  for (const char* folder : {kSampleRoot, kBackupFolder, kStickFolder}) RemoveDirectoryA(folder);
}

HWND FileNameField(HWND dialog) {
  for (HWND child : ChildWindows(dialog)) {
    const int id = GetDlgCtrlID(child);
    if (WindowClass(child) == "Edit" && (id == kFileNameEditId || id == kFileNameComboId))
      return child;
  }
  return nullptr;
}

void WaitUntilGone(HWND window) {
  WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, kDialogTimeout);
}

// "backupファイル選択": the path typed into the file-open dialog, the folder
// selected in the folder browser, as a user does.
bool AddEntry(HWND form, const Sample& sample) {
  PostMenuCommand(form, kBakup1Command);
  HWND open = g_process->WaitForDialog();
  if (open == nullptr) return Fail("no file-open dialog");
  HWND name_field = nullptr;
  WaitUntil([&] { return (name_field = FileNameField(open)) != nullptr; }, kDialogTimeout);
  if (name_field == nullptr || !SetEditText(name_field, sample.file))
    return Fail("no file name field in the file-open dialog");
  PressButton(open, IDOK);
  HWND browser = nullptr;
  WaitUntil(
      [&] {
        HWND box = g_process->FindTopLevelWindow("#32770", nullptr, true);
        if (box != nullptr && box != open) browser = box;
        return browser != nullptr;
      },
      kDialogTimeout);
  if (browser == nullptr) return Fail("no folder browser");
  LRESULT ignored = 0;
  if (!g_process->SendMessageWithText(browser, BFFM_SETSELECTIONA, TRUE, sample.folder, ignored))
    return Fail("cannot select the folder");
  PressButton(browser, IDOK);
  WaitUntilGone(browser);
  return true;
}

// Sent, so that the command has been carried out when this returns.
void Command(HWND form, unsigned command) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(form, WM_COMMAND, MAKEWPARAM(command, 0), 0, SMTO_ABORTIFHUNG,
                      kDialogTimeout, &ignored);
}

// Drags a title separator of the grid from `from_x` to `to_x` (client pixels),
// as a user widens or narrows a column.
void DragSeparator(HWND grid, int from_x, int to_x, int y) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from_x, y), SMTO_ABORTIFHUNG,
                      kDialogTimeout, &ignored);
  SendMessageTimeoutA(grid, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to_x, y), SMTO_ABORTIFHUNG,
                      kDialogTimeout, &ignored);
  SendMessageTimeoutA(grid, WM_LBUTTONUP, 0, MAKELPARAM(to_x, y), SMTO_ABORTIFHUNG,
                      kDialogTimeout, &ignored);
}

// The window at a size that shows a few rows, with the first two columns
// narrowed so that the result and time columns show too. The separators are
// found the way the grid places them: its font, its column width rule.
void ArrangeMainWindow(HWND form, HWND grid) {
  WindowFont font;
  // Wide enough first that the separators to drag lie inside the grid.
  SetWindowPos(form, nullptr, 0, kWindowTop, GetSystemMetrics(SM_CXSCREEN),
               font.Scale(kWindowHeight), SWP_NOZORDER);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font.Handle());
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  SIZE zero = {};
  GetTextExtentPoint32A(dc, "0", 1, &zero);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  // The first two columns are far wider than their titles: 100 characters.
  const int wide = ColumnWidthFor(100, zero.cx, metrics.tmOverhang, 0);
  GridLayout layout;
  layout.indicator_width = font.Scale(layout.indicator_width);
  const int y = font.Scale(layout.title_height) / 2;
  const int first_edge = layout.indicator_width + GridLayout::kLine + wide;
  const int file_edge = layout.indicator_width + GridLayout::kLine + font.Scale(kFileColumnWidth);
  DragSeparator(grid, first_edge, file_edge, y);
  DragSeparator(grid, file_edge + GridLayout::kLine + wide,
                file_edge + GridLayout::kLine + font.Scale(kFolderColumnWidth), y);
  SetWindowPos(form, nullptr, kWindowLeft, kWindowTop, font.Scale(kWindowWidth),
               font.Scale(kWindowHeight), SWP_NOZORDER);
  // The first row current, as after a click on it.
  for (int i = 0; i < 10; ++i) SendKey(grid, VK_UP);
  SendKey(grid, VK_HOME);
}

// The grid's left part: the title row and the first rows shown, with the
// row-mark column and the start of the first column, sized as the grid sizes
// them.
RECT RowMarkArea(HWND grid) {
  WindowFont font;
  GridLayout layout;
  layout.row_height = font.TextHeight() + 3;
  layout.title_height = font.TextHeight() + 3;
  layout.indicator_width = font.Scale(layout.indicator_width);
  POINT origin = {0, 0};
  ClientToScreen(grid, &origin);
  return RECT{origin.x, origin.y, origin.x + layout.DataLeft() + font.Scale(kFileColumnWidth),
              origin.y + layout.RowTop(kRowMarkRows)};
}

HWND VisibleWindowOfClass(const char* class_name) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowExA(nullptr, nullptr, class_name, nullptr);
        return found != nullptr && IsWindowVisible(found);
      },
      kDialogTimeout);
  return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

void MovePointer(int x, int y) {
  SetCursorPos(x, y);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((x * 65536LL + GetSystemMetrics(SM_CXSCREEN) / 2) /
                                  GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = static_cast<LONG>((y * 65536LL + GetSystemMetrics(SM_CYSCREEN) / 2) /
                                  GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
}

bool TakePictures() {
  for (int size : {16, 32}) {
    if (!SaveIcon("icon-normal-" + std::to_string(size), "MAINICON", size) ||
        !SaveIcon("icon-warning-" + std::to_string(size), "WARNICON", size))
      return false;
  }
  HWND form = g_process->WaitForMainWindow();
  if (form == nullptr) return Fail("no main window");
  HWND notice = g_process->WaitForDialog();
  if (notice == nullptr) return Fail("no first-start notice");
  // As the user sees it: the active window, its title bar lit.
  if (!BringToForeground(notice)) return Fail("the first-start notice is not active");
  // Wine makes the box active but may leave its title bar drawn as it was
  // before (its owner is hidden at the first start); Windows draws an active
  // box lit, so the picture asks for the frame of the state the box is in.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(notice, WM_NCACTIVATE, TRUE, 0, SMTO_ABORTIFHUNG, kDialogTimeout, &ignored);
  if (!SaveScreenArea("first-start", WindowArea(notice))) return false;
  PressButton(notice, IDOK);
  if (!WaitUntil([&] { return IsWindowVisible(form) != FALSE; }, kWindowTimeout))
    return Fail("the main window did not show");
  HWND grid = nullptr;
  if (!WaitUntil([&] { return (grid = GridOf(form)) != nullptr; }, kWindowTimeout))
    return Fail("no grid");

  for (const Sample& sample : kSamples)
    if (!AddEntry(form, sample)) return false;
  // The row marks, one picture each (scripts/screenshots sets them side by
  // side): "*" on the entry just added, not yet committed.
  BringToForeground(form);
  if (!SaveScreenArea("row-mark-new", RowMarkArea(grid))) return false;
  // The USB stick is unplugged before the run.
  RemoveDirectoryA(kStickFolder);

  PostMenuCommand(form, kTimerSetCommand);
  HWND prompt = g_process->WaitForDialog();
  if (prompt == nullptr) return Fail("no minutes prompt");
  if (!SaveScreenArea("minutes-prompt", WindowArea(prompt))) return false;
  HWND field = FindChild(prompt, "Edit");
  if (field == nullptr || !SetEditText(field, kMinutesAnswer)) return Fail("no minutes field");
  PressButton(prompt, IDOK);
  WaitUntilGone(prompt);

  Command(form, kCopy1Command);
  ArrangeMainWindow(form, grid);
  BringToForeground(form);
  // The triangle: the first row current, after a click on it.
  if (!SaveScreenArea("row-mark-current", RowMarkArea(grid))) return false;
  if (!SaveScreenArea("main-window", WindowArea(form))) return false;

  RECT grid_rect = {};
  GetClientRect(grid, &grid_rect);
  RightClickAt(grid, grid_rect.right / 3, grid_rect.bottom / 2);
  HWND menu = VisibleWindowOfClass("#32768");
  if (menu == nullptr) return Fail("the popup menu did not open");
  // The grid's hint pops up where the pointer rests over the grid and would
  // cover the menu: the pointer moves off the window and the menu (which
  // stays open), and any hint already up goes by itself after a few seconds.
  {
    RECT form_area = WindowArea(form), menu_area = WindowArea(menu);
    MovePointer(std::max(form_area.right, menu_area.right) + 20,
                std::max(form_area.bottom, menu_area.bottom) + 20);
  }
  // A hint the click set off shows after the tooltip's delay (the double-click
  // time); let it come, then wait until it has gone.
  Sleep(2 * GetDoubleClickTime());
  WaitUntil(
      [&] {
        for (HWND window : g_process->TopLevelWindows(true))
          if (WindowClass(window) == "tooltips_class32") return false;
        return true;
      },
      kDialogTimeout);
  RECT area = WindowArea(form), menu_area = WindowArea(menu);
  UnionRect(&area, &area, &menu_area);
  if (!SaveScreenArea("popup-menu", area)) return false;
  PressKeys({VK_ESCAPE});
  WaitUntilGone(menu);

  // The editing mark: "編集" on, the first cell's editor opened with F2 and
  // a blank typed at the end of its text (the row is in editing once its text
  // changes); then the row is left as it was and editing switched off again.
  Command(form, kEdit1Command);
  SendKey(grid, VK_F2);
  HWND editor = GridEditorOf(grid);
  if (editor == nullptr || !IsWindowVisible(editor)) return Fail("no cell editor");
  SendKey(editor, VK_END);
  SendText(editor, " ");
  if (!SaveScreenArea("row-mark-editing", RowMarkArea(grid))) return false;
  SendKey(grid, VK_ESCAPE);
  SendKey(grid, VK_ESCAPE);
  Command(form, kEdit1Command);

  // Every entry copies this time (the stick is back, the missing file is
  // there): the icon in the tray is the normal one.
  if (!CreateDirectoryA(kStickFolder, nullptr) || !WriteSampleFile(kSamples[3].file))
    return Fail("cannot put the samples back");
  Command(form, kCopy1Command);

  // "タスクトレーへ", then the pointer rests on the icon until its tip shows.
  Command(form, kN1Command);
  HWND taskbar = VisibleWindowOfClass("Shell_TrayWnd");
  if (taskbar == nullptr) return Fail("no taskbar");
  RECT bar = {};
  GetWindowRect(taskbar, &bar);
  const int icon_size = GetSystemMetrics(SM_CXSMICON) + 4;
  MovePointer(bar.right - icon_size / 2 - 1, (bar.top + bar.bottom) / 2);
  HWND tip = VisibleWindowOfClass("tooltips_class32");
  RECT tray = {bar.right - kTrayWidth, bar.top, bar.right, bar.bottom};
  if (tip != nullptr) {
    RECT tip_area = WindowArea(tip);
    UnionRect(&tray, &tray, &tip_area);
  }
  if (!SaveScreenArea("tray-icon", tray)) return false;
  MovePointer(bar.right / 2, bar.top / 2);

  // The stick unplugged again, and the timer's run: the warning icon and the
  // balloon.
  const char* stick_copy = "C:\\USBメモリ\\住所録.csv";
  if (!DeleteFileA(stick_copy) || !RemoveDirectoryA(kStickFolder))
    return Fail("cannot unplug the stick");
  HWND timer = g_process->FindTopLevelWindow(kTimerWindowClass);
  if (timer == nullptr) return Fail("no timer window");
  PostTimerTick(timer);
  HWND balloon = nullptr;
  WaitUntil(
      [&] {
        for (HWND tip = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr);
             tip != nullptr; tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) {
          DWORD owner = 0;
          GetWindowThreadProcessId(tip, &owner);
          if (owner != g_process->Id() && IsWindowVisible(tip)) balloon = tip;
        }
        return balloon != nullptr;
      },
      kDialogTimeout);
  if (balloon == nullptr) return Fail("no balloon after the timer's run");
  RECT balloon_area = WindowArea(balloon);
  RECT with_balloon = {bar.right - kTrayWidth, bar.top, bar.right, bar.bottom};
  UnionRect(&with_balloon, &with_balloon, &balloon_area);
  if (!SaveScreenArea("tray-balloon", with_balloon)) return false;

  PostTrayCallback(form, WM_LBUTTONDOWN);
  WaitUntil([&] { return IsWindowVisible(form) != FALSE; }, kWindowTimeout);
  return true;
}

}  // namespace
}  // namespace e2e
}  // namespace quillset

int main(int argc, char** argv) {
  using namespace quillset::e2e;
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillset_screenshot_tool <folder>\n");
    return 2;
  }
  g_out_folder = argv[1];
  if (AnyRunningQuillset() != nullptr) {
    std::fprintf(stderr, "quillset_screenshot_tool: a Quillset already runs\n");
    return 1;
  }
  TestFolder folder;
  if (!folder.Ok() || !MakeSamples()) return 1;
  g_process = QuillsetProcess::Start(folder.ExePath());
  bool ok = g_process != nullptr && TakePictures();
  if (g_process) {
    DWORD exit_code = 0;
    if (!g_process->CloseProgram(exit_code)) g_process->Terminate();
    g_process.reset();
  }
  RemoveSamples();
  return ok ? 0 : 1;
}
