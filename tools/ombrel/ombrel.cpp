// Ombrel: sends window commands to the window the user is working in, then ends.
//
// A task of the main program runs it on a hotkey, so it must start fast, show
// nothing and never wait: every command is posted, none is sent.

#include <windows.h>
#include <stdlib.h>

namespace {

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

// ASCII letters only: a locale-aware comparison would let words such as
// "mın" (dotless i) pass for "min" in some languages.
wchar_t AsciiLower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The first three letters decide, so "minimize", "Max" and "close" all work.
// A shorter word stops at its terminating zero, which matches no letter.
bool StartsWithWord(const wchar_t* argument, const char (&word)[4])
{
    for (int i = 0; i < 3; ++i) {
        if (AsciiLower(argument[i]) != static_cast<wchar_t>(word[i]))
            return false;
    }
    return true;
}

// The command a word asks of a window with this style, or 0 when the window
// does not offer it. The checks follow what the window menu itself would
// allow, so Ombrel never does to a window what its user could not.
WPARAM CommandFor(const wchar_t* argument, DWORD style)
{
    const bool minimized = (style & WS_MINIMIZE) != 0;
    const bool maximized = (style & WS_MAXIMIZE) != 0;

    if (StartsWithWord(argument, "min"))
        return (style & WS_MINIMIZEBOX) ? SC_MINIMIZE : 0;
    if (StartsWithWord(argument, "max")) {
        if (!(style & WS_MAXIMIZEBOX))
            return 0;
        return maximized ? SC_RESTORE : SC_MAXIMIZE;
    }
    if (StartsWithWord(argument, "mov"))
        return (minimized || maximized) ? 0 : SC_MOVE;
    if (StartsWithWord(argument, "siz"))
        return (minimized || maximized) ? 0 : SC_SIZE;
    if (StartsWithWord(argument, "clo"))
        return SC_CLOSE;
    return 0;
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
