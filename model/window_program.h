// Which program a window belongs to: the file its process runs, and the app
// id the shell groups the window under.
#pragma once

#include <windows.h>

// APPLICATION_USER_MODEL_ID_MAX_LENGTH, the terminator included.
constexpr UINT kAppIdLength = 130;

// The system's query of a process's image, replaceable so a test can report
// the path another drive letter or form gives the same file.
extern BOOL(WINAPI* g_processImageName)(HANDLE process, DWORD flags, LPWSTR image, PDWORD length);

// The app id the shell groups a window under: the one the window was given,
// else the one of its process's package. Replaceable: Wine knows neither.
extern bool (*g_windowAppId)(HWND window, wchar_t (&id)[kAppIdLength]);

// Whether the window is hidden by the system though "visible": a suspended
// Store app's frame, a window on another virtual desktop.
bool IsCloaked(HWND window);

// The full path of the program whose process made `window`, and its app id
// (empty when it has none). False, both empty, when the process cannot be
// read (another user's, or gone).
bool ReadWindowProgram(HWND window, wchar_t (&path)[MAX_PATH], wchar_t (&appId)[kAppIdLength]);
