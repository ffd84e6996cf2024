#include "windows/name_window.h"

#include "app/main_window.h"

LRESULT CALLBACK NameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool IsNameWindow(HWND window) {
    wchar_t className[64];
    return IsWindow(window) && GetClassNameW(window, className, 64) &&
           lstrcmpW(className, kNameWindowClass) == 0;
}
