#include "app/second_key.h"

#include <iterator>
#include <utility>

#include "common/program_state.h"
#include "libs/pirnel/pirnel.h"
#include "model/hotkey.h"
#include "model/task.h"
#include "resources/resource.h"
#include "windows/hint_window.h"

namespace {

struct Wait {
    bool on = false;
    // The first step's key has not been let go since it began the wait:
    // what comes for it is the keyboard's repeat, not the user's step.
    bool firstHeld = false;
    UINT modifiers = 0;
    UINT vk = 0;
    // A second key takes up to 16 combinations (below), and a user hardly
    // more than a few second keys after one first step.
    size_t count = 0;
    // Released by EndSecondKeyWait, the wait's one way out, and otherwise
    // with the process: no destructor of the wait's own to run at exit.
    int keys[64];
};
Wait g_wait;

// A task that follows the first step of the wait, applying to the program
// the keys are registered for now.
bool IsFollower(const Task& task) {
    return task.NextVk != kNoKey && task.vk == g_wait.vk && task.fsModifiers == g_wait.modifiers &&
           ConditionHolds(task, KeysRegisteredFor());
}

// The second step needs none of the first step's modifiers, and takes them
// still held: the user lets go of Ctrl+Alt after Ctrl+Alt+K at no set pace.
// So the second key's own modifiers must be down, and any of the first
// step's others may be.
bool Follows(const Task& task, UINT modifiers, UINT vk) {
    const UINT own = task.NextModifiers;
    return vk == task.NextVk && (modifiers & own) == own && (modifiers & ~own & ~g_wait.modifiers) == 0;
}

// The combination with every set of the first step's other modifiers a
// hand may still hold.
void RegisterHeld(UINT own, UINT vk) {
    const UINT held = g_wait.modifiers & ~own;
    for (UINT extra = held; g_wait.count < std::size(g_wait.keys); extra = (extra - 1) & held) {
        g_wait.keys[g_wait.count] = RegisterTaskHotKey(own | extra, vk);
        g_wait.count += g_wait.keys[g_wait.count] ? 1 : 0;
        if (extra == 0) {
            break;
        }
    }
}

void ListenToKeys(bool on) {
    // Only during the wait: a key no task follows with ends it, and a
    // keyboard hook is what this program goes without.
    RAWINPUTDEVICE keyboard = {1, 6, on ? DWORD{RIDEV_INPUTSINK} : DWORD{RIDEV_REMOVE}, on ? g_mainWindow : nullptr};
    RegisterRawInputDevices(&keyboard, 1, sizeof(keyboard));
}

// Raw input names Shift, Ctrl and Alt alike on either side.
bool IsModifierKey(UINT vk) { return (vk >= VK_SHIFT && vk <= VK_MENU) || vk == VK_LWIN || vk == VK_RWIN; }

}  // namespace

bool SecondKeyWaiting() { return g_wait.on; }

bool BeginSecondKeyWait(UINT modifiers, UINT vk) {
    EndSecondKeyWait();
    g_wait.modifiers = modifiers;
    g_wait.vk = vk;
    // One line a task: its second key's name, a tab, its name.
    wchar_t text[kHintTextLength] = {};
    size_t length = 0;
    int keyLength = 0;
    for (const auto& task : g_taskList) {
        if (!IsFollower(*task)) {
            continue;
        }
        RegisterHeld(task->NextModifiers, task->NextVk);
        wchar_t key[PIRNEL_KEY_NAME_LENGTH];
        const int keyNameLength = PirnelGetKeyName(task->NextModifiers, task->NextVk, key);
        keyLength = keyLength > keyNameLength ? keyLength : keyNameLength;
        const wchar_t* name = task->Name[0] ? task->Name : task->File;
        if (length + keyNameLength + lstrlenW(name) + 3 < std::size(text)) {
            length += wsprintfW(text + length, &L"\r\n%s\t%s"[length ? 0 : 2], key, name);
        }
    }
    if (keyLength == 0) {
        return false;
    }
    g_wait.on = g_wait.firstHeld = true;
    RegisterHeld(0, VK_ESCAPE);
    ListenToKeys(true);
    SetTimer(g_mainWindow, kSecondKeyTimer, kSecondKeyWaitMs, nullptr);
    ShowHintWindow(text, keyLength);
    return true;
}

bool TakeSecondKey(UINT modifiers, UINT vk) {
    // A key pressed with exactly a task's modifiers is that task's, before
    // one that only takes the first step's modifiers still held: Ctrl+N is
    // not also N.
    bool taken = false;
    for (int exact = 1; exact >= 0 && !taken; --exact) {
        for (const auto& task : g_taskList) {
            if (IsFollower(*task) && Follows(*task, modifiers, vk) && (!exact || task->NextModifiers == modifiers)) {
                PostMessageW(g_mainWindow, WM_RUNTASK, 0, reinterpret_cast<LPARAM>(task.get()));
                taken = true;
            }
        }
    }
    EndSecondKeyWait();
    return taken;
}

bool FirstStepRepeats(UINT modifiers, UINT vk) {
    return g_wait.on && g_wait.firstHeld && modifiers == g_wait.modifiers && vk == g_wait.vk;
}

void EndSecondKeyWait() {
    if (!g_wait.on) {
        return;
    }
    g_wait.on = false;
    KillTimer(g_mainWindow, kSecondKeyTimer);
    ListenToKeys(false);
    for (; g_wait.count > 0; --g_wait.count) {
        UnregisterTaskHotKey(g_wait.keys[g_wait.count - 1]);
    }
    HideHintWindow();
    // A task's own key that came to the front meanwhile found it held by
    // the wait, and nothing else tries it again.
    RenewTaskKeys();
}

void SecondKeyOnInput(HRAWINPUT input) {
    // Left as a mouse's when it cannot be read.
    RAWINPUT raw = {};
    UINT size = sizeof(raw);
    GetRawInputData(input, RID_INPUT, &raw, &size, sizeof(RAWINPUTHEADER));
    if (!g_wait.on || raw.header.dwType != RIM_TYPEKEYBOARD) {
        return;
    }
    const UINT vk = raw.data.keyboard.VKey;
    if (raw.data.keyboard.Flags & RI_KEY_BREAK) {
        g_wait.firstHeld = g_wait.firstHeld && vk != g_wait.vk;
        return;
    }
    // The first step's key repeating, a modifier, or a second key, whose
    // hotkey comes next and decides.
    bool expected = vk == g_wait.vk || IsModifierKey(vk);
    for (const auto& task : g_taskList) {
        expected = expected || (IsFollower(*task) && vk == task->NextVk);
    }
    if (!expected) {
        EndSecondKeyWait();
    }
}
