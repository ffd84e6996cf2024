// A task's global hotkey, registered for the main window under a global atom
// named after the key combination.
#pragma once

#include <windows.h>

#include "common/unique_handles.h"

// "Tessaly" followed by the low 16 bits of the modifiers and of the key, as
// four lower-case hex digits each: Windows+N is "Tessaly0008004e".
constexpr size_t kAtomNameLength = 16;
void FormatHotKeyAtomName(UINT modifiers, UINT vk, wchar_t (&name)[kAtomNameLength]);

// The atom the hotkey is registered under, or 0 when there is no key or the
// combination is taken (by another program or an earlier task).
int RegisterTaskHotKey(UINT modifiers, UINT vk);
// Does nothing for atom 0.
void UnregisterTaskHotKey(int atom);
// Owns a registration: the hotkey is unregistered and its atom given back.
using unique_task_hotkey = tessaly::unique_any<int, UnregisterTaskHotKey>;
