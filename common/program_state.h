// Program-wide state of the one GUI thread, read on every floor. Each value
// is set by one owner: the instance by the process entry, the main window and
// the busy flag by the main window, the layered-window call by the functions
// below, which the main window calls at its creation and its end.
#pragma once

#include <windows.h>

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

extern HINSTANCE g_instance;
extern HWND g_mainWindow;
// Set while the settings or About dialog runs its modal loop: the tray actions
// and the dialog commands wait, hotkeys do not.
extern int g_busy;
// Null where the system has no layered windows.
extern SetLayeredWindowAttributesFn g_setLayeredWindowAttributes;

// Binds g_setLayeredWindowAttributes, holding its library until released.
void BindLayeredWindowAttributes();
void ReleaseLayeredWindowAttributes();
