#include "base/win32_process_start.h"

#include <windows.h>

namespace quillset {
namespace {

// Declared by newer headers only; the value is fixed.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
#endif

}  // namespace

bool RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return false;
  auto set_default_dll_directories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (set_default_dll_directories == nullptr) return false;
  return set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

void TurnOffSystemErrorBoxes() {
  // SetErrorMode answers with the mode it replaced; set it once more with
  // those bits kept.
  const UINT inherited = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetErrorMode(inherited | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace quillset
