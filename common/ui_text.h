// The language of the user interface, and the one way its texts, dialogs and
// menus are loaded: always in that language, never in whichever one the
// platform would pick (Windows and Wine pick differently).
#pragma once

#include <windows.h>

namespace tessaly {

constexpr LANGID kJapaneseUi = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);  // 0x0411
constexpr LANGID kEnglishUi = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);        // 0x0409

// Japanese for a Japanese display language, English for any other; a stored
// choice of one of the two (0 when none) wins, anything else is ignored.
LANGID ChooseUiLanguage(DWORD stored);

// Chosen once at start-up. Until then the display language decides.
void SetUiLanguage(LANGID language);
LANGID UiLanguage();

// The data of the module's resource in exactly that language, or null.
const void* FindUiResource(HMODULE module, LPCWSTR type, UINT id, LANGID language);

// A text of the module's string table in the UI language, cut to `size`
// units with its terminator; empty when missing. Returns its length.
int LoadUiString(HMODULE module, UINT id, wchar_t* buffer, int size);
template <int Size>
int LoadUiString(HMODULE module, UINT id, wchar_t (&buffer)[Size]) {
    return LoadUiString(module, id, buffer, Size);
}

// DialogBoxParamW and LoadMenuW, in the UI language.
INT_PTR UiDialogBox(HMODULE module, UINT id, HWND owner, DLGPROC procedure, LPARAM parameter);
HMENU LoadUiMenu(HMODULE module, UINT id);

}  // namespace tessaly
