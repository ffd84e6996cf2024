// The name window: a task's name shown for a moment, borderless and top-most,
// keyed out to its glyphs and fading in and out where layering exists.
#pragma once

#include <windows.h>

// Fading takes this many steps of the fade timer from transparent to Alpha.
constexpr int kFadeSteps = 20;
constexpr UINT kFadeTickMs = 10;
constexpr UINT_PTR kFadeInTimer = 0;
constexpr UINT_PTR kFadeOutTimer = 1;
constexpr int kScreenMargin = 32;
// White is keyed out, so only the glyphs show.
constexpr COLORREF kNameWindowKey = RGB(255, 255, 255);

LRESULT CALLBACK NameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// True for a live window of the name window class.
bool IsNameWindow(HWND window);
// Where a text extent goes on a screen of the given size; false for Hidden
// and for values outside the known places (the window then stays unplaced).
bool PlaceNameWindow(int location, SIZE extent, SIZE screen, POINT& corner);
