// Where a task's command is found, and the shell and sound calls that open it
// and play its sound.
#pragma once

#include <windows.h>

#include "common/growable_array.h"

// The shell and sound calls a run makes (the task editor's sound test too),
// replaceable so a test can see the verb and arguments (Wine runs "runas"
// without elevation) and hear nothing.
struct RunShell {
    HINSTANCE(WINAPI* execute)(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT show);
    BOOL(WINAPI* playSound)(LPCWSTR sound, HMODULE module, DWORD flags);
};
extern RunShell g_runShell;

// ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH", used when PATHEXT is unset.
extern const wchar_t kDefaultExtensions[];

// Finds a command's file: a bare name in the program's folder, the system
// folder, the Windows folder and the absolute folders of PATH, in that order
// and never in the current folder; a command with a folder part where it
// says. A name with an extension is looked for as it is; one without is
// tried with each extension of PATHEXT in turn, each across every folder
// before the next. 1 with the full path in `resolved` (MAX_PATH units), or 0.
// A drive letter whose root does not exist fails at once. Variables
// (%SystemRoot%) are expanded first: a command too long once expanded fails.
int ResolveCommand(const wchar_t* command, wchar_t* resolved);

// While one lives, a command resolved again gets the answer it got a moment
// ago: the windows that list tasks resolve each one twice, for its icon and
// for its row, and the search is the slow part of either. Running a task
// always searches afresh. Nested ones leave the outer one in charge.
class CommandResolutionMemo {
public:
    CommandResolutionMemo();
    ~CommandResolutionMemo();
    CommandResolutionMemo(const CommandResolutionMemo&) = delete;
    CommandResolutionMemo& operator=(const CommandResolutionMemo&) = delete;

private:
    friend int ResolveCommand(const wchar_t* command, wchar_t* resolved);
    struct Entry;
    const Entry* Find(const wchar_t* command, UINT hash) const;
    void Add(const wchar_t* command, UINT hash, int found, const wchar_t* resolved);

    bool m_active = false;
    tessaly::GrowableArray<Entry, 16> m_entries;
};

// Puts the system's own search by name into safe mode for the whole process;
// ResolveCommand does not depend on it.
void PrepareCommandSearch();
