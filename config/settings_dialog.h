// The settings dialog: the task list and the display settings, edited in
// place. Every change applies at once; the dialog only closes.
#pragma once

#include <windows.h>
#include <ole2.h>

struct Task;

// What the dialog opens and asks, replaceable so a test can answer for the
// user: the task editor on a working copy, its questions and messages, and
// the file an export or an import takes (false when the user cancels).
struct SettingsDialogHooks {
    INT_PTR (*runEditor)(HWND owner, Task* workingCopy, const Task* original);
    int(WINAPI* messageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
    bool (*chooseFile)(HWND owner, bool save, wchar_t (&path)[MAX_PATH]);
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

// Tells the user that the settings could not be written to `place` and why:
// the system's words for `error` (the last error of the failed save; 0 for
// none), what may mend it, and the text `againId` of how to try again.
void ReportSaveFailure(HWND owner, const wchar_t* place, DWORD error, UINT againId);
// Tells the user, once, of a store that could not be read and was set aside,
// naming where it was and where it is now; nothing when there is none.
void ReportSetAsideStore(HWND owner);

// What the shell's drags reach while the dialog is open; null otherwise.
IDropTarget* SettingsDropTarget();

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Modal, without owner; ends only through the close box, with result 2.
INT_PTR RunSettingsDialog();
