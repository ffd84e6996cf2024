// Program-wide state of the one GUI thread, read on every floor. Each value
// is set by one owner: the instance by the process entry, the main window and
// the busy flag by the main window.
#pragma once

#include <windows.h>

extern HINSTANCE g_instance;
extern HWND g_mainWindow;
// Set while the settings or About dialog runs its modal loop: the tray actions
// and the dialog commands wait, hotkeys do not.
extern int g_busy;
