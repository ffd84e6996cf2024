// The shell's own context menu of a task's file, shown from the launcher.
#pragma once

#include <windows.h>
#include <shlobj.h>

class CItemIDList;

// The extended handler of the menu being shown, so the owner window can hand
// it the menu messages (sub-menus filled on demand, entries with icons). Set
// only while ShowItemContextMenu runs, and never both.
extern IContextMenu2* g_contextMenu2;
extern IContextMenu3* g_contextMenu3;

// Where the menu comes from and how it is tracked, replaceable so a test can
// offer a handler of its own and choose an entry without a real menu loop.
struct ContextMenuShell {
    // The item's context menu from its parent folder; fails for an item the
    // shell cannot bind.
    HRESULT (*getContextMenu)(HWND owner, const CItemIDList& itemIDList, IContextMenu** menu);
    // The chosen command id, or 0.
    BOOL (*trackPopupMenu)(HMENU menu, UINT flags, int x, int y, HWND owner);
};
extern ContextMenuShell g_contextMenuShell;

// Shows the menu of a held item ID list at a screen point and carries out
// the chosen entry through the shell. Returns once the menu has closed.
void ShowItemContextMenu(HWND owner, POINT point, const CItemIDList& itemIDList);

// WM_INITMENUPOPUP, WM_DRAWITEM and WM_MEASUREITEM of the tracked menu.
void ForwardContextMenuMessage(UINT message, WPARAM wParam, LPARAM lParam);
