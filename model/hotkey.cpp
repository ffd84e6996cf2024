#include "model/hotkey.h"

#include <utility>

#include "common/program_state.h"
#include "common/unique_handles.h"
#include "model/task.h"

namespace {

bool g_hotKeysPaused = false;

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

void SetHotKeysPaused(bool paused) {
    if (paused == g_hotKeysPaused) {
        return;
    }
    g_hotKeysPaused = paused;
    for (const auto& task : g_taskList) {
        if (paused) {
            unique_task_hotkey(std::exchange(task->Atom, 0));
        } else {
            task->Atom = RegisterTaskHotKey(task->fsModifiers, task->vk);
        }
    }
}
