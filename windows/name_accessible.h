// What a screen reader sees of the name window: an alert whose name is the
// task's name, as the system's own alerts are.
#pragma once

#include <windows.h>

// The answer to WM_GETOBJECT for the client area of the name window; 0 (the
// system's own answer) for any other object or where it cannot be given.
LRESULT AnswerNameWindowObject(HWND window, WPARAM wParam, LPARAM lParam);
