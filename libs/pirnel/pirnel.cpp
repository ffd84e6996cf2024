#include "pirnel.h"

namespace {

// The caller's buffer for a key's name alone, terminator included.
constexpr int kKeyNameSize = 32;

// Keys a layout cannot be trusted to name. Their scan codes carry the E0
// prefix, which MAPVK_VK_TO_VSC drops, so the layout would name the plain key
// sharing the low byte: Volume Up would read "B". Break and Sleep are in the
// same case and are named beside these in KeyName. Indexed from VK_BROWSER_BACK.
const wchar_t* const kBrowserAndMediaKeys[] = {
    L"Browser Back",   L"Browser Forward",   L"Browser Refresh",  L"Browser Stop",
    L"Browser Search", L"Browser Favorites", L"Browser Home",     L"Volume Mute",
    L"Volume Down",    L"Volume Up",         L"Media Next Track", L"Media Previous Track",
    L"Media Stop",     L"Media Play/Pause",  L"Launch Mail",      L"Launch Media Select",
    L"Launch App 1",   L"Launch App 2",
};
static_assert(sizeof kBrowserAndMediaKeys / sizeof *kBrowserAndMediaKeys ==
                  VK_LAUNCH_APP2 - VK_BROWSER_BACK + 1,
              "one name for each key from Browser Back to Launch App 2");

// Copies at most room - 1 units and a terminator. A cut never keeps the first
// half of a surrogate pair without the second.
int CopyText(const wchar_t* text, LPWSTR buffer, int room) {
    int length = 0;
    while (length < room - 1 && text[length] != L'\0') {
        buffer[length] = text[length];
        ++length;
    }
    if (text[length] != L'\0' && length > 0 && IS_HIGH_SURROGATE(buffer[length - 1])) {
        --length;
    }
    buffer[length] = L'\0';
    return length;
}

// Keys whose scan code the layout lists under the E0 prefix; without the
// extended bit GetKeyNameTextW names the numeric-pad key of the same scan code
// ("Num 4" for Left) or the left-hand twin ("Ctrl" for right Ctrl).
bool IsExtendedKey(UINT vk) {
    switch (vk) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_INSERT:
    case VK_DELETE:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_RCONTROL:
    case VK_RMENU:
        return true;
    default:
        return false;
    }
}

int LayoutKeyName(UINT vk, LPWSTR buffer) {
    UINT scanCode = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF;
    if (scanCode == 0) {
        return 0;
    }
    LONG keyData = static_cast<LONG>(scanCode << 16);
    if (IsExtendedKey(vk)) {
        keyData |= 1 << 24;
    }
    // Longer than the caller's buffer, so a long name is cut by CopyText, which
    // knows about surrogate pairs, and not by the system.
    wchar_t name[2 * kKeyNameSize];
    if (GetKeyNameTextW(keyData, name, 2 * kKeyNameSize) <= 0) {
        return 0;
    }
    return CopyText(name, buffer, kKeyNameSize);
}

int HexKeyName(UINT vk, LPWSTR buffer) {
    const wchar_t digits[] = L"0123456789ABCDEF";
    buffer[0] = L'0';
    buffer[1] = L'x';
    buffer[2] = digits[(vk >> 4) & 0xF];
    buffer[3] = digits[vk & 0xF];
    buffer[4] = L'\0';
    return 4;
}

// Writes at most kKeyNameSize units, terminator included.
int KeyName(UINT vk, LPWSTR buffer) {
    if (vk == 0 || vk > 0xFF) {
        return CopyText(L"None", buffer, kKeyNameSize);
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
        buffer[0] = static_cast<wchar_t>(vk);
        buffer[1] = L'\0';
        return 1;
    }
    if (vk >= VK_F1 && vk <= VK_F24) {
        UINT number = vk - VK_F1 + 1;
        int length = 0;
        buffer[length++] = L'F';
        if (number >= 10) {
            buffer[length++] = static_cast<wchar_t>(L'0' + number / 10);
        }
        buffer[length++] = static_cast<wchar_t>(L'0' + number % 10);
        buffer[length] = L'\0';
        return length;
    }
    if (vk >= VK_BROWSER_BACK && vk <= VK_LAUNCH_APP2) {
        return CopyText(kBrowserAndMediaKeys[vk - VK_BROWSER_BACK], buffer, kKeyNameSize);
    }
    if (vk == VK_CANCEL || vk == VK_SLEEP) {
        return CopyText(vk == VK_CANCEL ? L"Break" : L"Sleep", buffer, kKeyNameSize);
    }
    int length = LayoutKeyName(vk, buffer);
    return length > 0 ? length : HexKeyName(vk, buffer);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" PIRNEL_API int WINAPI PirnelGetKeyName(UINT modifiers, UINT vk, LPWSTR buffer) {
    if (buffer == nullptr) {
        return 0;
    }
    // The order people write combinations in, whatever the order of the bits.
    const struct {
        UINT bit;
        const wchar_t* text;
    } prefixes[] = {
        {MOD_CONTROL, L"Ctrl+"},
        {MOD_ALT, L"Alt+"},
        {MOD_SHIFT, L"Shift+"},
        {MOD_WIN, L"Win+"},
    };
    int length = 0;
    for (const auto& prefix : prefixes) {
        if (modifiers & prefix.bit) {
            // Together at most 19 units, well inside the caller's 780.
            length += CopyText(prefix.text, buffer + length, kKeyNameSize);
        }
    }
    return length + KeyName(vk, buffer + length);
}

extern "C" PIRNEL_API int WINAPI PirnelGetVirtualKeyName(UINT vk, LPWSTR buffer) {
    if (buffer == nullptr) {
        return 0;
    }
    return KeyName(vk, buffer);
}
