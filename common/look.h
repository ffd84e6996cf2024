// How every window of ours looks: the scale of the monitor it is on and the
// colours of the theme the user chose. Windows ask here rather than each
// reading the system: the theme is read once at start and again when Windows
// announces a change, never at an opening.
#pragma once

#include <windows.h>

#include "common/unique_handles.h"

namespace tessaly {

constexpr UINT kBaseDpi = 96;

// What the look is read from, replaceable so a test can play what Wine
// cannot show: high contrast, and a monitor of another scale.
struct LookSource {
    bool (*highContrast)();
    // The scale of a monitor; the system's where the system has no other.
    UINT (*monitorDpi)(HMONITOR monitor);
};
extern LookSource g_lookSource;

// The DPI the process started with: every monitor's, for a program that
// cannot be told apart per monitor (Windows before 8.1).
UINT SystemDpi();
UINT WindowDpi(HWND window);
UINT DpiAt(POINT point);
// A size given for 96 DPI, at `dpi`.
inline int ScaleTo(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), kBaseDpi); }
// A system metric (icon sizes, scroll bars) at `dpi`.
int MetricFor(int index, UINT dpi);
// A copy of `font` for `toDpi`, drawn for `fromDpi`; null when it is the same.
unique_hfont RescaledFont(HFONT font, UINT fromDpi, UINT toDpi);
// The font the system's lists draw their items in (the icons' captions) at
// `dpi`; null at the system's scale, where they have it already.
unique_hfont ListFontFor(UINT dpi);

// A dialog that follows the scale of its monitor: on WM_DPICHANGED it takes
// the suggested rectangle, and its controls' places and font are scaled.
// Where the system would rescale a dialog itself (Per-Monitor v2, Windows 10
// 1703 and later) it is told not to, so this one rescaling runs everywhere.
class DialogScale {
public:
    // At WM_INITDIALOG; the scale the dialog opened at.
    UINT Start(HWND dialog);
    // The scale the dialog had before.
    UINT Change(HWND dialog, WPARAM wParam, LPARAM lParam);
    // At WM_DESTROY: the font made for the dialog goes with it.
    void End() { m_font.reset(); }
    UINT Dpi() const { return m_dpi; }

private:
    UINT m_dpi = kBaseDpi;
    unique_hfont m_font;
};

// What follows the user's theme, as read last.
struct Look {
    // The taskbar's picture: drawn for a dark taskbar.
    bool darkTaskbar;
    // The launcher in dark colours; never in high contrast.
    bool darkApps;
    bool highContrast;
};
const Look& CurrentLook();
// Reads the theme; true when it changed. At start, and on an announcement.
bool ReadLook();
// WM_SETTINGCHANGE that announces a new theme ("ImmersiveColorSet") or high
// contrast turned on or off.
bool AnnouncesTheme(WPARAM wParam, LPARAM lParam);

// The colours of a list of ours.
struct Palette {
    COLORREF background, text, frame, selection, grey;
    // Ours rather than the system's: the list must be told, and the
    // selection drawn in it.
    bool own;
};
// The system's colours: the dialogs' look, and every window's in high contrast.
Palette SystemPalette();
// The launcher's colours for the theme as read last.
Palette LauncherPalette();

}  // namespace tessaly
