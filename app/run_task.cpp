#include "app/run_task.h"

#include <windows.h>
#include <mmsystem.h>

#include "app/desktop_shell.h"
#include "app/running_program.h"
#include "common/program_state.h"
#include "common/ui_libraries.h"
#include "model/command_search.h"
#include "model/portable.h"
#include "model/display_settings.h"
#include "model/task.h"
#include "windows/name_window.h"

void (*g_runTaskStarting)() = nullptr;

namespace {

void ShowNameWindow(Task& task) {
    // A name window can be closed by someone else (Alt+F4, a message from
    // another program); its handle then names nothing, or by now another
    // window, and showing that would show no name.
    if (task.NameWindow && !IsNameWindow(task.NameWindow)) {
        KillTimer(g_mainWindow, reinterpret_cast<UINT_PTR>(task.NameWindow));
        task.NameWindow = nullptr;
    }
    if (!task.NameWindow) {
        task.NameWindow = OpenNameWindow(task.Name);
    }
    if (task.NameWindow) {
        // Shown without activation: the user's window keeps the keyboard, and
        // the program opened or switched to takes it next.
        ShowWindow(task.NameWindow, SW_SHOWNOACTIVATE);
        AnnounceNameWindow(task.NameWindow);
        // The same identifier again restarts the display time.
        SetTimer(g_mainWindow, reinterpret_cast<UINT_PTR>(task.NameWindow),
                 static_cast<UINT>(g_displaySettings.Time), nullptr);
    }
}

}  // namespace

void RunTask(Task* task) {
    if (g_runTaskStarting) {
        g_runTaskStarting();
    }
    // Read before anything of ours can come to the front.
    HWND foreground = GetForegroundWindow();
    // A request posted by a hotkey can outlive its task, deleted meanwhile
    // in the settings dialog.
    if (!g_taskList.Contains(task)) {
        return;
    }
    wchar_t resolved[MAX_PATH];
    if (!ResolveCommand(task->File, resolved)) {
        return;
    }
    // A working folder that does not fit once expanded is not passed on cut:
    // like an unresolved command, the task then does nothing at all.
    wchar_t directory[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsW(task->WorkingFolder, directory, MAX_PATH);
    wchar_t anchoredDirectory[MAX_PATH], anchoredSound[MAX_PATH];
    const wchar_t* folder = length == 0 || length > MAX_PATH ? nullptr : AnchorPath(directory, anchoredDirectory);
    if (!folder) {
        return;
    }
    const wchar_t* sound = AnchorPath(task->Sound, anchoredSound);
    if (sound && sound[0] != L'\0') {
        g_runShell.playSound(sound, nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    }
    ShowNameWindow(*task);
    // No simulated key presses, no joined input queues: those have stuck
    // the user's modifiers and hung on a hung window.
    g_runShell.allowSetForeground(ASFW_ANY);
    if (task->Activate && SwitchToRunningProgram(resolved, foreground, task->Toggle ? &task->Round : nullptr)) {
        return;
    }
    tessaly::PrepareShellUse(true);
    // Elevated, Tessaly would pass its elevation on to every task; only a
    // task marked for it keeps it.
    if (!task->RunAs && g_userShell.elevated()) {
        // Started by the desktop, a task without a folder of its own would
        // start in the desktop's, not in Tessaly's as any other run does.
        wchar_t full[MAX_PATH];
        DWORD fullLength = GetFullPathNameW(folder[0] ? folder : L".", MAX_PATH, full, nullptr);
        if (fullLength != 0 && fullLength < MAX_PATH &&
            g_userShell.execute(resolved, task->Parameter, full, task->Show)) {
            return;
        }
    }
    g_runShell.execute(nullptr, task->RunAs ? L"runas" : nullptr, resolved, task->Parameter,
                       folder, task->Show);
}

