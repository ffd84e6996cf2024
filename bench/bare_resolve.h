// How the bare programs find a command: each extension of the system's list
// in turn along the search path, as a command is found.
#pragma once

#include <windows.h>

inline bool Resolve(const wchar_t* command, wchar_t (&path)[MAX_PATH]) {
    wchar_t extensions[1024];
    DWORD length = GetEnvironmentVariableW(L"PATHEXT", extensions, 1024);
    if (length == 0 || length >= 1024) {
        lstrcpyW(extensions, L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH");
    }
    for (wchar_t* extension = extensions; *extension;) {
        wchar_t* end = extension;
        while (*end && *end != L';') {
            ++end;
        }
        wchar_t saved = *end;
        *end = L'\0';
        DWORD found = SearchPathW(nullptr, command, extension, MAX_PATH, path, nullptr);
        if (found && found < MAX_PATH) {
            return true;
        }
        extension = saved ? end + 1 : end;
    }
    return false;
}

