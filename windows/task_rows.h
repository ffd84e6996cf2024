// Rows of a task list view (the launcher's and the settings dialog's, both
// control IDC_LIST) and the program-wide icon image list they show.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "common/look.h"
#include "common/unique_handles.h"
#include "model/command_search.h"
#include "resources/resource.h"

struct Task;

// The icons of the tasks, shown by every task list. Only BuildTaskImageList
// and DestroyTaskImageList make and destroy it.
extern tessaly::unique_himagelist g_taskImageList;

// The shell calls that take the tasks' icons and the icon size, replaceable
// so a test can count what an opening takes and play a change of DPI.
struct IconShell {
    UINT(WINAPI* extractIconEx)(LPCWSTR file, int index, HICON* large, HICON* small, UINT icons);
    DWORD_PTR(WINAPI* getFileInfo)(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags);
    int (*metricFor)(int index, UINT dpi);
};
extern IconShell g_iconShell;

// The task list view of a window that shows one.
inline HWND ListOf(HWND window) { return GetDlgItem(window, IDC_LIST); }

// Adds a left-aligned column with a title at `index`.
void InsertListColumn(HWND list, int index, int width, const wchar_t* title);

// Name, a blank, "[", File, a blank, Parameter and "]" at their longest,
// with the terminator: a row text is never cut.
constexpr size_t kRowTextLength = 3 * (MAX_PATH - 1) + 5;

// Brings the image list up to date with the tasks and renews every task's
// ImageIndex (-1 for a task without an icon). An icon is taken from its file
// only when it is not kept already: the images, with the icon file and the
// command each came from, are kept between openings and reused while both
// files' last-write times and sizes hold (a document's, folder's or
// shortcut's picture is its type's or target's, and is taken every time). Tasks with the same icon share one
// image; an image no task shows any more is removed, so the list holds no
// more than the tasks show. Icons are the size of the large ones at `dpi`, the
// scale of the list's monitor: another size starts over. Images may move:
// rows already in a list view must take their task's new index.
void BuildTaskImageList(UINT dpi);
// Also forgets the kept command searches.
void DestroyTaskImageList();
// The pictures back out of the image list, kept as at the preparation, and
// the list gone: the common controls can then go too. The next
// BuildTaskImageList makes a list of them again.
void ReleaseTaskImageList();
// Takes one task's image (and finds its command) ahead of the next
// BuildTaskImageList at `dpi`, which then finds it kept.
void PrepareTaskImage(UINT dpi, Task* task);

// The icon of a task with these values: the icon file's large icon, else its
// small one, else the shell's icon of the command; null when none. The caller
// destroys it.
HICON FindTaskIcon(const wchar_t* iconPath, int iconIndex, const wchar_t* command);

// NM_CUSTOMDRAW of a task list: rows whose command cannot be found are grey;
// in colours of our own, the selected row is drawn in them too.
LRESULT DrawCutRowsGrey(HWND list, NMLVCUSTOMDRAW* draw,
                        const tessaly::Palette& palette = tessaly::SystemPalette());

// Why a task whose command is a link has a grey row, for the row's tip and
// the editor: nothing on this computer opens its scheme, or Windows knows no
// such shell location. Writes nothing and returns 0 for any other command,
// whose file is simply not there; else the length written.
int WhyLinkIsGrey(const wchar_t* command, wchar_t* text, int size);
template <int Size>
int WhyLinkIsGrey(const wchar_t* command, wchar_t (&text)[Size]) {
    return WhyLinkIsGrey(command, text, Size);
}
// Room for either reason, the longest scheme included.
constexpr int kGreyLinkReasonLength = static_cast<int>(kSchemeLength) + 128;

// Writes the text of a task's row; the command is always shown when the task
// has no name.
void FormatTaskRowText(const Task& task, bool showCommand, wchar_t (&text)[kRowTextLength]);

// The text of a task's key: its combination, then the key that must follow
// it after a comma ("Ctrl+K, N"); "None" without a key.
constexpr size_t kKeyTextLength = 2 * 780 + 2;
void FormatTaskKey(const Task& task, wchar_t (&text)[kKeyTextLength]);

// Where a task's key works, for its row's tip ("Only in writer.exe"); writes
// nothing and returns 0 for a key that works everywhere, else the length.
int SayWhereKeyWorks(const Task& task, wchar_t* text, int size);

// Inserts a task's row at `row` (-1 appends); the row's index, or -1. The row
// is grey when `found` is 0; -1 looks for the command now.
int InsertTaskRow(HWND window, Task* task, int select, int showCommand, int row, int found = -1);

// Brings the task's item ID list in step with its command as found now:
// emptied when the command cannot be found, rebuilt when it names another
// file. The list serves the shell's menu of one row, so it is made when the
// menu is asked for, not for every row at every opening. True when the task
// has one.
bool RefreshItemIDList(Task* task);

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
