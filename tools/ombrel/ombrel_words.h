// Ombrel's words: which window command a word on its command line asks for.
// Kept apart from the program so the tests can put many words through it.
#pragma once

#include <windows.h>

namespace ombrel {

// ASCII letters only: a locale-aware comparison would let words such as
// "mın" (dotless i) pass for "min" in some languages.
inline wchar_t AsciiLower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The first three letters decide, so "minimize", "Max" and "close" all work.
// A shorter word stops at its terminating zero, which matches no letter.
inline bool StartsWithWord(const wchar_t* argument, const char (&word)[4])
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
inline WPARAM CommandFor(const wchar_t* argument, DWORD style)
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

}  // namespace ombrel
