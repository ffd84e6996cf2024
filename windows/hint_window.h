// The hint of a two-step key: while the second key is awaited, the keys that
// can follow and their tasks' names, at the name window's place. Top-most and
// never active, so the user's window keeps the keyboard.
#pragma once

#include <windows.h>

extern const wchar_t kHintWindowClass[];
// The longest text a hint shows, the terminator included: lines that do not
// fit are left out.
constexpr int kHintTextLength = 1200;

LRESULT CALLBACK HintWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the hint, lines separated by "\r\n", each a key name, a tab and a
// task's name, `keyLength` the longest key name's length; screen readers
// hear it as an alert. Replaces one shown.
void ShowHintWindow(const wchar_t* text, int keyLength);
// Destroys the hint, if shown.
void HideHintWindow();
// The hint shown, or null.
HWND HintWindow();
