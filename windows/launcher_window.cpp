#include "windows/launcher_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "common/accessible_names.h"
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
// The line above the rows that shows what was typed, and its text's margin.
constexpr int kSearchLineHeight = 24;
constexpr int kSearchMargin = 6;
// How long after start-up the launcher's preparation begins: the logon's
// other programs start meanwhile.
constexpr UINT kPreparationDelay = 2000;
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

// What the user typed since the launcher opened: only the rows whose name
// holds it are listed.
wchar_t g_search[kTextFieldLength];
size_t g_searchLength = 0;
// The list carries the typed text as its accessible name.
bool g_listNamed = false;
// Every row of this opening, found or grey as the opening saw it: the rows a
// search leaves are put back from here, not looked for again.
struct ListedRow {
    Task* task;
    bool found;
};
tessaly::GrowableArray<ListedRow> g_rows;
// The work area the launcher opened in; its size follows the rows listed.
RECT g_workArea;
// Where the mouse was last seen over the list. The system tells a window of
// a mouse that did not move when the window under it moves or changes size:
// each typed character would then hand the selection to the row under a
// resting mouse, away from the first row found.
POINT g_mouse;

enum Preparation { kNotAsked, kWaiting, kRunning, kEnded };
Preparation g_preparation = kNotAsked;
// The next task to prepare, and the scale its image is taken at.
size_t g_preparedTasks = 0;
UINT g_preparedDpi = tessaly::kBaseDpi;

bool IsClosing(HWND window) { return GetWindowLongPtrW(window, GWLP_USERDATA) == kClosing; }

void LauncherOnSize(HWND window, int width, int height);

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

// The line of the typed text, shown above the rows while there is one.
int SearchLineHeight() { return g_searchLength > 0 ? tessaly::ScaleTo(kSearchLineHeight, g_dpi) : 0; }

// The launcher's height follows the rows listed, its top edge staying where
// it opened: what is typed never moves the rows under the cursor.
void FitToRows(HWND window, int rows) {
    RECT rect;
    GetWindowRect(window, &rect);
    const LONGLONG height =
        static_cast<LONGLONG>(g_rowHeight) * rows + 2 * tessaly::ScaleTo(kInset, g_dpi) + SearchLineHeight();
    const LONGLONG bottom = rect.top + height < g_workArea.bottom ? rect.top + height : g_workArea.bottom;
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, static_cast<int>(bottom - rect.top),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The line may come or go at the same size.
    RECT client;
    GetClientRect(window, &client);
    LauncherOnSize(window, client.right, client.bottom);
    InvalidateRect(window, nullptr, TRUE);
}

// Lists the rows of this opening whose names hold the typed text, the first
// one selected while there is a text.
void ListMatchingRows(HWND window) {
    HWND list = ListOf(window);
    g_search[g_searchLength] = L'\0';
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    int listed = 0;
    for (const ListedRow& row : g_rows) {
        if (TaskNameHolds(*row.task, g_search)) {
            InsertTaskRow(window, row.task, g_searchLength > 0 && listed == 0, 0, -1, row.found);
            ++listed;
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    FitToRows(window, listed);
    // Screen readers hear the text as the list's name. The annotation
    // service needs COM, which starts only once there is a name to give: a
    // launcher opened and closed untyped maps none of it.
    if (g_searchLength > 0) {
        tessaly::PrepareShellUse();
        tessaly::AccessibleNames().Set(list, g_search);
        g_listNamed = true;
    } else if (g_listNamed) {
        tessaly::AccessibleNames().Clear(list);
        g_listNamed = false;
    }
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, list, OBJID_CLIENT, CHILDID_SELF);
}

// A typed character narrows the rows, Backspace takes the last one back; the
// list's own search by first letters never sees them.
void LauncherOnChar(HWND window, wchar_t typed) {
    // A character outside the first plane comes in two halves; the first
    // leaves room for the second and waits for it.
    if (IS_HIGH_SURROGATE(typed)) {
        if (g_searchLength + 2 < kTextFieldLength) {
            g_search[g_searchLength++] = typed;
        }
        return;
    }
    if (typed == L'\b') {
        if (g_searchLength == 0) {
            return;
        }
        --g_searchLength;
        // A character outside the first plane goes whole.
        if (g_searchLength > 0 && IS_LOW_SURROGATE(g_search[g_searchLength]) &&
            IS_HIGH_SURROGATE(g_search[g_searchLength - 1])) {
            --g_searchLength;
        }
    } else if (typed >= L' ' && typed != 0x7F && g_searchLength + 1 < kTextFieldLength) {
        g_search[g_searchLength++] = typed;
    } else {
        return;
    }
    ListMatchingRows(window);
}

// The frame about the list, in the theme's colour, and the typed text above
// the rows.
void LauncherOnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    SetDCBrushColor(dc, g_palette.frame);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    if (g_searchLength > 0) {
        const int inset = tessaly::ScaleTo(kInset, g_dpi);
        // Its last pixels are the frame's, which parts it from the rows.
        RECT line = {inset, inset, client.right - inset, SearchLineHeight()};
        SetDCBrushColor(dc, g_palette.background);
        FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        const int margin = tessaly::ScaleTo(kSearchMargin, g_dpi);
        line.left += margin;
        line.right -= margin;
        HGDIOBJ font = SelectObject(dc, g_listFont ? g_listFont.get() : GetStockObject(DEFAULT_GUI_FONT));
        SetTextColor(dc, g_palette.text);
        SetBkMode(dc, TRANSPARENT);
        // A text longer than the line shows its end, where the typing is.
        SIZE extent = {};
        GetTextExtentPoint32W(dc, g_search, static_cast<int>(g_searchLength), &extent);
        DrawTextW(dc, g_search, static_cast<int>(g_searchLength), &line,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (extent.cx > line.right - line.left ? DT_RIGHT : 0));
        SelectObject(dc, font);
    }
    EndPaint(window, &paint);
}

// Up from the first row and Down from the last wrap around; so do both from
// no focused row. True when the key was taken.
bool LauncherOnKeyDown(HWND window, UINT vk) {
    if (vk == VK_ESCAPE) {
        // The first one takes back what was typed.
        if (g_searchLength > 0) {
            g_searchLength = 0;
            ListMatchingRows(window);
        } else {
            CloseLauncher(window);
        }
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
    tessaly::PrepareShellUse();
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
    const int line = SearchLineHeight();
    height -= line;
    MoveWindow(list, inset, inset + line, width - 2 * inset, height - 2 * inset, TRUE);
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
    g_rows.clear();
    for (const auto& task : g_taskList) {
        if (task->ShowLauncher) {
            const int row = InsertTaskRow(window, task.get(), 0, 0, -1);
            const bool grey = (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_CUT) & LVIS_CUT) != 0;
            g_rows.push_back({task.get(), !grey});
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
    g_searchLength = 0;
    StyleList(list, point);
    FillList(window, list);

    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    g_rowHeight = RowHeight(list, rows);
    const LauncherGeometry geometry = {tessaly::ScaleTo(kWidth, g_dpi), g_rowHeight,
                                       2 * tessaly::ScaleTo(kInset, g_dpi)};
    g_workArea = WorkAreaAt(point);
    GetCursorPos(&g_mouse);
    RECT rect = ComputeLauncherRect(point, rows, geometry, g_workArea);
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
    if (g_listNamed) {
        tessaly::AccessibleNames().Clear(list);
        g_listNamed = false;
    }
    g_rows.clear();
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
    case WM_MOUSEMOVE: {
        POINT mouse = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(list, &mouse);
        if (mouse.x == g_mouse.x && mouse.y == g_mouse.y) {
            return 0;
        }
        g_mouse = mouse;
        break;
    }
    case WM_CHAR:
    case WM_IME_CHAR:
        LauncherOnChar(GetParent(list), static_cast<wchar_t>(wParam));
        return 0;
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
        return 1;
    case WM_PAINT:
        LauncherOnPaint(window);
        return 0;
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

void ScheduleLauncherPreparation() {
    if (g_preparation == kNotAsked &&
        SetTimer(nullptr, 0, kPreparationDelay, [](HWND, UINT, UINT_PTR timer, DWORD) {
            KillTimer(nullptr, timer);
            if (g_preparation == kWaiting) {
                StartLauncherPreparation();
            }
        })) {
        g_preparation = kWaiting;
    }
}

void StartLauncherPreparation() {
    g_preparation = kRunning;
    g_preparedTasks = 0;
    // The primary monitor's, where the taskbar and its tray icon usually are:
    // an opening on another scale takes the pictures again.
    g_preparedDpi = tessaly::DpiAt(POINT{0, 0});
    HoldCommandListing();
}

bool PrepareLauncherStep() {
    if (g_preparation != kRunning) {
        return false;
    }
    if (g_preparedTasks < g_taskList.Count()) {
        PrepareTaskImage(g_preparedDpi, g_taskList.At(g_preparedTasks++));
        return true;
    }
    // What the work brought in besides the images (the shell's COM and OLE)
    // goes back at the message loop's top, as after a launcher; the pages it
    // touched go now, as after start-up.
    EndLauncherPreparation();
    tessaly::TrimWorkingSet();
    return false;
}

bool LauncherAtRest() { return !g_launcher && g_preparation != kRunning; }

void EndLauncherPreparation() {
    if (g_preparation == kRunning) {
        ReleaseCommandListing();
    }
    g_preparation = kEnded;
}

size_t PreparedTasks() { return g_preparedTasks; }

bool ShowLauncherWindow(POINT point) {
    EndLauncherPreparation();
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
