// A task's global hotkey, registered for the main window under a global atom
// named after the key combination.
#pragma once

#include <windows.h>

#include "common/unique_handles.h"

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
