// The name window: a task's name shown for a moment, borderless and top-most,
// keyed out to its glyphs and fading in and out where layering exists.
#pragma once

#include <windows.h>

// Fading takes this many steps of the fade timer from transparent to Alpha.
constexpr int kFadeSteps = 20;
constexpr UINT kFadeTickMs = 10;
constexpr UINT_PTR kFadeInTimer = 0;
constexpr UINT_PTR kFadeOutTimer = 1;
// From the screen's edges at 96 DPI; scaled with the screen's DPI.
constexpr int kScreenMargin = 32;
// White is keyed out, so only the glyphs show.
constexpr COLORREF kNameWindowKey = RGB(255, 255, 255);

extern const wchar_t kNameWindowClass[];

LRESULT CALLBACK NameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A hidden name window showing `name`, placed and starting to fade in: the
// one whose time ended last, kept for this, or a new one; null on failure.
HWND OpenNameWindow(const wchar_t* name);
// Destroys the window kept for the next name, before the class goes.
void DestroySpareNameWindow();
// Tells screen readers, as a system alert does, that the window shows a
// name: they read it out then. Each time it is shown.
void AnnounceNameWindow(HWND window);
// True for a live window of the name window class, of this process.
bool IsNameWindow(HWND window);
// The distance from the screen's edges on a screen of this DPI.
int NameWindowMargin(int dpi);
// Where a text extent goes on a screen of the given size, `margin` pixels
// from its edges; false for Hidden and for values outside the known places
// (the window then stays unplaced).
bool PlaceNameWindow(int location, SIZE extent, SIZE screen, int margin, POINT& corner);
