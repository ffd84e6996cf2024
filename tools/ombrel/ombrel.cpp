// Ombrel: sends window commands to the window the user is working in, then ends.
//
// A task of the main program runs it on a hotkey, so it must start fast, show
// nothing and never wait: every command is posted, none is sent, except the
// layered style, which only a sent message can change.

#include <windows.h>
#include <stdlib.h>

#include "ombrel_words.h"

namespace {

// Only a window that shows a window menu offers the commands: this is what
// skips tool tips, drop shadows and menus that may sit above the real window.
constexpr DWORD kTargetStyle = WS_VISIBLE | WS_SYSMENU;

// Windows moved, sized or stacked by Ombrel get the request posted to their
// own thread, as the commands are: a hung window cannot hang Ombrel.
constexpr UINT kAsync = SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;

// Marks a window Ombrel made layered, with its opacity in tenths: one that
// is layered without it draws itself so, and is left alone.
constexpr wchar_t kOpacityMark[] = L"Ombrel.Opacity";

bool IsTarget(DWORD style)
{
    return (style & kTargetStyle) == kTargetStyle;
}

DWORD StyleOf(HWND window, int which = GWL_STYLE)
{
    return static_cast<DWORD>(GetWindowLongW(window, which));
}

void Place(HWND window, const RECT& place)
{
    SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | kAsync);
}

MONITORINFO InfoOf(HMONITOR monitor)
{
    MONITORINFO info;
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    return info;
}

HMONITOR MonitorOf(const RECT& place)
{
    return MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST);
}

// The monitor after `current` in the system's order, the first after the last.
struct MonitorWalk {
    HMONITOR current;
    HMONITOR first;
    HMONITOR next;
    bool passed;

    static BOOL CALLBACK Visit(HMONITOR monitor, HDC, LPRECT, LPARAM self)
    {
        auto& walk = *reinterpret_cast<MonitorWalk*>(self);
        if (!walk.first)
            walk.first = monitor;
        if (walk.passed && !walk.next)
            walk.next = monitor;
        walk.passed = walk.passed || monitor == walk.current;
        return TRUE;
    }
};

UINT DpiOf(HMONITOR monitor)
{
    // Only a move between monitors asks, and only since Windows 8.1 can.
    using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    UINT x = 96, y = 96;
    if (HMODULE shcore = LoadLibraryW(L"shcore.dll")) {
        if (auto query = reinterpret_cast<DpiForMonitor>(
                reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor"))))
            query(monitor, 0, &x, &y);
    }
    return x ? x : 96;
}

void MoveToNextMonitor(HWND target, DWORD style, RECT& place)
{
    MonitorWalk walk{MonitorOf(place), nullptr, nullptr, false};
    EnumDisplayMonitors(nullptr, nullptr, MonitorWalk::Visit, reinterpret_cast<LPARAM>(&walk));
    const HMONITOR next = walk.next ? walk.next : walk.first;
    if (!next || next == walk.current)
        return;
    const MONITORINFO here = InfoOf(walk.current);
    const RECT& from = here.rcWork;
    const RECT to = InfoOf(next).rcWork;
    const UINT fromDpi = DpiOf(walk.current), toDpi = DpiOf(next);
    if (!(style & WS_MAXIMIZE)) {
        place = ombrel::MovedTo(place, from, fromDpi, to, toDpi);
        Place(target, place);
        return;
    }
    // A maximised window is restored, placed as its restored self would be,
    // and maximised again: there it fills the other monitor, and it comes
    // back to its place there when restored. Its restored place is kept
    // relative to the work area, which a task bar at the left or top moves.
    WINDOWPLACEMENT placement;
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(target, &placement))
        return;
    RECT normal = placement.rcNormalPosition;
    const int dx = from.left - here.rcMonitor.left, dy = from.top - here.rcMonitor.top;
    normal = {normal.left + dx, normal.top + dy, normal.right + dx, normal.bottom + dy};
    ShowWindowAsync(target, SW_RESTORE);
    Place(target, ombrel::MovedTo(normal, from, fromDpi, to, toDpi));
    ShowWindowAsync(target, SW_MAXIMIZE);
}

using WindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);

struct Others {
    HWND target;
    HWND root;
    HMONITOR monitor;
    WindowAttribute attribute;

    // Windows of other virtual desktops, and suspended Store apps' frames,
    // are cloaked though "visible": they are not beside the target.
    bool Cloaked(HWND window) const
    {
        DWORD cloaked = 0;
        return attribute && attribute(window, 14 /* DWMWA_CLOAKED */, &cloaked, sizeof(cloaked)) == S_OK &&
               cloaked;
    }

    static BOOL CALLBACK Visit(HWND window, LPARAM self)
    {
        const auto& others = *reinterpret_cast<const Others*>(self);
        const DWORD style = StyleOf(window);
        RECT place;
        // The target's owner stays too: minimising it would take the target
        // along. Owned windows go with their owners.
        if (window != others.target && window != others.root && IsTarget(style) && (style & WS_MINIMIZEBOX) &&
            !(style & WS_MINIMIZE) && !GetWindow(window, GW_OWNER) && GetWindowRect(window, &place) &&
            MonitorOf(place) == others.monitor && !others.Cloaked(window))
            PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return TRUE;
    }
};

// Ombrel's own layering, in tenths; 0 for a window that is layered by itself.
int OpacityOf(HWND target, DWORD exStyle)
{
    if (!(exStyle & WS_EX_LAYERED))
        return ombrel::kOpaque;
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(target, kOpacityMark)));
}

// The style change reaches the window as a sent message, so a window that
// no longer answers is left alone rather than waited for.
void SetOpacity(HWND target, DWORD& exStyle, int tenths)
{
    if (IsHungAppWindow(target))
        return;
    if (tenths == ombrel::kOpaque) {
        RemovePropW(target, kOpacityMark);
        exStyle &= ~WS_EX_LAYERED;
        SetWindowLongW(target, GWL_EXSTYLE, static_cast<LONG>(exStyle));
        return;
    }
    SetPropW(target, kOpacityMark, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(tenths)));
    if (!(exStyle & WS_EX_LAYERED)) {
        exStyle |= WS_EX_LAYERED;
        SetWindowLongW(target, GWL_EXSTYLE, static_cast<LONG>(exStyle));
    }
    SetLayeredWindowAttributes(target, 0, ombrel::AlphaOf(tenths), LWA_ALPHA);
}

void Run(int argc, wchar_t** argv)
{
    // In the pixels of each monitor, not scaled to one for all: a move to a
    // monitor of another DPI is scaled by Ombrel.
    using DpiContext = HANDLE(WINAPI*)(HANDLE);
    if (auto aware = reinterpret_cast<DpiContext>(reinterpret_cast<void*>(
            GetProcAddress(LoadLibraryW(L"user32.dll"), "SetThreadDpiAwarenessContext"))))
        aware(reinterpret_cast<HANDLE>(-4)); // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2

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

    // The window's state is read once: the commands are only posted, so the
    // window has not acted on the first word yet when the next is decided,
    // and "max max" must mean the same to the window however fast it is.
    // What Ombrel does itself (opacity, place) it follows from word to word.
    DWORD exStyle = StyleOf(target, GWL_EXSTYLE);
    int opacity = OpacityOf(target, exStyle);
    RECT place;
    GetWindowRect(target, &place);
    const bool resting = !(style & (WS_MINIMIZE | WS_MAXIMIZE));
    for (int i = 1; i < argc; ++i) {
        const int word = ombrel::WordOf(argv[i]);
        if (const WPARAM command = ombrel::CommandFor(word, style))
            PostMessageW(target, WM_SYSCOMMAND, command, 0);
        switch (word) {
        case ombrel::kTop:
            SetWindowPos(target, (exStyle & WS_EX_TOPMOST) ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | kAsync);
            break;
        case ombrel::kOpa:
        case ombrel::kTra:
            if (opacity) {
                const int stepped = ombrel::Stepped(opacity, word);
                if (stepped != opacity)
                    SetOpacity(target, exStyle, stepped);
                opacity = stepped;
            }
            break;
        case ombrel::kCen:
            if (resting) {
                place = ombrel::Centred(place, InfoOf(MonitorOf(place)).rcWork);
                Place(target, place);
            }
            break;
        case ombrel::kNex:
            if (!(style & WS_MINIMIZE))
                MoveToNextMonitor(target, style, place);
            break;
        case ombrel::kOth: {
            HWND root = target;
            while (HWND owner = GetWindow(root, GW_OWNER))
                root = owner;
            const HMODULE dwmapi = LoadLibraryW(L"dwmapi.dll");
            Others others{target, root, MonitorOf(place),
                          reinterpret_cast<WindowAttribute>(reinterpret_cast<void*>(
                              dwmapi ? GetProcAddress(dwmapi, "DwmGetWindowAttribute") : nullptr))};
            EnumWindows(Others::Visit, reinterpret_cast<LPARAM>(&others));
            break;
        }
        }
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
