#include "config/settings_dialog.h"

#include "app/app_state.h"
#include "resources/resource.h"

// Only the close box works so far; Enter and Esc do nothing, as they never will.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_COMMAND:
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR RunSettingsDialog() {
    INT_PTR result =
        DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, SettingsDialogProc, 0);
    SetProcessWorkingSetSize(GetCurrentProcess(), SIZE_T(-1), SIZE_T(-1));
    return result;
}
