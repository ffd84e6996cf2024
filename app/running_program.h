// Bringing a program that already runs to the front, instead of starting it
// again.
#pragma once

#include <windows.h>

#include "model/window_program.h"

struct SwitchRound;

// When `program` (a full path) is an .exe with a visible top-level window
// (unowned, not a tool window) in a process of this user whose image is that
// very file, brings one of them to the front, restored if minimised, and
// returns true: the top-most one, or, when `foreground` already belongs to
// the program, the one longest in the back, so repeated calls cycle through
// them all. A process whose image or owner cannot be read is left alone.
// An app execution alias stands for the program its link names. An app of
// the shell's Applications folder (`shell:AppsFolder\<app id>`) has no image
// to look for (a Store app's windows belong to ApplicationFrameHost.exe):
// its windows are those that carry its app id. An ordinary desktop program
// listed there is named by its file instead (its known folder's id, then the
// rest of its path), and its windows, which carry no app id, are found by it.
// With `round`, the switch toggles: when the program is in front and the
// round through its windows has come back to where it began (at once, for
// one window), its windows are minimised instead.
bool SwitchToRunningProgram(const wchar_t* program, HWND foreground, SwitchRound* round = nullptr);

// The reparse data of a file that is a reparse point, the bytes written; 0
// for any other file. Replaceable: Wine makes no app execution aliases.
extern DWORD (*g_readReparsePoint)(const wchar_t* path, void* buffer, DWORD size);
