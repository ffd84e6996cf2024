// A task's global hotkey, registered for the main window under a global atom
// named after the key combination. A key is registered only while some task
// with it applies to the program in front, so wherever none does the key is
// the program's own.
#pragma once

#include <windows.h>

#include "common/unique_handles.h"
#include "model/key_condition.h"

struct Task;

// "Tessaly" followed by the low 16 bits of the modifiers and of the key, as
// four lower-case hex digits each: Windows+N is "Tessaly0008004e".
constexpr size_t kAtomNameLength = 16;
void FormatHotKeyAtomName(UINT modifiers, UINT vk, wchar_t (&name)[kAtomNameLength]);

// The atom the hotkey is registered under, or 0 when there is no key, the
// combination is taken (by another program or an earlier task), or the
// hotkeys are paused.
int RegisterTaskHotKey(UINT modifiers, UINT vk);
// Does nothing for atom 0.
void UnregisterTaskHotKey(int atom);
// Owns a registration: the hotkey is unregistered and its atom given back.
using unique_task_hotkey = tessaly::unique_any<int, UnregisterTaskHotKey>;

// Whether `window` could register the combination now: it is registered for
// a moment and released at once. False while anyone holds it, this program
// included.
bool CanRegisterHotKey(HWND window, UINT modifiers, UINT vk);

// Pausing releases every task's hotkey, so other programs can have the keys;
// ending the pause registers them again in list order, as at start-up. Tasks
// added meanwhile get theirs then. Never stored: a start is never paused.
bool HotKeysPaused();
void SetHotKeysPaused(bool paused);

// The program the keys are registered for: the last one seen in front, this
// program's own windows aside (its launcher, dialogs and names in front keep
// the user's program's keys). Empty before any was read.
const ProgramInFront& KeysRegisteredFor();

// The task's key registered, when the task applies to the program the keys
// are registered for; 0 otherwise, or as RegisterTaskHotKey gives.
int RegisterTaskKey(const Task& task);

// After the task list changed (a load, the settings): registers the key of
// every task that applies to the program in front and holds none yet, and
// releases the others; the foreground is watched only while some task has a
// condition, never while paused.
void RenewTaskKeys();

// Whether the keys follow the program in front now.
bool KeysFollowForeground();

// The seam of a foreground change: registers the keys for `program` and
// releases those of tasks that do not apply to it. Nothing when it is the
// program they are registered for already.
void FollowProgramInFront(const ProgramInFront& program);
// The same for the program of `window`; a window of this process, or none,
// changes nothing.
void FollowWindowInFront(HWND window);
// Read at a hotkey; a test stands in for the window in front through it.
extern HWND(WINAPI* g_windowInFront)();

// Whether the task's key is wanted and cannot be had: what the task rows
// mark. A task that applies now and holds nothing, unless it shares a first
// step with the task of ours that holds it; one that does not apply, when no
// task of ours holds its key and it cannot be had.
bool TaskKeyTaken(const Task& task);
