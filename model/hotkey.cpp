#include "model/hotkey.h"

#include <utility>

#include "common/program_state.h"
#include "common/unique_handles.h"
#include "model/task.h"
#include "model/window_program.h"

HWND(WINAPI* g_windowInFront)() = GetForegroundWindow;

namespace {

bool g_hotKeysPaused = false;

// The program the keys are registered for, and the watch on the foreground
// kept while a task has a condition.
wchar_t g_frontPath[MAX_PATH];
wchar_t g_frontAppId[kAppIdLength];
const ProgramInFront g_front = {g_frontPath, g_frontAppId};
tessaly::unique_hwineventhook g_foregroundHook;

// Any identifier will do for a window that holds nothing else.
constexpr int kProbeId = 0xBFFF;

}  // namespace

void FormatHotKeyAtomName(UINT modifiers, UINT vk, wchar_t (&name)[kAtomNameLength]) {
    wsprintfW(name, L"Tessaly%04x%04x", modifiers & 0xFFFF, vk & 0xFFFF);
}

int RegisterTaskHotKey(UINT modifiers, UINT vk) {
    if (vk == kNoKey || g_hotKeysPaused) {
        return 0;
    }
    // Adding a name that is already there raises its reference count, which the
    // failure path below gives back.
    wchar_t name[kAtomNameLength];
    FormatHotKeyAtomName(modifiers, vk, name);
    tessaly::unique_global_atom atom(GlobalAddAtomW(name));
    if (!atom) {
        // The atom is the only record of the registration: without one the
        // hotkey could never be released again.
        return 0;
    }
    if (!RegisterHotKey(g_mainWindow, atom.get(), modifiers, vk)) {
        return 0;
    }
    // From here the task holds it, and the task list releases it.
    return atom.release();
}

void UnregisterTaskHotKey(int atom) {
    if (atom == 0) {
        return;
    }
    tessaly::unique_global_atom held(static_cast<ATOM>(atom));
    UnregisterHotKey(g_mainWindow, atom);
}

bool CanRegisterHotKey(HWND window, UINT modifiers, UINT vk) {
    if (!RegisterHotKey(window, kProbeId, modifiers, vk)) {
        return false;
    }
    UnregisterHotKey(window, kProbeId);
    return true;
}

bool HotKeysPaused() { return g_hotKeysPaused; }

namespace {

// Releases first, so that a key a task gives up can go to a later task with
// the same key that applies; registers in list order, as at start-up.
void RegisterForFront() {
    for (const auto& task : g_taskList) {
        if (task->Atom && (g_hotKeysPaused || !ConditionHolds(*task, g_front))) {
            unique_task_hotkey(std::exchange(task->Atom, 0));
        }
    }
    for (const auto& task : g_taskList) {
        if (!task->Atom) {
            task->Atom = RegisterTaskKey(*task);
        }
    }
}

// The foreground event names the top-level window itself.
void CALLBACK OnForeground(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) { FollowWindowInFront(window); }

}  // namespace

void SetHotKeysPaused(bool paused) {
    if (paused == g_hotKeysPaused) {
        return;
    }
    g_hotKeysPaused = paused;
    RenewTaskKeys();
}

const ProgramInFront& KeysRegisteredFor() { return g_front; }

int RegisterTaskKey(const Task& task) {
    return ConditionHolds(task, g_front) ? RegisterTaskHotKey(task.fsModifiers, task.vk) : 0;
}

bool KeysFollowForeground() { return static_cast<bool>(g_foregroundHook); }

void RenewTaskKeys() {
    bool conditions = false;
    for (const auto& task : g_taskList) {
        // A value of a later version counts as everywhere, and a task
        // without a key has nothing to follow the foreground for.
        conditions = conditions || (task->vk != kNoKey && (task->Condition == kOnlyIn || task->Condition == kExceptIn));
    }
    if (!conditions || g_hotKeysPaused) {
        g_foregroundHook.reset();
    } else if (!g_foregroundHook) {
        // Out of context, so no code of ours runs in other programs, and
        // blind to our own windows taking the foreground: the keys stay
        // those of the program the user works in.
        g_foregroundHook.reset(SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                               OnForeground, 0, 0,
                                               WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
        // What came to the front while nothing watched.
        FollowWindowInFront(g_windowInFront());
    }
    RegisterForFront();
}

void FollowProgramInFront(const ProgramInFront& program) {
    if (lstrcmpW(program.path, g_frontPath) == 0 && lstrcmpW(program.appId, g_frontAppId) == 0) {
        return;
    }
    lstrcpynW(g_frontPath, program.path, MAX_PATH);
    lstrcpynW(g_frontAppId, program.appId, kAppIdLength);
    RegisterForFront();
}

void FollowWindowInFront(HWND window) {
    DWORD process = 0;
    if (!window || !GetWindowThreadProcessId(window, &process) || process == GetCurrentProcessId()) {
        return;
    }
    // One that cannot be read (gone meanwhile, another user's) is no
    // program any list names.
    wchar_t path[MAX_PATH], appId[kAppIdLength];
    ReadWindowProgram(window, path, appId);
    FollowProgramInFront({path, appId});
}

bool TaskKeyTaken(const Task& task) {
    if (task.vk == kNoKey || task.Atom != 0 || g_hotKeysPaused) {
        return false;
    }
    const bool applies = ConditionHolds(task, g_front);
    for (const auto& other : g_taskList) {
        if (other->Atom && other->fsModifiers == task.fsModifiers && other->vk == task.vk) {
            // Held by a task of ours: tasks with a second step share their
            // first, but a whole key that applies twice is one too many.
            return applies && (task.NextVk == kNoKey || other->NextVk == kNoKey);
        }
    }
    return applies || !CanRegisterHotKey(g_mainWindow, task.fsModifiers, task.vk);
}
