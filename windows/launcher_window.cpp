#include "windows/launcher_window.h"

// The launcher's list is not built yet: it opens nothing for now.
LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

void ShowLauncherWindow(POINT) {}
