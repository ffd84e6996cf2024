#include "app/main_window.h"

#include <commctrl.h>

#include "app/run_task.h"
#include "app/second_key.h"
#include "app/tray_icon.h"
#include "common/dark_parts.h"
#include "common/environment.h"
#include "common/dyn_calls.h"
#include "common/look.h"
#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/ui_libraries.h"
#include "common/working_set.h"
#include "config/about_dialog.h"
#include "config/settings_dialog.h"
#include "libs/pirnel/pirnel.h"
#include "libs/quillet/quillet.h"
#include "model/display_settings.h"
#include "model/hotkey.h"
#include "model/store.h"
#include "model/task.h"
#include "resources/resource.h"
#include "windows/hint_window.h"
#include "windows/launcher_window.h"
#include "windows/name_window.h"
#include "windows/task_rows.h"

const wchar_t kMainWindowClass[] = L"Tessaly_MainWindowClass";
const wchar_t kMainWindowTitle[] = L"Tessaly";
// Registered before anything runs, so a taskbar restart is never missed.
const UINT g_taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");

namespace {

// Set while the settings dialog runs, whose edits are the user's only copy
// until the store is written.
bool g_settingsOpen = false;

bool RegisterPlainClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HCURSOR cursor,
                        HBRUSH background) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

// The picture drawn for the taskbar's theme, at the small-icon size of its
// scale (16 pixels at 96 DPI): the taskbar is on the primary monitor, where
// the main window is too.
HICON LoadTrayPicture(HWND window) {
    const int size = tessaly::MetricFor(SM_CXSMICON, tessaly::WindowDpi(window));
    const int picture = tessaly::CurrentLook().darkTaskbar ? IDI_TRAY_DARK : IDI_MAIN;
    return static_cast<HICON>(
        LoadImageW(g_instance, MAKEINTRESOURCEW(picture), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void AddTrayIcon(HWND window) {
    g_trayIcon.Create(window, TRAY_ICON_ID, WM_TRAYNOTIFY, LoadTrayPicture(window), kMainWindowTitle, 1);
}

LRESULT MainOnCreate(HWND window) {
    g_mainWindow = window;
    BindDynCalls(SystemLibrary::User32);
    // The theme now; afterwards only when Windows announces another.
    tessaly::ReadLook();
    if (tessaly::CurrentLook().darkApps) {
        tessaly::DarkMenus(true);
    }
    g_nameDpi = tessaly::WindowDpi(window);

    // Without layering a white background would hide what lies under the text.
    HBRUSH nameBackground =
        g_dynCalls.setLayeredWindowAttributes ? static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)) : nullptr;
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    if (!RegisterPlainClass(g_instance, kNameWindowClass, NameWindowProc, arrow, nameBackground)) {
        return -1;
    }
    if (!RegisterPlainClass(g_instance, kLauncherWindowClass, LauncherWindowProc, arrow,
                            reinterpret_cast<HBRUSH>(COLOR_BTNSHADOW + 1)) ||
        !RegisterPlainClass(g_instance, kHintWindowClass, HintWindowProc, arrow, nullptr)) {
        return -1;
    }
    QuilletInitialize();
    AddTrayIcon(window);

    SeedDisplaySettings();
    wchar_t name[kTextFieldLength];
    tessaly::LoadUiString(g_instance, IDS_NOTEPAD, name);
    CreateDefaultTask('N', L"notepad", name);
    tessaly::LoadUiString(g_instance, IDS_CALCULATOR, name);
    CreateDefaultTask('C', L"calc", name);
    if (!LoadStore()) {
        // First start: the settings open once the message loop runs, and
        // closing them writes the store.
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_SETTINGS, 0), 0);
    }
    RenewDisplayFont();
    DestroyTaskImageList();
    tessaly::TrimWorkingSet();
    return 0;
}

void MainOnDestroy() {
    // Ending while the settings are open (an exit or close sent from outside)
    // saves them now: once the tasks are released below there is nothing
    // left to save, and the save after the dialog is skipped.
    if (g_settingsOpen) {
        SaveStore();
    }
    EndLauncherPreparation();
    DestroyTaskImageList();
    EndSecondKeyWait();
    g_taskList.Clear();
    RenewTaskKeys();
    g_trayIcon.Destroy();
    DestroySpareNameWindow();
    DeleteDisplayFont();
    QuilletUninitialize();
    // COM and OLE, started by the first list, dialog or run, end with the
    // message loop, not here: a shell dialog opened from the launcher's menu
    // or the editor's folder browser may still be on the stack, and would
    // return into a handler already unloaded.
    PostQuitMessage(0);
}

// At sign-out or shutdown the system ends the process after this message,
// without the dialog's close or WM_DESTROY: the settings' edits are written now.
void MainOnEndSession(WPARAM ending) {
    if (!ending) {
        return;
    }
    // A key capture still running lets go of the keyboard before the end.
    PirnelEndKeyCapture();
    if (g_settingsOpen) {
        SaveStore();
    }
}

POINT CursorPosition() {
    POINT point = {};
    GetCursorPos(&point);
    return point;
}

void ShowLauncherAtCursor(HWND window) {
    SetForegroundWindow(window);
    ShowLauncherWindow(CursorPosition());
}

void ShowMenuAtCursor(HWND window) {
    SetForegroundWindow(window);
    ShowTrayMenu(window, CursorPosition());
}

UINT_PTR g_restTimer = 0;
bool g_restDue = false;

// The rest after which the libraries go starts again at the loop's next top.
void RestAnew() {
    if (g_restTimer) {
        KillTimer(nullptr, g_restTimer);
        g_restTimer = 0;
    }
    g_restDue = false;
}

// Runs a modal dialog of ours under the busy flag, which keeps the tray and a
// second start from opening another one on top. A dialog is no rest: the
// libraries it used stay for the rest after it.
template <typename RunDialog>
void RunBusy(RunDialog run) {
    g_busy = 1;
    run();
    g_busy = 0;
    RestAnew();
}

// A dialog would rebuild the image list the launcher's rows still show, and
// close the launcher under its own shell menu: one asked for while the
// launcher is open waits until it has closed, and then opens, since the user
// asked for it.
bool DialogHeld(UINT command) { return g_busy || HoldUntilLauncherCloses(command); }

// While the launcher's shell menu runs, a launcher or tray menu opened inside
// its loop would close the launcher under it; the user still sees the
// launcher, so these are dropped, as during a dialog.
bool PopupHeld() { return g_busy || IsLauncherMenuOpen(); }

LRESULT MainOnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    const UINT command = LOWORD(wParam);
    switch (command) {
    case IDM_EXIT:
        DestroyWindow(window);
        return 0;
    case IDM_SETTINGS:
        if (!DialogHeld(command)) {
            // The dialog lists the tasks itself, and may change them.
            EndLauncherPreparation();
            RunBusy([window] {
                // A settings file set aside at start-up is told of before
                // the settings open on the defaults.
                ReportSetAsideStore(nullptr);
                g_settingsOpen = true;
                RunSettingsDialog();
                g_settingsOpen = false;
                // Tasks with conditions may have come or gone.
                RenewTaskKeys();
                if (IsWindow(window) && !SaveStore()) {
                    const DWORD error = GetLastError();
                    ReportSaveFailure(nullptr, StoreLocation(), error, IDS_SAVE_AGAIN);
                }
                // An unread store the save had to set aside first.
                ReportSetAsideStore(nullptr);
            });
        }
        return 0;
    case IDM_ABOUT:
        if (!DialogHeld(command)) {
            RunBusy([] { RunAboutDialog(); });
        }
        return 0;
    case IDM_SHOW_LAUNCHER:
        if (!PopupHeld()) {
            ShowLauncherAtCursor(window);
        }
        return 0;
    case IDM_SHOW_MENU:
        if (!PopupHeld()) {
            ShowMenuAtCursor(window);
        }
        return 0;
    case IDM_PAUSE:
        // Like the hotkeys themselves, not held by an open dialog: the
        // editor registers nothing, and the settings register through the
        // pause.
        SetHotKeysPaused(!HotKeysPaused());
        // After the pause took the tasks' keys, so the wait's end has none
        // to register again.
        EndSecondKeyWait();
        g_trayIcon.ShowPaused(HotKeysPaused());
        return 0;
    default:
        return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
    }
}

LRESULT MainOnTrayNotify(HWND window, WPARAM wParam, LPARAM lParam) {
    if (wParam == TRAY_ICON_ID && !PopupHeld()) {
        switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDOWN:
            // The launcher opens on the press; release the button so the shell
            // does not hold the mouse captured while the launcher is up.
            mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
            ShowLauncherAtCursor(window);
            break;
        case WM_LBUTTONDBLCLK:
            SetForegroundWindow(window);
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_SETTINGS, 0), 0);
            break;
        case WM_RBUTTONUP:
            ShowMenuAtCursor(window);
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(window, WM_TRAYNOTIFY, wParam, lParam);
}

LRESULT MainOnHotKey(HWND window, LPARAM lParam) {
    const UINT modifiers = LOWORD(lParam), vk = HIWORD(lParam);
    // A foreground change reported late, or never, is caught up with here,
    // before anything of ours comes to the front. The key is not sent on
    // to the program it was meant for even so: a key sent again has left
    // modifiers stuck.
    if (KeysFollowForeground()) {
        FollowWindowInFront(g_windowInFront());
    }
    // Held down, the first step repeats: the wait goes on as it began.
    if (FirstStepRepeats(modifiers, vk)) {
        return 1;
    }
    if (SecondKeyWaiting() && (TakeSecondKey(modifiers, vk) || (vk == VK_ESCAPE && modifiers == 0))) {
        return 1;
    }
    // Matched by combination, not by identifier: a task that lost the
    // registration to an earlier task with the same keys still runs.
    bool matched = false, followed = false;
    g_taskList.ForEachWithKey(modifiers, vk, [&](Task* task) {
        if (!ConditionHolds(*task, KeysRegisteredFor())) {
            return;
        }
        if (task->NextVk != kNoKey) {
            followed = true;
        } else {
            PostMessageW(window, WM_RUNTASK, 0, reinterpret_cast<LPARAM>(task));
            matched = true;
        }
    });
    return (followed && BeginSecondKeyWait(modifiers, vk)) || matched ? 1 : 0;
}

LRESULT MainOnTimer(HWND window, WPARAM timerId) {
    if (timerId == kSecondKeyTimer) {
        EndSecondKeyWait();
        return 1;
    }
    auto nameWindow = reinterpret_cast<HWND>(timerId);
    Task* task = g_taskList.FindByNameWindow(nameWindow);
    if (task) {
        task->NameWindow = nullptr;
    }
    // A name window whose task was deleted meanwhile is closed all the same,
    // and its timer stopped even when the window is gone already, or the
    // timer would fire for ever. One closed by someone else is not told
    // again: its handle may name another program's window by now.
    if (IsNameWindow(nameWindow)) {
        PostMessageW(nameWindow, WM_CLOSE, 0, 0);
    }
    KillTimer(window, timerId);
    return 1;
}

// A new theme: the tray's picture and the menus follow; the launcher takes
// its colours at its next opening.
void MainOnSettingChange(HWND window, WPARAM wParam, LPARAM lParam) {
    // The command search reads PATH afresh and drops what it kept on the
    // old one.
    if (tessaly::AnnouncesEnvironment(lParam)) {
        tessaly::RenewEnvironment();
        return;
    }
    if (tessaly::AnnouncesTheme(wParam, lParam) && tessaly::ReadLook()) {
        tessaly::DarkMenus(tessaly::CurrentLook().darkApps);
        g_trayIcon.ShowPicture(LoadTrayPicture(window));
    }
}

// The primary monitor, where the taskbar and the names are, took another scale.
void MainOnScaleChange(HWND window) {
    g_nameDpi = tessaly::WindowDpi(window);
    RenewDisplayFont();
    g_trayIcon.ShowPicture(LoadTrayPicture(window));
}

void MainOnTaskbarCreated(HWND window) {
    const int shown = g_trayIcon.m_bShown;
    // The stale entry goes first, so the new picture is only ever added.
    if (shown) {
        g_trayIcon.Show(0);
    }
    // The taskbar may come back in another theme or scale.
    g_trayIcon.ShowPicture(LoadTrayPicture(window));
    if (shown) {
        g_trayIcon.Show(1);
    }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return MainOnCreate(window);
    case WM_DESTROY:
        MainOnDestroy();
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_COMMAND:
        return MainOnCommand(window, wParam, lParam);
    case WM_TIMER:
        return MainOnTimer(window, wParam);
    case WM_HOTKEY:
        return MainOnHotKey(window, lParam);
    case WM_INPUT:
        SecondKeyOnInput(reinterpret_cast<HRAWINPUT>(lParam));
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_TRAYNOTIFY:
        return MainOnTrayNotify(window, wParam, lParam);
    case WM_RUNTASK:
        RunTask(reinterpret_cast<Task*>(lParam));
        return 1;
    case WM_QUERYENDSESSION:
        // Nothing of ours is worth holding up the user's sign-out.
        return TRUE;
    case WM_ENDSESSION:
        MainOnEndSession(wParam);
        return 0;
    case WM_SETTINGCHANGE:
        MainOnSettingChange(window, wParam, lParam);
        return 0;
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
        MainOnScaleChange(window);
        return 0;
    default:
        if (message == g_taskbarCreatedMessage && message != 0) {
            MainOnTaskbarCreated(window);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

UINT g_restingDelayMs = kRestingDelayMs;

// Called at the loop's top, where no dialog, menu or shell call of ours is on
// the stack. Under Wine, whose working-set trim trims nothing, only unmapping
// a library gives its pages back; the next opening, dialog or run starts
// them again. Only after a rest: a user who closes the launcher and opens it
// again at once, or goes from it to the settings, finds the list and the
// libraries still there instead of waiting for them twice.
void ReleaseRestingLibraries() {
    if (!tessaly::ShellOrListsStarted() || !LauncherAtRest()) {
        // Nothing to give back yet, or the launcher in use: the rest comes after.
        RestAnew();
        return;
    }
    if (!g_restDue) {
        // Its message wakes the loop, which comes back here.
        if (!g_restTimer) {
            g_restTimer = SetTimer(nullptr, 0, g_restingDelayMs, [](HWND, UINT, UINT_PTR timer, DWORD) {
                // A message of a timer stopped meanwhile ends no rest.
                if (timer == g_restTimer) {
                    RestAnew();
                    g_restDue = true;
                }
            });
        }
        return;
    }
    g_restDue = false;
    ReleaseTaskImageList();
    tessaly::EndListsAndDialogs();
    tessaly::TrimWorkingSet();
}

int RunMessageLoop() {
    MSG message;
    for (;;) {
        // Work kept for idle moments goes a step at a time, and only while no
        // message waits: a hotkey pressed meanwhile waits one step at most.
        while (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) && PrepareLauncherStep()) {
        }
        ReleaseRestingLibraries();
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0) {
            return static_cast<int>(message.wParam);
        }
        if (result == -1) {
            // Only a broken call fails, and it would fail for ever: end as
            // the main window would.
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    // Never seen, so it needs neither cursor nor background.
    return RegisterPlainClass(instance, kMainWindowClass, MainWindowProc, nullptr, nullptr);
}

HWND CreateMainWindow(HINSTANCE instance) {
    return CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, instance, nullptr);
}
