// The task editor: one task's hotkey, command, display and icon, edited on a
// working copy that is written back only on OK.
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

INT_PTR CALLBACK TaskEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Modal, owned by `owner`. 1 when accepted: every stored field of the working
// copy was written from the dialog (its run-time fields are left alone);
// 2 when cancelled, the copy untouched.
INT_PTR RunTaskEditor(HWND owner, Task* workingCopy, const Task* original);
