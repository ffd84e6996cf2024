// Process entry: one instance per logon session. A later start forwards its
// command to the running one and ends.
#include <windows.h>

#include <cstdlib>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/run_task.h"

namespace {

void ForwardToRunningInstance() {
    HWND running = FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (!running) {
        // Still starting, or on its way out: nothing to talk to.
        return;
    }
    UINT command = CommandFromWords(__argc, __wargv);
    PostMessageW(running, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

int RunMessageLoop() {
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    g_instance = instance;
    PrepareCommandSearch();
    // Held until the process ends; the system closes it then.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Tessaly");
    if (!mutex) {
        return 0;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ForwardToRunningInstance();
        return 0;
    }
    if (!RegisterMainWindowClass(instance) || !CreateMainWindow(instance)) {
        return 0;
    }
    // The main window quits with 0: the program always ends with exit code 0.
    return RunMessageLoop();
}
