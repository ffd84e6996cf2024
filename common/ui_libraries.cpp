#include "common/ui_libraries.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "common/dyn_calls.h"

namespace tessaly {

namespace {

// Each is tried once; what did not start is not ended.
bool g_shellTried = false;
bool g_oleStarted = false;
bool g_controlsLoaded = false;
bool g_shellKept = false;

}  // namespace

void PrepareShellUse(bool keep) {
    g_shellKept = g_shellKept || keep;
    if (g_shellTried) {
        return;
    }
    g_shellTried = true;
    // OLE starts COM on this thread itself, and ends it with its own end.
    g_oleStarted = SUCCEEDED(BindDynCalls(SystemLibrary::Ole32).oleInitialize(nullptr));
}

void PrepareListsAndDialogs() {
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
        g_dynCalls.oleUninitialize();
    }
    g_shellTried = g_oleStarted = g_shellKept = false;
}

bool ShellOrListsStarted() { return (g_shellTried && !g_shellKept) || g_controlsLoaded; }

void EndListsAndDialogs() {
    if (!g_shellKept) {
        EndShellUse();
        UnbindDynCalls(SystemLibrary::Ole32);
        UnbindDynCalls(SystemLibrary::Oleaut32);
    }
    UnbindDynCalls(SystemLibrary::Comctl32);
    g_controlsLoaded = false;
}

}  // namespace tessaly
