// The process-wide start-up settings, in a test process of their own (they
// change the whole process).
#include "base/win32_process_start.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace quillset {
namespace {

UINT CurrentErrorMode() {
  const UINT mode = SetErrorMode(0);
  SetErrorMode(mode);
  return mode;
}

TEST(ProcessStartTest, SystemErrorBoxesAreOffAndInheritedBitsKept) {
  SetErrorMode(SEM_NOGPFAULTERRORBOX);  // as a starter may hand it down
  TurnOffSystemErrorBoxes();
  const UINT mode = CurrentErrorMode();
  EXPECT_TRUE(mode & SEM_FAILCRITICALERRORS);
  EXPECT_TRUE(mode & SEM_NOOPENFILEERRORBOX);
  EXPECT_TRUE(mode & SEM_NOGPFAULTERRORBOX);
}

TEST(ProcessStartTest, DllsBesideTheProgramAreNoLongerFoundByName) {
  // quillset_dll_probe.dll is built into this program's folder.
  HMODULE probe = LoadLibraryA("quillset_dll_probe.dll");
  ASSERT_NE(probe, nullptr) << "found beside the program before the restriction";
  FreeLibrary(probe);

  ASSERT_TRUE(RestrictDllSearchToSystemFolder());

  probe = LoadLibraryA("quillset_dll_probe.dll");
  EXPECT_EQ(probe, nullptr);
  if (probe != nullptr) FreeLibrary(probe);
  // What the dialogs and the shell load by name later still comes.
  for (const char* name : {"comdlg32.dll", "shell32.dll", "ole32.dll", "comctl32.dll"}) {
    HMODULE module = LoadLibraryA(name);
    EXPECT_NE(module, nullptr) << name;
    if (module != nullptr) FreeLibrary(module);
  }
}

}  // namespace
}  // namespace quillset
