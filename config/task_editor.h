// The task editor: one task's hotkey (with a key that may follow it, and
// where it works), command, display and icon, edited on a working copy that
// is written back only on OK.
#pragma once

#include <windows.h>

struct Task;

// The key library's two capture dialogs, replaceable so a test can answer
// them with a value of its own.
struct KeyCaptureDialogs {
    UINT(WINAPI* capture)(HWND owner, UINT value);
    UINT(WINAPI* list)(HWND owner, UINT value);
};
extern KeyCaptureDialogs g_keyCaptureDialogs;

// What the editor opens on (its dialog parameter): the working copy, and the
// task of the list it was copied from, null for a new one. That task's own
// key is never reported as taken.
struct TaskEdit {
    Task* copy;
    const Task* original;
};

// The window in front before the settings opened (the tray's click or menu
// put the taskbar and our own window in front of it since): what Pick takes
// when it is pressed from the keyboard. Null when there was none.
extern HWND g_windowBeforeSettings;
void RememberWindowInFront();

// Whether the button being pressed is pressed with a mouse, a pen or a
// finger, not from the keyboard or by a screen reader; replaceable so a test
// can press either way. Where the system cannot tell, it is the keyboard.
extern bool (*g_pressedWithMouse)();

INT_PTR CALLBACK TaskEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Modal, owned by `owner`. 1 when accepted: every stored field of the working
// copy was written from the dialog (its run-time fields are left alone);
// 2 when cancelled, the copy untouched.
INT_PTR RunTaskEditor(HWND owner, Task* workingCopy, const Task* original);
