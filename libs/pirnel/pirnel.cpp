#include "pirnel.h"

#include "pirnel_resource.h"

#include "common/ui_text.h"
#include "common/unique_handles.h"

namespace {

// The caller's buffer for a key's name alone, terminator included.
constexpr int kKeyNameSize = PIRNEL_VIRTUAL_KEY_NAME_LENGTH;

// Keys a layout cannot be trusted to name. Their scan codes carry the E0
// prefix, which MAPVK_VK_TO_VSC drops, so the layout would name the plain key
// sharing the low byte: Volume Up would read "B". Break, Sleep and Print
// Screen (whose own scan code the layout gives to SysRq) are in the same case
// and are named beside these in KeyName. Indexed from VK_BROWSER_BACK.
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

// The key's name for a code from 1 to 0xFF, or 0 when neither we nor the
// layout have one. Writes at most kKeyNameSize units, terminator included.
int KnownKeyName(UINT vk, LPWSTR buffer) {
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
    switch (vk) {
    case VK_CANCEL:
        return CopyText(L"Break", buffer, kKeyNameSize);
    case VK_SLEEP:
        return CopyText(L"Sleep", buffer, kKeyNameSize);
    case VK_SNAPSHOT:
        return CopyText(L"Print Screen", buffer, kKeyNameSize);
    default:
        break;
    }
    return LayoutKeyName(vk, buffer);
}

// Writes at most kKeyNameSize units, terminator included.
int KeyName(UINT vk, LPWSTR buffer) {
    if (vk == 0 || vk > 0xFF) {
        return CopyText(L"None", buffer, kKeyNameSize);
    }
    int length = KnownKeyName(vk, buffer);
    return length > 0 ? length : HexKeyName(vk, buffer);
}

// "Ctrl+Alt+" and the like: at most 19 units and a terminator.
int ModifierPrefix(UINT modifiers, LPWSTR buffer) {
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
    buffer[0] = L'\0';
    for (const auto& prefix : prefixes) {
        if (modifiers & prefix.bit) {
            length += CopyText(prefix.text, buffer + length, kKeyNameSize);
        }
    }
    return length;
}

// The dialogs' value: the key in the low word, the modifiers above it.
constexpr UINT kKeyMask = PIRNEL_KEY_MASK;
constexpr int kModifierShift = PIRNEL_MODIFIER_SHIFT;
constexpr UINT kModifierMask = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN;

UINT KeyValue(UINT vk, UINT modifiers) {
    return (vk & kKeyMask) | (modifiers & kModifierMask) << kModifierShift;
}

// A code outside 1 to 0xFF names no key: the value reads as none, whatever
// modifiers it carries, since they alone make no combination.
bool HasKey(UINT value) {
    UINT vk = value & kKeyMask;
    return vk != 0 && vk <= 0xFF;
}

HINSTANCE g_module = nullptr;

// What a dialog shows for a value: its combination, or "None".
void ShowValue(HWND dialog, int control, UINT value) {
    wchar_t text[PIRNEL_KEY_NAME_LENGTH];
    if (HasKey(value)) {
        PirnelGetKeyName(value >> kModifierShift, value & kKeyMask, text);
    } else {
        tessaly::LoadUiString(g_module, IDS_PIRNEL_NONE, text, kKeyNameSize);
    }
    SetDlgItemTextW(dialog, control, text);
}

// The capture each thread serves: on a dialog's thread the innermost capture
// dialog open there, on a hook's thread the capture it takes keys for. A
// low-level hook has no parameter of its own, and it runs on the thread that
// set it.
DWORD g_captureSlot = TLS_OUT_OF_INDEXES;

// One bit for each modifier key: the four hotkey flags for the left keys (and
// for the generic codes some programs inject), the same four shifted by four
// for the right keys; 0 for any other key.
UINT ModifierKeyBit(DWORD vk) {
    switch (vk) {
    case VK_MENU:
    case VK_LMENU:
        return MOD_ALT;
    case VK_CONTROL:
    case VK_LCONTROL:
        return MOD_CONTROL;
    case VK_SHIFT:
    case VK_LSHIFT:
        return MOD_SHIFT;
    case VK_LWIN:
        return MOD_WIN;
    case VK_RMENU:
        return MOD_ALT << 4;
    case VK_RCONTROL:
        return MOD_CONTROL << 4;
    case VK_RSHIFT:
        return MOD_SHIFT << 4;
    case VK_RWIN:
        return MOD_WIN << 4;
    default:
        return 0;
    }
}

UINT ModifierFlags(UINT keyBits) { return (keyBits | keyBits >> 4) & kModifierMask; }

// Modifier keys already down when the hook starts: their presses went by
// before it could see them.
UINT HeldModifierKeys() {
    const DWORD keys[] = {VK_LMENU, VK_LCONTROL, VK_LSHIFT, VK_LWIN,
                          VK_RMENU, VK_RCONTROL, VK_RSHIFT, VK_RWIN};
    UINT bits = 0;
    for (DWORD vk : keys) {
        if (GetAsyncKeyState(static_cast<int>(vk)) < 0) {
            bits |= ModifierKeyBit(vk);
        }
    }
    return bits;
}

// Each key as the hook has seen it. The release of a key the rest of the
// system saw go down must reach it, or the key stays down there (a click
// becomes a Ctrl+click) until it is pressed again.
enum KeyState : BYTE {
    kKeyUp,
    kKeySwallowed,  // down, and every press since it went up swallowed
    kKeySeen,       // down, and the system saw it go down
};

// What only the hook's thread reads and writes while it runs.
struct KeyHook {
    UINT heldKeys;          // ModifierKeyBit of each modifier key down
    BYTE keys[256];         // KeyState of each key
    DWORD pressTimes[256];  // of each key's last press, in the system's message time
};

struct Capture {
    HWND dialog;
    Capture* outer;                   // the capture dialog this one opened over, on the same thread
    tessaly::unique_handle thread;    // the hook's, while it runs
    DWORD threadId;
    HANDLE ready;                     // set by the hook's thread once the hook is set
    UINT value;                       // shown, and returned on OK
    UINT result;                      // what PirnelDialogBox returns
    UINT heldKeys;                    // as the hook last told
    bool active;
    bool keyInChord;  // a key was captured since the first of the held modifiers went down
    KeyHook hook;
};

// While modifiers are held and no key has joined them yet, they are shown
// alone ("Ctrl+Alt+"), as a hint and not as a value.
void ShowCapture(const Capture& capture) {
    if (!capture.active || capture.heldKeys == 0 || capture.keyInChord) {
        ShowValue(capture.dialog, IDC_PIRNEL_KEY, capture.value);
        return;
    }
    wchar_t text[kKeyNameSize];
    ModifierPrefix(ModifierFlags(capture.heldKeys), text);
    SetDlgItemTextW(capture.dialog, IDC_PIRNEL_KEY, text);
}

// Decides on one key event on the hook's thread: whether to keep it from
// everyone else. A change of the held modifiers, or a key captured, goes to
// the dialog posted, so the hook waits for nothing.
bool HookKeyEvent(Capture& capture, DWORD vk, bool release, DWORD time) {
    // VK_PACKET carries a character, not a key; 0 and 0xFF name no key.
    if (vk == 0 || vk >= 0xFF || vk == VK_PACKET) {
        return false;
    }
    KeyHook& hook = capture.hook;
    BYTE& state = hook.keys[vk];
    const UINT modifier = ModifierKeyBit(vk);
    const UINT held = hook.heldKeys;
    UINT captured = 0;
    bool swallow;
    if (release) {
        swallow = state == kKeySwallowed;
        state = kKeyUp;
        hook.heldKeys &= ~modifier;
    } else {
        hook.pressTimes[vk] = time;
        // Followed wherever the press goes: a modifier held down in another
        // program still counts once the dialog is in front.
        hook.heldKeys |= modifier;
        UINT modifiers = ModifierFlags(hook.heldKeys);
        // Typing into another program while the dialog is open is not a
        // capture. Alone, Esc, Enter and Tab keep their meaning in a dialog:
        // Esc cancels, Enter presses the focused button, Tab moves the focus.
        swallow = GetForegroundWindow() == capture.dialog &&
                  (modifiers != 0 || (vk != VK_ESCAPE && vk != VK_RETURN && vk != VK_TAB));
        if (swallow && modifier == 0) {
            captured = KeyValue(vk, modifiers);
        }
        if (!swallow) {
            state = kKeySeen;
        } else if (state == kKeyUp) {
            state = kKeySwallowed;
        }
    }
    if (captured != 0 || hook.heldKeys != held) {
        PostMessageW(capture.dialog, WM_PIRNEL_HOOKED_KEY, hook.heldKeys, captured);
    }
    return swallow;
}

// Forgets the keys whose release the hook may have missed, as the dialog is
// activated again: no hook sees a key while the secure desktop (Ctrl+Alt+Del,
// Win+L) is in front, so "Ctrl+Alt+" would stay shown and the next key be
// taken with them. A key the system saw go down tells its own state; one kept
// from it cannot, and is taken as up: a user still holding it makes it
// repeat, which the hook sees as a press. Only keys pressed before the
// activation: the hook may see presses that followed it before this.
void ForgetReleasedKeys(Capture& capture, DWORD activated) {
    KeyHook& hook = capture.hook;
    const UINT held = hook.heldKeys;
    for (int vk = 1; vk < 0xFF; ++vk) {
        BYTE& state = hook.keys[vk];
        const bool before = static_cast<LONG>(hook.pressTimes[vk] - activated) < 0;
        if (before && (state == kKeySwallowed || (state == kKeySeen && GetAsyncKeyState(vk) >= 0))) {
            state = kKeyUp;
            hook.heldKeys &= ~ModifierKeyBit(static_cast<DWORD>(vk));
        }
    }
    if (hook.heldKeys != held) {
        PostMessageW(capture.dialog, WM_PIRNEL_HOOKED_KEY, hook.heldKeys, 0);
    }
}

LRESULT CALLBACK CaptureHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* capture = static_cast<Capture*>(TlsGetValue(g_captureSlot));
    if (code == HC_ACTION && capture != nullptr &&
        HookKeyEvent(*capture, reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode,
                     wParam == WM_KEYUP || wParam == WM_SYSKEYUP,
                     reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->time)) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hook's own thread. The system calls a low-level hook on the thread that
// set it, and every key press in the session waits for the answer: on the
// dialog's thread a task run (a search over an unreachable network folder, a
// consent prompt) would hold them all, and the system drops a hook that keeps
// it waiting. This one only pumps messages and posts what it captures.
DWORD WINAPI HookThread(void* parameter) {
    auto* capture = static_cast<Capture*>(parameter);
    KeyHook& hook = capture->hook;
    MSG message;
    // The queue the quit message is posted to.
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    TlsSetValue(g_captureSlot, capture);
    // Keys already down went down for everyone.
    const DWORD now = GetTickCount();
    for (int vk = 1; vk < 0xFF; ++vk) {
        hook.keys[vk] = GetAsyncKeyState(vk) < 0 ? kKeySeen : kKeyUp;
        hook.pressTimes[vk] = now - 1;
    }
    hook.heldKeys = HeldModifierKeys();
    tessaly::unique_hhook handle(SetWindowsHookExW(WH_KEYBOARD_LL, CaptureHook, g_module, 0));
    if (!handle) {
        return 0;
    }
    PostMessageW(capture->dialog, WM_PIRNEL_HOOKED_KEY, hook.heldKeys, 0);
    SetEvent(capture->ready);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_PIRNEL_RECHECK_KEYS) {
            ForgetReleasedKeys(*capture, static_cast<DWORD>(message.wParam));
        }
    }
    return 0;
}

// Sets the hook on a thread of its own and returns once it is set, so no key
// slips past it to the dialog's buttons; false when it cannot be set.
bool StartHook(Capture& capture) {
    tessaly::unique_handle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    capture.ready = ready.get();
    if (ready) {
        capture.thread.reset(CreateThread(nullptr, 0, HookThread, &capture, 0, &capture.threadId));
    }
    if (!capture.thread) {
        return false;
    }
    // A thread that could not set the hook ends without setting `ready`.
    const HANDLE ends[] = {ready.get(), capture.thread.get()};
    if (WaitForMultipleObjects(2, ends, FALSE, INFINITE) == WAIT_OBJECT_0) {
        return true;
    }
    capture.thread.reset();
    return false;
}

// Removes the hook and waits for its thread to end: afterwards no key is
// swallowed and nothing touches the capture from there.
void StopHook(Capture& capture) {
    if (capture.thread) {
        PostThreadMessageW(capture.threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(capture.thread.get(), INFINITE);
        capture.thread.reset();
    }
}

// What the hook decided, arrived from its thread.
void OnHookedKey(Capture& capture, UINT heldKeys, UINT captured) {
    if (capture.heldKeys == 0 && heldKeys != 0) {
        capture.keyInChord = false;
    }
    capture.heldKeys = heldKeys;
    if (captured != 0) {
        capture.value = captured;
        capture.keyInChord = true;
    }
    ShowCapture(capture);
}

INT_PTR CALLBACK CaptureProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* capture = reinterpret_cast<Capture*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        capture = reinterpret_cast<Capture*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        capture->dialog = dialog;
        // Without the hook the keys would reach the dialog's buttons, or
        // worse, the shell and other programs' hotkeys: better no dialog.
        if (!StartHook(*capture)) {
            EndDialog(dialog, IDCANCEL);
        }
        ShowCapture(*capture);
        return TRUE;
    case WM_PIRNEL_HOOKED_KEY:
        OnHookedKey(*capture, static_cast<UINT>(wParam), static_cast<UINT>(lParam));
        return TRUE;
    case WM_ACTIVATE:
        if (capture != nullptr) {
            capture->active = LOWORD(wParam) != WA_INACTIVE;
            capture->keyInChord = false;
            if (capture->active && capture->thread) {
                PostThreadMessageW(capture->threadId, WM_PIRNEL_RECHECK_KEYS, GetTickCount(), 0);
            }
            ShowCapture(*capture);
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            capture->result = capture->value;
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_PIRNEL_CLEAR:
            capture->value = PIRNEL_NO_KEY;
            capture->keyInChord = true;
            ShowCapture(*capture);
            // The next Enter then confirms, rather than clearing once more.
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        // Every way out passes here, the owner's destruction included.
        if (capture != nullptr) {
            StopHook(*capture);
        }
        break;
    }
    return FALSE;
}

constexpr int kModifierBoxes[][2] = {
    {IDC_PIRNEL_ALT, MOD_ALT},
    {IDC_PIRNEL_CTRL, MOD_CONTROL},
    {IDC_PIRNEL_SHIFT, MOD_SHIFT},
    {IDC_PIRNEL_WIN, MOD_WIN},
};

// Mouse buttons and the modifiers themselves are not keys a combination ends
// with; codes only named in hex mean nothing to a reader.
bool IsListedKey(UINT vk, LPWSTR name) {
    if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON || vk == VK_XBUTTON1 ||
        vk == VK_XBUTTON2 || ModifierKeyBit(vk) != 0) {
        return false;
    }
    return KnownKeyName(vk, name) > 0;
}

UINT ReferValue(HWND dialog) {
    LRESULT selected = SendDlgItemMessageW(dialog, IDC_PIRNEL_KEYS, LB_GETCURSEL, 0, 0);
    UINT vk = selected == LB_ERR
                  ? PIRNEL_NO_KEY
                  : static_cast<UINT>(SendDlgItemMessageW(dialog, IDC_PIRNEL_KEYS, LB_GETITEMDATA, selected, 0));
    UINT modifiers = 0;
    for (const auto& box : kModifierBoxes) {
        if (IsDlgButtonChecked(dialog, box[0]) == BST_CHECKED) {
            modifiers |= box[1];
        }
    }
    return KeyValue(vk, modifiers);
}

void FillKeyList(HWND dialog, UINT value) {
    HWND list = GetDlgItem(dialog, IDC_PIRNEL_KEYS);
    wchar_t noKey[kKeyNameSize];
    tessaly::LoadUiString(g_module, IDS_PIRNEL_NONE_LISTED, noKey);
    LRESULT none = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(noKey));
    SendMessageW(list, LB_SETITEMDATA, none, PIRNEL_NO_KEY);
    for (UINT vk = 1; vk < 0xFF; ++vk) {
        wchar_t name[kKeyNameSize];
        if (!IsListedKey(vk, name)) {
            continue;
        }
        // Two codes a layout names alike (Clear and Num 5 share a scan code)
        // would be two lines nobody could tell apart: the later code, the
        // key's own, takes the line.
        LRESULT item = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
        if (item == LB_ERR) {
            item = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        }
        SendMessageW(list, LB_SETITEMDATA, item, vk);
    }
    // A key the list lacks selects "(None)", which is what OK would return.
    UINT vk = value & kKeyMask;
    LRESULT selected = none;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < count; ++item) {
        if (static_cast<UINT>(SendMessageW(list, LB_GETITEMDATA, item, 0)) == vk) {
            selected = item;
            break;
        }
    }
    SendMessageW(list, LB_SETCURSEL, selected, 0);
    // With a few neighbours above, rather than at whichever edge it scrolled to.
    SendMessageW(list, LB_SETTOPINDEX, selected > 3 ? selected - 3 : 0, 0);
    for (const auto& box : kModifierBoxes) {
        CheckDlgButton(dialog, box[0], (value >> kModifierShift) & box[1] ? BST_CHECKED : BST_UNCHECKED);
    }
}

INT_PTR CALLBACK ReferProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        FillKeyList(dialog, *reinterpret_cast<UINT*>(lParam));
        ShowValue(dialog, IDC_PIRNEL_COMBINATION, ReferValue(dialog));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            *reinterpret_cast<UINT*>(GetWindowLongPtrW(dialog, DWLP_USER)) = ReferValue(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_PIRNEL_KEYS:
            if (HIWORD(wParam) == LBN_DBLCLK) {
                SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                return TRUE;
            }
            break;
        }
        ShowValue(dialog, IDC_PIRNEL_COMBINATION, ReferValue(dialog));
        break;
    }
    return FALSE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        // The dialogs are this library's resources, and the hook its code.
        g_module = instance;
        g_captureSlot = TlsAlloc();
    } else if (reason == DLL_PROCESS_DETACH && g_captureSlot != TLS_OUT_OF_INDEXES) {
        TlsFree(g_captureSlot);
    }
    return TRUE;
}

extern "C" PIRNEL_API void WINAPI PirnelSetLanguage(LANGID language) { tessaly::SetUiLanguage(language); }

extern "C" PIRNEL_API int WINAPI PirnelGetKeyName(UINT modifiers, UINT vk, LPWSTR buffer) {
    if (buffer == nullptr) {
        return 0;
    }
    // The prefixes take at most 19 units, well inside the caller's 780.
    int length = ModifierPrefix(modifiers, buffer);
    return length + KeyName(vk, buffer + length);
}

extern "C" PIRNEL_API int WINAPI PirnelGetVirtualKeyName(UINT vk, LPWSTR buffer) {
    if (buffer == nullptr) {
        return 0;
    }
    return KeyName(vk, buffer);
}

extern "C" PIRNEL_API UINT WINAPI PirnelDialogBox(HWND owner, UINT value) {
    Capture capture = {};
    capture.value = HasKey(value) ? value & (kKeyMask | kModifierMask << kModifierShift) : PIRNEL_NO_KEY;
    capture.result = value;
    // A dialog opened from within another one on the same thread (a timer,
    // say) sets the later hook, which the system asks first, until it closes.
    capture.outer = static_cast<Capture*>(TlsGetValue(g_captureSlot));
    if (!TlsSetValue(g_captureSlot, &capture)) {
        return value;
    }
    tessaly::UiDialogBox(g_module, IDD_PIRNEL_CAPTURE, owner, CaptureProc, reinterpret_cast<LPARAM>(&capture));
    TlsSetValue(g_captureSlot, capture.outer);
    return capture.result;
}

extern "C" PIRNEL_API void WINAPI PirnelEndKeyCapture(void) {
    for (auto* capture = static_cast<Capture*>(TlsGetValue(g_captureSlot)); capture != nullptr;
         capture = capture->outer) {
        StopHook(*capture);
    }
}

extern "C" PIRNEL_API UINT WINAPI PirnelReferDialogBox(HWND owner, UINT value) {
    UINT result = value;
    tessaly::UiDialogBox(g_module, IDD_PIRNEL_REFER, owner, ReferProc, reinterpret_cast<LPARAM>(&result));
    return result;
}
