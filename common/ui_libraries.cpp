#include "common/ui_libraries.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "common/dyn_calls.h"

namespace tessaly {

namespace {

// Each is tried once; what did not start is not ended.
bool g_shellTried = false;
bool g_comStarted = false;
bool g_oleStarted = false;
bool g_controlsLoaded = false;

}  // namespace

void PrepareShellUse() {
    if (g_shellTried) {
        return;
    }
    g_shellTried = true;
    g_comStarted = SUCCEEDED(CoInitialize(nullptr));
    g_oleStarted = SUCCEEDED(OleInitialize(nullptr));
}

void PrepareListsAndDialogs() {
    PrepareShellUse();
    if (g_controlsLoaded) {
        return;
    }
    g_controlsLoaded = true;
    if (auto initCommonControlsEx = BindDynCalls(SystemLibrary::Comctl32).initCommonControlsEx) {
        const INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        initCommonControlsEx(&classes);
    }
}

void EndShellUse() {
    if (g_oleStarted) {
        OleUninitialize();
    }
    if (g_comStarted) {
        CoUninitialize();
    }
    g_shellTried = g_comStarted = g_oleStarted = false;
}

}  // namespace tessaly
