// Process-wide settings made first thing when the program starts, before any
// window, dialog or DLL beyond kernel32 is touched. Windows build only.
#pragma once

namespace quillset {

// DLLs loaded by name from now on (by the dialogs, COM, the shell) come from
// the system folder only, never from the program's own folder or the current
// one, where a download may have put a DLL of the same name. Looks
// SetDefaultDllDirectories up at run time (it may be missing on old
// systems); false when the system does not offer it or refused.
bool RestrictDllSearchToSystemFolder();

// Windows shows no "no disk" or "cannot open" box of its own for this process:
// a backup run that touches a card reader without a medium or a vanished
// network drive gets an error back instead of a box that blocks it. The bits
// already set (inherited from the starter) are kept.
void TurnOffSystemErrorBoxes();

}  // namespace quillset
