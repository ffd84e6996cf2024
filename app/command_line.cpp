#include "app/command_line.h"

#include "resources/resource.h"

namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// Like a four-character case-insensitive compare, but folding ASCII letters
// only, so the result does not depend on the user's locale.
bool SameFirstFour(const wchar_t* word, const wchar_t* keyword) {
    for (int i = 0; i < 4; ++i) {
        if (AsciiLower(word[i]) != AsciiLower(keyword[i])) {
            return false;
        }
        if (word[i] == L'\0') {
            return true;
        }
    }
    return true;
}

}  // namespace

UINT CommandFromWords(int argc, const wchar_t* const* argv) {
    UINT command = IDM_SETTINGS;
    for (int i = 1; i < argc; ++i) {
        if (SameFirstFour(argv[i], L"launcher")) {
            command = IDM_SHOW_LAUNCHER;
        } else if (SameFirstFour(argv[i], L"menu")) {
            command = IDM_SHOW_MENU;
        } else if (SameFirstFour(argv[i], L"pause")) {
            command = IDM_PAUSE;
        }
    }
    return command;
}
