// Bringing a program that already runs to the front, instead of starting it
// again.
#pragma once

#include <windows.h>

// When `program` (a full path) is an .exe with a visible top-level window
// (unowned, not a tool window) in a process of this user whose image is that
// very file, brings one of them to the front, restored if minimised, and
// returns true: the top-most one, or, when `foreground` already belongs to
// the program, the one longest in the back, so repeated calls cycle through
// them all. A process whose image or owner cannot be read is left alone.
bool SwitchToRunningProgram(const wchar_t* program, HWND foreground);

// The system's query of a process's image, replaceable so a test can report
// the path another drive letter or form gives the same file.
extern BOOL(WINAPI* g_processImageName)(HANDLE process, DWORD flags, LPWSTR image, PDWORD length);
