// The settings dialog: the task list and the display settings, edited in
// place. Every change applies at once; the dialog only closes.
#pragma once

#include <windows.h>

struct Task;

// What the dialog opens and asks, replaceable so a test can answer for the
// user: the task editor on a working copy, and the delete confirmation.
struct SettingsDialogHooks {
    INT_PTR (*runEditor)(HWND owner, Task* workingCopy, const Task* original);
    int(WINAPI* messageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
};
extern SettingsDialogHooks g_settingsDialogHooks;

// The sliders: opacity in 17 steps (the last one opaque), display time in
// tenths of a second up to five seconds.
int AlphaToPosition(int alpha);
int PositionToAlpha(int position);
int TimeToPosition(int milliseconds);
int PositionToTime(int position);
// "1.5 秒", "1.5 s"
void FormatTime(int milliseconds, wchar_t (&text)[32]);

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Modal, without owner; ends only through the close box, with result 2.
INT_PTR RunSettingsDialog();
