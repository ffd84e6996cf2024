#include "windows/name_window.h"

#include "common/dyn_calls.h"
#include "common/program_state.h"
#include "common/unique_handles.h"
#include "model/display_settings.h"
#include "model/task.h"
#include "windows/name_accessible.h"

const wchar_t kNameWindowClass[] = L"Tessaly_NameWindowClass";

namespace {

// The window text as measured and drawn: at most 259 units.
struct NameText {
    wchar_t text[MAX_PATH];
    int length;
    explicit NameText(HWND window) : length(GetWindowTextW(window, text, MAX_PATH)) {}
};

// The window of the name whose time ended last, hidden and kept for the
// next name: making a top-most layered window is most of what showing a
// name costs, and the run of the task waits on it.
HWND g_spare = nullptr;

int FadeStep(HWND window) { return static_cast<int>(GetWindowLongPtrW(window, GWLP_USERDATA)); }
void SetFadeStep(HWND window, int step) { SetWindowLongPtrW(window, GWLP_USERDATA, step); }

void SetAlpha(HWND window, int alpha) {
    g_dynCalls.setLayeredWindowAttributes(window, kNameWindowKey, static_cast<BYTE>(alpha & 0xFF),
                                 LWA_COLORKEY | LWA_ALPHA);
}

bool CanFade() { return g_displaySettings.Fade && g_dynCalls.setLayeredWindowAttributes; }

SIZE MeasureText(HWND window) {
    SIZE extent = {};
    NameText name(window);
    tessaly::unique_hdc_window dc = tessaly::WindowDC(window);
    tessaly::unique_select_object font = tessaly::SelectInto(dc.get(), g_fontHandle.get());
    GetTextExtentPoint32W(dc.get(), name.text, name.length, &extent);
    return extent;
}

// At creation, and again for a kept window given a new name.
void BeginShowing(HWND window) {
    if (g_dynCalls.setLayeredWindowAttributes) {
        // Made layered already, it is not told of a style change, which
        // makes its surface again.
        const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
        if (!(style & WS_EX_LAYERED)) {
            SetWindowLongPtrW(window, GWL_EXSTYLE, style | WS_EX_LAYERED);
        }
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
    int margin = NameWindowMargin(static_cast<int>(NameDpi()));
    if (PlaceNameWindow(g_displaySettings.Location, extent, screen, margin, corner)) {
        SetWindowPos(window, nullptr, corner.x, corner.y, extent.cx, extent.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        // Not shown at all: a kept window has the last name's size.
        SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The end of a name's display: the window is kept hidden for the next name
// unless one is kept already.
void Retire(HWND window) {
    KillTimer(window, kFadeInTimer);
    KillTimer(window, kFadeOutTimer);
    // Closed by someone else before its time, it is still a task's.
    while (Task* task = g_taskList.FindByNameWindow(window)) {
        task->NameWindow = nullptr;
    }
    KillTimer(g_mainWindow, reinterpret_cast<UINT_PTR>(window));
    if (g_spare && g_spare != window) {
        DestroyWindow(window);
        return;
    }
    ShowWindow(window, SW_HIDE);
    SetWindowTextW(window, L"");
    g_spare = window;
}

void NameOnPaint(HWND window) {
    PAINTSTRUCT paint;
    tessaly::unique_hdc_paint painting = tessaly::PaintDC(window, paint);
    HDC dc = paint.hdc;
    tessaly::unique_select_object font = tessaly::SelectInto(dc, g_fontHandle.get());
    int previousMode = SetBkMode(dc, TRANSPARENT);
    COLORREF previousColor = SetTextColor(dc, g_displaySettings.FontColor);
    NameText name(window);
    TextOutW(dc, 0, 0, name.text, name.length);
    SetTextColor(dc, previousColor);
    SetBkMode(dc, previousMode);
}

void NameOnTimer(HWND window, UINT_PTR timer) {
    // Any other id comes from someone else; stepping on it would even destroy
    // a window that has just begun to fade in.
    if (timer != kFadeInTimer && timer != kFadeOutTimer) {
        return;
    }
    int delta = timer == kFadeInTimer ? 1 : -1;
    int step = FadeStep(window) + delta;
    if (g_dynCalls.setLayeredWindowAttributes) {
        SetAlpha(window, g_displaySettings.Alpha * step / kFadeSteps);
    }
    SetFadeStep(window, step);
    if (step >= kFadeSteps) {
        KillTimer(window, kFadeInTimer);
    } else if (step <= 0) {
        Retire(window);
    }
}

void NameOnClose(HWND window) {
    if (CanFade()) {
        // Reverses a fade-in where it stands, so the alpha never jumps.
        KillTimer(window, kFadeInTimer);
        SetTimer(window, kFadeOutTimer, kFadeTickMs, nullptr);
    } else {
        Retire(window);
    }
}

}  // namespace

int NameWindowMargin(int dpi) { return MulDiv(kScreenMargin, dpi, 96); }

bool PlaceNameWindow(int location, SIZE extent, SIZE screen, int margin, POINT& corner) {
    const int right = screen.cx - extent.cx - margin;
    const int bottom = screen.cy - extent.cy - margin;
    const int centreX = (screen.cx - extent.cx) / 2;
    switch (location) {
    case TopLeft: corner = {margin, margin}; return true;
    case TopRight: corner = {right, margin}; return true;
    case BottomLeft: corner = {margin, bottom}; return true;
    case BottomRight: corner = {right, bottom}; return true;
    case TopCenter: corner = {centreX, margin}; return true;
    case BottomCenter: corner = {centreX, bottom}; return true;
    case Center: corner = {centreX, (screen.cy - extent.cy) / 2}; return true;
    default: return false;
    }
}

LRESULT CALLBACK NameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        BeginShowing(window);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
        if (window == g_spare) {
            g_spare = nullptr;
        }
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
    case WM_GETOBJECT:
        if (LRESULT answer = AnswerNameWindowObject(window, wParam, lParam)) {
            return answer;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND OpenNameWindow(const wchar_t* name) {
    HWND spare = g_spare;
    g_spare = nullptr;
    if (spare && IsWindow(spare)) {
        SetWindowTextW(spare, name);
        BeginShowing(spare);
        return spare;
    }
    // Made layered from the start where it can be: a window that turns
    // layered once made has its surface made again.
    const DWORD layered = g_dynCalls.setLayeredWindowAttributes ? WS_EX_LAYERED : 0;
    return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | layered, kNameWindowClass, name, WS_POPUP, 0, 0, 0,
                           0, nullptr, nullptr, g_instance, nullptr);
}

void DestroySpareNameWindow() {
    if (g_spare) {
        DestroyWindow(g_spare);
    }
}

void AnnounceNameWindow(HWND window) {
    NotifyWinEvent(EVENT_SYSTEM_ALERT, window, OBJID_CLIENT, CHILDID_SELF);
}

bool IsNameWindow(HWND window) {
    // Another program may register a class of the same name.
    DWORD process = 0;
    wchar_t className[64];
    return window && IsWindow(window) && GetWindowThreadProcessId(window, &process) &&
           process == GetCurrentProcessId() && GetClassNameW(window, className, 64) &&
           lstrcmpW(className, kNameWindowClass) == 0;
}
