// Program-wide state of the one GUI thread, owned by the main window.
#pragma once

#include <windows.h>
#include <commctrl.h>

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

extern HINSTANCE g_instance;
extern HWND g_mainWindow;
// Set while the settings or About dialog runs its modal loop: the tray actions
// and the dialog commands wait, hotkeys do not.
extern int g_busy;
extern HMODULE g_user32;
// Null where the system has no layered windows.
extern SetLayeredWindowAttributesFn g_setLayeredWindowAttributes;
extern HIMAGELIST g_taskImageList;
extern const UINT g_taskbarCreatedMessage;
