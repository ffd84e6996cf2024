// Ombrel: sends window commands to the window the user is working in, then ends.
//
// A task of the main program runs it on a hotkey, so it must start fast, show
// nothing and never wait: every command is posted, none is sent.

#include <windows.h>
#include <stdlib.h>

#include "ombrel_words.h"

namespace {

using ombrel::CommandFor;

// Only a window that shows a window menu offers the commands: this is what
// skips tool tips, drop shadows and menus that may sit above the real window.
constexpr DWORD kTargetStyle = WS_VISIBLE | WS_SYSMENU;

bool IsTarget(DWORD style)
{
    return (style & kTargetStyle) == kTargetStyle;
}

DWORD StyleOf(HWND window)
{
    return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
}

void Run(int argc, wchar_t** argv)
{
    HWND target = GetForegroundWindow();
    if (!target)
        return;
    DWORD style = StyleOf(target);
    while (!IsTarget(style)) {
        target = GetWindow(target, GW_HWNDNEXT);
        if (!target)
            return;
        style = StyleOf(target);
    }

    // The style is read once: the commands are only posted, so the window has
    // not acted on the first word yet when the next is decided, and "max max"
    // must mean the same to the window however fast it is.
    for (int i = 1; i < argc; ++i) {
        if (const WPARAM command = CommandFor(argv[i], style))
            PostMessageW(target, WM_SYSCOMMAND, command, 0);
    }
}

} // namespace

#ifdef OMBREL_OWN_ENTRY

// Without the C runtime's start-up code the program is a few kilobytes, and a
// hotkey starts it afresh every time. The words must still be split as the C
// runtime splits them (quotes, backslashes), so the system's msvcrt.dll does
// that; it sets itself up when it is loaded, before this runs.
extern "C" {

struct StartupInfo {
    int newMode;
};

__declspec(dllimport) int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment,
                                                 int expandWildcards, StartupInfo* startup);

void OmbrelStart()
{
    int argc = 0;
    wchar_t** argv = nullptr;
    wchar_t** environment = nullptr;
    StartupInfo startup{};
    // No wildcard expansion: a word is a command, never a file name.
    __wgetmainargs(&argc, &argv, &environment, 0, &startup);
    Run(argv ? argc : 0, argv);
    // Other threads (the loader's, an injected hook's) must not keep the
    // process alive, and the exit code is always 0.
    ExitProcess(0);
}

} // extern "C"

#else

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    Run(__argc, __wargv);
    return 0;
}

#endif
