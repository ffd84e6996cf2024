#include "windows/task_rows.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <initializer_list>
#include <utility>

#include "common/dyn_calls.h"
#include "common/file_stamp.h"
#include "common/growable_array.h"
#include "common/kept_text.h"
#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/ui_libraries.h"
#include "libs/pirnel/pirnel.h"
#include "model/command_search.h"
#include "model/key_condition.h"
#include "model/portable.h"
#include "model/task.h"
#include "resources/resource.h"

tessaly::unique_himagelist g_taskImageList;
IconShell g_iconShell = {ExtractIconExW, SHGetFileInfoW, tessaly::MetricFor};

namespace {

using tessaly::FileStamp;
using tessaly::KeepText;
using tessaly::KeptText;
using tessaly::StampHolds;
using tessaly::TakeFileStamp;

// One image and where it came from: the icon file (empty for none) and the
// command's file as found ("" when it was not), each stamped before it was read.
struct KeptImage {
    KeptText iconPath;
    int iconIndex = 0;
    KeptText command;
    FileStamp iconStamp;
    FileStamp commandStamp;
    bool fromIconFile = false;
    // The shell's picture of the command is the file's own, not its type's.
    bool ownPicture = false;
    // Still what a fresh look would take, at this build.
    bool holds = false;
    // Shown by a task at this build.
    bool used = false;
    // Its place in the image list; until there is a list (the idle
    // preparation makes none, so the common controls wait for the first
    // opening), the picture itself, handed to the list when it comes.
    int image = -1;
    tessaly::unique_hicon icon;
};

struct KeptForRows {
    // The list the images are in; another one in g_taskImageList starts over.
    HIMAGELIST list = nullptr;
    // The pictures' size: one size only, that of the last scale asked for.
    int width = 0, height = 0;
    tessaly::GrowableArray<KeptImage> images;
};

KeptForRows g_kept;

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

// ExtractIconExW may leave junk in the handle when it fails, so only its
// count says whether an icon came out.
static HICON ExtractOneIcon(const wchar_t* path, int index, bool large) {
    HICON icon = nullptr;
    UINT extracted = large ? g_iconShell.extractIconEx(path, index, &icon, nullptr, 1)
                           : g_iconShell.extractIconEx(path, index, nullptr, &icon, 1);
    return extracted == 1 ? icon : nullptr;
}

static HICON IconFromFile(const wchar_t* path, int iconIndex) {
    wchar_t anchored[MAX_PATH];
    const wchar_t* iconPath = AnchorPath(path, anchored);
    if (!iconPath || iconPath[0] == L'\0') {
        return nullptr;
    }
    if (HICON icon = ExtractOneIcon(iconPath, iconIndex, true)) {
        return icon;
    }
    return ExtractOneIcon(iconPath, iconIndex, false);
}

static HICON ShellIcon(const wchar_t* resolved);

// A scheme's own picture (its DefaultIcon), else its program's: those of
// the handler the user chose, where Windows keeps a choice.
static HICON SchemeIcon(const wchar_t* link) {
    wchar_t scheme[kSchemeLength], text[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!LinkScheme(link, scheme)) {
        return nullptr;
    }
    if (SUCCEEDED(AskScheme(scheme, ASSOCSTR_DEFAULTICON, text, &length))) {
        int index = PathParseIconLocationW(text);
        PathUnquoteSpacesW(text);
        // The system's own entries name no folder (url.dll,0): found along
        // the system's search, never taken from a portable copy's folder.
        if (HICON icon = ExtractOneIcon(text, index, true)) {
            return icon;
        }
    }
    length = MAX_PATH;
    return SUCCEEDED(AskScheme(scheme, ASSOCSTR_EXECUTABLE, text, &length)) && LinkKind(text) == kNotALink
               ? ShellIcon(text)
               : nullptr;
}

// The shell's large icon of a found command's file, folder or program, or of
// the item a shell location names.
static HICON ShellIcon(const wchar_t* resolved) {
    // Its icon handlers may be COM objects.
    tessaly::PrepareShellUse();
    SHFILEINFOW info = {};
    switch (LinkKind(resolved)) {
    case kSchemeLink:
        return SchemeIcon(resolved);
    case kShellLocation: {
        PIDLIST_ABSOLUTE list = nullptr;
        SHParseDisplayName(resolved, nullptr, &list, 0, nullptr);
        tessaly::unique_cotaskmem owned(list);
        return list && g_iconShell.getFileInfo(reinterpret_cast<const wchar_t*>(list), 0, &info, sizeof(info),
                                               SHGFI_PIDL | SHGFI_ICON)
                   ? info.hIcon
                   : nullptr;
    }
    default:
        return g_iconShell.getFileInfo(resolved, 0, &info, sizeof(info), SHGFI_ICON) ? info.hIcon : nullptr;
    }
}

HICON FindTaskIcon(const wchar_t* iconPath, int iconIndex, const wchar_t* command) {
    if (HICON icon = IconFromFile(iconPath, iconIndex)) {
        return icon;
    }
    wchar_t resolved[MAX_PATH];
    return ResolveCommand(command, resolved) ? ShellIcon(resolved) : nullptr;
}

namespace {

// A program's picture is in its file; a document's, a folder's or a
// shortcut's comes from its type's program, a desktop.ini or a target, whose
// changes no stamp of the command's file shows: those are taken every time.
bool HasOwnPicture(const wchar_t* file) {
    const wchar_t* extension = PathFindExtensionW(file);
    for (const wchar_t* own : {L".exe", L".dll", L".ico", L".cpl", L".scr"}) {
        if (CompareStringOrdinal(extension, -1, own, -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

bool IsProgram(const wchar_t* file) {
    return CompareStringOrdinal(PathFindExtensionW(file), -1, L".exe", -1, TRUE) == CSTR_EQUAL;
}

bool ImageHolds(const KeptImage& kept) {
    if (kept.iconPath[0] != L'\0' && !StampHolds(kept.iconStamp, TakeFileStamp(kept.iconPath.get()))) {
        return false;
    }
    return kept.fromIconFile || kept.command[0] == L'\0' ||
           (kept.ownPicture && StampHolds(kept.commandStamp, TakeFileStamp(kept.command.get())));
}

KeptImage* FindImage(const Task& task, const wchar_t* command) {
    for (size_t i = 0; i < g_kept.images.size(); ++i) {
        KeptImage& kept = g_kept.images[i];
        // An icon file's picture is the same whatever the command.
        if (kept.holds && kept.iconIndex == task.IconIndex && wcscmp(kept.iconPath.get(), task.IconPath) == 0 &&
            (kept.fromIconFile || wcscmp(kept.command.get(), command) == 0)) {
            return &kept;
        }
    }
    return nullptr;
}

// The stamps come first, so a file rewritten while it is read is read again
// next time.
KeptImage TakeImage(const Task& task, const wchar_t* command) {
    KeptImage kept;
    kept.iconPath = KeepText(task.IconPath);
    kept.iconIndex = task.IconIndex;
    kept.command = KeepText(command);
    if (task.IconPath[0] != L'\0') {
        wchar_t anchored[MAX_PATH];
        const wchar_t* iconPath = AnchorPath(task.IconPath, anchored);
        kept.iconStamp = TakeFileStamp(iconPath ? iconPath : task.IconPath);
    }
    tessaly::unique_hicon icon(IconFromFile(task.IconPath, task.IconIndex));
    kept.fromIconFile = icon.get() != nullptr;
    if (!icon && command[0] != L'\0') {
        kept.commandStamp = TakeFileStamp(command);
        kept.ownPicture = HasOwnPicture(command);
        // A program's picture is the first icon in its file, as the shell
        // shows it; asking the shell would build its lists of every type's
        // picture at two sizes, kept for the life of the process.
        if (IsProgram(command)) {
            icon.reset(ExtractOneIcon(command, 0, true));
        }
        if (!icon) {
            icon.reset(ShellIcon(command));
        }
    }
    kept.holds = true;
    kept.icon = std::move(icon);
    return kept;
}

// The list keeps a copy of the picture, which is kept once: in the list.
void HandToList(KeptImage& kept) {
    if (kept.icon && g_taskImageList) {
        kept.image = g_dynCalls.imageListReplaceIcon(g_taskImageList.get(), -1, kept.icon.get());
        kept.icon.reset();
    }
}

// Where the task's command is found now, "" when nowhere.
void FoundCommand(const Task& task, wchar_t (&resolved)[MAX_PATH]) {
    if (!ResolveCommand(task.File, resolved)) {
        resolved[0] = L'\0';
    }
}

// The image of a task: the kept one while it holds, else a new one.
int ImageOf(const Task& task) {
    wchar_t command[MAX_PATH];
    FoundCommand(task, command);
    KeptImage* kept = FindImage(task, command);
    if (!kept) {
        g_kept.images.push_back(TakeImage(task, command));
        kept = &g_kept.images[g_kept.images.size() - 1];
    }
    HandToList(*kept);
    kept->used = true;
    return kept->image;
}

// Removes the images no task shows, the highest first, so that each removal
// moves only images that stay. True when any went.
bool DropUnusedImages() {
    bool dropped = false;
    for (;;) {
        KeptImage* highest = nullptr;
        for (size_t i = 0; i < g_kept.images.size(); ++i) {
            KeptImage& kept = g_kept.images[i];
            if (!kept.used && kept.image >= 0 && (!highest || kept.image > highest->image)) {
                highest = &kept;
            }
        }
        if (!highest) {
            break;
        }
        g_dynCalls.imageListRemove(g_taskImageList.get(), highest->image);
        for (size_t i = 0; i < g_kept.images.size(); ++i) {
            if (g_kept.images[i].image > highest->image) {
                --g_kept.images[i].image;
            }
        }
        highest->image = -1;
        dropped = true;
    }
    size_t before = g_kept.images.size();
    g_kept.images.erase_if([](const KeptImage& kept) { return !kept.used; });
    return dropped || g_kept.images.size() != before;
}

}  // namespace

namespace {

// Pictures at `dpi` from now on: the kept ones while their size is right.
void ReadyKeptSize(UINT dpi) {
    // The system's large-icon size: 32 pixels at 96 DPI, more on a denser screen.
    const int width = g_iconShell.metricFor(SM_CXICON, dpi);
    const int height = g_iconShell.metricFor(SM_CYICON, dpi);
    if (width != g_kept.width || height != g_kept.height) {
        g_kept.images.clear();
        g_taskImageList.reset();
        g_kept.list = nullptr;
        g_kept.width = width;
        g_kept.height = height;
    }
}

// The image list for icons at `dpi`: the kept one while its size is right,
// else a new one holding the pictures kept without a list. False where the
// system has no image lists.
bool ReadyImageList(UINT dpi) {
    tessaly::PrepareListsAndDialogs();
    const DynCalls& calls = BindDynCalls(SystemLibrary::Comctl32);
    if (!calls.imageListCreate) {
        return false;
    }
    ReadyKeptSize(dpi);
    if (!g_taskImageList || g_taskImageList.get() != g_kept.list) {
        if (g_kept.list) {
            g_kept.images.clear();
        }
        g_taskImageList.reset(calls.imageListCreate(g_kept.width, g_kept.height, ILC_COLOR32 | ILC_MASK,
                                                    static_cast<int>(g_taskList.Count()), 0));
        g_kept.list = g_taskImageList.get();
        for (size_t i = 0; i < g_kept.images.size(); ++i) {
            HandToList(g_kept.images[i]);
        }
    }
    return true;
}

}  // namespace

void PrepareTaskImage(UINT dpi, Task* task) {
    ReadyKeptSize(dpi);
    // The shell calls that find a command and take a picture may let sent
    // messages run, and one of those may delete or change the task (the
    // settings, an exit): the picture is taken for a copy of what it rests
    // on, and given to the task only where that is still listed and still
    // rests on the same, whichever task holds the address by then.
    Task source;
    lstrcpyW(source.File, task->File);
    lstrcpyW(source.IconPath, task->IconPath);
    source.IconIndex = task->IconIndex;
    int image;
    {
        CommandResolutionMemo memo;
        image = ImageOf(source);
    }
    if (g_taskList.Contains(task) && task->IconIndex == source.IconIndex && wcscmp(task->File, source.File) == 0 &&
        wcscmp(task->IconPath, source.IconPath) == 0) {
        task->ImageIndex = image;
    }
}

void BuildTaskImageList(UINT dpi) {
    if (!ReadyImageList(dpi)) {
        return;
    }
    CommandResolutionMemo memo;
    for (size_t i = 0; i < g_kept.images.size(); ++i) {
        KeptImage& kept = g_kept.images[i];
        kept.used = false;
        kept.holds = ImageHolds(kept);
    }
    for (const auto& task : g_taskList) {
        task->ImageIndex = ImageOf(*task);
    }
    if (DropUnusedImages()) {
        for (const auto& task : g_taskList) {
            task->ImageIndex = ImageOf(*task);
        }
    }
}

void DestroyTaskImageList() {
    g_taskImageList.reset();
    g_kept = KeptForRows();
    ForgetCommandSearches();
}

void ReleaseTaskImageList() {
    if (!g_taskImageList) {
        return;
    }
    for (size_t i = 0; i < g_kept.images.size(); ++i) {
        KeptImage& kept = g_kept.images[i];
        if (kept.image >= 0) {
            kept.icon.reset(g_dynCalls.imageListGetIcon(g_taskImageList.get(), kept.image, ILD_NORMAL));
            kept.image = -1;
        }
    }
    g_taskImageList.reset();
    g_kept.list = nullptr;
}

LRESULT DrawCutRowsGrey(HWND list, NMLVCUSTOMDRAW* draw, const tessaly::Palette& palette) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const UINT state = static_cast<UINT>(
            SendMessageW(list, LVM_GETITEMSTATE, draw->nmcd.dwItemSpec, LVIS_CUT | LVIS_SELECTED));
        const bool cut = (state & LVIS_CUT) != 0;
        // The list would draw the selection in the system's colours.
        if (palette.own) {
            draw->clrText = cut ? palette.grey : palette.text;
            draw->clrTextBk = (state & LVIS_SELECTED) ? palette.selection : palette.background;
            draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS | CDIS_HOT);
            return CDRF_NEWFONT;
        }
        if (cut) {
            draw->clrText = palette.grey;
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// A text of the string table with `argument` in its place, cut to `size`.
static int FormatUiText(UINT formatId, const wchar_t* argument, wchar_t* text, int size) {
    wchar_t format[64], whole[1025];
    tessaly::LoadUiString(g_instance, formatId, format);
    wsprintfW(whole, format, argument);
    lstrcpynW(text, whole, size);
    return lstrlenW(text);
}

int WhyLinkIsGrey(const wchar_t* command, wchar_t* text, int size) {
    const CommandLink link = LinkKind(command);
    if (link == kShellLocation) {
        return tessaly::LoadUiString(g_instance, IDS_NO_SHELL_LOCATION, text, size);
    }
    wchar_t scheme[kSchemeLength];
    if (link != kSchemeLink || !LinkScheme(command, scheme)) {
        return 0;
    }
    return FormatUiText(IDS_NO_SCHEME_HANDLER, scheme, text, size);
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

static_assert(kKeyTextLength == 2 * PIRNEL_KEY_NAME_LENGTH + 2, "two names and the comma between them");

void FormatTaskKey(const Task& task, wchar_t (&text)[kKeyTextLength]) {
    if (task.vk == kNoKey) {
        tessaly::LoadUiString(g_instance, IDS_NONE, text);
        return;
    }
    int length = PirnelGetKeyName(task.fsModifiers, task.vk, text);
    if (task.NextVk != kNoKey) {
        lstrcpyW(text + length, L", ");
        PirnelGetKeyName(task.NextModifiers, task.NextVk, text + length + 2);
    }
}

int SayWhereKeyWorks(const Task& task, wchar_t* text, int size) {
    if (task.Condition != kOnlyIn && task.Condition != kExceptIn) {
        return 0;
    }
    return FormatUiText(IDS_ONLY_IN_TIP + task.Condition - kOnlyIn, task.Programs, text, size);
}

int InsertTaskRow(HWND window, Task* task, int select, int showCommand, int row, int found) {
    HWND list = ListOf(window);
    if (found < 0) {
        wchar_t resolved[MAX_PATH];
        found = ResolveCommand(task->File, resolved);
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

    wchar_t keyText[kKeyTextLength];
    FormatTaskKey(*task, keyText);
    LVITEMW key = {};
    key.mask = LVIF_TEXT;
    key.iItem = index;
    key.iSubItem = 1;
    key.pszText = keyText;
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&key));
    return index;
}

bool RefreshItemIDList(Task* task) {
    wchar_t resolved[MAX_PATH];
    const CommandLink link = ResolveCommand(task->File, resolved) ? LinkKind(resolved) : kSchemeLink;
    if (link != kNotALink) {
        // A web or app link is no item of the shell's: it has no menu. A
        // shell location's item has its own (an app's pin and uninstall).
        task->ItemIDList.Free();
        if (link == kShellLocation) {
            SHParseDisplayName(resolved, nullptr, &task->ItemIDList.m_pidl, 0, nullptr);
        }
    } else if (!ListNamesPath(task->ItemIDList, resolved)) {
        task->ItemIDList.SetPath(resolved);
    }
    return task->ItemIDList.m_pidl != nullptr;
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
