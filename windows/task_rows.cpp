#include "windows/task_rows.h"

#include <shellapi.h>
#include <shlobj.h>

#include "common/program_state.h"
#include "common/ui_text.h"
#include "libs/pirnel/pirnel.h"
#include "model/command_search.h"
#include "model/task.h"
#include "resources/resource.h"

tessaly::unique_himagelist g_taskImageList;

namespace {

// The list was built from the command found last time; a changed command
// must not keep offering the old file's context menu.
bool ListNamesPath(const CItemIDList& list, const wchar_t* path) {
    wchar_t listed[MAX_PATH];
    return list.m_pidl && SHGetPathFromIDListW(list.m_pidl, listed) &&
           CompareStringOrdinal(listed, -1, path, -1, TRUE) == CSTR_EQUAL;
}

// Appends as much of `text` as fits, never splitting a surrogate pair.
void Append(wchar_t* buffer, size_t& length, size_t capacity, const wchar_t* text) {
    for (; *text && length + 1 < capacity; ++text) {
        if (IS_HIGH_SURROGATE(*text) && length + 2 >= capacity) {
            break;
        }
        buffer[length++] = *text;
    }
    buffer[length] = L'\0';
}

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

bool RowIsSelected(HWND list, int row) {
    return (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
            LVIS_SELECTED) != 0;
}

Task* RowData(HWND list, int row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        return nullptr;
    }
    return reinterpret_cast<Task*>(item.lParam);
}

void MoveTask(HWND window, Task* task, int step) {
    int index = g_taskList.IndexOf(task);
    if (index < 0) {
        return;
    }
    bool moved = step < 0 ? g_taskList.SwapWithPrevious(task) : g_taskList.SwapWithNext(task);
    if (!moved) {
        return;
    }
    DeleteTaskRow(window, task);
    InsertTaskRow(window, task, 1, 1, index + step);
}

}  // namespace

void BuildTaskImageList() {
    DestroyTaskImageList();
    // The system's large-icon size: 32 pixels at 96 DPI, more on a denser screen.
    g_taskImageList.reset(ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                           ILC_COLOR32 | ILC_MASK, static_cast<int>(g_taskList.Count()), 0));
    for (const auto& task : g_taskList) {
        task->ImageIndex = -1;
        // The list keeps a copy of the icon.
        tessaly::unique_hicon icon(FindTaskIcon(task->IconPath, task->IconIndex, task->File));
        if (icon && g_taskImageList) {
            task->ImageIndex = ImageList_ReplaceIcon(g_taskImageList.get(), -1, icon.get());
        }
    }
}

void DestroyTaskImageList() { g_taskImageList.reset(); }

// ExtractIconExW may leave junk in the handle when it fails, so only its
// count says whether an icon came out.
static HICON ExtractOneIcon(const wchar_t* path, int index, bool large) {
    HICON icon = nullptr;
    UINT extracted = large ? ExtractIconExW(path, index, &icon, nullptr, 1) : ExtractIconExW(path, index, nullptr, &icon, 1);
    return extracted == 1 ? icon : nullptr;
}

HICON FindTaskIcon(const wchar_t* iconPath, int iconIndex, const wchar_t* command) {
    if (iconPath[0] != L'\0') {
        if (HICON icon = ExtractOneIcon(iconPath, iconIndex, true)) {
            return icon;
        }
        if (HICON icon = ExtractOneIcon(iconPath, iconIndex, false)) {
            return icon;
        }
    }
    wchar_t resolved[MAX_PATH];
    SHFILEINFOW info = {};
    if (ResolveCommand(command, resolved) && SHGetFileInfoW(resolved, 0, &info, sizeof(info), SHGFI_ICON)) {
        return info.hIcon;
    }
    return nullptr;
}

LRESULT DrawCutRowsGrey(HWND list, NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        if (SendMessageW(list, LVM_GETITEMSTATE, draw->nmcd.dwItemSpec, LVIS_CUT) & LVIS_CUT) {
            draw->clrText = GetSysColor(COLOR_GRAYTEXT);
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

void FormatTaskRowText(const Task& task, bool showCommand, wchar_t (&text)[kRowTextLength]) {
    size_t length = 0;
    text[0] = L'\0';
    if (task.Name[0] != L'\0') {
        Append(text, length, kRowTextLength, task.Name);
        Append(text, length, kRowTextLength, L" ");
    }
    if (task.File[0] != L'\0' && (length == 0 || showCommand)) {
        Append(text, length, kRowTextLength, L"[");
        Append(text, length, kRowTextLength, task.File);
        if (task.Parameter[0] != L'\0') {
            Append(text, length, kRowTextLength, L" ");
            Append(text, length, kRowTextLength, task.Parameter);
        }
        Append(text, length, kRowTextLength, L"]");
    }
    // A row without a name or a command says so.
    if (length == 0) {
        tessaly::LoadUiString(g_instance, IDS_NONE, text);
    }
}

int InsertTaskRow(HWND window, Task* task, int select, int showCommand, int row) {
    HWND list = ListOf(window);
    wchar_t resolved[MAX_PATH];
    bool found = ResolveCommand(task->File, resolved) != 0;
    if (!found) {
        task->ItemIDList.Free();
    } else if (!ListNamesPath(task->ItemIDList, resolved)) {
        task->ItemIDList.SetPath(resolved);
    }

    wchar_t text[kRowTextLength];
    FormatTaskRowText(*task, showCommand != 0, text);
    if (row == -1) {
        row = RowCount(list);
    }
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = row;
    item.pszText = text;
    item.iImage = task->ImageIndex;
    item.lParam = reinterpret_cast<LPARAM>(task);
    item.stateMask = LVIS_FOCUSED | LVIS_SELECTED | LVIS_CUT;
    item.state = (select ? LVIS_FOCUSED | LVIS_SELECTED : 0) | (found ? 0 : LVIS_CUT);
    int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));

    wchar_t keyText[PIRNEL_KEY_NAME_LENGTH];
    if (task->vk == kNoKey) {
        tessaly::LoadUiString(g_instance, IDS_NONE, keyText);
    } else {
        keyText[0] = L'\0';
        PirnelGetKeyName(task->fsModifiers, task->vk, keyText);
        keyText[PIRNEL_KEY_NAME_LENGTH - 1] = L'\0';
    }
    LVITEMW key = {};
    key.mask = LVIF_TEXT;
    key.iItem = index;
    key.iSubItem = 1;
    key.pszText = keyText;
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&key));
    return index;
}

int FindSelectedRow(HWND list, int after) {
    for (int row = after + 1, count = RowCount(list); row < count; ++row) {
        if (RowIsSelected(list, row)) {
            return row;
        }
    }
    return -1;
}

void InsertListColumn(HWND list, int index, int width, const wchar_t* title) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

Task* GetRowTask(HWND window, int row) { return RowData(ListOf(window), row); }

Task* GetSelectedTask(HWND window) {
    HWND list = ListOf(window);
    int row = FindSelectedRow(list, -1);
    return row < 0 ? nullptr : RowData(list, row);
}

int DeleteTaskRow(HWND window, Task* task) {
    HWND list = ListOf(window);
    for (int row = 0, count = RowCount(list); row < count; ++row) {
        if (RowData(list, row) == task) {
            SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
            return row;
        }
    }
    return -1;
}

void MoveTaskUp(HWND window, Task* task) { MoveTask(window, task, -1); }

void MoveTaskDown(HWND window, Task* task) { MoveTask(window, task, +1); }
