// The name window: a task's name shown for a moment, borderless and top-most,
// keyed out to its glyphs and fading in and out where layering exists.
#pragma once

#include <windows.h>

LRESULT CALLBACK NameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// True for a live window of the name window class.
bool IsNameWindow(HWND window);
