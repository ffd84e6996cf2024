#include "app/sound.h"

namespace {

using PlaySoundFn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);

bool g_bound = false;
PlaySoundFn g_playSound = nullptr;

HMODULE LoadWinmmFromSystemFolder() {
    HMODULE winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (winmm) {
        return winmm;
    }
    // Windows 7 without the update that brought the search flags refuses the
    // flag; a full path is just as safe, and the altered search order looks
    // for winmm's own imports in the system folder too.
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 11 > MAX_PATH) {
        return nullptr;
    }
    lstrcpyW(path + length, L"\\winmm.dll");
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

BOOL WINAPI PlaySystemSound(LPCWSTR sound, HMODULE module, DWORD flags) {
    if (!g_bound) {
        g_bound = true;
        // Never freed: an asynchronous sound goes on playing from it after
        // the call returns.
        if (HMODULE winmm = LoadWinmmFromSystemFolder()) {
            g_playSound = reinterpret_cast<PlaySoundFn>(
                reinterpret_cast<void*>(GetProcAddress(winmm, "PlaySoundW")));
        }
    }
    return g_playSound ? g_playSound(sound, module, flags) : FALSE;
}
