// The program declares itself DPI-aware, so Windows does not scale what it
// draws: every fixed pixel size is scaled by the screen's DPI here instead.
#pragma once

#include <windows.h>

#include "common/unique_handles.h"

namespace tessaly {

constexpr int kBaseDpi = 96;

// The screen's DPI, read once: a change needs a new logon anyway for a
// program that is not per-monitor aware.
inline int ScreenDpi() {
    static const int dpi = [] {
        unique_hdc_window screen = WindowDC(nullptr);
        int value = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kBaseDpi;
        return value > 0 ? value : kBaseDpi;
    }();
    return dpi;
}

// A size given for 96 DPI, on this screen; unchanged at 96 DPI.
inline int ScaleToScreen(int pixels) { return MulDiv(pixels, ScreenDpi(), kBaseDpi); }

}  // namespace tessaly
