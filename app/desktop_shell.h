// How a task starts as the user who logged on while Tessaly itself runs
// elevated (started as administrator, so that Ombrel reaches elevated
// windows): through the desktop's own shell, which runs un-elevated and opens
// Store apps, aliases and shortcuts as a double click there would.
#pragma once

#include <windows.h>

struct UserShell {
    // Whether this process runs elevated and the desktop's shell does not.
    bool (*elevated)();
    // Opens `file` as the desktop's shell would, in `directory` (a full
    // path: the shell's own folder is no task's); false only when there is
    // no desktop shell to ask (another shell, or none running).
    bool (*execute)(const wchar_t* file, const wchar_t* parameters, const wchar_t* directory, int show);
};
// Replaceable: Wine has no elevation and no desktop shell window to ask.
extern UserShell g_userShell;
