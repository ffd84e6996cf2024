// The launcher: a small pop-up icon list of the launcher tasks at the cursor.
// It lives only while it is active.
#pragma once

#include <windows.h>

extern const wchar_t kLauncherWindowClass[];

LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The list's subclass: a button released over a row runs it, wherever the
// press began (on the tray icon that opened the launcher, say).
LRESULT CALLBACK LauncherListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the launcher centred on a point in screen coordinates; false when it
// could not be created.
bool ShowLauncherWindow(POINT point);

// Readies what the launcher's first opening would take (each task's command
// found, its image made), one task at a time while the program has nothing
// else to do, so that opening does only what changed since. Scheduled at
// start-up to begin a moment later; any opening of the launcher or the
// settings ends it, using what is ready and doing the rest as ever.
void ScheduleLauncherPreparation();
void StartLauncherPreparation();
// One task; false when there is nothing (more) to do.
bool PrepareLauncherStep();
void EndLauncherPreparation();
// How many tasks the preparation has taken so far.
size_t PreparedTasks();
// Neither the launcher open nor its preparation under way: nothing of theirs
// needs the image list, the common controls or COM.
bool LauncherAtRest();

// True while the shell's menu of a launcher row, or a dialog the shell opened
// from it, runs its own message loop above the launcher's handler.
bool IsLauncherMenuOpen();
// When a launcher is open: asks it to close, keeps `command` to post to the
// main window once it has gone (the last one held wins), and returns true.
bool HoldUntilLauncherCloses(UINT command);

// The launcher's sizes on this screen: 322, 33 and 2 pixels at 96 DPI.
struct LauncherGeometry {
    int width;
    int rowHeight;
    // The frame about the list, top and bottom together.
    int addedHeight;
};

// The launcher's rectangle for `rows` rows centred on `point`, kept inside the
// work area; a launcher taller than the work area is cut to it.
RECT ComputeLauncherRect(POINT point, int rows, const LauncherGeometry& geometry, const RECT& workArea);

// Brings a window forward even when another thread holds the foreground;
// nonzero when it was brought forward.
BOOL ForceForegroundWindow(HWND window);
