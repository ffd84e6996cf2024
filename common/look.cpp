#include "common/look.h"

#include <utility>

#include "common/dyn_calls.h"

namespace tessaly {

namespace {

bool SystemHighContrast() {
    HIGHCONTRASTW contrast = {sizeof(contrast)};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

UINT SystemMonitorDpi(HMONITOR monitor) {
    UINT x = 0, y = 0;
    auto getDpiForMonitor = BindDynCalls(SystemLibrary::Shcore).getDpiForMonitor;
    // MDT_EFFECTIVE_DPI: the scale the user chose for the monitor.
    if (getDpiForMonitor && monitor && SUCCEEDED(getDpiForMonitor(monitor, 0, &x, &y)) && y > 0) {
        return y;
    }
    return SystemDpi();
}

// Until the first read: today's look, light.
Look g_look = {};

// A missing value (Windows before 1903 for the taskbar, before 1809 for
// the apps, Wine) reads as light, as those systems drew them.
bool PersonalizedDark(const wchar_t* name) {
    DWORD light = 1, size = sizeof(light);
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", name,
                 RRF_RT_REG_DWORD, nullptr, &light, &size);
    return light == 0;
}

bool IsDark(COLORREF colour) {
    return (GetRValue(colour) * 30 + GetGValue(colour) * 59 + GetBValue(colour) * 11) / 100 < 128;
}

}  // namespace

LookSource g_lookSource = {SystemHighContrast, SystemMonitorDpi};

UINT SystemDpi() {
    static const UINT dpi = [] {
        unique_hdc_window screen = WindowDC(nullptr);
        int value = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
        return value > 0 ? static_cast<UINT>(value) : kBaseDpi;
    }();
    return dpi;
}

UINT WindowDpi(HWND window) {
    auto getDpiForWindow = BindDynCalls(SystemLibrary::User32).getDpiForWindow;
    UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi ? dpi : g_lookSource.monitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY));
}

UINT DpiAt(POINT point) { return g_lookSource.monitorDpi(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST)); }

int MetricFor(int index, UINT dpi) {
    if (auto forDpi = BindDynCalls(SystemLibrary::User32).getSystemMetricsForDpi) {
        return forDpi(index, dpi);
    }
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

unique_hfont RescaledFont(HFONT font, UINT fromDpi, UINT toDpi) {
    LOGFONTW face = {};
    if (fromDpi == toDpi || !font || !GetObjectW(font, sizeof(face), &face)) {
        return unique_hfont();
    }
    face.lfHeight = MulDiv(face.lfHeight, static_cast<int>(toDpi), static_cast<int>(fromDpi));
    face.lfWidth = MulDiv(face.lfWidth, static_cast<int>(toDpi), static_cast<int>(fromDpi));
    return unique_hfont(CreateFontIndirectW(&face));
}

UINT DialogScale::Start(HWND dialog) {
    m_font.reset();
    if (auto behaviour = BindDynCalls(SystemLibrary::User32).setDialogDpiChangeBehavior) {
        // DDC_DISABLE_ALL
        behaviour(dialog, 1, 1);
    }
    return m_dpi = WindowDpi(dialog);
}

UINT DialogScale::Change(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const UINT old = m_dpi, dpi = HIWORD(wParam);
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    if (dpi == 0 || dpi == old || !suggested) {
        return old;
    }
    m_dpi = dpi;
    const HFONT current = m_font ? m_font.get() : reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    unique_hfont font = RescaledFont(current, old, dpi);
    auto scale = [old, dpi](LONG value) { return MulDiv(value, static_cast<int>(dpi), static_cast<int>(old)); };
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place;
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        // A combo box's height is its list's, dropped; no other control of
        // our dialogs answers the message.
        RECT dropped;
        if (SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped))) {
            place.bottom = place.top + dropped.bottom - dropped.top;
        }
        SetWindowPos(child, nullptr, scale(place.left), scale(place.top), scale(place.right - place.left),
                     scale(place.bottom - place.top), SWP_NOZORDER | SWP_NOACTIVATE);
        if (font && reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)) == current) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        }
    }
    if (font) {
        SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        m_font = std::move(font);
    }
    SetWindowPos(dialog, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(dialog, nullptr, TRUE);
    return old;
}

unique_hfont ListFontFor(UINT dpi) {
    LOGFONTW face = {};
    const UINT system = SystemDpi();
    auto forDpi = BindDynCalls(SystemLibrary::User32).systemParametersInfoForDpi;
    if (dpi == system ||
        !(forDpi ? forDpi(SPI_GETICONTITLELOGFONT, sizeof(face), &face, 0, dpi)
                 : SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(face), &face, 0))) {
        return unique_hfont();
    }
    if (!forDpi) {
        face.lfHeight = MulDiv(face.lfHeight, static_cast<int>(dpi), static_cast<int>(system));
    }
    return unique_hfont(CreateFontIndirectW(&face));
}

const Look& CurrentLook() { return g_look; }

bool ReadLook() {
    Look look = {};
    look.highContrast = g_lookSource.highContrast();
    // The high-contrast taskbar takes the window colour of the scheme.
    look.darkTaskbar = look.highContrast ? IsDark(GetSysColor(COLOR_WINDOW)) : PersonalizedDark(L"SystemUsesLightTheme");
    look.darkApps = !look.highContrast && PersonalizedDark(L"AppsUseLightTheme");
    const bool changed = look.darkTaskbar != g_look.darkTaskbar || look.darkApps != g_look.darkApps ||
                         look.highContrast != g_look.highContrast;
    g_look = look;
    return changed;
}

bool AnnouncesTheme(WPARAM wParam, LPARAM lParam) {
    return wParam == SPI_SETHIGHCONTRAST ||
           (lParam && lstrcmpW(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0);
}

Palette SystemPalette() {
    return {GetSysColor(COLOR_WINDOW),   GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_BTNSHADOW),
            GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_GRAYTEXT),  false};
}

Palette LauncherPalette() {
    if (!g_look.darkApps) {
        return SystemPalette();
    }
    // The shades of the system's own dark lists: grey rows stay plainly
    // apart from the others, selected or not.
    return {RGB(32, 32, 32), RGB(240, 240, 240), RGB(96, 96, 96), RGB(77, 77, 77), RGB(140, 140, 140), true};
}

}  // namespace tessaly
