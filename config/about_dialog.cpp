#include "config/about_dialog.h"

#include "common/look.h"
#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/unique_handles.h"
#include "resources/resource.h"

namespace {

constexpr int kAboutIconSize = 48;

void AboutOnInitDialog(HWND dialog) {
    // The resource reserves less room than the icon is shown at.
    HWND iconControl = GetDlgItem(dialog, IDC_ABOUT_ICON);
    const int size = tessaly::ScaleTo(kAboutIconSize, tessaly::WindowDpi(dialog));
    SetWindowPos(iconControl, nullptr, 0, 0, size, size,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto icon = static_cast<HICON>(LoadImageW(g_instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                              size, size, LR_DEFAULTCOLOR));
    SendMessageW(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        AboutOnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        tessaly::ShowControlIcon(GetDlgItem(dialog, IDC_ABOUT_ICON), nullptr);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR RunAboutDialog() {
    return tessaly::UiDialogBox(g_instance, IDD_ABOUT, nullptr, AboutDialogProc, 0);
}
