// The apps of the shell's Applications folder (Store apps among them), which
// a command names by the folder and the app's user model id.
#pragma once

#include <windows.h>

// The two ways the shell writes the folder: the one a user types, and its
// parsing name, which dragged items carry.
inline constexpr wchar_t kAppsFolderPrefix[] = L"shell:AppsFolder\\";
inline constexpr wchar_t kAppsFolderParsingPrefix[] = L"::{4234d49b-0245-4df3-b780-3893943456e1}\\";

// The app id a command names after either prefix (in any case), or null
// for any other command, or for the folder alone.
inline const wchar_t* AppsFolderAppId(const wchar_t* command) {
    for (const wchar_t* prefix : {kAppsFolderPrefix, kAppsFolderParsingPrefix}) {
        const int length = lstrlenW(prefix);
        if (lstrlenW(command) > length && CompareStringOrdinal(command, length, prefix, length, TRUE) == CSTR_EQUAL) {
            return command + length;
        }
    }
    return nullptr;
}
