// The hidden main window: owner of the hotkeys and the tray icon, and the hub
// every other part of the program reaches with its private messages.
#pragma once

#include <windows.h>

extern const wchar_t kMainWindowClass[];
extern const wchar_t kMainWindowTitle[];
// The shell's broadcast after a taskbar (re)start; 0 if it could not be had.
extern const UINT g_taskbarCreatedMessage;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the main window class; false on failure.
bool RegisterMainWindowClass(HINSTANCE instance);
// Creates the hidden main window, which sets up the whole program.
HWND CreateMainWindow(HINSTANCE instance);
// The program's message loop, until the main window quits; its exit code.
int RunMessageLoop();
// What the message loop does at its top once the launcher is closed and its
// preparation done: after a rest of g_restingDelayMs, the image list, COM and
// the common controls go.
void ReleaseRestingLibraries();
constexpr UINT kRestingDelayMs = 10000;
extern UINT g_restingDelayMs;
