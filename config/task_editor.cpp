#include "config/task_editor.h"

#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlwapi.h>

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
#include "model/task.h"
#include "resources/resource.h"
#include "windows/task_rows.h"

KeyCaptureDialogs g_keyCaptureDialogs = {PirnelDialogBox, PirnelReferDialogBox};

namespace {

constexpr int kShowEntryCount = 3;
constexpr int kNormalEntry = 0;
constexpr int kMinimizedEntry = 1;
constexpr int kMaximizedEntry = 2;

// The editor opens over the settings, which keep a scale of their own.
tessaly::DialogScale g_scale;

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

// Only a switch can toggle; the choice is kept while it cannot.
void EnableToggle(HWND dialog) { EnableWindow(GetDlgItem(dialog, IDC_TOGGLE), IsChecked(dialog, IDC_ACTIVATE)); }

// Buttons whose captions ("...", ">") say nothing to a screen reader, and
// the names it reads instead.
const struct {
    int control;
    UINT name;
} kUnnamedButtons[] = {
    {IDC_KEY_LIST, IDS_ACC_KEY_LIST},
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
    for (const auto& button : kUnnamedButtons) {
        names.Clear(GetDlgItem(dialog, button.control));
    }
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
    SetDlgItemTextW(dialog, IDC_KEY, name);
    // The caption is only the key: a screen reader says what the button is for.
    wchar_t format[64], accessible[64 + PIRNEL_VIRTUAL_KEY_NAME_LENGTH];
    tessaly::LoadUiString(g_instance, IDS_ACC_KEY, format);
    wsprintfW(accessible, format, name);
    tessaly::AccessibleNames().Set(GetDlgItem(dialog, IDC_KEY), accessible);
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

void ReadText(HWND dialog, int control, wchar_t (&text)[kTextFieldLength]) {
    text[0] = L'\0';
    GetDlgItemTextW(dialog, control, text, static_cast<int>(kTextFieldLength));
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

// Says in the dialog whether the combination will work: nothing for a free
// key or none; else who holds it, another task of the list first. The
// edited task's own registered key is ours to keep. A key that works, but
// without Ctrl, Alt or Windows, gets a note: Windows keeps what is typed
// into an elevated window from programs that are not, and Shift only types,
// so such a key reaches us only while no elevated window is in front. Who
// holds the key goes first: that key never works at all.
void ShowKeyWarning(HWND dialog) {
    const TaskEdit& edit = Edit(dialog);
    const LONG_PTR key = ControlData(dialog, IDC_KEY);
    const UINT vk = static_cast<UINT>(key), modifiers = Modifiers(dialog);
    wchar_t warning[64 + kTextFieldLength] = {};
    const Task* user = nullptr;
    for (const auto& task : g_taskList) {
        if (!user && task.get() != edit.original && task->vk == vk && task->fsModifiers == modifiers) {
            user = task.get();
        }
    }
    const bool ownKey = edit.original && edit.original->Atom != 0 && edit.original->vk == vk &&
                        edit.original->fsModifiers == modifiers;
    if (key == -1) {
        // No key, nothing to hold.
    } else if (user) {
        wchar_t format[64];
        tessaly::LoadUiString(g_instance, IDS_KEY_USED_BY_TASK, format);
        wsprintfW(warning, format, user->Name[0] ? user->Name : user->File);
    } else if (!ownKey && !CanRegisterHotKey(dialog, modifiers, vk)) {
        tessaly::LoadUiString(g_instance, IDS_KEY_HELD, warning);
    } else if ((modifiers & ~MOD_SHIFT) == 0) {
        tessaly::LoadUiString(g_instance, IDS_KEY_ELEVATED, warning);
    }
    SetDlgItemTextW(dialog, IDC_KEY_WARNING, warning);
}

void EditorOnInitDialog(HWND dialog, const TaskEdit* edit) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(edit));
    Task* task = edit->copy;
    NameButtonsForScreenReaders(dialog);
    for (int box : kTextBoxes) {
        SendDlgItemMessageW(dialog, box, EM_LIMITTEXT, kTextFieldLength - 1, 0);
    }
    for (int entry = 0; entry < kShowEntryCount; ++entry) {
        wchar_t text[32];
        tessaly::LoadUiString(g_instance, IDS_SHOW_FIRST + entry, text);
        SendDlgItemMessageW(dialog, IDC_SHOW, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    ShowKey(dialog, task->vk == kNoKey ? -1 : static_cast<LONG_PTR>(task->vk));
    SetModifiers(dialog, task->fsModifiers);
    SetDlgItemTextW(dialog, IDC_FILE, task->File);
    SetDlgItemTextW(dialog, IDC_PARAMETER, task->Parameter);
    SetDlgItemTextW(dialog, IDC_FOLDER, task->WorkingFolder);
    SelectShow(dialog, task->Show);
    SetChecked(dialog, IDC_RUNAS, task->RunAs != 0);
    OSVERSIONINFOW version = {sizeof(version)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // Before elevation existed, the same choice ran the command as another user.
    if (GetVersionExW(&version) && version.dwMajorVersion <= 5) {
        wchar_t caption[64];
        tessaly::LoadUiString(g_instance, IDS_RUN_AS_USER, caption);
        SetDlgItemTextW(dialog, IDC_RUNAS, caption);
    }
#pragma GCC diagnostic pop
    SetDlgItemTextW(dialog, IDC_NAME, task->Name);
    SetDlgItemTextW(dialog, IDC_SOUND, task->Sound);
    SetDlgItemTextW(dialog, IDC_ICON_PATH, task->IconPath);
    SetControlData(dialog, IDC_ICON_PATH, task->IconIndex);
    SetChecked(dialog, IDC_SHOW_LAUNCHER, task->ShowLauncher != 0);
    SetChecked(dialog, IDC_ACTIVATE, task->Activate != 0);
    SetChecked(dialog, IDC_TOGGLE, task->Toggle != 0);
    EnableToggle(dialog);
    RefreshIcon(dialog);
    ShowFileNote(dialog);
    ShowKeyWarning(dialog);
}

void EditorOnCaptureKey(HWND dialog, bool fromList) {
    UINT value = (static_cast<UINT>(ControlData(dialog, IDC_KEY)) & kKeyMask) | (Modifiers(dialog) << kModifierShift);
    UINT result = fromList ? g_keyCaptureDialogs.list(dialog, value) : g_keyCaptureDialogs.capture(dialog, value);
    if ((result & kKeyMask) == PIRNEL_NO_KEY) {
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

void EditorOnPlaySound(HWND dialog) {
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
    task->vk = static_cast<UINT>(ControlData(dialog, IDC_KEY));
    task->fsModifiers = Modifiers(dialog);
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
        EditorOnCaptureKey(dialog, false);
        return TRUE;
    case IDC_KEY_LIST:
        EditorOnCaptureKey(dialog, true);
        return TRUE;
    case IDC_ALT:
    case IDC_CTRL:
    case IDC_SHIFT:
    case IDC_WIN:
        // A modifier changed by hand makes another combination.
        ShowKeyWarning(dialog);
        return TRUE;
    case IDC_ACTIVATE:
        EnableToggle(dialog);
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
        EndDialog(dialog, IDCANCEL);
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
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        tessaly::ShowControlIcon(GetDlgItem(dialog, IDC_TASK_ICON), nullptr);
        ForgetScreenReaderNames(dialog);
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
