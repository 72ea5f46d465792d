// The program's entry point: the single-instance guard, COM, the application
// window, the main window with its handlers, and the message loop.
#include "base/retrying_os_services.h"
#include "base/win32_os_services.h"

#include <windows.h>

#include <exception>
#include <string>

#include "base/win32_process_start.h"
#include "base/win32_text.h"
#include "datafile/table_packet.h"
#include "ui/main_form.h"
#include "ui/store_grid_source.h"
#include "ui/win32/application_window.h"
#include "ui/win32/main_form_window.h"
#include "ui/win32/message_boxes.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/win32_shell_services.h"
#include "ui/win32/window_font.h"

namespace {

constexpr char kApplicationTitle[] = "ファイルバックアップツール";
constexpr char kInstanceGuardName[] = "EX_QuillsetName";

int RunProgram(quillset::OsServices& os, quillset::Win32ShellServices& shell,
               int show_command) {
  using namespace quillset;
  ApplicationWindow application(kApplicationTitle);
  MessageBoxes boxes(os, application.Title(), application.Handle());
  WindowFont font;
  MainFormWindow form1(application, boxes, font);
  BinaryPacketCodec codec;
  TForm1 handlers(os, form1, shell, codec);
  StoreGridSource data_source1(handlers.ClientDataSet1());
  form1.Create(handlers, data_source1);
  form1.Start(show_command);
  RunMessageLoop();
  // The window goes first, while the handlers and rows it calls still live.
  form1.Destroy();
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show_command) {
  // Before anything loads a DLL or touches a drive.
  quillset::RestrictDllSearchToSystemFolder();
  quillset::TurnOffSystemErrorBoxes();
  quillset::Win32OsServices system_os;
  // Files other programs hold for a moment are waited for, everywhere.
  quillset::RetryingOsServices os(system_os);
  quillset::Win32ShellServices shell;
  // A second copy ends at once, showing nothing.
  if (!shell.TakeSingleInstanceGuard(kInstanceGuardName)) return 0;
  shell.InitializeCom();
  try {
    RunProgram(os, shell, show_command);
    // A copy step abandoned after a stop may still return and use the OS
    // services below: the process ends before they go.
    if (shell.AbandonedWork()) ExitProcess(0);
  } catch (const std::exception& e) {
    // Only the windows' own creation can fail out here; there is no window
    // left to report it in, so the box has no owner.
    MessageBoxW(nullptr,
                quillset::ShiftJisToUtf16ForDisplay(quillset::FailureBoxText(e.what(), os)).c_str(),
                quillset::ShiftJisToUtf16ForDisplay(kApplicationTitle).c_str(),
                MB_ICONERROR | MB_OK);
  }
  shell.UninitializeCom();
  return 0;
}
