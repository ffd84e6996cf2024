#include "windows/launcher_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "common/dark_parts.h"
#include "common/look.h"
#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/ui_libraries.h"
#include "common/working_set.h"
#include "model/command_search.h"
#include "model/task.h"
#include "resources/resource.h"
#include "windows/item_context_menu.h"
#include "windows/task_rows.h"

const wchar_t kLauncherWindowClass[] = L"Tessaly_LauncherWindowClass";

namespace {

// Sizes at 96 DPI; each is scaled to the monitor's the launcher opens on.
constexpr int kWidth = 322;
constexpr int kRowHeight = 33;
constexpr int kInset = 1;
constexpr int kInitialColumnWidth = 400;
// Where a context menu asked for from the keyboard opens, from the row's corner.
constexpr int kKeyboardMenuOffset = 16;
// The user data of a launcher that is already on its way out.
constexpr LONG_PTR kClosing = 1;

// The list's own procedure while the subclass is installed. There is never
// more than one launcher: a new one destroys the old one before it is made.
WNDPROC g_listProc = nullptr;
HWND g_launcher = nullptr;
// The height of the launcher's rows as its list draws them.
int g_rowHeight = kRowHeight;
// The scale of the monitor the launcher opened on, and what follows it and
// the theme: taken at each opening.
UINT g_dpi = tessaly::kBaseDpi;
tessaly::unique_hfont g_listFont;
tessaly::Palette g_palette;
// How many shell menus run their loops above the launcher's handler (one
// opened while the shell's dialog of another is up makes two).
int g_menuDepth = 0;
// The main window's command that waits for the launcher to close.
UINT g_heldCommand = 0;

bool IsClosing(HWND window) { return GetWindowLongPtrW(window, GWLP_USERDATA) == kClosing; }

// Closes from the queue, once the handler that asked has returned: destroying
// from a deactivation would activate another window and nest until the system
// gives up, skipping the clean-up; and the shell's menu may still be running
// above the launcher's handler.
void CloseLauncher(HWND window) {
    if (IsClosing(window)) {
        return;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, kClosing);
    PostMessageW(window, WM_CLOSELAUNCHER, 0, 0);
}

void LauncherOnCloseRequest(HWND window) {
    // The menu, when it ends, asks again.
    if (g_menuDepth == 0) {
        DestroyWindow(window);
    }
}

void RunRow(HWND window, int row) {
    Task* task = GetRowTask(window, row);
    // A click comes twice, from the subclass and from the list itself: the
    // first one closes the launcher, the second must not run the task again.
    if (!task || IsClosing(window)) {
        return;
    }
    HWND list = ListOf(window);
    if (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_CUT) & LVIS_CUT) {
        return;
    }
    // Closed first, so the main window runs the task from its queue once the
    // launcher has gone, even where the hidden main window cannot take the
    // activation.
    CloseLauncher(window);
    PostMessageW(g_mainWindow, WM_RUNTASK, 0, reinterpret_cast<LPARAM>(task));
    SetForegroundWindow(g_mainWindow);
}

void SelectOnly(HWND list, int from, int to) {
    LVITEMW item = {};
    item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    item.state = 0;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(to), reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(to), FALSE);
}

// Up from the first row and Down from the last wrap around; so do both from
// no focused row. True when the key was taken.
bool LauncherOnKeyDown(HWND window, UINT vk) {
    if (vk == VK_ESCAPE) {
        CloseLauncher(window);
        return true;
    }
    if (vk != VK_UP && vk != VK_DOWN) {
        return false;
    }
    HWND list = ListOf(window);
    int last = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) - 1;
    if (last < 0) {
        return false;
    }
    int focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (vk == VK_UP && (focused == 0 || focused < 0)) {
        SelectOnly(list, 0, last);
        return true;
    }
    if (vk == VK_DOWN && (focused == last || focused < 0)) {
        SelectOnly(list, last, 0);
        return true;
    }
    return false;
}

LRESULT LauncherOnNotify(HWND window, WPARAM wParam, LPARAM lParam) {
    auto header = reinterpret_cast<NMHDR*>(lParam);
    if (header->idFrom != IDC_LIST) {
        return DefWindowProcW(window, WM_NOTIFY, wParam, lParam);
    }
    switch (header->code) {
    case NM_CLICK:
        RunRow(window, reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem);
        break;
    case NM_RETURN:
        RunRow(window, FindSelectedRow(header->hwndFrom, -1));
        break;
    case NM_KILLFOCUS:
        CloseLauncher(window);
        break;
    case NM_CUSTOMDRAW:
        return DrawCutRowsGrey(ListOf(window), reinterpret_cast<NMLVCUSTOMDRAW*>(lParam), g_palette);
    case LVN_KEYDOWN:
        if (LauncherOnKeyDown(window, reinterpret_cast<NMLVKEYDOWN*>(lParam)->wVKey)) {
            return 1;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, WM_NOTIFY, wParam, lParam);
}

void LauncherOnContextMenu(HWND window, LPARAM lParam) {
    HWND list = ListOf(window);
    int row = FindSelectedRow(list, -1);
    Task* task = GetRowTask(window, row);
    // A grey row offers no menu, as it runs nothing.
    if (!task || (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_CUT) & LVIS_CUT) ||
        !RefreshItemIDList(task)) {
        return;
    }
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (point.x == -1 && point.y == -1) {
        RECT bounds = {};
        bounds.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
        const int offset = tessaly::ScaleTo(kKeyboardMenuOffset, g_dpi);
        point = {bounds.left + offset, bounds.top + offset};
        ClientToScreen(list, &point);
    }
    ++g_menuDepth;
    ShowItemContextMenu(window, point, task->ItemIDList);
    if (--g_menuDepth == 0 && IsClosing(window)) {
        PostMessageW(window, WM_CLOSELAUNCHER, 0, 0);
    }
}

void LauncherOnSize(HWND window, int width, int height) {
    HWND list = ListOf(window);
    const int inset = tessaly::ScaleTo(kInset, g_dpi);
    MoveWindow(list, inset, inset, width - 2 * inset, height - 2 * inset, TRUE);
    // A column wider than the list keeps a horizontal scroll bar, which takes
    // the height the rows need and so keeps a vertical one too: narrow it
    // first, so the list's scroll bars reflect its rows alone.
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, 0);
    int column = width - 2 * inset;
    if ((GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL) &&
        static_cast<LONGLONG>(g_taskList.Count()) * g_rowHeight > height - 2 * inset) {
        column -= tessaly::MetricFor(SM_CXVSCROLL, g_dpi);
    }
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(column, 0));
}

// The rows' own height, so the window fits them exactly at any DPI and icon
// size: 33 pixels for 32-pixel icons at 96 DPI.
int RowHeight(HWND list, int rows) {
    RECT bounds = {LVIR_BOUNDS};
    if (rows > 0 && SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds)) &&
        bounds.bottom > bounds.top) {
        return bounds.bottom - bounds.top;
    }
    return tessaly::ScaleTo(kRowHeight, g_dpi);
}

// The work area of the monitor that holds the point, so a launcher opened on
// a second monitor stays there.
RECT WorkAreaAt(POINT point) {
    MONITORINFO info = {sizeof(info)};
    if (GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info)) {
        return info.rcWork;
    }
    RECT workArea = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    return workArea;
}

void FillList(HWND window, HWND list) {
    CommandResolutionMemo memo;
    BuildTaskImageList(g_dpi);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(g_taskImageList.get()));
    wchar_t title[32];
    tessaly::LoadUiString(g_instance, IDS_TASK_COLUMN, title);
    InsertListColumn(list, 0, kInitialColumnWidth, title);
    // Drawn once, when it is shown, not after every row.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const auto& task : g_taskList) {
        if (task->ShowLauncher) {
            InsertTaskRow(window, task.get(), 0, 0, -1);
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

// The scale of the point's monitor and the theme's colours.
void StyleList(HWND list, POINT point) {
    g_dpi = tessaly::DpiAt(point);
    g_listFont = tessaly::ListFontFor(g_dpi);
    if (g_listFont) {
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(g_listFont.get()), FALSE);
    }
    g_palette = tessaly::LauncherPalette();
    if (g_palette.own) {
        SendMessageW(list, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(g_palette.background));
        SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(g_palette.background));
        SendMessageW(list, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(g_palette.text));
        tessaly::DarkControl(list);
    }
}

// The frame about the list, in the theme's colour.
void LauncherOnEraseBackground(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    SetDCBrushColor(dc, g_palette.frame);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

LRESULT LauncherOnCreate(HWND window, const CREATESTRUCTW* create) {
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, nullptr,
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_NOCOLUMNHEADER,
                                0, 0, 0, 0, window, reinterpret_cast<HMENU>(IDC_LIST), g_instance, nullptr);
    if (!list) {
        return -1;
    }
    g_launcher = window;
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LauncherListProc)));
    DWORD styles = static_cast<DWORD>(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 styles | LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT);
    // The row under the mouse is selected at once.
    SendMessageW(list, LVM_SETHOVERTIME, 0, 1);
    SendMessageW(list, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    const POINT point = *static_cast<const POINT*>(create->lpCreateParams);
    StyleList(list, point);
    FillList(window, list);

    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    g_rowHeight = RowHeight(list, rows);
    const LauncherGeometry geometry = {tessaly::ScaleTo(kWidth, g_dpi), g_rowHeight,
                                       2 * tessaly::ScaleTo(kInset, g_dpi)};
    RECT rect = ComputeLauncherRect(point, rows, geometry, WorkAreaAt(point));
    SetWindowPos(window, HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    ForceForegroundWindow(window);
    SetFocus(list);
    return DefWindowProcW(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(create));
}

void LauncherOnDestroy(HWND window) {
    HWND list = ListOf(window);
    // The list would destroy the program-wide image list with itself.
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    SendMessageW(list, WM_SETFONT, 0, FALSE);
    g_listFont.reset();
    if (g_listProc) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
        g_listProc = nullptr;
    }
    if (g_launcher == window) {
        g_launcher = nullptr;
    }
    if (g_heldCommand) {
        PostMessageW(g_mainWindow, WM_COMMAND, MAKEWPARAM(g_heldCommand, 0), 0);
        g_heldCommand = 0;
    }
    tessaly::TrimWorkingSet();
}

// Keeps the rectangle inside [low, high) along one axis, its start edge winning.
void ClampSpan(LONG& start, LONG& end, LONG low, LONG high) {
    if (start < low) {
        end += low - start;
        start = low;
    }
    if (end > high) {
        start -= end - high;
        end = high;
    }
    if (start < low) {
        start = low;
    }
}

}  // namespace

RECT ComputeLauncherRect(POINT point, int rows, const LauncherGeometry& geometry, const RECT& workArea) {
    LONG height = static_cast<LONG>(geometry.rowHeight) * rows + geometry.addedHeight;
    RECT rect;
    rect.left = point.x - geometry.width / 2;
    rect.top = point.y - height / 2;
    rect.right = rect.left + geometry.width;
    rect.bottom = rect.top + height;
    ClampSpan(rect.left, rect.right, workArea.left, workArea.right);
    ClampSpan(rect.top, rect.bottom, workArea.top, workArea.bottom);
    return rect;
}

BOOL ForceForegroundWindow(HWND window) {
    if (SetForegroundWindow(window)) {
        return TRUE;
    }
    DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    if (windowThread == foregroundThread) {
        return BringWindowToTop(window);
    }
    if (!AttachThreadInput(windowThread, foregroundThread, TRUE)) {
        return FALSE;
    }
    BOOL brought = BringWindowToTop(window);
    AttachThreadInput(windowThread, foregroundThread, FALSE);
    return brought;
}

LRESULT CALLBACK LauncherListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONUP: {
        LVHITTESTINFO hit = {};
        hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0 && hit.iItem >= 0) {
            LVITEMW item = {};
            item.mask = LVIF_PARAM | LVIF_STATE;
            item.iItem = hit.iItem;
            item.stateMask = static_cast<UINT>(-1);
            SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            NMITEMACTIVATE click = {};
            click.hdr.hwndFrom = list;
            click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
            click.hdr.code = NM_CLICK;
            click.iItem = hit.iItem;
            click.iSubItem = hit.iSubItem;
            click.ptAction = hit.pt;
            click.lParam = item.lParam;
            click.uKeyFlags = (GetKeyState(VK_MENU) < 0 ? LVKF_ALT : 0) |
                              (GetKeyState(VK_CONTROL) < 0 ? LVKF_CONTROL : 0) |
                              (GetKeyState(VK_SHIFT) < 0 ? LVKF_SHIFT : 0);
            SendMessageW(GetParent(list), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
        }
        break;
    }
    case WM_KEYDOWN:
        // The list would move its focus once more whatever the launcher
        // answers to its key notification, so the wrapping keys stop here.
        if ((wParam == VK_UP || wParam == VK_DOWN || wParam == VK_ESCAPE) &&
            LauncherOnKeyDown(GetParent(list), static_cast<UINT>(wParam))) {
            return 0;
        }
        break;
    default:
        break;
    }
    // Null once the launcher's clean-up has put the list's own procedure back.
    return g_listProc ? CallWindowProcW(g_listProc, list, message, wParam, lParam) : 0;
}

LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return LauncherOnCreate(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    case WM_DESTROY:
        LauncherOnDestroy(window);
        break;
    case WM_SIZE:
        LauncherOnSize(window, LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_ERASEBKGND:
        LauncherOnEraseBackground(window, reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            CloseLauncher(window);
        }
        break;
    case WM_CLOSELAUNCHER:
        LauncherOnCloseRequest(window);
        return 0;
    case WM_NOTIFY:
        return LauncherOnNotify(window, wParam, lParam);
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == ListOf(window)) {
            LauncherOnContextMenu(window, lParam);
        }
        break;
    case WM_INITMENUPOPUP:
        ForwardContextMenuMessage(message, wParam, lParam);
        return 0;
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        ForwardContextMenuMessage(message, wParam, lParam);
        return 1;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool IsLauncherMenuOpen() { return g_menuDepth > 0; }

bool HoldUntilLauncherCloses(UINT command) {
    if (!g_launcher) {
        return false;
    }
    g_heldCommand = command;
    CloseLauncher(g_launcher);
    return true;
}

bool ShowLauncherWindow(POINT point) {
    tessaly::PrepareListsAndDialogs();
    // Not from inside the old one's handlers (the main window opens none while
    // its menu runs): the two would share the list's saved procedure.
    if (g_launcher) {
        DestroyWindow(g_launcher);
    }
    // Made on the point's monitor, so placing it there brings no change of scale.
    return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kLauncherWindowClass, nullptr,
                           WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, point.x, point.y, 0, 0, nullptr, nullptr,
                           g_instance, &point) != nullptr;
}
