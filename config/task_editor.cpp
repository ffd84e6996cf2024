#include "config/task_editor.h"

#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <utility>

#include "common/program_state.h"
#include "common/accessible_names.h"
#include "common/dyn_calls.h"
#include "common/look.h"
#include "common/ui_text.h"
#include "config/pickers.h"
#include "libs/pirnel/pirnel.h"
#include "model/command_search.h"
#include "model/portable.h"
#include "model/hotkey.h"
#include "model/key_condition.h"
#include "model/task.h"
#include "model/window_program.h"
#include "resources/resource.h"
#include "windows/task_rows.h"

KeyCaptureDialogs g_keyCaptureDialogs = {PirnelDialogBox, PirnelReferDialogBox};
HWND g_windowBeforeSettings = nullptr;

// The user's window is the first ordinary one from the top: activation
// brings a window to the top, and the taskbar, which a click on the tray
// activated, is always on top.
void RememberWindowInFront() {
    g_windowBeforeSettings = nullptr;
    for (HWND window = GetTopWindow(nullptr); window && !g_windowBeforeSettings;
         window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (IsWindowVisible(window) && !IsIconic(window) && process != GetCurrentProcessId() &&
            !(GetWindowLongW(window, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW)) && !IsCloaked(window)) {
            g_windowBeforeSettings = window;
        }
    }
}

static bool PressedWithMouse() {
    INPUT_MESSAGE_SOURCE source = {};
    auto current = BindDynCalls(SystemLibrary::User32).getCurrentInputMessageSource;
    return current && current(&source) && source.deviceType != IMDT_KEYBOARD &&
           source.deviceType != IMDT_UNAVAILABLE;
}
bool (*g_pressedWithMouse)() = PressedWithMouse;

namespace {

// The show states and the conditions alike.
constexpr int kListEntryCount = 3;
constexpr int kNormalEntry = 0;
constexpr int kMinimizedEntry = 1;
constexpr int kMaximizedEntry = 2;

// The editor opens over the settings, which keep a scale of their own.
tessaly::DialogScale g_scale;
// Set while Pick waits for a click on a window, with the mouse captured.
bool g_picking = false;

// The edit boxes of the task's text fields. Each holds no more than its field
// (MAX_PATH units with the terminator): OK would cut a longer text, into
// another path or half a character, while the box showed it whole.
const int kTextBoxes[] = {IDC_FILE, IDC_PARAMETER, IDC_FOLDER, IDC_NAME, IDC_SOUND, IDC_ICON_PATH};

constexpr UINT kKeyMask = PIRNEL_KEY_MASK;
constexpr int kModifierShift = PIRNEL_MODIFIER_SHIFT;

// Each modifier check box and its hotkey flag.
const struct {
    int control;
    UINT flag;
} kModifierBoxes[] = {
    {IDC_ALT, MOD_ALT},
    {IDC_CTRL, MOD_CONTROL},
    {IDC_SHIFT, MOD_SHIFT},
    {IDC_WIN, MOD_WIN},
};

const TaskEdit& Edit(HWND dialog) {
    return *reinterpret_cast<const TaskEdit*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}
Task* WorkingCopy(HWND dialog) { return Edit(dialog).copy; }

LONG_PTR ControlData(HWND dialog, int control) {
    return GetWindowLongPtrW(GetDlgItem(dialog, control), GWLP_USERDATA);
}

void SetControlData(HWND dialog, int control, LONG_PTR data) {
    SetWindowLongPtrW(GetDlgItem(dialog, control), GWLP_USERDATA, data);
}

void SetChecked(HWND dialog, int control, bool checked) {
    CheckDlgButton(dialog, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool IsChecked(HWND dialog, int control) { return IsDlgButtonChecked(dialog, control) == BST_CHECKED; }

int Condition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_CONDITION, CB_GETCURSEL, 0, 0));
}

// Only a switch can toggle, and only a condition other than everywhere
// takes programs; a choice is kept while it cannot be made.
void EnableDependents(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDC_TOGGLE), IsChecked(dialog, IDC_ACTIVATE));
    const bool programs = Condition(dialog) != kEverywhere;
    EnableWindow(GetDlgItem(dialog, IDC_PROGRAMS), programs);
    EnableWindow(GetDlgItem(dialog, IDC_PICK), programs);
}

// Buttons whose captions ("...", ">") say nothing to a screen reader, and
// the names it reads instead.
const struct {
    int control;
    UINT name;
} kUnnamedButtons[] = {
    {IDC_KEY_LIST, IDS_ACC_KEY_LIST},
    {IDC_NEXT_KEY_LIST, IDS_ACC_KEY_LIST},
    {IDC_CONDITION, IDS_ACC_CONDITION},
    {IDC_PROGRAMS, IDS_ACC_PROGRAMS},
    {IDC_FILE_BROWSE, IDS_ACC_FILE_BROWSE},
    {IDC_FOLDER_BROWSE, IDS_ACC_FOLDER_BROWSE},
    {IDC_SOUND_BROWSE, IDS_ACC_SOUND_BROWSE},
    {IDC_SOUND_PLAY, IDS_ACC_SOUND_PLAY},
};

void NameButtonsForScreenReaders(HWND dialog) {
    tessaly::AccessibleNames names;
    for (const auto& button : kUnnamedButtons) {
        wchar_t name[64];
        tessaly::LoadUiString(g_instance, button.name, name);
        names.Set(GetDlgItem(dialog, button.control), name);
    }
}

void ForgetScreenReaderNames(HWND dialog) {
    tessaly::AccessibleNames names;
    names.Clear(GetDlgItem(dialog, IDC_KEY));
    names.Clear(GetDlgItem(dialog, IDC_NEXT_KEY));
    for (const auto& button : kUnnamedButtons) {
        names.Clear(GetDlgItem(dialog, button.control));
    }
}

// The caption is only the key: a screen reader says what the button is for.
void CaptionKeyButton(HWND dialog, int control, UINT accessibleFormat, const wchar_t* name) {
    SetDlgItemTextW(dialog, control, name);
    wchar_t format[64], accessible[64 + PIRNEL_KEY_NAME_LENGTH];
    tessaly::LoadUiString(g_instance, accessibleFormat, format);
    wsprintfW(accessible, format, name);
    tessaly::AccessibleNames().Set(GetDlgItem(dialog, control), accessible);
}

// The key's user data is -1 for no key, else the virtual-key code.
void ShowKey(HWND dialog, LONG_PTR vk) {
    SetControlData(dialog, IDC_KEY, vk);
    wchar_t name[PIRNEL_VIRTUAL_KEY_NAME_LENGTH] = {};
    if (vk == -1) {
        tessaly::LoadUiString(g_instance, IDS_SET_KEY, name);
    } else {
        PirnelGetVirtualKeyName(static_cast<UINT>(vk), name);
        name[PIRNEL_VIRTUAL_KEY_NAME_LENGTH - 1] = L'\0';
    }
    CaptionKeyButton(dialog, IDC_KEY, IDS_ACC_KEY, name);
}

// The key that follows keeps its modifiers with it, as the key library's
// dialogs exchange them: its user data is their value, PIRNEL_NO_KEY for none.
void ShowNextKey(HWND dialog, UINT value) {
    const UINT vk = value & kKeyMask;
    SetControlData(dialog, IDC_NEXT_KEY, vk == PIRNEL_NO_KEY ? PIRNEL_NO_KEY : value);
    wchar_t name[PIRNEL_KEY_NAME_LENGTH] = {};
    if (vk == PIRNEL_NO_KEY) {
        tessaly::LoadUiString(g_instance, IDS_NONE, name);
    } else {
        PirnelGetKeyName(value >> kModifierShift, vk, name);
    }
    CaptionKeyButton(dialog, IDC_NEXT_KEY, IDS_ACC_NEXT_KEY, name);
}

UINT Modifiers(HWND dialog) {
    UINT modifiers = 0;
    for (const auto& box : kModifierBoxes) {
        if (IsChecked(dialog, box.control)) {
            modifiers |= box.flag;
        }
    }
    return modifiers;
}

void SetModifiers(HWND dialog, UINT modifiers) {
    for (const auto& box : kModifierBoxes) {
        SetChecked(dialog, box.control, (modifiers & box.flag) != 0);
    }
}

void ReadText(HWND dialog, int control, wchar_t (&text)[kTextFieldLength]) {
    text[0] = L'\0';
    GetDlgItemTextW(dialog, control, text, static_cast<int>(kTextFieldLength));
}

// The keys and where they work as OK stores them: the programs as typed,
// without the blanks and separators around them.
void ReadKeys(HWND dialog, Task& task) {
    task.vk = static_cast<UINT>(ControlData(dialog, IDC_KEY));
    task.fsModifiers = Modifiers(dialog);
    const UINT next = static_cast<UINT>(ControlData(dialog, IDC_NEXT_KEY));
    task.NextVk = next == PIRNEL_NO_KEY ? kNoKey : next & kKeyMask;
    task.NextModifiers = next == PIRNEL_NO_KEY ? 0 : next >> kModifierShift;
    task.Condition = Condition(dialog);
    ReadText(dialog, IDC_PROGRAMS, task.Programs);
    StrTrimW(task.Programs, L" \t;");
}

// Every minimised state reads as "Minimized": a shortcut set to "Minimized"
// holds SW_SHOWMINNOACTIVE, which must not open its program normally.
int ShowEntry(int show) {
    if (show == SW_SHOWMINIMIZED || show == SW_MINIMIZE || show == SW_SHOWMINNOACTIVE) {
        return kMinimizedEntry;
    }
    return show == SW_SHOWMAXIMIZED ? kMaximizedEntry : kNormalEntry;
}

// The combo box's user data is what OK stores while the entry stays as it
// opened: the show command itself where the entry stands for it, so that a
// shortcut's SW_SHOWMINNOACTIVE survives the editor; else the entry's own.
void SelectShow(HWND dialog, int show) {
    const int entry = ShowEntry(show);
    SendDlgItemMessageW(dialog, IDC_SHOW, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    SetControlData(dialog, IDC_SHOW, entry != kNormalEntry ? show : SW_SHOWNORMAL);
}

// A changed selection stores the entry's own show command (its index + 1).
int SelectedShow(HWND dialog) {
    const int entry = static_cast<int>(SendDlgItemMessageW(dialog, IDC_SHOW, CB_GETCURSEL, 0, 0));
    const int opened = static_cast<int>(ControlData(dialog, IDC_SHOW));
    return entry == ShowEntry(opened) ? opened : entry + 1;
}

// Resolves the file edit's command; empty when it cannot be found.
void ResolveFileText(HWND dialog, wchar_t (&path)[MAX_PATH]) {
    wchar_t command[kTextFieldLength];
    ReadText(dialog, IDC_FILE, command);
    if (!ResolveCommand(command, path)) {
        path[0] = L'\0';
    }
}

// The same choice of icon as the task list makes, for the current values.
HICON PreviewIcon(HWND dialog) {
    wchar_t iconPath[kTextFieldLength], command[kTextFieldLength];
    ReadText(dialog, IDC_ICON_PATH, iconPath);
    ReadText(dialog, IDC_FILE, command);
    return FindTaskIcon(iconPath, static_cast<int>(ControlData(dialog, IDC_ICON_PATH)), command);
}

void RefreshIcon(HWND dialog) {
    tessaly::ShowControlIcon(GetDlgItem(dialog, IDC_TASK_ICON), PreviewIcon(dialog));
}

// The line above File says what it takes or, for a link that will not open,
// why: the task's row is grey for it, and here is where it is mended.
void ShowFileNote(HWND dialog) {
    wchar_t command[kTextFieldLength], resolved[MAX_PATH], note[kGreyLinkReasonLength];
    ReadText(dialog, IDC_FILE, command);
    if (!WhyLinkIsGrey(command, note) || ResolveCommand(command, resolved)) {
        tessaly::LoadUiString(g_instance, IDS_FILE_HINT, note);
    }
    SetDlgItemTextW(dialog, IDC_FILE_NOTE, note);
}

// Says in the dialog whether the keys will work: nothing for free keys or
// none; else the first reason they will not, another task of the list first,
// one whose keys clash with these where both apply. A first step a task of
// the list holds (the edited one's own, or one that shares it elsewhere) is
// ours to keep. A key that works, but without Ctrl, Alt or Windows, gets a
// note: Windows keeps what is typed into an elevated window from programs
// that are not, and Shift only types, so such a key reaches us only while no
// elevated window is in front. Who holds the key goes first: that key never
// works at all.
void ShowKeyWarning(HWND dialog) {
    const TaskEdit& edit = Edit(dialog);
    Task keys;
    ReadKeys(dialog, keys);
    const Task* user = nullptr;
    bool ours = false;
    for (const auto& task : g_taskList) {
        ours = ours || (task->Atom != 0 && task->vk == keys.vk && task->fsModifiers == keys.fsModifiers);
        if (!user && task.get() != edit.original && KeysClash(keys, *task)) {
            user = task.get();
        }
    }
    UINT reason = 0;
    if (keys.vk == kNoKey) {
        // No key, nothing to hold.
    } else if (user) {
        reason = IDS_KEY_USED_BY_TASK;
    } else if (!ours && !CanRegisterHotKey(dialog, keys.fsModifiers, keys.vk)) {
        reason = IDS_KEY_HELD;
    } else if ((keys.fsModifiers & ~MOD_SHIFT) == 0 ||
               (keys.NextVk != kNoKey && (keys.NextModifiers & ~MOD_SHIFT) == 0)) {
        // The second key too: typed into an elevated window, it never ends
        // the wait.
        reason = IDS_KEY_ELEVATED;
    }
    wchar_t format[64] = {}, warning[64 + kTextFieldLength];
    if (reason) {
        tessaly::LoadUiString(g_instance, reason, format);
    }
    wsprintfW(warning, format, user ? (user->Name[0] ? user->Name : user->File) : L"");
    SetDlgItemTextW(dialog, IDC_KEY_WARNING, warning);
}

// The program of `window`'s top-level window goes into the list, unless the
// list names it already: by its file name, or a Store app, whose window the
// frame's program shows, by its app id. Tessaly's own windows add nothing,
// nor does a frame whose app cannot be read: it would stand for every app.
void AddProgramOf(HWND dialog, HWND window) {
    window = GetAncestor(window, GA_ROOT);
    wchar_t path[MAX_PATH], appId[kAppIdLength], self[MAX_PATH];
    Task listed;
    ReadKeys(dialog, listed);
    listed.Condition = kOnlyIn;
    if (!window || window == dialog || !ReadWindowProgram(window, path, appId) ||
        ConditionHolds(listed, {path, appId}) ||
        (GetModuleFileNameW(nullptr, self, MAX_PATH) && CompareStringOrdinal(self, -1, path, -1, TRUE) == CSTR_EQUAL)) {
        return;
    }
    const wchar_t* entry = PathFindFileNameW(path);
    if (CompareStringOrdinal(entry, -1, L"ApplicationFrameHost.exe", -1, TRUE) == CSTR_EQUAL) {
        if (appId[0] == L'\0') {
            return;
        }
        entry = appId;
    }
    const int length = lstrlenW(listed.Programs);
    if (length + 2 + lstrlenW(entry) < static_cast<int>(kTextFieldLength)) {
        wsprintfW(listed.Programs + length, length ? L"; %s" : L"%s", entry);
        SetDlgItemTextW(dialog, IDC_PROGRAMS, listed.Programs);
    }
}

// With the mouse, the next click on a window picks it: the dialog captures
// the mouse until then, and the line under the keys says so. From the
// keyboard, the window that was in front before the settings is picked.
void EditorOnPick(HWND dialog) {
    if (!g_pressedWithMouse()) {
        AddProgramOf(dialog, g_windowBeforeSettings);
        return;
    }
    g_picking = true;
    SetCapture(dialog);
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    wchar_t hint[128];
    tessaly::LoadUiString(g_instance, IDS_PICK_HINT, hint);
    SetDlgItemTextW(dialog, IDC_KEY_WARNING, hint);
}

// A click reaches the dialog through the capture, where Windows lets it (on
// a window of ours); one on another program's window goes to that window,
// which Windows brings to the front, and the capture ends while the button is
// still down, the cursor on the window clicked. Esc, or the capture ending
// otherwise, picks nothing.
void EndPick(HWND dialog, UINT message, LPARAM lParam) {
    if (!std::exchange(g_picking, false)) {
        return;
    }
    ReleaseCapture();
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (message == WM_LBUTTONDOWN) {
        ClientToScreen(dialog, &point);
        // Not WindowFromPoint, which passes over disabled windows: the
        // settings under the editor would give the program behind them.
        AddProgramOf(dialog, ChildWindowFromPointEx(GetDesktopWindow(), point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT));
    } else if (message == WM_CAPTURECHANGED && (GetAsyncKeyState(VK_LBUTTON) | GetAsyncKeyState(VK_RBUTTON)) < 0 &&
               GetCursorPos(&point)) {
        AddProgramOf(dialog, WindowFromPoint(point));
    }
    ShowKeyWarning(dialog);
}

void EditorOnInitDialog(HWND dialog, const TaskEdit* edit) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(edit));
    Task* task = edit->copy;
    NameButtonsForScreenReaders(dialog);
    for (int box : kTextBoxes) {
        SendDlgItemMessageW(dialog, box, EM_LIMITTEXT, kTextFieldLength - 1, 0);
    }
    for (const auto& list : {std::make_pair(IDC_SHOW, IDS_SHOW_FIRST), std::make_pair(IDC_CONDITION, IDS_CONDITION_FIRST)}) {
        for (int entry = 0; entry < kListEntryCount; ++entry) {
            wchar_t text[32];
            tessaly::LoadUiString(g_instance, list.second + entry, text);
            SendDlgItemMessageW(dialog, list.first, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
    }
    ShowKey(dialog, task->vk == kNoKey ? -1 : static_cast<LONG_PTR>(task->vk));
    SetModifiers(dialog, task->fsModifiers);
    ShowNextKey(dialog, task->NextVk == kNoKey ? PIRNEL_NO_KEY : task->NextModifiers << kModifierShift | task->NextVk);
    // A condition of a later version counts as everywhere, as it works here.
    SendDlgItemMessageW(dialog, IDC_CONDITION, CB_SETCURSEL,
                        static_cast<UINT>(task->Condition) < kListEntryCount ? task->Condition : kEverywhere, 0);
    SendDlgItemMessageW(dialog, IDC_PROGRAMS, EM_LIMITTEXT, kTextFieldLength - 1, 0);
    SetDlgItemTextW(dialog, IDC_PROGRAMS, task->Programs);
    SetDlgItemTextW(dialog, IDC_FILE, task->File);
    SetDlgItemTextW(dialog, IDC_PARAMETER, task->Parameter);
    SetDlgItemTextW(dialog, IDC_FOLDER, task->WorkingFolder);
    SelectShow(dialog, task->Show);
    SetChecked(dialog, IDC_RUNAS, task->RunAs != 0);
    SetDlgItemTextW(dialog, IDC_NAME, task->Name);
    SetDlgItemTextW(dialog, IDC_SOUND, task->Sound);
    SetDlgItemTextW(dialog, IDC_ICON_PATH, task->IconPath);
    SetControlData(dialog, IDC_ICON_PATH, task->IconIndex);
    SetChecked(dialog, IDC_SHOW_LAUNCHER, task->ShowLauncher != 0);
    SetChecked(dialog, IDC_ACTIVATE, task->Activate != 0);
    SetChecked(dialog, IDC_TOGGLE, task->Toggle != 0);
    EnableDependents(dialog);
    RefreshIcon(dialog);
    ShowFileNote(dialog);
    ShowKeyWarning(dialog);
}

// The key that follows may be a key alone: the key library's dialogs take it
// as they take the task's key, and clear it the same way.
void EditorOnCaptureKey(HWND dialog, bool next, bool fromList) {
    UINT value = next ? static_cast<UINT>(ControlData(dialog, IDC_NEXT_KEY))
                      : (static_cast<UINT>(ControlData(dialog, IDC_KEY)) & kKeyMask) |
                            (Modifiers(dialog) << kModifierShift);
    UINT result = fromList ? g_keyCaptureDialogs.list(dialog, value) : g_keyCaptureDialogs.capture(dialog, value);
    if (next) {
        ShowNextKey(dialog, result);
    } else if ((result & kKeyMask) == PIRNEL_NO_KEY) {
        ShowKey(dialog, -1);
        SetModifiers(dialog, 0);
    } else {
        ShowKey(dialog, static_cast<LONG_PTR>(result & kKeyMask));
        SetModifiers(dialog, (result >> kModifierShift) & 0xF);
    }
    ShowKeyWarning(dialog);
}

void EditorOnBrowseFile(HWND dialog) {
    wchar_t initial[MAX_PATH];
    ResolveFileText(dialog, initial);
    wchar_t title[128];
    tessaly::LoadUiString(g_instance, IDS_BROWSE_COMMAND, title);
    CFolderDialog browse(title, initial, BIF_BROWSEINCLUDEFILES | BIF_NOTRANSLATETARGETS | BIF_NEWDIALOGSTYLE,
                         dialog);
    if (browse.DoModal() != 1) {
        return;
    }
    wchar_t file[MAX_PATH] = {}, parameters[MAX_PATH] = {}, folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    int show = SW_SHOWNORMAL;
    const bool address = ReadShortcut(browse.m_path, file, parameters, folder, &show, name) == kInternetShortcut;
    MakeProgramRelative(file);
    MakeProgramRelative(folder);
    SetDlgItemTextW(dialog, IDC_FILE, file);
    SetDlgItemTextW(dialog, IDC_PARAMETER, parameters);
    SetDlgItemTextW(dialog, IDC_FOLDER, folder);
    SelectShow(dialog, show);
    SetDlgItemTextW(dialog, IDC_NAME, address ? name : browse.m_displayName);
    RefreshIcon(dialog);
    ShowFileNote(dialog);
}

void EditorOnBrowseFolder(HWND dialog) {
    wchar_t initial[MAX_PATH];
    ResolveFileText(dialog, initial);
    if (initial[0] != L'\0' && !PathIsDirectoryW(initial)) {
        PathRemoveFileSpecW(initial);
    }
    wchar_t title[128];
    tessaly::LoadUiString(g_instance, IDS_BROWSE_FOLDER, title);
    CFolderDialog browse(title, initial, BIF_NEWDIALOGSTYLE, dialog);
    if (browse.DoModal() == 1) {
        MakeProgramRelative(browse.m_path);
        SetDlgItemTextW(dialog, IDC_FOLDER, browse.m_path);
    }
}

void EditorOnBrowseSound(HWND dialog) {
    wchar_t path[MAX_PATH];
    ReadText(dialog, IDC_SOUND, path);
    if (ChooseFile(dialog, IDS_SOUND_FILTER, false, path)) {
        MakeProgramRelative(path);
        SetDlgItemTextW(dialog, IDC_SOUND, path);
    }
}

// Kept in its one caller: a function of its own costs an unwind entry too.
inline __attribute__((always_inline)) void EditorOnPlaySound(HWND dialog) {
    wchar_t sound[kTextFieldLength];
    ReadText(dialog, IDC_SOUND, sound);
    wchar_t anchored[MAX_PATH];
    const wchar_t* path = AnchorPath(sound, anchored);
    if (path && path[0] != L'\0') {
        g_runShell.playSound(path, nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    }
}

void EditorOnChangeIcon(HWND dialog) {
    wchar_t path[MAX_PATH];
    ReadText(dialog, IDC_ICON_PATH, path);
    int index = static_cast<int>(ControlData(dialog, IDC_ICON_PATH));
    if (path[0] == L'\0') {
        // The command the task had when the editor opened, not the edit's text.
        if (!ResolveCommand(WorkingCopy(dialog)->File, path) || LinkKind(path) != kNotALink) {
            path[0] = L'\0';
        }
        index = 0;
    }
    CPickIconDialog picker(path, index, dialog);
    if (picker.DoModal() == 1) {
        MakeProgramRelative(picker.m_path);
        SetDlgItemTextW(dialog, IDC_ICON_PATH, picker.m_path);
        SetControlData(dialog, IDC_ICON_PATH, picker.m_index);
        RefreshIcon(dialog);
    }
}

void EditorOnDefaultIcon(HWND dialog) {
    SetDlgItemTextW(dialog, IDC_ICON_PATH, L"");
    SetControlData(dialog, IDC_ICON_PATH, 0);
    RefreshIcon(dialog);
}

void EditorOnOk(HWND dialog) {
    Task* task = WorkingCopy(dialog);
    ReadKeys(dialog, *task);
    ReadText(dialog, IDC_FILE, task->File);
    ReadText(dialog, IDC_PARAMETER, task->Parameter);
    ReadText(dialog, IDC_FOLDER, task->WorkingFolder);
    task->Show = SelectedShow(dialog);
    task->RunAs = IsChecked(dialog, IDC_RUNAS) ? 1 : 0;
    ReadText(dialog, IDC_NAME, task->Name);
    ReadText(dialog, IDC_SOUND, task->Sound);
    ReadText(dialog, IDC_ICON_PATH, task->IconPath);
    task->IconIndex = static_cast<int>(ControlData(dialog, IDC_ICON_PATH));
    task->ShowLauncher = IsChecked(dialog, IDC_SHOW_LAUNCHER) ? 1 : 0;
    task->Activate = IsChecked(dialog, IDC_ACTIVATE) ? 1 : 0;
    task->Toggle = IsChecked(dialog, IDC_TOGGLE) ? 1 : 0;
    EndDialog(dialog, IDOK);
}

BOOL EditorOnCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_KEY:
    case IDC_KEY_LIST:
    case IDC_NEXT_KEY:
    case IDC_NEXT_KEY_LIST:
        EditorOnCaptureKey(dialog, LOWORD(wParam) >= IDC_NEXT_KEY,
                           LOWORD(wParam) == IDC_KEY_LIST || LOWORD(wParam) == IDC_NEXT_KEY_LIST);
        return TRUE;
    case IDC_ALT:
    case IDC_CTRL:
    case IDC_SHIFT:
    case IDC_WIN:
        // A modifier changed by hand makes another combination.
        ShowKeyWarning(dialog);
        return TRUE;
    case IDC_ACTIVATE:
        EnableDependents(dialog);
        return TRUE;
    case IDC_CONDITION:
    case IDC_PROGRAMS:
        // Where the key works decides which tasks it may clash with.
        if (HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == EN_CHANGE) {
            EnableDependents(dialog);
            ShowKeyWarning(dialog);
            return TRUE;
        }
        return FALSE;
    case IDC_PICK:
        EditorOnPick(dialog);
        return TRUE;
    case IDC_FILE:
        if (HIWORD(wParam) == EN_KILLFOCUS) {
            RefreshIcon(dialog);
            ShowFileNote(dialog);
            return TRUE;
        }
        return FALSE;
    case IDC_FILE_BROWSE:
        EditorOnBrowseFile(dialog);
        return TRUE;
    case IDC_FOLDER_BROWSE:
        EditorOnBrowseFolder(dialog);
        return TRUE;
    case IDC_SOUND_BROWSE:
        EditorOnBrowseSound(dialog);
        return TRUE;
    case IDC_SOUND_PLAY:
        EditorOnPlaySound(dialog);
        return TRUE;
    case IDC_ICON_CHANGE:
        EditorOnChangeIcon(dialog);
        return TRUE;
    case IDC_ICON_DEFAULT:
        EditorOnDefaultIcon(dialog);
        return TRUE;
    case IDOK:
        EditorOnOk(dialog);
        return TRUE;
    case IDCANCEL:
        // Esc while picking ends the pick, not the editor.
        if (g_picking) {
            EndPick(dialog, IDCANCEL, 0);
        } else {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK TaskEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_scale.Start(dialog);
        EditorOnInitDialog(dialog, reinterpret_cast<const TaskEdit*>(lParam));
        return TRUE;
    case WM_DPICHANGED:
        g_scale.Change(dialog, wParam, lParam);
        return TRUE;
    case WM_COMMAND:
        return EditorOnCommand(dialog, wParam);
    case WM_LBUTTONDOWN:
    case WM_CAPTURECHANGED:
        EndPick(dialog, message, lParam);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        tessaly::ShowControlIcon(GetDlgItem(dialog, IDC_TASK_ICON), nullptr);
        ForgetScreenReaderNames(dialog);
        g_picking = false;
        g_scale.End();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR RunTaskEditor(HWND owner, Task* workingCopy, const Task* original) {
    TaskEdit edit = {workingCopy, original};
    return tessaly::UiDialogBox(g_instance, IDD_TASK, owner, TaskEditorProc, reinterpret_cast<LPARAM>(&edit));
}
