#include "windows/name_window.h"

#include "app/app_state.h"
#include "app/main_window.h"
#include "model/display_settings.h"

namespace {

// The window text as measured and drawn: at most 259 units.
struct NameText {
    wchar_t text[MAX_PATH];
    int length;
    explicit NameText(HWND window) : length(GetWindowTextW(window, text, MAX_PATH)) {}
};

int FadeStep(HWND window) { return static_cast<int>(GetWindowLongPtrW(window, GWLP_USERDATA)); }
void SetFadeStep(HWND window, int step) { SetWindowLongPtrW(window, GWLP_USERDATA, step); }

void SetAlpha(HWND window, int alpha) {
    g_setLayeredWindowAttributes(window, kNameWindowKey, static_cast<BYTE>(alpha & 0xFF),
                                 LWA_COLORKEY | LWA_ALPHA);
}

bool CanFade() { return g_displaySettings.Fade && g_setLayeredWindowAttributes; }

SIZE MeasureText(HWND window) {
    SIZE extent = {};
    NameText name(window);
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, g_fontHandle);
    GetTextExtentPoint32W(dc, name.text, name.length, &extent);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return extent;
}

void NameOnCreate(HWND window) {
    if (g_setLayeredWindowAttributes) {
        SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
        if (g_displaySettings.Fade) {
            SetAlpha(window, 0);
            SetFadeStep(window, 0);
            SetTimer(window, kFadeInTimer, kFadeTickMs, nullptr);
        } else {
            SetAlpha(window, g_displaySettings.Alpha);
            SetFadeStep(window, kFadeSteps);
        }
    }
    SIZE extent = MeasureText(window);
    SIZE screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    POINT corner;
    if (PlaceNameWindow(g_displaySettings.Location, extent, screen, corner)) {
        SetWindowPos(window, nullptr, corner.x, corner.y, extent.cx, extent.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void NameOnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HGDIOBJ previousFont = SelectObject(dc, g_fontHandle);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    COLORREF previousColor = SetTextColor(dc, g_displaySettings.FontColor);
    NameText name(window);
    TextOutW(dc, 0, 0, name.text, name.length);
    SetTextColor(dc, previousColor);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousFont);
    EndPaint(window, &paint);
}

void NameOnTimer(HWND window, UINT_PTR timer) {
    int delta = timer == kFadeInTimer ? 1 : timer == kFadeOutTimer ? -1 : 0;
    int step = FadeStep(window) + delta;
    if (g_setLayeredWindowAttributes) {
        SetAlpha(window, g_displaySettings.Alpha * step / kFadeSteps);
    }
    SetFadeStep(window, step);
    if (step >= kFadeSteps) {
        KillTimer(window, kFadeInTimer);
    } else if (step <= 0) {
        KillTimer(window, kFadeOutTimer);
        DestroyWindow(window);
    }
}

void NameOnClose(HWND window) {
    if (CanFade()) {
        // Reverses a fade-in where it stands, so the alpha never jumps.
        KillTimer(window, kFadeInTimer);
        SetTimer(window, kFadeOutTimer, kFadeTickMs, nullptr);
    } else {
        DestroyWindow(window);
    }
}

}  // namespace

bool PlaceNameWindow(int location, SIZE extent, SIZE screen, POINT& corner) {
    const int right = screen.cx - extent.cx - kScreenMargin;
    const int bottom = screen.cy - extent.cy - kScreenMargin;
    const int centreX = (screen.cx - extent.cx) / 2;
    switch (location) {
    case TopLeft: corner = {kScreenMargin, kScreenMargin}; return true;
    case TopRight: corner = {right, kScreenMargin}; return true;
    case BottomLeft: corner = {kScreenMargin, bottom}; return true;
    case BottomRight: corner = {right, bottom}; return true;
    case TopCenter: corner = {centreX, kScreenMargin}; return true;
    case BottomCenter: corner = {centreX, bottom}; return true;
    case Center: corner = {centreX, (screen.cy - extent.cy) / 2}; return true;
    default: return false;
    }
}

LRESULT CALLBACK NameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        NameOnCreate(window);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT:
        NameOnPaint(window);
        return 0;
    case WM_CLOSE:
        NameOnClose(window);
        return 0;
    case WM_TIMER:
        NameOnTimer(window, wParam);
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
