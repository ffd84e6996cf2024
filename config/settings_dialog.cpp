#include "config/settings_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <iterator>
#include <memory>

#include "common/accessible_names.h"
#include "common/dyn_calls.h"
#include "common/file_stamp.h"
#include "common/look.h"
#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/ui_libraries.h"
#include "common/working_set.h"
#include "config/pickers.h"
#include "config/task_drop_target.h"
#include "config/task_editor.h"
#include "model/command_search.h"
#include "model/display_settings.h"
#include "model/hotkey.h"
#include "model/key_condition.h"
#include "model/portable.h"
#include "model/store.h"
#include "model/task.h"
#include "resources/resource.h"
#include "windows/task_rows.h"

namespace {

// The system's dialog for a settings file to write or to read.
bool ChooseSettingsFile(HWND owner, bool save, wchar_t (&path)[MAX_PATH]) {
    return ChooseFile(owner, IDS_SETTINGS_FILTER, save, path, L"ini");
}

}  // namespace

SettingsDialogHooks g_settingsDialogHooks = {RunTaskEditor, MessageBoxW, ChooseSettingsFile};

namespace {

constexpr wchar_t kCaption[] = L"Tessaly";
constexpr wchar_t kExportName[] = L"Tessaly-settings.ini";

constexpr int kAlphaSteps = 16;
constexpr int kOpaque = 255;
constexpr int kTimeSteps = 50;
constexpr int kTimeStep = 100;

// One entry for each Location value, Hidden to Center.
constexpr int kLocationCount = 8;
// The task list's columns at 96 DPI.
constexpr int kTaskColumnWidth = 400;
constexpr int kKeyColumnWidth = 150;

tessaly::DialogScale g_scale;
unique_task_drop_target g_dropTarget;

// The buttons that act on the selected row.
const int kRowButtons[] = {IDC_CHANGE, IDC_DELETE, IDC_UP, IDC_DOWN, IDC_OPEN_LOCATION};

void ApplyEnabling(HWND dialog) {
    HWND list = ListOf(dialog);
    int selected = FindSelectedRow(list, -1);
    int count = ListView_GetItemCount(list);
    bool any = selected >= 0;
    bool cut = any && (ListView_GetItemState(list, selected, LVIS_CUT) & LVIS_CUT);
    // A link is in no folder.
    const Task* task = any ? GetSelectedTask(dialog) : nullptr;
    bool located = task && !cut && LinkKind(task->File) == kNotALink;
    const bool enabled[] = {any, any, any && selected > 0, any && selected < count - 1, located};
    for (size_t i = 0; i < std::size(kRowButtons); ++i) {
        EnableWindow(GetDlgItem(dialog, kRowButtons[i]), enabled[i]);
    }
}

// Rows keep the image index they were inserted with: after a rebuild every
// row takes its task's new one.
void RebuildImages(HWND dialog) {
    HWND list = ListOf(dialog);
    ListView_SetImageList(list, nullptr, LVSIL_SMALL);
    BuildTaskImageList(g_scale.Dpi());
    ListView_SetImageList(list, g_taskImageList.get(), LVSIL_SMALL);
    for (int row = 0, count = ListView_GetItemCount(list); row < count; ++row) {
        if (Task* task = GetRowTask(dialog, row)) {
            LVITEMW item = {};
            item.mask = LVIF_IMAGE;
            item.iItem = row;
            item.iImage = task->ImageIndex;
            ListView_SetItem(list, &item);
        }
    }
}

// A new task made from an accepted working copy, its hotkey registered (0
// when the combination is taken: kept all the same, without a word).
std::unique_ptr<Task> TaskFromCopy(const Task& copy) {
    auto task = std::make_unique<Task>(copy);
    task->Atom = RegisterTaskKey(*task);
    return task;
}

void AddAcceptedTask(HWND dialog, const Task& copy) {
    Task* task = g_taskList.Append(TaskFromCopy(copy));
    RebuildImages(dialog);
    InsertTaskRow(dialog, task, 1, 1, -1);
}

void SettingsOnAdd(HWND dialog) {
    Task copy;
    if (g_settingsDialogHooks.runEditor(dialog, &copy, nullptr) == IDOK) {
        AddAcceptedTask(dialog, copy);
    }
}

void SettingsOnChange(HWND dialog) {
    Task* old = GetSelectedTask(dialog);
    if (!old) {
        return;
    }
    Task copy(*old);
    if (g_settingsDialogHooks.runEditor(dialog, &copy, old) != IDOK || !g_taskList.Contains(old)) {
        return;
    }
    HWND list = ListOf(dialog);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    int row = DeleteTaskRow(dialog, old);
    int index = g_taskList.IndexOf(old);
    // The name window may have come or gone while the editor was open: the
    // new task takes the one that is really on screen for it now.
    copy.NameWindow = old->NameWindow;
    // Released before the new one registers, so a task saved with its own
    // combination gets it again.
    g_taskList.Remove(old);
    Task* task = g_taskList.InsertAt(static_cast<size_t>(index), TaskFromCopy(copy));
    // A key the old task held for others that share it goes to one of them.
    RenewTaskKeys();
    RebuildImages(dialog);
    InsertTaskRow(dialog, task, 1, 1, row < 0 ? index : row);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void SettingsOnDelete(HWND dialog) {
    Task* task = GetSelectedTask(dialog);
    if (!task) {
        return;
    }
    wchar_t question[128], caption[32];
    tessaly::LoadUiString(g_instance, IDS_DELETE_QUESTION, question);
    tessaly::LoadUiString(g_instance, IDS_DELETE_CAPTION, caption);
    int answer = g_settingsDialogHooks.messageBox(dialog, question, caption, MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES && g_taskList.Contains(task)) {
        DeleteTaskRow(dialog, task);
        g_taskList.Remove(task);
        RenewTaskKeys();
        ApplyEnabling(dialog);
    }
}

void SettingsOnOpenLocation(HWND dialog) {
    Task* task = GetSelectedTask(dialog);
    wchar_t path[MAX_PATH];
    if (!task || !ResolveCommand(task->File, path) || LinkKind(path) != kNotALink) {
        return;
    }
    wchar_t parameters[MAX_PATH + 16];
    wsprintfW(parameters, L"/select,\"%s\"", path);
    // By full path, so no explorer.exe of the current folder or of PATH is
    // started instead. The shared Windows folder: a program not marked as
    // terminal-server aware may be given a private one of the user's.
    wchar_t explorer[MAX_PATH];
    UINT length = GetSystemWindowsDirectoryW(explorer, MAX_PATH);
    if (length == 0 || length + 14 > MAX_PATH) {
        return;
    }
    lstrcpyW(explorer + length, L"\\explorer.exe");
    ShellExecuteW(nullptr, nullptr, explorer, parameters, nullptr, SW_SHOW);
}

void SettingsOnFont(HWND dialog) {
    LOGFONTW font = g_displaySettings.Font;
    CHOOSEFONTW choose = {};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = dialog;
    choose.lpLogFont = &font;
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    choose.rgbColors = g_displaySettings.FontColor;
    choose.nFontType = SCREEN_FONTTYPE;
    auto chooseFont = BindDynCalls(SystemLibrary::Comdlg32).chooseFont;
    if (!chooseFont || !chooseFont(&choose)) {
        return;
    }
    g_displaySettings.Font = font;
    g_displaySettings.FontColor = choose.rgbColors;
    RenewDisplayFont();
}

void ShowTime(HWND dialog) {
    wchar_t text[32];
    FormatTime(g_displaySettings.Time, text);
    SetDlgItemTextW(dialog, IDC_TIME_TEXT, text);
}

void SetUpSlider(HWND dialog, int control, int steps, int position) {
    HWND slider = GetDlgItem(dialog, control);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, steps));
    SendMessageW(slider, TBM_SETTICFREQ, 1, 0);
    SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
    SendMessageW(slider, TBM_SETPAGESIZE, 0, 1);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
}

void SettingsOnScroll(HWND dialog, HWND slider) {
    int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    switch (GetDlgCtrlID(slider)) {
    case IDC_ALPHA:
        g_displaySettings.Alpha = PositionToAlpha(position);
        break;
    case IDC_TIME:
        g_displaySettings.Time = PositionToTime(position);
        ShowTime(dialog);
        break;
    default:
        break;
    }
}

// A dropped file is read as a shortcut (an Internet Shortcut among them)
// or as itself; a shell item without one is its command and name alone.
void OfferDroppedTask(HWND dialog, const wchar_t* command, const wchar_t* name) {
    Task copy;
    if (name) {
        lstrcpyW(copy.File, command);
        lstrcpynW(copy.Name, name, kTextFieldLength);
    } else {
        ReadShortcut(command, copy.File, copy.Parameter, copy.WorkingFolder, &copy.Show, copy.Name);
    }
    if (g_settingsDialogHooks.runEditor(dialog, &copy, nullptr) == IDOK) {
        AddAcceptedTask(dialog, copy);
    }
}

// Each dropped path becomes a task through the editor; a cancelled editor
// skips only its own path.
void SettingsOnDropFiles(HWND dialog, HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t path[MAX_PATH];
        // A longer path would be cut into another one: it is skipped.
        if (DragQueryFileW(drop, i, nullptr, 0) >= MAX_PATH || !DragQueryFileW(drop, i, path, MAX_PATH)) {
            continue;
        }
        OfferDroppedTask(dialog, path, nullptr);
    }
    DragFinish(drop);
}

void SettingsOnDropItems(HWND dialog, HGLOBAL items) {
    tessaly::unique_hglobal owned(items);
    OfferDroppedItems(dialog, items, OfferDroppedTask);
}

// One row for each task, in list order, none selected, the first focused.
void ShowTasks(HWND dialog) {
    HWND list = ListOf(dialog);
    {
        // The launcher's kept images and command searches serve here too.
        CommandResolutionMemo memo;
        ListView_SetImageList(list, nullptr, LVSIL_SMALL);
        BuildTaskImageList(g_scale.Dpi());
        ListView_SetImageList(list, g_taskImageList.get(), LVSIL_SMALL);
        for (const auto& task : g_taskList) {
            InsertTaskRow(dialog, task.get(), 0, 1, -1);
        }
    }
    if (ListView_GetItemCount(list) > 0) {
        ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    }
}

void ShowDisplaySettings(HWND dialog) {
    SendDlgItemMessageW(dialog, IDC_LOCATION, CB_SETCURSEL, static_cast<WPARAM>(g_displaySettings.Location), 0);
    SetUpSlider(dialog, IDC_ALPHA, kAlphaSteps, AlphaToPosition(g_displaySettings.Alpha));
    SetUpSlider(dialog, IDC_TIME, kTimeSteps, TimeToPosition(g_displaySettings.Time));
    ShowTime(dialog);
    CheckDlgButton(dialog, IDC_FADE, g_displaySettings.Fade ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SHOW_ICON, ShownIconSetting() ? BST_CHECKED : BST_UNCHECKED);
    ApplyEnabling(dialog);
}

void SettingsOnInitDialog(HWND dialog) {
    auto smallIcon = static_cast<HICON>(LoadImageW(g_instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    auto largeIcon = static_cast<HICON>(LoadImageW(g_instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 0, 0,
                                                   LR_DEFAULTSIZE));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
    DragAcceptFiles(dialog, TRUE);
    // Drags from the Start menu and the Applications folder carry shell
    // items alone, which only an OLE target is offered.
    g_dropTarget.Register(dialog);
    const UINT dpi = g_scale.Start(dialog);

    HWND list = ListOf(dialog);
    // Its label is the frame around it, which screen readers do not take
    // for one.
    wchar_t name[32];
    tessaly::LoadUiString(g_instance, IDS_ACC_TASK_LIST, name);
    tessaly::AccessibleNames().Set(list, name);
    DWORD styles = ListView_GetExtendedListViewStyle(list);
    ListView_SetExtendedListViewStyle(list, styles | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    wchar_t title[32];
    tessaly::LoadUiString(g_instance, IDS_TASK_COLUMN, title);
    InsertListColumn(list, 0, tessaly::ScaleTo(kTaskColumnWidth, dpi), title);
    tessaly::LoadUiString(g_instance, IDS_KEY_COLUMN, title);
    InsertListColumn(list, 1, tessaly::ScaleTo(kKeyColumnWidth, dpi), title);
    ShowTasks(dialog);
    for (int location = 0; location < kLocationCount; ++location) {
        wchar_t text[32];
        tessaly::LoadUiString(g_instance, IDS_LOCATION_FIRST + location, text);
        SendDlgItemMessageW(dialog, IDC_LOCATION, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    ShowDisplaySettings(dialog);
}

// Whether `path` is the live settings file: the same full path in any case,
// or the same file reached by another name (a short name, a link, another
// letter for its folder).
bool NamesLiveStore(const wchar_t* path) {
    const wchar_t* live = PortableStoreFile();
    if (!live) {
        return false;
    }
    wchar_t full[MAX_PATH], fullLive[MAX_PATH];
    const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
    const DWORD liveLength = GetFullPathNameW(live, MAX_PATH, fullLive, nullptr);
    if (length && length < MAX_PATH && liveLength && liveLength < MAX_PATH &&
        CompareStringOrdinal(full, -1, fullLive, -1, TRUE) == CSTR_EQUAL) {
        return true;
    }
    tessaly::unique_hfile file(tessaly::OpenForAttributes(path));
    tessaly::unique_hfile liveFile(file ? tessaly::OpenForAttributes(live) : INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION one, other;
    return liveFile && GetFileInformationByHandle(file.get(), &one) &&
           GetFileInformationByHandle(liveFile.get(), &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
           one.nFileIndexLow == other.nFileIndexLow;
}

// A message naming `path` on a line of its own; the user's answer.
int AskAbout(HWND dialog, UINT formatId, const wchar_t* path, UINT type) {
    wchar_t format[128], text[MAX_PATH + 128];
    tessaly::LoadUiString(g_instance, formatId, format);
    wsprintfW(text, format, path);
    return g_settingsDialogHooks.messageBox(dialog, text, kCaption, type);
}

// Starts in the user's Documents folder, never beside the live settings
// file, and never writes over that file: the file dialog's own question
// would offer to, so the question of another file's replacing is asked here.
void SettingsOnExport(HWND dialog) {
    wchar_t path[MAX_PATH];
    tessaly::unique_cotaskmem documents;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr,
                                    reinterpret_cast<PWSTR*>(documents.put()))) ||
        !PathCombineW(path, static_cast<const wchar_t*>(documents.get()), kExportName)) {
        lstrcpyW(path, kExportName);
    }
    documents.reset();
    for (;;) {
        if (!g_settingsDialogHooks.chooseFile(dialog, true, path)) {
            return;
        }
        if (NamesLiveStore(path)) {
            AskAbout(dialog, IDS_EXPORT_LIVE_STORE, path, MB_OK | MB_ICONWARNING);
        } else if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES ||
                   AskAbout(dialog, IDS_EXPORT_REPLACE, path, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES) {
            break;
        }
    }
    if (!ExportStore(path)) {
        const DWORD error = GetLastError();
        ReportSaveFailure(dialog, path, error, IDS_EXPORT_AGAIN);
    }
}

// Nothing changes until the user has seen how many tasks the file holds and
// agreed; a file that is not ours changes nothing at all.
void SettingsOnImport(HWND dialog) {
    wchar_t path[MAX_PATH] = {};
    if (!g_settingsDialogHooks.chooseFile(dialog, false, path)) {
        return;
    }
    StoreImport import;
    wchar_t text[256];
    if (!import.Read(path)) {
        tessaly::LoadUiString(g_instance, IDS_IMPORT_REFUSED, text);
        g_settingsDialogHooks.messageBox(dialog, text, kCaption, MB_OK | MB_ICONERROR);
        return;
    }
    wchar_t format[160];
    tessaly::LoadUiString(g_instance, IDS_IMPORT_QUESTION, format);
    wsprintfW(text, format, static_cast<int>(import.TaskCount()));
    if (g_settingsDialogHooks.messageBox(dialog, text, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    HWND list = ListOf(dialog);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    import.Apply();
    RenewDisplayFont();
    ShowTasks(dialog);
    ShowDisplaySettings(dialog);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void SettingsOnDestroy(HWND dialog) {
    g_dropTarget.reset();
    // The image list belongs to the task rows and outlives the dialog.
    ListView_SetImageList(ListOf(dialog), nullptr, LVSIL_SMALL);
    tessaly::AccessibleNames().Clear(ListOf(dialog));
    for (WPARAM size : {ICON_SMALL, ICON_BIG}) {
        tessaly::SetCaptionIcon(dialog, size, nullptr);
    }
    g_scale.End();
    tessaly::TrimWorkingSet();
}

// Moved to a monitor of another scale: the dialog, its controls and font
// follow in the shared rescaling; the task list's columns and icons here.
void SettingsOnDpiChanged(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const UINT old = g_scale.Change(dialog, wParam, lParam);
    HWND list = ListOf(dialog);
    for (int column = 0; column < 2; ++column) {
        ListView_SetColumnWidth(list, column,
                                MulDiv(ListView_GetColumnWidth(list, column), static_cast<int>(g_scale.Dpi()),
                                       static_cast<int>(old)));
    }
    RebuildImages(dialog);
}

// Whether the task's key does not work: a task before it in the list has
// keys that clash with its own where both apply, or no task of ours holds its
// first step and another program does. A task whose key works only with some
// programs in front holds it only then, so for it the key is tried. While the
// hotkeys are paused none is registered, and none is taken.
bool KeyTaken(const Task& task) {
    if (task.vk == kNoKey || HotKeysPaused()) {
        return false;
    }
    for (const auto& other : g_taskList) {
        if (other.get() == &task) {
            break;
        }
        if (KeysClash(task, *other)) {
            return true;
        }
    }
    return TaskKeyTaken(task);
}

// Hotkey conflicts are not announced; the row of a task whose combination is
// held elsewhere says so when the mouse rests on it, after where the key
// works. So does a grey link's row, whose command looks right and still opens
// nothing.
void SettingsOnInfoTip(HWND dialog, NMLVGETINFOTIPW* tip) {
    Task* task = GetRowTask(dialog, tip->iItem);
    if (!task || !tip->pszText || tip->cchTextMax <= 0) {
        return;
    }
    wchar_t text[kGreyLinkReasonLength + kTextFieldLength + 256] = {}, part[kGreyLinkReasonLength + kTextFieldLength];
    auto add = [&](int written) {
        if (written > 0) {
            lstrcatW(text[0] ? lstrcatW(text, L"\r\n") : text, part);
        }
    };
    add(ListView_GetItemState(ListOf(dialog), tip->iItem, LVIS_CUT) & LVIS_CUT ? WhyLinkIsGrey(task->File, part) : 0);
    add(task->vk != kNoKey ? SayWhereKeyWorks(*task, part, kGreyLinkReasonLength + kTextFieldLength) : 0);
    add(KeyTaken(*task) ? tessaly::LoadUiString(g_instance, IDS_KEY_IN_USE, part) : 0);
    if (text[0] != L'\0') {
        lstrcpynW(tip->pszText, text, tip->cchTextMax);
    }
}

LRESULT SettingsOnNotify(HWND dialog, NMHDR* header) {
    if (header->idFrom != IDC_LIST) {
        return 0;
    }
    switch (header->code) {
    case NM_DBLCLK:
    case NM_RETURN:
        if (GetSelectedTask(dialog)) {
            SettingsOnChange(dialog);
        } else {
            SettingsOnAdd(dialog);
        }
        break;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) {
            SettingsOnDelete(dialog);
        }
        break;
    case LVN_ITEMCHANGED:
        ApplyEnabling(dialog);
        break;
    case LVN_GETINFOTIPW:
        SettingsOnInfoTip(dialog, reinterpret_cast<NMLVGETINFOTIPW*>(header));
        break;
    case NM_CUSTOMDRAW:
        return DrawCutRowsGrey(ListOf(dialog), reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    default:
        break;
    }
    return 0;
}

BOOL SettingsOnCommand(HWND dialog, WPARAM wParam) {
    HWND list = ListOf(dialog);
    switch (LOWORD(wParam)) {
    case IDC_ADD:
        SettingsOnAdd(dialog);
        break;
    case IDC_CHANGE:
        SettingsOnChange(dialog);
        break;
    case IDC_DELETE:
        SettingsOnDelete(dialog);
        break;
    case IDC_UP:
        if (Task* task = GetSelectedTask(dialog); task && FindSelectedRow(list, -1) > 0) {
            MoveTaskUp(dialog, task);
        }
        break;
    case IDC_DOWN:
        if (Task* task = GetSelectedTask(dialog); task && FindSelectedRow(list, -1) < ListView_GetItemCount(list) - 1) {
            MoveTaskDown(dialog, task);
        }
        break;
    case IDC_OPEN_LOCATION:
        SettingsOnOpenLocation(dialog);
        break;
    case IDC_LOCATION:
        if (HIWORD(wParam) != CBN_SELCHANGE) {
            return FALSE;
        }
        g_displaySettings.Location =
            static_cast<int>(SendDlgItemMessageW(dialog, IDC_LOCATION, CB_GETCURSEL, 0, 0));
        break;
    case IDC_FONT:
        SettingsOnFont(dialog);
        break;
    case IDC_FADE:
        g_displaySettings.Fade = IsDlgButtonChecked(dialog, IDC_FADE) == BST_CHECKED ? 1 : 0;
        break;
    case IDC_SHOW_ICON:
        ApplyShowIconSetting(IsDlgButtonChecked(dialog, IDC_SHOW_ICON) == BST_CHECKED ? 1 : 0);
        break;
    case IDC_EXPORT:
        SettingsOnExport(dialog);
        break;
    case IDC_IMPORT:
        SettingsOnImport(dialog);
        break;
    default:
        // Enter and Esc (IDOK, IDCANCEL) do not close the dialog.
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int AlphaToPosition(int alpha) { return alpha == kOpaque ? kAlphaSteps : alpha / 16; }

int PositionToAlpha(int position) { return position == kAlphaSteps ? kOpaque : position * 16; }

int TimeToPosition(int milliseconds) { return milliseconds / kTimeStep; }

int PositionToTime(int position) { return position * kTimeStep; }

void FormatTime(int milliseconds, wchar_t (&text)[32]) {
    wchar_t format[16];
    tessaly::LoadUiString(g_instance, IDS_TIME_FORMAT, format);
    wsprintfW(text, format, milliseconds / 1000, (milliseconds % 1000) / 100);
}

namespace {

// The system's words for `error` in the interface's language where it has
// them, else in its own; false when it has none.
bool FormatReason(DWORD error, wchar_t (&reason)[256]) {
    DWORD length = 0;
    for (LANGID language : {tessaly::UiLanguage(), LANGID(0)}) {
        if (error && !length) {
            length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                    language, reason, 256, nullptr);
        }
    }
    // The system's texts end with a line break.
    while (length > 0 && reason[length - 1] <= L' ') {
        --length;
    }
    reason[length] = L'\0';
    return length > 0;
}

UINT AdviceFor(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return IDS_SAVE_ADVICE_ACCESS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return IDS_SAVE_ADVICE_FULL;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return IDS_SAVE_ADVICE_IN_USE;
    default:
        return 0;
    }
}

}  // namespace

// The place on a line of its own, where the box breaks no line inside it;
// then the system's reason, what may mend it, and how to try again.
void ReportSaveFailure(HWND owner, const wchar_t* place, DWORD error, UINT againId) {
    wchar_t format[64], text[1024], part[256];
    tessaly::LoadUiString(g_instance, IDS_SAVE_FAILED, format);
    int length = wsprintfW(text, format, place);
    auto append = [&](const wchar_t* separator, const wchar_t* more) {
        for (const wchar_t* piece : {separator, more}) {
            lstrcpynW(text + length, piece, static_cast<int>(std::size(text)) - length);
            length += lstrlenW(text + length);
        }
    };
    if (FormatReason(error, part)) {
        append(L"\n\n", part);
    }
    if (const UINT advice = AdviceFor(error); advice && tessaly::LoadUiString(g_instance, advice, part)) {
        append(L"\n", part);
    }
    tessaly::LoadUiString(g_instance, againId, part);
    append(L"\n\n", part);
    g_settingsDialogHooks.messageBox(owner, text, kCaption, MB_OK | MB_ICONERROR);
}

void ReportSetAsideStore(HWND owner) {
    bool saved = false;
    wchar_t place[kSetAsidePlaceLength];
    if (!TakeSetAsidePlace(place, saved)) {
        return;
    }
    wchar_t format[224], text[2 * MAX_PATH + 256];
    tessaly::LoadUiString(g_instance, saved ? IDS_STORE_SET_ASIDE_SAVED : IDS_STORE_SET_ASIDE, format);
    wsprintfW(text, format, StoreLocation(), place);
    g_settingsDialogHooks.messageBox(owner, text, kCaption, MB_OK | MB_ICONWARNING);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SettingsOnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return SettingsOnCommand(dialog, wParam);
    case WM_NOTIFY:
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, SettingsOnNotify(dialog, reinterpret_cast<NMHDR*>(lParam)));
        return TRUE;
    case WM_HSCROLL:
        SettingsOnScroll(dialog, reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_DROPFILES:
        SettingsOnDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_ITEMS_DROPPED:
        SettingsOnDropItems(dialog, reinterpret_cast<HGLOBAL>(wParam));
        return TRUE;
    case WM_DPICHANGED:
        SettingsOnDpiChanged(dialog, wParam, lParam);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        SettingsOnDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

IDropTarget* SettingsDropTarget() { return g_dropTarget.get(); }

INT_PTR RunSettingsDialog() {
    RememberWindowInFront();
    // Its drag and drop, pickers and shortcuts need COM and OLE.
    tessaly::PrepareShellUse();
    tessaly::PrepareListsAndDialogs();
    return tessaly::UiDialogBox(g_instance, IDD_SETTINGS, nullptr, SettingsDialogProc, 0);
}
