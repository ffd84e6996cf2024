#include "common/ui_text.h"

namespace tessaly {

namespace {

// Both binaries that show text (the program and the key library) hold their
// own copy, each set by its own start-up. No constructor: the library starts
// without the runtime's.
LANGID g_uiLanguage = 0;

// The string table keeps its texts in blocks of 16, each block a resource.
constexpr UINT kStringsPerBlock = 16;

}  // namespace

LANGID ChooseUiLanguage(DWORD stored) {
    if (stored == kJapaneseUi || stored == kEnglishUi) {
        return static_cast<LANGID>(stored);
    }
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? kJapaneseUi : kEnglishUi;
}

void SetUiLanguage(LANGID language) { g_uiLanguage = ChooseUiLanguage(language); }

LANGID UiLanguage() {
    if (g_uiLanguage == 0) {
        g_uiLanguage = ChooseUiLanguage(0);
    }
    return g_uiLanguage;
}

const void* FindUiResource(HMODULE module, LPCWSTR type, UINT id, LANGID language) {
    HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

int LoadUiString(HMODULE module, UINT id, wchar_t* buffer, int size) {
    auto entry = static_cast<const WCHAR*>(
        FindUiResource(module, RT_STRING, id / kStringsPerBlock + 1, UiLanguage()));
    int length = 0;
    if (entry) {
        // Each entry is its length, then that many units without a terminator.
        for (UINT skip = id % kStringsPerBlock; skip > 0; --skip) {
            entry += 1 + *entry;
        }
        length = *entry < size ? *entry : size - 1;
        // Copies `length` units and terminates them.
        lstrcpynW(buffer, entry + 1, length + 1);
        return length;
    }
    buffer[0] = L'\0';
    return 0;
}

INT_PTR UiDialogBox(HMODULE module, UINT id, HWND owner, DLGPROC procedure, LPARAM parameter) {
    auto dialog = static_cast<LPCDLGTEMPLATEW>(FindUiResource(module, RT_DIALOG, id, UiLanguage()));
    return dialog ? DialogBoxIndirectParamW(module, dialog, owner, procedure, parameter) : -1;
}

}  // namespace tessaly
