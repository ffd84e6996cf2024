// Ombrel's words: which command a word on its command line asks for, and the
// arithmetic of those Ombrel carries out itself. Kept apart from the program
// so the tests can put many words, monitors and DPIs through it.
#pragma once

#include <windows.h>

namespace ombrel {

// ASCII letters only: a locale-aware comparison would let words such as
// "mın" (dotless i) pass for "min" in some languages.
inline wchar_t AsciiLower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Every word Ombrel knows, by its first three letters: those the window
// menu offers first, then those Ombrel carries out itself.
enum Word { kNoWord, kMin, kMax, kMov, kSiz, kClo, kTop, kOpa, kTra, kCen, kNex, kOth };

// The first three letters decide, so "minimize", "Max" and "close" all work.
// A shorter word stops at its terminating zero, which matches no letter.
inline int WordOf(const wchar_t* argument)
{
    static const char kWords[][3] = {{'m', 'i', 'n'}, {'m', 'a', 'x'}, {'m', 'o', 'v'}, {'s', 'i', 'z'},
                                     {'c', 'l', 'o'}, {'t', 'o', 'p'}, {'o', 'p', 'a'}, {'t', 'r', 'a'},
                                     {'c', 'e', 'n'}, {'n', 'e', 'x'}, {'o', 't', 'h'}};
    for (int word = 0; word < kOth; ++word) {
        int i = 0;
        while (i < 3 && AsciiLower(argument[i]) == static_cast<wchar_t>(kWords[word][i]))
            ++i;
        if (i == 3)
            return word + 1;
    }
    return kNoWord;
}

// The command a word asks of a window with this style, or 0 when the window
// does not offer it or the word is none of the window menu's. The checks
// follow what the window menu itself would allow, so Ombrel never does to a
// window what its user could not.
inline WPARAM CommandFor(int word, DWORD style)
{
    const bool resting = !(style & (WS_MINIMIZE | WS_MAXIMIZE));
    switch (word) {
    case kMin:
        return (style & WS_MINIMIZEBOX) ? SC_MINIMIZE : 0;
    case kMax:
        if (!(style & WS_MAXIMIZEBOX))
            return 0;
        return (style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE;
    case kMov:
        return resting ? SC_MOVE : 0;
    case kSiz:
        return resting ? SC_SIZE : 0;
    case kClo:
        return SC_CLOSE;
    }
    return 0;
}

inline WPARAM CommandFor(const wchar_t* argument, DWORD style)
{
    return CommandFor(WordOf(argument), style);
}

// Opacity in tenths. Below a fifth a window is hard to find again to make it
// opaque; at ten it is a plain window, no longer layered.
constexpr int kOpaque = 10;
constexpr int kFaintest = 2;

inline int Stepped(int tenths, int word)
{
    if (word == kOpa)
        return tenths < kOpaque ? tenths + 1 : kOpaque;
    return tenths > kFaintest ? tenths - 1 : kFaintest;
}

inline BYTE AlphaOf(int tenths)
{
    return static_cast<BYTE>((tenths * 255 + 5) / 10);
}

inline int Scaled(int length, UINT to, UINT from)
{
    return static_cast<int>(static_cast<long long>(length) * to / from);
}

// The window in the middle of the work area; one larger than the work area
// keeps its top left corner in it, so its caption stays within reach.
inline RECT Centred(const RECT& window, const RECT& work)
{
    const int width = window.right - window.left, height = window.bottom - window.top;
    int left = work.left + (work.right - work.left - width) / 2;
    int top = work.top + (work.bottom - work.top - height) / 2;
    left = left < work.left ? work.left : left;
    top = top < work.top ? work.top : top;
    return {left, top, left + width, top + height};
}

// The window moved from one monitor's work area to another's: the same place
// and size relative to the work area, in that monitor's pixels, and cut to
// fit and moved inside it where the other is smaller.
inline RECT MovedTo(const RECT& window, const RECT& from, UINT fromDpi, const RECT& to, UINT toDpi)
{
    const int toWidth = to.right - to.left, toHeight = to.bottom - to.top;
    int width = Scaled(window.right - window.left, toDpi, fromDpi);
    int height = Scaled(window.bottom - window.top, toDpi, fromDpi);
    width = width > toWidth ? toWidth : width;
    height = height > toHeight ? toHeight : height;
    int left = to.left + Scaled(window.left - from.left, toDpi, fromDpi);
    int top = to.top + Scaled(window.top - from.top, toDpi, fromDpi);
    left = left + width > to.right ? to.right - width : left;
    top = top + height > to.bottom ? to.bottom - height : top;
    left = left < to.left ? to.left : left;
    top = top < to.top ? to.top : top;
    return {left, top, left + width, top + height};
}

}  // namespace ombrel
