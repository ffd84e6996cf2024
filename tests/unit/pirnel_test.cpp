#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/run_task.h"
#include "libs/pirnel/pirnel.h"
#include "libs/pirnel/pirnel_resource.h"
#include "tests/unit/test_support.h"

namespace {

std::wstring KeyName(UINT vk) {
    wchar_t buffer[32];
    PirnelGetVirtualKeyName(vk, buffer);
    return buffer;
}

std::wstring LayoutName(UINT vk, bool extended) {
    wchar_t name[64] = L"";
    UINT scanCode = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    GetKeyNameTextW(static_cast<LONG>(scanCode << 16 | (extended ? 1u << 24 : 0)), name, 64);
    return name;
}

TEST(PirnelKeyName, PrintedKeysAsPrinted) {
    for (UINT vk = 'A'; vk <= 'Z'; ++vk) EXPECT_EQ(std::wstring(1, wchar_t(vk)), KeyName(vk));
    for (UINT vk = '0'; vk <= '9'; ++vk) EXPECT_EQ(std::wstring(1, wchar_t(vk)), KeyName(vk));
    for (UINT n = 1; n <= 24; ++n) EXPECT_EQ(L"F" + std::to_wstring(n), KeyName(VK_F1 + n - 1));
}

// Without the extended bit the layout names the numeric-pad twin: "Num 4" for Left.
TEST(PirnelKeyName, ExtendedKeysByTheirExtendedScanCode) {
    for (UINT vk : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_INSERT, VK_DELETE, VK_HOME, VK_END,
                    VK_PRIOR, VK_NEXT, VK_NUMLOCK, VK_DIVIDE, VK_LWIN, VK_RWIN, VK_APPS,
                    VK_RCONTROL, VK_RMENU}) {
        ASSERT_NE(L"", LayoutName(vk, true)) << vk;
        EXPECT_EQ(LayoutName(vk, true), KeyName(vk)) << vk;
    }
}

TEST(PirnelKeyName, RightCtrlAndAltAreNotTheLeftOnes) {
    if (LayoutName(VK_RCONTROL, true) == LayoutName(VK_LCONTROL, false) ||
        LayoutName(VK_RMENU, true) == LayoutName(VK_LMENU, false)) {
        GTEST_SKIP() << "Wine's layout names both Ctrl keys \"Control\" and both Alt keys \"Alt\"";
    }
    EXPECT_NE(KeyName(VK_LCONTROL), KeyName(VK_RCONTROL));
    EXPECT_NE(KeyName(VK_LMENU), KeyName(VK_RMENU));
}

// Names as keyboards print them, the same whichever language the dialogs speak.
TEST(PirnelKeyName, KeysNoLayoutNamesRightAndNonKeys) {
    const struct { UINT vk; const wchar_t* name; } cases[] = {
        {VK_VOLUME_UP, L"Volume Up"}, {VK_VOLUME_MUTE, L"Volume Mute"}, {VK_VOLUME_DOWN, L"Volume Down"},
        {VK_MEDIA_PLAY_PAUSE, L"Media Play/Pause"}, {VK_MEDIA_PREV_TRACK, L"Media Previous Track"},
        {VK_BROWSER_BACK, L"Browser Back"}, {VK_BROWSER_HOME, L"Browser Home"},
        {VK_LAUNCH_MAIL, L"Launch Mail"}, {VK_LAUNCH_MEDIA_SELECT, L"Launch Media Select"},
        {VK_LAUNCH_APP1, L"Launch App 1"}, {VK_LAUNCH_APP2, L"Launch App 2"}, {VK_F13, L"F13"}, {VK_F23, L"F23"},
        {VK_CANCEL, L"Break"}, {VK_SLEEP, L"Sleep"}, {VK_SNAPSHOT, L"Print Screen"},
        {0xE8, L"0xE8"}, {VK_LBUTTON, L"0x01"}, {0xFF, L"0xFF"},
        {0, L"None"}, {0x100, L"None"}, {0xFFFF, L"None"}, {0xFFFFFFFF, L"None"},
    };
    for (LANGID language : {LANGID(0x0409), LANGID(0x0411)}) {
        PirnelSetLanguage(language);
        for (const auto& c : cases) EXPECT_EQ(c.name, KeyName(c.vk)) << c.vk << " " << language;
    }
    PirnelSetLanguage(0);
}

TEST(PirnelKeyName, ModifiersInConventionalOrderOtherBitsIgnored) {
    const wchar_t* const names[16] = {
        L"X", L"Alt+X", L"Ctrl+X", L"Ctrl+Alt+X", L"Shift+X", L"Alt+Shift+X", L"Ctrl+Shift+X",
        L"Ctrl+Alt+Shift+X", L"Win+X", L"Alt+Win+X", L"Ctrl+Win+X", L"Ctrl+Alt+Win+X",
        L"Shift+Win+X", L"Alt+Shift+Win+X", L"Ctrl+Shift+Win+X", L"Ctrl+Alt+Shift+Win+X"};
    wchar_t buffer[780];
    for (UINT m = 0; m < 16; ++m) {
        for (UINT noise : {0u, 0x4000u /* MOD_NOREPEAT */, 0xFFFFFFF0u}) {
            EXPECT_EQ(int(wcslen(names[m])), PirnelGetKeyName(m | noise, 'X', buffer));
            EXPECT_STREQ(names[m], buffer) << m << " " << noise;
        }
    }
    PirnelGetKeyName(MOD_WIN, 0xFFFFFFFF, buffer);
    EXPECT_STREQ(L"Win+None", buffer);
    // What some new keyboards send for a key of their own: Windows documents no name for it.
    PirnelGetKeyName(MOD_WIN | MOD_SHIFT, VK_F23, buffer);
    EXPECT_STREQ(L"Shift+Win+F23", buffer);
}

// Every key and non-key, with every modifier: terminated inside the caller's
// buffer, nothing written past it, never half a surrogate pair at a cut.
TEST(PirnelKeyName, StaysInsideTheCallersBuffer) {
    const wchar_t sentinel = 0xFDD0;
    std::vector<UINT> keys = {0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF};
    for (UINT vk = 0; vk < 0x200; ++vk) keys.push_back(vk);
    for (UINT vk : keys) {
        wchar_t alone[32 + 8], combined[780 + 8];
        std::fill(std::begin(alone), std::end(alone), sentinel);
        std::fill(std::begin(combined), std::end(combined), sentinel);
        int length = PirnelGetVirtualKeyName(vk, alone);
        ASSERT_TRUE(length >= 1 && length < 32) << vk;
        ASSERT_EQ(L'\0', alone[length]) << vk;
        EXPECT_EQ(size_t(length), wcslen(alone)) << vk;
        EXPECT_FALSE(IS_HIGH_SURROGATE(alone[length - 1])) << vk;
        for (int i = 32; i < 40; ++i) ASSERT_EQ(sentinel, alone[i]) << vk;
        length = PirnelGetKeyName(0xFFFFFFFF, vk, combined);
        ASSERT_TRUE(length >= 1 && length < 780) << vk;
        ASSERT_EQ(L'\0', combined[length]) << vk;
        EXPECT_EQ(size_t(length), wcslen(combined)) << vk;
        EXPECT_EQ(L"Ctrl+Alt+Shift+Win+" + KeyName(vk), combined) << vk;
        for (int i = 780; i < 788; ++i) ASSERT_EQ(sentinel, combined[i]) << vk;
    }
}

// The dialogs run from a timer of this thread in their own modal loop: one
// step a tick, once the dialog has decided on every key sent before.
using Step = std::function<void(HWND dialog)>;
struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    HWND dialog = nullptr;
    HHOOK seer = nullptr;
    int sent = 0, seen = 0;
    std::vector<DWORD> passed;  // presses the dialog let through
    std::set<DWORD> down;       // keys everyone else holds down, by what the dialog let through
} * g_script;
constexpr ULONG_PTR kOurInput = 0x9E17;
std::vector<HHOOK> g_hooksSet, g_hooksRemoved;  // by the library
std::vector<WPARAM> g_hotKeys;                  // ids of the owner's WM_HOTKEY

// Set after the dialog's hook, so called first: it sees what the dialog decided.
LRESULT CALLBACK SeeKeys(int code, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
    auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code != HC_ACTION || !g_script || event->dwExtraInfo != kOurInput) return result;
    ++g_script->seen;
    if (!result && (event->flags & LLKHF_UP)) g_script->down.erase(event->vkCode);
    if (!result && !(event->flags & LLKHF_UP)) g_script->passed.push_back(event->vkCode), g_script->down.insert(event->vkCode);
    return result;
}

// Once the steps are done a dialog still open is closed, so a test fails rather than hangs.
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script& s = *g_script;
    HWND dialog = FindWindowW(L"#32770", nullptr);
    if (!s.dialog && dialog && GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId()) {
        SetForegroundWindow(s.dialog = dialog);
        s.seer = SetWindowsHookExW(WH_KEYBOARD_LL, SeeKeys, GetModuleHandleW(nullptr), 0);
    }
    if (!s.dialog || s.seen < s.sent || s.next > s.steps.size()) return;
    if (s.next < s.steps.size()) s.steps[s.next](s.dialog);
    else PostMessageW(s.dialog, WM_CLOSE, 0, 0);
    ++s.next;
}

// Presses the keys in order and releases them in reverse.
Step Press(std::vector<WORD> keys, bool press = true, bool release = true) {
    return [=](HWND) {
        std::vector<INPUT> inputs;
        for (size_t i = press ? 0 : keys.size(); i < (release ? 2 : 1) * keys.size(); ++i) {
            INPUT input = {INPUT_KEYBOARD};
            input.ki.wVk = keys[i < keys.size() ? i : 2 * keys.size() - 1 - i];
            // Wine tells the right-hand keys by the extended flag, as a keyboard sends them.
            bool right = input.ki.wVk == VK_RCONTROL || input.ki.wVk == VK_RMENU || input.ki.wVk == VK_RSHIFT;
            input.ki.dwFlags = (i < keys.size() ? 0 : KEYEVENTF_KEYUP) | (right ? KEYEVENTF_EXTENDEDKEY : 0);
            input.ki.dwExtraInfo = kOurInput;
            inputs.push_back(input);
        }
        g_script->sent += SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    };
}
Step Click(int id) { return [=](HWND dialog) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }; }
Step Shows(std::wstring text, int id = IDC_PIRNEL_KEY) {
    return [=](HWND dialog) {
        wchar_t shown[800] = L"";
        GetDlgItemTextW(dialog, id, shown, 800);
        EXPECT_EQ(text, shown) << "at step " << g_script->next;
    };
}
const Step kCloseBox = [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
// As a click on another program's window would, with the key still held.
const Step kClickElsewhere = [](HWND) {
    SetForegroundWindow(CreateWindowW(L"PirnelTestOwner", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, 0, 0, 0, 0));
};

// Activated again, once the dialog has taken in what it finds then.
const Step kBackToTheDialog = [](HWND dialog) {
    SetForegroundWindow(dialog);
    test::PumpUntil([&] {
        wchar_t shown[800] = L"";
        GetDlgItemTextW(dialog, IDC_PIRNEL_KEY, shown, 800);
        return std::wstring(shown) != L"Ctrl+Alt+";
    });
};

// Points the library's import of `name` at `function`; returns what was there.
ULONG_PTR Reimport(const char* name, ULONG_PTR function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(L"pirnel.dll"));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; dll->Name; ++dll) {
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
             entry->u1.AddressOfData; ++entry, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(entry->u1.Ordinal) ||
                strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + entry->u1.AddressOfData)->Name, name))
                continue;
            DWORD protection;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
            std::swap(slot->u1.Function, function);
            VirtualProtect(slot, sizeof *slot, protection, &protection);
            return function;
        }
    }
    return 0;
}

HHOOK WINAPI RecordSetHook(int id, HOOKPROC proc, HINSTANCE module, DWORD thread) {
    EXPECT_TRUE(id == WH_KEYBOARD_LL && module == GetModuleHandleW(L"pirnel.dll") && thread == 0);
    g_hooksSet.push_back(SetWindowsHookExW(id, proc, module, thread));
    return g_hooksSet.back();
}
BOOL WINAPI RecordUnhook(HHOOK hook) { return g_hooksRemoved.push_back(hook), UnhookWindowsHookEx(hook); }

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY) g_hotKeys.push_back(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

constexpr UINT Value(UINT modifiers, UINT vk) { return modifiers << 16 | vk; }
constexpr UINT kNone = PIRNEL_NO_KEY;
constexpr UINT kGiven = 0xA0000000 | Value(MOD_ALT, VK_F1);  // bits returned only by a cancelled dialog

struct DialogCase {
    const char* what;
    UINT value;
    std::vector<Step> steps;
    UINT expected;
    std::vector<DWORD> passed;  // presses meant for the dialog itself
    std::vector<WORD> held;     // keys already down when the dialog opens
};

class PirnelDialog : public testing::Test {
protected:
    void TearDown() override {
        DestroyWindow(m_owner);
        DestroyWindow(FindWindowW(L"PirnelTestOwner", L"elsewhere"));
    }
    // The capture dialog sets one hook and removes it on the way out, whichever way that is.
    void Run(UINT(WINAPI* dialogBox)(HWND, UINT), const DialogCase& c) {
        SCOPED_TRACE(c.what);
        WNDCLASSW windowClass = {0, OwnerProc, 0, 0, GetModuleHandleW(nullptr)};
        windowClass.lpszClassName = L"PirnelTestOwner";
        RegisterClassW(&windowClass);
        if (!IsWindow(m_owner)) m_owner = CreateWindowW(L"PirnelTestOwner", L"", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
        g_hooksSet.clear(), g_hooksRemoved.clear();
        Script script{c.steps};
        g_script = &script;
        Press(c.held, true, false)(nullptr);
        script.sent = 0;
        script.down.insert(c.held.begin(), c.held.end());
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        ULONG_PTR setHook = Reimport("SetWindowsHookExW", ULONG_PTR(RecordSetHook));
        ULONG_PTR unhook = Reimport("UnhookWindowsHookEx", ULONG_PTR(RecordUnhook));
        EXPECT_EQ(c.expected, dialogBox(m_owner, c.value));
        EXPECT_EQ(ULONG_PTR(RecordSetHook), Reimport("SetWindowsHookExW", setHook));
        EXPECT_EQ(ULONG_PTR(RecordUnhook), Reimport("UnhookWindowsHookEx", unhook));
        KillTimer(nullptr, timer);
        UnhookWindowsHookEx(script.seer);
        EXPECT_EQ(std::set<DWORD>{}, script.down) << "keys left down for every other program";
        Press({script.down.begin(), script.down.end()}, false)(nullptr);  // so the next case starts clean
        g_script = nullptr;
        EXPECT_EQ(c.steps.size(), script.next) << "every step done, then the dialog closed by itself";
        EXPECT_EQ(c.passed, script.passed);
        EXPECT_EQ(dialogBox == PirnelDialogBox ? 1u : 0u, g_hooksSet.size());
        EXPECT_EQ(g_hooksSet, g_hooksRemoved);
    }
    HWND m_owner = nullptr;
};

TEST_F(PirnelDialog, CapturesWhatIsPressedAndReturnsItOnlyOnOk) {
    const Step ok = Click(IDOK), destroyOwner = [](HWND dialog) { DestroyWindow(GetWindow(dialog, GW_OWNER)); };
    const Step endCapture = [](HWND) {
        PirnelEndKeyCapture();
        EXPECT_EQ(g_hooksSet, g_hooksRemoved) << "removed before it returns";
        PirnelEndKeyCapture();
    };
    const DialogCase cases[] = {
        {"Ctrl+Alt+K", kNone, {Shows(L"なし"), Press({VK_CONTROL, VK_MENU, 'K'}), Shows(L"Ctrl+Alt+K"), ok},
         Value(MOD_CONTROL | MOD_ALT, 'K')},
        {"Win+N", kGiven, {Shows(L"Alt+F1"), Press({VK_LWIN, 'N'}), ok}, Value(MOD_WIN, 'N')},
        {"right-hand keys", kNone, {Press({VK_RCONTROL, VK_RSHIFT, VK_F5}), ok}, Value(MOD_CONTROL | MOD_SHIFT, VK_F5)},
        {"modifiers alone", kGiven, {Press({'K'}), Press({VK_CONTROL, VK_SHIFT}, true, false), Shows(L"Ctrl+Shift+"),
                                     Press({VK_CONTROL, VK_SHIFT}, false), Shows(L"K"), ok}, 'K'},
        {"kept after release, the last wins", kNone,
         {Press({VK_CONTROL}, true, false), Press({'A'}), Press({VK_CONTROL}, false), Shows(L"Ctrl+A"),
          Press({VK_SHIFT, 'B'}), ok}, Value(MOD_SHIFT, 'B')},
        {"Enter alone presses OK", kGiven, {Press({'K'}), Press({VK_RETURN})}, 'K', {VK_RETURN}},
        {"Esc alone cancels", kGiven, {Press({'K'}), Press({VK_ESCAPE})}, kGiven, {VK_ESCAPE}},
        {"Tab alone moves to Cancel", kGiven, {Press({'K'}), Press({VK_TAB}), Press({VK_RETURN})}, kGiven,
         {VK_TAB, VK_RETURN}},
        {"Ctrl+Esc is a key", kGiven, {Press({VK_CONTROL, VK_ESCAPE}), ok}, Value(MOD_CONTROL, VK_ESCAPE)},
        {"Alt+F4 is a key", kGiven, {Press({VK_MENU, VK_F4}), ok}, Value(MOD_ALT, VK_F4)},
        {"Cancel", kGiven, {Press({'K'}), Click(IDCANCEL)}, kGiven},
        {"close box", kGiven, {Press({'K'}), kCloseBox}, kGiven},
        {"owner destroyed", kGiven, {Press({'K'}), destroyOwner}, kGiven},
        {"clear, then Enter", kGiven, {Click(IDC_PIRNEL_CLEAR), Shows(L"なし"), Press({VK_RETURN})}, kNone, {VK_RETURN}},
        {"clear, then Cancel", kGiven, {Click(IDC_PIRNEL_CLEAR), Click(IDCANCEL)}, kGiven},
        {"OK drops the other bits", kGiven, {ok}, Value(MOD_ALT, VK_F1)},
        {"modifiers without a key", Value(MOD_CONTROL, 0), {Shows(L"なし"), ok}, kNone},
        {"hook ended as the session ends", kGiven, {Press({'K'}), endCapture, Press({'J'}), ok}, 'K', {'J'}},
        {"F13 to F24", kNone, {Press({VK_F13}), Shows(L"F13"), Press({VK_CONTROL, VK_F24}), ok},
         Value(MOD_CONTROL, VK_F24)},
        {"browser, volume, media and launch keys", kNone,
         {Press({VK_BROWSER_BACK}), Shows(L"Browser Back"), Press({VK_VOLUME_UP}), Shows(L"Volume Up"),
          Press({VK_MEDIA_PLAY_PAUSE}), Shows(L"Media Play/Pause"), Press({VK_LAUNCH_MAIL}), Shows(L"Launch Mail"),
          Press({VK_LAUNCH_MEDIA_SELECT}), Press({VK_LAUNCH_APP2}), Press({VK_LAUNCH_APP1}), ok}, VK_LAUNCH_APP1},
        // One key of some new keyboards, sent as these three.
        {"Win+Shift+F23", kNone, {Press({VK_LWIN, VK_LSHIFT, VK_F23}), Shows(L"Shift+Win+F23"), ok},
         Value(MOD_WIN | MOD_SHIFT, VK_F23)},
    };
    for (const auto& c : cases) Run(PirnelDialogBox, c);
}

// A release is kept from the system only when it saw no press of that key:
// otherwise Ctrl, Alt, Tab... would stay down for every other program.
TEST_F(PirnelDialog, LeavesNoKeyDownForEveryoneElse) {
    const DialogCase cases[] = {
        {"still held from the shortcut that opened it", kNone,
         {Shows(L"Ctrl+Alt+"), Press({VK_LCONTROL, VK_LMENU}, true, false), Press({VK_LCONTROL, VK_LMENU}, false),
          Click(IDOK)}, kNone, {}, {VK_LCONTROL, VK_LMENU}},
        {"held while another window is clicked", kNone,
         {Press({'K'}, true, false), kClickElsewhere, Press({'K'}, true, false), Press({'K'}, false), Click(IDOK)},
         'K', {'K'}},
        // As after Ctrl+Alt+Del: the releases happened on the secure desktop,
        // which no hook sees, and the dialog is activated again on return.
        {"released where the hook cannot see", kNone,
         {Press({VK_CONTROL, VK_MENU}, true, false), Shows(L"Ctrl+Alt+"), kClickElsewhere, kBackToTheDialog,
          Shows(L"なし"), Press({'K'}), Shows(L"K"), Press({VK_CONTROL, VK_MENU}, false), Click(IDOK)}, 'K'},
        {"Tab held on after Ctrl+Tab", kNone,
         {Press({VK_CONTROL, VK_TAB}, true, false), Press({VK_CONTROL}, false), Press({VK_TAB}, true, false),
          Press({VK_TAB}, false), Click(IDOK)}, Value(MOD_CONTROL, VK_TAB), {VK_TAB}},
    };
    for (const auto& c : cases) Run(PirnelDialogBox, c);
}

// A task run holds the dialog's thread (a search over an unreachable network
// folder, a consent prompt) while another thread presses K and sees what the
// dialog's hook made of it, then lets the run go on.
struct HeldRun {
    HANDLE released;
    std::vector<std::string> order;  // on the pressing thread alone
} * g_heldRun;
LRESULT CALLBACK SeeKeyWhileHeld(int code, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
    auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && event->dwExtraInfo == kOurInput)
        g_heldRun->order.push_back(std::string(result ? "kept " : "passed ") + (event->flags & LLKHF_UP ? "up" : "down"));
    return result;
}
DWORD WINAPI PressWhileHeld(void*) {
    HHOOK seer = SetWindowsHookExW(WH_KEYBOARD_LL, SeeKeyWhileHeld, GetModuleHandleW(nullptr), 0);
    INPUT inputs[2] = {{INPUT_KEYBOARD}, {INPUT_KEYBOARD}};
    inputs[0].ki = {'K', 0, 0, 0, kOurInput};
    inputs[1].ki = {'K', 0, KEYEVENTF_KEYUP, 0, kOurInput};
    SendInput(2, inputs, sizeof(INPUT));
    test::PumpUntil([] { return g_heldRun->order.size() == 2; });
    UnhookWindowsHookEx(seer);
    g_heldRun->order.push_back("run released");
    SetEvent(g_heldRun->released);
    return 0;
}
void RunTaskHeldWhileKeyPressed(HWND) {
    UnhookWindowsHookEx(std::exchange(g_script->seer, nullptr));  // it would be held with this thread
    HeldRun held{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    g_heldRun = &held;
    g_runTaskStarting = [] { WaitForSingleObject(g_heldRun->released, INFINITE); };
    HANDLE presser = CreateThread(nullptr, 0, PressWhileHeld, nullptr, 0, nullptr);
    RunTask(nullptr);
    g_runTaskStarting = nullptr;
    WaitForSingleObject(presser, INFINITE);
    CloseHandle(presser), CloseHandle(held.released);
    EXPECT_EQ((std::vector<std::string>{"kept down", "kept up", "run released"}), held.order);
}

TEST_F(PirnelDialog, CapturesWhileItsThreadIsHeldInATaskRun) {
    Run(PirnelDialogBox, {"task run held", kNone, {RunTaskHeldWhileKeyPressed, Shows(L"K"), Click(IDOK)}, 'K'});
}

// What the hook is for: a combination another program holds reaches the
// dialog alone, and that program again once the dialog is gone.
TEST_F(PirnelDialog, HotKeyHeldElsewhereIsCapturedAndFiresAgainAfterwards) {
    g_hotKeys.clear();
    Step registerHotKey = [&](HWND) { EXPECT_TRUE(RegisterHotKey(m_owner, 1, MOD_WIN, 'N')); };
    Run(PirnelDialogBox, {"Win+N", kNone, {registerHotKey, Press({VK_LWIN, 'N'}), Click(IDOK)}, Value(MOD_WIN, 'N')});
    // A press that slipped past the hook was posted before id 2 existed.
    UnregisterHotKey(m_owner, 1);
    ASSERT_TRUE(RegisterHotKey(m_owner, 2, MOD_WIN, 'N'));
    Script after;
    g_script = &after;
    Press({VK_LWIN, 'N'})(nullptr);
    g_script = nullptr;
    EXPECT_TRUE(test::PumpUntil([] { return !g_hotKeys.empty(); }));
    UnregisterHotKey(m_owner, 2);
    EXPECT_EQ(std::vector<WPARAM>{2}, g_hotKeys);
}

Step Select(UINT vk) {
    return [=](HWND dialog) {
        std::wstring name = vk == kNone ? L"(なし)" : KeyName(vk);
        HWND list = GetDlgItem(dialog, IDC_PIRNEL_KEYS);
        SendMessageW(list, LB_SETCURSEL, SendMessageW(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(name.c_str())), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PIRNEL_KEYS, LBN_SELCHANGE), LPARAM(list));
    };
}

// Named keys a combination can end with, each under its own name, each name once.
void ListsNamedKeysOnce(HWND dialog) {
    std::set<std::wstring> names;
    std::set<UINT> keys;
    for (LRESULT i = 0, n = SendDlgItemMessageW(dialog, IDC_PIRNEL_KEYS, LB_GETCOUNT, 0, 0); i < n; ++i) {
        wchar_t text[64] = L"";
        SendDlgItemMessageW(dialog, IDC_PIRNEL_KEYS, LB_GETTEXT, i, LPARAM(text));
        UINT vk = UINT(SendDlgItemMessageW(dialog, IDC_PIRNEL_KEYS, LB_GETITEMDATA, i, 0));
        EXPECT_EQ(i ? KeyName(vk) : L"(なし)", text);
        EXPECT_TRUE(names.insert(text).second && keys.insert(vk).second && wcsncmp(text, L"0x", 2)) << vk;
    }
    for (UINT vk : {VK_LBUTTON, VK_XBUTTON2, VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN, VK_LSHIFT, VK_RMENU})
        EXPECT_EQ(0u, keys.count(vk)) << vk;
    for (UINT vk : {kNone, UINT('A'), UINT('0'), UINT(VK_F13), UINT(VK_F24), UINT(VK_SPACE), UINT(VK_DELETE),
                    UINT(VK_VOLUME_UP), UINT(VK_BROWSER_BACK), UINT(VK_MEDIA_NEXT_TRACK), UINT(VK_LAUNCH_MAIL),
                    UINT(VK_LAUNCH_APP1), UINT(VK_LAUNCH_APP2)})
        EXPECT_EQ(1u, keys.count(vk)) << vk;
}

TEST_F(PirnelDialog, KeyListPreselectsAndReturnsTheChoice) {
    const UINT given = 0xC0000000 | Value(MOD_CONTROL | MOD_SHIFT, VK_F5);
    const DialogCase cases[] = {
        {"preselected", given, {Shows(L"Ctrl+Shift+F5", IDC_PIRNEL_COMBINATION), ListsNamedKeysOnce, Click(IDOK)},
         Value(MOD_CONTROL | MOD_SHIFT, VK_F5)},
        {"key and boxes chosen", given, {Select(VK_DELETE), Click(IDC_PIRNEL_CTRL), Click(IDC_PIRNEL_WIN), Click(IDOK)},
         Value(MOD_SHIFT | MOD_WIN, VK_DELETE)},
        {"no key chosen", given, {Select(kNone), Click(IDOK)}, Value(MOD_CONTROL | MOD_SHIFT, kNone)},
        {"a launch key chosen", given, {Select(VK_LAUNCH_APP1), Shows(L"Ctrl+Shift+Launch App 1", IDC_PIRNEL_COMBINATION),
                                        Click(IDOK)}, Value(MOD_CONTROL | MOD_SHIFT, VK_LAUNCH_APP1)},
        {"Win+Shift+F23 preselected", Value(MOD_WIN | MOD_SHIFT, VK_F23),
         {Shows(L"Shift+Win+F23", IDC_PIRNEL_COMBINATION), Click(IDOK)}, Value(MOD_WIN | MOD_SHIFT, VK_F23)},
        {"a key not listed", Value(MOD_ALT, 0xE8), {Shows(L"なし", IDC_PIRNEL_COMBINATION), Click(IDOK)}, Value(MOD_ALT, kNone)},
        {"Cancel", given, {Select('A'), Click(IDCANCEL)}, given},
        {"Esc", given, {Select('A'), Press({VK_ESCAPE})}, given, {VK_ESCAPE}},
        {"close box", given, {Select('A'), kCloseBox}, given},
    };
    for (const auto& c : cases) Run(PirnelReferDialogBox, c);
}

}  // namespace
