#include "common/dark_parts.h"

#include "common/dyn_calls.h"

namespace tessaly {

namespace {

// The build that brought these ordinals with these meanings (the one before
// had 135 take a BOOL).
constexpr DWORD kFirstBuild = 18362;
constexpr WORD kAllowDarkModeForWindow = 133;
constexpr WORD kSetPreferredAppMode = 135;
constexpr WORD kFlushMenuThemes = 136;
// Preferred app modes: the system's choice, or dark whatever the setting.
constexpr int kDefaultMode = 0;
constexpr int kForceDarkMode = 2;

struct DarkCalls {
    int(WINAPI* setPreferredAppMode)(int mode);
    BOOL(WINAPI* allowDarkModeForWindow)(HWND window, BOOL allow);
    void(WINAPI* flushMenuThemes)();
    HRESULT(WINAPI* setWindowTheme)(HWND window, LPCWSTR application, LPCWSTR classes);
};

// Lies about nothing, unlike the version functions under a manifest without
// this Windows' compatibility entry.
DWORD WindowsBuild() {
    RTL_OSVERSIONINFOW version = {sizeof(version)};
    using RtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    auto get = reinterpret_cast<RtlGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    return get && get(&version) == 0 && version.dwMajorVersion >= 10 ? version.dwBuildNumber : 0;
}

// Bound at the first dark look, never at a light start. Null when not to be used.
const DarkCalls* Calls() {
    static DarkCalls calls;
    static bool bound = false;
    if (!bound) {
        bound = true;
        HMODULE uxtheme =
            WindowsBuild() >= kFirstBuild && (!g_darkPartsSwitch || g_darkPartsSwitch() != 0) ? LoadSystemLibrary(L"uxtheme.dll") : nullptr;
        if (uxtheme) {
            Bind(uxtheme, calls.allowDarkModeForWindow, MAKEINTRESOURCEA(kAllowDarkModeForWindow));
            Bind(uxtheme, calls.setPreferredAppMode, MAKEINTRESOURCEA(kSetPreferredAppMode));
            Bind(uxtheme, calls.flushMenuThemes, MAKEINTRESOURCEA(kFlushMenuThemes));
            Bind(uxtheme, calls.setWindowTheme, "SetWindowTheme");
        }
    }
    return calls.allowDarkModeForWindow && calls.setPreferredAppMode && calls.flushMenuThemes &&
                   calls.setWindowTheme
               ? &calls
               : nullptr;
}

}  // namespace

DWORD (*g_darkPartsSwitch)() = nullptr;

void DarkMenus(bool dark) {
    if (const DarkCalls* calls = Calls()) {
        calls->setPreferredAppMode(dark ? kForceDarkMode : kDefaultMode);
        calls->flushMenuThemes();
    }
}

void DarkControl(HWND control) {
    if (const DarkCalls* calls = Calls()) {
        calls->allowDarkModeForWindow(control, TRUE);
        // The dark variant of the system's list look, scroll bars included.
        calls->setWindowTheme(control, L"DarkMode_Explorer", nullptr);
    }
}

}  // namespace tessaly
