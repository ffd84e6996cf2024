// Process entry: one instance per logon session. A later start forwards its
// command to the running one and ends.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/command_line.h"
#include "app/main_window.h"
#include "common/dark_parts.h"
#include "common/dyn_calls.h"
#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/ui_libraries.h"
#include "common/unique_handles.h"
#include "libs/pirnel/pirnel.h"
#include "model/command_search.h"
#include "model/store.h"
#include "windows/launcher_window.h"

namespace {

void ForwardToRunningInstance() {
    HWND running = FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (!running) {
        // Still starting, or on its way out: nothing to talk to.
        return;
    }
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    UINT command = CommandFromWords(argv ? argc : 0, argv);
    LocalFree(argv);
    PostMessageW(running, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

// Later loads by name look in the system folder and in folders added with
// AddDllDirectory, never beside Tessaly.exe: our own two DLLs, the only ones
// that belong there, are bound by the loader before this runs, so the
// program's folder (part of the usual default set) is left out. Shell
// extensions that our dialogs and menus load come by full path and still find
// their own imports beside them. Windows 7 has the call only with an update.
void RestrictDllSearch() {
    auto setDefaultDllDirectories = BindDynCalls(SystemLibrary::Kernel32).setDefaultDllDirectories;
    if (setDefaultDllDirectories) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    RestrictDllSearch();
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
    // Once, before anything is shown; the key library's dialogs follow.
    tessaly::SetUiLanguage(tessaly::ChooseUiLanguage(StoredLanguage()));
    PirnelSetLanguage(tessaly::UiLanguage());
    tessaly::g_darkPartsSwitch = [] { return StoredSetting(L"DarkSystemParts", 1); };
    if (!RegisterMainWindowClass(instance) || !CreateMainWindow(instance)) {
        return 0;
    }
    // COM and OLE, if the program came to start them, end once the message
    // loop has, when no shell dialog can still be running on this thread.
    tessaly::unique_call<tessaly::EndShellUse> shellEnd;
    ScheduleLauncherPreparation();
    // The main window quits with 0: the program always ends with exit code 0.
    return RunMessageLoop();
}
