// The parts Windows draws for us (menus, scroll bars) in its dark style.
// Windows 10 1903 (build 18362) and later do that only for a program that
// asks through uxtheme functions exported by ordinal alone and documented
// nowhere: they live here and nowhere else, are bound only on builds known to
// have them, and the value "DarkSystemParts" 0 among the program's settings
// switches them off, should a later Windows change them.
#pragma once

#include <windows.h>

namespace tessaly {

// The menus of this process (the tray menu, the shell's item menu) dark or
// the system's from now on. Nothing where the functions are not to be used.
void DarkMenus(bool dark);
// A control's scroll bars and the other parts the system draws, dark.
void DarkControl(HWND control);
// Reads the user's switch for them, once, at the first dark look: the store
// (the registry or a portable copy's file) is the program's to name. Unset,
// they are used.
extern DWORD (*g_darkPartsSwitch)();

}  // namespace tessaly
