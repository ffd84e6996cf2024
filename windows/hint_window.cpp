#include "windows/hint_window.h"

#include <utility>

#include "common/look.h"
#include "common/program_state.h"
#include "common/unique_handles.h"
#include "model/display_settings.h"
#include "windows/name_accessible.h"
#include "windows/name_window.h"

const wchar_t kHintWindowClass[] = L"Tessaly_HintWindowClass";

namespace {

// Around the text and between its columns, at 96 DPI.
constexpr int kPadding = 8;
// The hint's text in points: the names' face, at a size a list reads at.
constexpr int kHintPoints = 14;

HWND g_hint = nullptr;
tessaly::unique_hfont g_hintFont;

struct HintText {
    wchar_t text[kHintTextLength];
    int length;
    explicit HintText(HWND window) : length(GetWindowTextW(window, text, kHintTextLength)) {}
};

// The names stand in a column a tab stop past the longest key name, whose
// length in characters the window keeps.
RECT LayOut(HWND window, HDC dc, UINT draw) {
    const int padding = tessaly::ScaleTo(kPadding, NameDpi());
    HintText hint(window);
    DRAWTEXTPARAMS tabs = {sizeof(tabs), static_cast<int>(GetWindowLongPtrW(window, GWLP_USERDATA))};
    RECT area = {padding, padding, padding, padding};
    DrawTextExW(dc, hint.text, hint.length, &area, DT_EXPANDTABS | DT_TABSTOP | DT_NOPREFIX | DT_NOCLIP | draw, &tabs);
    return area;
}

void HintOnPaint(HWND window) {
    PAINTSTRUCT paint;
    tessaly::unique_hdc_paint painting = tessaly::PaintDC(window, paint);
    HDC dc = paint.hdc;
    const tessaly::Palette colours = tessaly::LauncherPalette();
    RECT area;
    GetClientRect(window, &area);
    SetDCBrushColor(dc, colours.background);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    tessaly::unique_select_object font = tessaly::SelectInto(dc, g_hintFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    LayOut(window, dc, 0);
}

}  // namespace

LRESULT CALLBACK HintWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        HintOnPaint(window);
        return 0;
    case WM_GETOBJECT:
        // An alert named by its text, as the name window is.
        if (LRESULT answer = AnswerNameWindowObject(window, wParam, lParam)) {
            return answer;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void ShowHintWindow(const wchar_t* text, int keyLength) {
    HideHintWindow();
    const UINT dpi = NameDpi();
    LOGFONTW face = g_displaySettings.Font;
    face.lfHeight = -MulDiv(kHintPoints, static_cast<int>(dpi), 72);
    face.lfWidth = 0;
    g_hintFont.reset(CreateFontIndirectW(&face));
    g_hint = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kHintWindowClass, text,
                             WS_POPUP | WS_BORDER,
                             0, 0, 0, 0, nullptr, nullptr, g_instance, nullptr);
    if (!g_hint) {
        return;
    }
    // Two characters past the longest key.
    SetWindowLongPtrW(g_hint, GWLP_USERDATA, keyLength + 2);
    SIZE extent;
    {
        tessaly::unique_hdc_window dc = tessaly::WindowDC(g_hint);
        tessaly::unique_select_object font = tessaly::SelectInto(dc.get(), g_hintFont.get());
        const RECT area = LayOut(g_hint, dc.get(), DT_CALCRECT);
        // The border's line on each side.
        extent = {area.right + area.left + 2, area.bottom + area.top + 2};
    }
    const SIZE screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    POINT corner = {};
    // Where names are not shown the hint is still needed: in the middle.
    const int location = g_displaySettings.Location;
    PlaceNameWindow(location == Hidden ? Center : location, extent, screen, NameWindowMargin(static_cast<int>(dpi)),
                    corner);
    SetWindowPos(g_hint, HWND_TOPMOST, corner.x, corner.y, extent.cx, extent.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    AnnounceNameWindow(g_hint);
}

void HideHintWindow() {
    if (g_hint) {
        DestroyWindow(std::exchange(g_hint, nullptr));
    }
    g_hintFont.reset();
}

HWND HintWindow() { return g_hint; }
