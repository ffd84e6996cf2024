// Rows of a task list view (the launcher's and the settings dialog's, both
// control IDC_LIST) and the program-wide icon image list they show.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "common/unique_handles.h"
#include "resources/resource.h"

struct Task;

// The icons of the tasks, shown by every task list. Only BuildTaskImageList
// and DestroyTaskImageList make and destroy it.
extern tessaly::unique_himagelist g_taskImageList;

// The task list view of a window that shows one.
inline HWND ListOf(HWND window) { return GetDlgItem(window, IDC_LIST); }

// Adds a left-aligned column with a title at `index`.
void InsertListColumn(HWND list, int index, int width, const wchar_t* title);

// Name, a blank, "[", File, a blank, Parameter and "]" at their longest,
// with the terminator: a row text is never cut.
constexpr size_t kRowTextLength = 3 * (MAX_PATH - 1) + 5;

// Destroys the old image list and takes one icon per task anew, renewing
// every task's ImageIndex (-1 for a task without an icon).
void BuildTaskImageList();
void DestroyTaskImageList();

// The icon of a task with these values: the icon file's large icon, else its
// small one, else the shell's icon of the command; null when none. The caller
// destroys it.
HICON FindTaskIcon(const wchar_t* iconPath, int iconIndex, const wchar_t* command);

// NM_CUSTOMDRAW of a task list: rows whose command cannot be found are grey.
LRESULT DrawCutRowsGrey(HWND list, NMLVCUSTOMDRAW* draw);

// Writes the text of a task's row; the command is always shown when the task
// has no name.
void FormatTaskRowText(const Task& task, bool showCommand, wchar_t (&text)[kRowTextLength]);

// Inserts a task's row at `row` (-1 appends); the row's index, or -1. Also
// keeps the task's item ID list in step with its command: emptied when the
// command cannot be found, rebuilt when it names another file than the one
// found now.
int InsertTaskRow(HWND window, Task* task, int select, int showCommand, int row);

// The first selected row after `after` (-1 searches from the top), or -1.
int FindSelectedRow(HWND list, int after);
// Null when the row does not exist.
Task* GetRowTask(HWND window, int row);
Task* GetSelectedTask(HWND window);
// The index the deleted row had, or -1 when no row carries the task.
int DeleteTaskRow(HWND window, Task* task);

// Move a task one place in the task list together with its row, which comes
// back selected with the command shown. Only for a list that shows every task
// in order (the settings dialog).
void MoveTaskUp(HWND window, Task* task);
void MoveTaskDown(HWND window, Task* task);
