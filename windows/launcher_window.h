// The launcher: a small icon list of the launcher tasks at the cursor.
#pragma once

#include <windows.h>

LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Opens the launcher centred on a point in screen coordinates.
void ShowLauncherWindow(POINT point);
