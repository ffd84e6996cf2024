#include <gtest/gtest.h>
#include <ole2.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/second_key.h"
#include "app/tray_icon.h"
#include "common/dyn_calls.h"
#include "common/look.h"
#include "common/program_state.h"
#include "common/ui_libraries.h"
#include "model/display_settings.h"
#include "model/hotkey.h"
#include "model/window_program.h"
#include "model/task.h"
#include "resources/resource.h"
#include "tests/harness/personalize.h"
#include "tests/unit/test_support.h"
#include "windows/launcher_window.h"
#include "windows/hint_window.h"
#include "windows/name_window.h"
#include "windows/task_rows.h"

namespace {

LRESULT Command(HWND window, UINT id) { return SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// Takes the WM_RUNTASK messages waiting for the window, without running them.
std::vector<Task*> TakeRunRequests(HWND window) {
    std::vector<Task*> tasks;
    MSG message;
    while (PeekMessageW(&message, window, WM_RUNTASK, WM_RUNTASK, PM_REMOVE)) {
        tasks.push_back(reinterpret_cast<Task*>(message.lParam));
    }
    return tasks;
}

bool StoreWritten() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Setting", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

TEST(MainWindowCreation, SetsUpTheProgram) {
    // As at a start: nothing an earlier test's list started.
    tessaly::EndShellUse();
    test::MainWindowSession session;
    ASSERT_NE(nullptr, session.window());
    EXPECT_EQ(session.window(), g_mainWindow);
    EXPECT_NE(nullptr, g_dynCalls.setLayeredWindowAttributes);
    EXPECT_NE(nullptr, g_fontHandle.get());
    EXPECT_EQ(nullptr, g_taskImageList.get());
    // OLE waits for the first list, dialog or run.
    EXPECT_EQ(S_OK, OleInitialize(nullptr));
    OleUninitialize();
    WNDCLASSEXW info = {sizeof(info)};
    EXPECT_TRUE(GetClassInfoExW(g_instance, kNameWindowClass, &info));
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), info.hbrBackground);
    EXPECT_TRUE(GetClassInfoExW(g_instance, kLauncherWindowClass, &info));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_BTNSHADOW + 1), info.hbrBackground);

    ASSERT_EQ(2u, g_taskList.Count());
    EXPECT_STREQ(L"notepad", g_taskList.At(0)->File);
    EXPECT_STREQ(L"メモ帳", g_taskList.At(0)->Name);
    EXPECT_STREQ(L"calc", g_taskList.At(1)->File);
    EXPECT_EQ(GlobalFindAtomW(L"Tessaly0008004e"), g_taskList.At(0)->Atom);
    EXPECT_EQ(GlobalFindAtomW(L"Tessaly00080043"), g_taskList.At(1)->Atom);
    EXPECT_NE(0, g_taskList.At(1)->Atom);

    ASSERT_EQ(1u, session.tray.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), session.tray.calls[0].message);
    EXPECT_EQ(L"Tessaly", session.tray.calls[0].tip);

    // With a store present nothing asks for the settings.
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, session.window(), WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
}

TEST(MainWindowCreation, FirstStartAsksForTheSettings) {
    test::MainWindowSession session(test::MainWindowSession::Store::None);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, session.window(), WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(IDM_SETTINGS), message.wParam);
    EXPECT_EQ(0, message.lParam);
}

TEST(MainWindowCreation, StoredTasksReplaceTheDefaults) {
    test::DeleteStore();
    HKEY task = test::CreateStoreKey(L"Tasks\\Task0");
    test::WriteDword(task, L"fsModifiers", MOD_CONTROL | MOD_ALT);
    test::WriteDword(task, L"vk", 'K');
    test::WriteString(task, L"Name", L"stored");
    RegCloseKey(task);
    HKEY tasks = test::CreateStoreKey(L"Tasks");
    test::WriteDword(tasks, L"Count", 1);
    RegCloseKey(tasks);

    test::MainWindowSession session(test::MainWindowSession::Store::AsWritten);
    ASSERT_NE(nullptr, session.window());
    ASSERT_EQ(1u, g_taskList.Count());
    EXPECT_STREQ(L"stored", g_taskList.At(0)->Name);
    EXPECT_NE(0, g_taskList.At(0)->Atom);
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0008004e"));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00080043"));
}

class MainWindowTest : public testing::Test {
protected:
    test::MainWindowSession session;
    HWND window() const { return session.window(); }

    // A name window with a display timer on the main window, as a run leaves it.
    HWND ShowNameWithTimer() {
        HWND name = CreateWindowExW(WS_EX_TOOLWINDOW, kNameWindowClass, L"n", WS_POPUP, 0, 0, 0, 0,
                                    nullptr, nullptr, g_instance, nullptr);
        EXPECT_NE(nullptr, name);
        EXPECT_TRUE(SetTimer(window(), reinterpret_cast<UINT_PTR>(name), 60000, nullptr));
        return name;
    }
};

TEST_F(MainWindowTest, HotKeyPostsEveryMatchingTaskInListOrder) {
    g_taskList.Clear();
    Task* first = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'X', L"first"));
    g_taskList.Append(test::MakeTask(MOD_CONTROL, 'X', L"ctrl only"));
    Task* second = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'X', L"second"));
    g_busy = 1;  // hotkeys run while a dialog is open

    EXPECT_EQ(1, SendMessageW(window(), WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'X')));
    EXPECT_EQ((std::vector<Task*>{first, second}), TakeRunRequests(window()));

    EXPECT_EQ(0, SendMessageW(window(), WM_HOTKEY, 0, MAKELPARAM(MOD_SHIFT, 'X')));
    EXPECT_TRUE(TakeRunRequests(window()).empty());
}

TEST_F(MainWindowTest, RealHotKeyPressReachesTheTask) {
    g_taskList.Clear();
    Task* task = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'K', L"k"));
    ASSERT_TRUE(RegisterHotKey(window(), 1, MOD_CONTROL | MOD_ALT, 'K'));
    INPUT inputs[6] = {};
    const WORD keys[] = {VK_CONTROL, VK_MENU, 'K'};
    for (int i = 0; i < 3; ++i) {
        inputs[i].type = inputs[5 - i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = inputs[5 - i].ki.wVk = keys[i];
        inputs[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(6, inputs, sizeof(INPUT));
    std::vector<Task*> posted;
    // Hotkey messages arrive through the queue; the request is posted in turn.
    test::PumpUntil([&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_RUNTASK) {
                posted.push_back(reinterpret_cast<Task*>(message.lParam));
            } else {
                DispatchMessageW(&message);
            }
        }
        return !posted.empty();
    });
    UnregisterHotKey(window(), 1);
    EXPECT_EQ((std::vector<Task*>{task}), posted);
}

// A window of another process (the desktop's, here) stands in for the
// program in front, whose file the seam reports.
std::wstring g_reportedFile;
BOOL WINAPI ReportedFile(HANDLE, DWORD, LPWSTR image, PDWORD length) {
    lstrcpynW(image, g_reportedFile.c_str(), static_cast<int>(*length));
    *length = static_cast<DWORD>(lstrlenW(image));
    return TRUE;
}
HWND WINAPI OthersWindow() {
    HWND shell = FindWindowW(L"Shell_TrayWnd", nullptr);
    return shell ? shell : GetDesktopWindow();
}

int CountPixels(HWND window, COLORREF colour) {
    UpdateWindow(window);
    RECT area;
    GetClientRect(window, &area);
    HDC dc = GetDC(window);
    int count = 0;
    for (int y = 0; y < area.bottom; ++y) {
        for (int x = 0; x < area.right; ++x) {
            count += GetPixel(dc, x, y) == colour;
        }
    }
    ReleaseDC(window, dc);
    return count;
}

class KeysInFrontTest : public MainWindowTest {
protected:
    ~KeysInFrontTest() override {
        EndSecondKeyWait();
        g_windowInFront = GetForegroundWindow;
        g_processImageName = QueryFullProcessImageNameW;
        g_taskList.Clear();
        RenewTaskKeys();
        FollowProgramInFront({});
        DestroyWindow(other);
    }
    Task* Add(UINT modifiers, UINT vk, const wchar_t* name, UINT nextVk = kNoKey, int condition = kEverywhere,
              const wchar_t* programs = L"") {
        auto task = test::MakeTask(modifiers, vk, name);
        task->NextVk = nextVk;
        task->Condition = condition;
        lstrcpyW(task->Programs, programs);
        return g_taskList.Append(std::move(task));
    }
    bool Held(UINT modifiers, UINT vk) { return !CanRegisterHotKey(other, modifiers, vk); }
    LRESULT Press(UINT modifiers, UINT vk) { return SendMessageW(window(), WM_HOTKEY, 0, MAKELPARAM(modifiers, vk)); }
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
};

// A foreground change that never came is made up for at the press: the keys
// are registered for the program really in front, and only the tasks that
// apply to it run.
TEST_F(KeysInFrontTest, AtAPressTheProgramInFrontIsReadAgain) {
    DWORD process = 0;
    GetWindowThreadProcessId(OthersWindow(), &process);
    if (process == GetCurrentProcessId()) {
        GTEST_SKIP() << "no window of another process to stand for the program in front";
    }
    g_taskList.Clear();
    Task* inCode = Add(MOD_CONTROL | MOD_ALT, 'D', L"D in code", kNoKey, kOnlyIn, L"writer.exe");
    Task* elsewhere = Add(MOD_CONTROL | MOD_ALT, 'D', L"D elsewhere", kNoKey, kExceptIn, L"writer.exe");
    Task* editor = Add(MOD_CONTROL | MOD_ALT, 'E', L"editor", kNoKey, kOnlyIn, L"writer.exe");
    g_windowInFront = OthersWindow;
    g_processImageName = ReportedFile;
    const struct {
        const wchar_t* before;  // what the keys were registered for
        const wchar_t* now;     // what is in front at the press
        UINT vk;
        std::vector<Task*> run;
        bool editorHeld;
    } cases[] = {
        {L"C:\\game.exe", L"C:\\Tools\\writer.exe", 'D', {inCode}, true},
        {L"C:\\Tools\\writer.exe", L"C:\\game.exe", 'D', {elsewhere}, false},
        // The key of a task that no longer applies runs nothing, and is given up.
        {L"C:\\Tools\\writer.exe", L"C:\\game.exe", 'E', {}, false},
        {L"C:\\game.exe", L"C:\\game.exe", 'D', {elsewhere}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.now)));
        g_reportedFile = c.before;
        RenewTaskKeys();
        FollowProgramInFront({c.before, L""});
        g_reportedFile = c.now;
        Press(MOD_CONTROL | MOD_ALT, c.vk);
        EXPECT_EQ(c.run, TakeRunRequests(window()));
        EXPECT_STREQ(c.now, KeysRegisteredFor().path);
        EXPECT_EQ(c.editorHeld, Held(MOD_CONTROL | MOD_ALT, 'E'));
        EXPECT_EQ(c.editorHeld, editor->Atom != 0);
    }
}

// The foreground is watched only while some task has a condition: the
// settings, closed, and the pause start and end the watch.
TEST_F(KeysInFrontTest, TheWatchFollowsTheTasksConditions) {
    g_taskList.Clear();
    RenewTaskKeys();
    Task* task = Add(MOD_CONTROL | MOD_ALT, 'E', L"editor", kNoKey, kOnlyIn, L"writer.exe");
    EXPECT_FALSE(KeysFollowForeground());
    const struct {
        const char* what;
        UINT command;
        int condition;
        bool watched;
        UINT vk = 'E';
    } cases[] = {
        {"a condition saved in the settings", IDM_SETTINGS, kOnlyIn, true},
        {"paused", IDM_PAUSE, kOnlyIn, false},
        {"the pause ended", IDM_PAUSE, kOnlyIn, true},
        {"a condition on a task without a key", IDM_SETTINGS, kOnlyIn, false, kNoKey},
        {"a condition of a later version", IDM_SETTINGS, 3, false},
        {"the condition taken off", IDM_SETTINGS, kEverywhere, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        task->Condition = c.condition;
        task->vk = c.vk;
        test::ModalBlocker blocker;
        Command(window(), c.command);
        EXPECT_EQ(c.watched, KeysFollowForeground());
    }
    EXPECT_TRUE(Held(MOD_CONTROL | MOD_ALT, 'E'));
}

// The wait after a first step: what it registers, what a second key runs,
// and how it ends.
TEST_F(KeysInFrontTest, TheSecondStepRunsItsTaskAndEveryEndReleasesItsKeys) {
    g_taskList.Clear();
    Task* notes = Add(MOD_CONTROL | MOD_ALT, 'K', L"Notes", 'N');
    Task* calc = Add(MOD_CONTROL | MOD_ALT, 'K', L"Calculator", 'C');
    Add(MOD_CONTROL | MOD_ALT, 'K', L"only in code", 'X', kOnlyIn, L"writer.exe");
    Task* shifted = Add(MOD_CONTROL | MOD_ALT, 'K', L"Shifted", 'S');
    shifted->NextModifiers = MOD_SHIFT;
    Task* ctrlN = Add(MOD_CONTROL | MOD_ALT, 'K', L"Ctrl N", 'N');
    ctrlN->NextModifiers = MOD_CONTROL;
    Task* plain = Add(MOD_CONTROL | MOD_ALT, 'P', L"plain");
    RenewTaskKeys();
    FollowProgramInFront({L"C:\\game.exe", L""});
    // Only the first step is held at rest.
    EXPECT_TRUE(Held(MOD_CONTROL | MOD_ALT, 'K'));
    EXPECT_FALSE(Held(0, 'N') || Held(0, VK_ESCAPE));

    constexpr UINT kCtrlAlt = MOD_CONTROL | MOD_ALT;
    const struct {
        const char* what;
        UINT modifiers, vk;  // the second press; WM_TIMER for vk 0
        std::vector<Task*> run;
    } cases[] = {
        {"the second key alone", 0, 'N', {notes}},
        {"with the first step's modifiers still held", kCtrlAlt, 'C', {calc}},
        {"with one of them", MOD_ALT, 'N', {notes}},
        // Ctrl+N is the task's whose own key it is, not also N's.
        {"a second key with its own modifier", MOD_CONTROL, 'N', {ctrlN}},
        {"its own modifier and a held one", MOD_SHIFT | MOD_CONTROL, 'S', {shifted}},
        {"Esc", 0, VK_ESCAPE, {}},
        // Another task's key ends the wait and runs as ever.
        {"another task's key", kCtrlAlt, 'P', {plain}},
        {"the time running out", 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(1, Press(kCtrlAlt, 'K'));
        EXPECT_TRUE(TakeRunRequests(window()).empty());
        ASSERT_TRUE(SecondKeyWaiting());
        // Every second key of a task that applies, as pressed with any of
        // the first step's modifiers, and Esc; not the one only for code.
        for (UINT held : {0u, UINT{MOD_CONTROL}, UINT{MOD_ALT}, kCtrlAlt}) {
            EXPECT_TRUE(Held(held, 'N') && Held(held, 'C') && Held(held | MOD_SHIFT, 'S')) << held;
        }
        EXPECT_FALSE(Held(0, 'X') || Held(0, 'S') || Held(MOD_SHIFT, 'N'));
        EXPECT_TRUE(Held(0, VK_ESCAPE));
        HWND hint = HintWindow();
        ASSERT_NE(nullptr, hint);
        EXPECT_TRUE(IsWindowVisible(hint));
        EXPECT_NE(hint, GetForegroundWindow());
        EXPECT_TRUE(GetWindowLongW(hint, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
        wchar_t text[256];
        GetWindowTextW(hint, text, 256);
        EXPECT_STREQ(L"N\tNotes\r\nC\tCalculator\r\nShift+S\tShifted\r\nCtrl+N\tCtrl N", text);
        if (c.vk == 'N') {
            // Drawn in the theme's text colour, and an alert named by its
            // lines to a screen reader.
            EXPECT_GT(CountPixels(hint, tessaly::LauncherPalette().text), 20);
            using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
            auto fromWindow = reinterpret_cast<FromWindow>(reinterpret_cast<void*>(
                GetProcAddress(LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
            IAccessible* object = nullptr;
            ASSERT_EQ(S_OK, fromWindow(hint, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                       reinterpret_cast<void**>(&object)));
            VARIANT self = {};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            VARIANT role = {};
            EXPECT_EQ(S_OK, object->get_accRole(self, &role));
            EXPECT_EQ(ROLE_SYSTEM_ALERT, role.lVal);
            BSTR name = nullptr;
            EXPECT_EQ(S_OK, object->get_accName(self, &name));
            EXPECT_EQ(std::wstring(text), name ? name : L"");
            SysFreeString(name);
            object->Release();
        }

        // The first step held down repeats: the wait goes on, the hint the same.
        EXPECT_EQ(1, Press(kCtrlAlt, 'K'));
        EXPECT_TRUE(SecondKeyWaiting());
        EXPECT_EQ(hint, HintWindow());
        if (c.vk == 0) {
            SendMessageW(window(), WM_TIMER, kSecondKeyTimer, 0);
        } else {
            Press(c.modifiers, c.vk);
        }
        EXPECT_EQ(c.run, TakeRunRequests(window()));
        EXPECT_FALSE(SecondKeyWaiting());
        EXPECT_EQ(nullptr, HintWindow());
        EXPECT_FALSE(IsWindow(hint));
        EXPECT_FALSE(Held(0, 'N') || Held(kCtrlAlt, 'C') || Held(0, VK_ESCAPE) || Held(MOD_SHIFT, 'S'));
        EXPECT_TRUE(Held(kCtrlAlt, 'K'));
    }
    // The pause ends a wait with the rest.
    EXPECT_EQ(1, Press(kCtrlAlt, 'K'));
    Command(window(), IDM_PAUSE);
    EXPECT_FALSE(SecondKeyWaiting());
    EXPECT_FALSE(Held(0, 'N') || Held(0, VK_ESCAPE));
    Command(window(), IDM_PAUSE);
    // A first step no task applying now follows waits for nothing.
    notes->Condition = calc->Condition = shifted->Condition = ctrlN->Condition = kOnlyIn;
    EXPECT_EQ(0, Press(kCtrlAlt, 'K'));
    EXPECT_FALSE(SecondKeyWaiting());
}

// A task's own key that came to the front while the wait held it is the
// task's once the wait ends.
HWND WINAPI NoWindowInFront() { return nullptr; }

TEST_F(KeysInFrontTest, AKeyTheWaitHeldGoesToItsTaskAfter) {
    // Whatever the desktop has in front is not what the test says is.
    g_windowInFront = NoWindowInFront;
    g_taskList.Clear();
    Add(MOD_CONTROL | MOD_ALT, 'K', L"two steps", 'T');
    Task* inWriter = Add(MOD_CONTROL | MOD_ALT, 'T', L"in writer", kNoKey, kOnlyIn, L"writer.exe");
    RenewTaskKeys();
    FollowProgramInFront({L"C:\\game.exe", L""});
    ASSERT_EQ(1, Press(MOD_CONTROL | MOD_ALT, 'K'));
    FollowProgramInFront({L"C:\\Tools\\writer.exe", L""});
    EXPECT_EQ(0, inWriter->Atom);
    Press(0, VK_ESCAPE);
    EXPECT_FALSE(SecondKeyWaiting());
    EXPECT_NE(0, inWriter->Atom);
    EXPECT_TRUE(Held(MOD_CONTROL | MOD_ALT, 'T'));
}

// A key that no task follows with ends the wait, seen through raw input
// without a keyboard hook; a second key does not.
TEST_F(KeysInFrontTest, AKeyNoTaskFollowsWithEndsTheWait) {
    g_taskList.Clear();
    Add(MOD_CONTROL | MOD_ALT, 'K', L"Notes", 'N');
    RenewTaskKeys();
    ASSERT_EQ(1, Press(MOD_CONTROL | MOD_ALT, 'K'));
    auto press = [](WORD key) {
        INPUT inputs[2] = {};
        inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
        inputs[0].ki.wVk = inputs[1].ki.wVk = key;
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof(INPUT));
    };
    press(VK_SHIFT);
    test::PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(SecondKeyWaiting());
    press('Q');
    if (!test::PumpUntil([] { return !SecondKeyWaiting(); })) {
        EndSecondKeyWait();
        GTEST_SKIP() << "this system delivers no raw keyboard input to a window in the background";
    }
    EXPECT_EQ(nullptr, HintWindow());
    EXPECT_FALSE(Held(0, 'N'));
}

struct BusyCase {
    const char* what;
    UINT message;  // WM_COMMAND or WM_TRAYNOTIFY
    WPARAM wParam;
    LPARAM lParam;
    int dialogs;
    int menus;
    const wchar_t* title;
};

TEST_F(MainWindowTest, DialogsAndMenusOpenOnlyWhenNotBusy) {
    const BusyCase cases[] = {
        {"settings command", WM_COMMAND, IDM_SETTINGS, 0, 1, 0, L"Tessaly"},
        {"about command", WM_COMMAND, IDM_ABOUT, 0, 1, 0, L"バージョン情報"},
        {"menu command", WM_COMMAND, IDM_SHOW_MENU, 0, 0, 1, nullptr},
        {"tray right click", WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONUP, 0, 1, nullptr},
        {"tray double click", WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK, 1, 0, L"Tessaly"},
        {"tray right press", WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONDOWN, 0, 0, nullptr},
        {"another icon's click", WM_TRAYNOTIFY, 2, WM_RBUTTONUP, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        for (int busy = 0; busy <= 1; ++busy) {
            SCOPED_TRACE(std::string(c.what) + (busy ? " while busy" : ""));
            test::ModalBlocker blocker;
            g_busy = busy;
            SendMessageW(window(), c.message, c.wParam, c.lParam);
            EXPECT_EQ(busy ? 0 : c.dialogs, blocker.dialogs);
            EXPECT_EQ(busy ? 0 : c.menus, blocker.menus);
            if (!busy && c.title && !blocker.dialogTitles.empty()) {
                EXPECT_EQ(c.title, blocker.dialogTitles[0]);
            }
            EXPECT_EQ(busy, g_busy);
        }
    }
}

// A dialog is no rest: what it used stays for a whole rest after it closes,
// however long it was open, and then goes.
TEST_F(MainWindowTest, ADialogIsNoRest) {
    test::ShortRest rest;
    tessaly::PrepareListsAndDialogs();
    ReleaseRestingLibraries();
    {
        test::ModalBlocker blocker;
        blocker.closeAfterMs = 5 * g_restingDelayMs;
        Command(window(), IDM_ABOUT);
        EXPECT_EQ(1, blocker.dialogs);
    }
    ReleaseRestingLibraries();
    EXPECT_TRUE(tessaly::ShellOrListsStarted());
    EXPECT_TRUE(test::PumpUntil([] {
        ReleaseRestingLibraries();
        return !tessaly::ShellOrListsStarted();
    }));
}

TEST_F(MainWindowTest, ClosingTheSettingsAlwaysSavesTheStore) {
    test::DeleteStore();
    {
        test::ModalBlocker blocker;
        EXPECT_EQ(0, Command(window(), IDM_SETTINGS));
        EXPECT_EQ(1, blocker.dialogs);
    }
    EXPECT_TRUE(StoreWritten());
    EXPECT_EQ(0, g_busy);
}

TEST_F(MainWindowTest, OtherCommandsGoToTheDefaultProcedure) {
    test::ModalBlocker blocker;
    EXPECT_EQ(0, Command(window(), 40000));
    EXPECT_EQ(0, blocker.dialogs + blocker.menus);
    EXPECT_TRUE(IsWindow(window()));
}

TEST_F(MainWindowTest, TimerClosesTheNameWindowAndStops) {
    HWND name = ShowNameWithTimer();
    Task* task = g_taskList.At(0);
    task->NameWindow = name;
    auto timerId = reinterpret_cast<UINT_PTR>(name);

    EXPECT_EQ(1, SendMessageW(window(), WM_TIMER, timerId, 0));
    EXPECT_EQ(nullptr, task->NameWindow);
    EXPECT_FALSE(KillTimer(window(), timerId));  // already stopped
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, name, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    DestroyWindow(name);
}

TEST_F(MainWindowTest, TimerOfADeletedTasksNameWindowStillClosesIt) {
    HWND name = ShowNameWithTimer();
    auto timerId = reinterpret_cast<UINT_PTR>(name);
    EXPECT_EQ(1, SendMessageW(window(), WM_TIMER, timerId, 0));
    EXPECT_FALSE(KillTimer(window(), timerId));
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, name, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    DestroyWindow(name);
}

TEST_F(MainWindowTest, TimerOfNoTaskIsAnsweredAndStopped) {
    // The name window of a deleted task, already closed from outside.
    HWND name = ShowNameWithTimer();
    auto timerId = reinterpret_cast<UINT_PTR>(name);
    DestroyWindow(name);
    EXPECT_EQ(1, SendMessageW(window(), WM_TIMER, timerId, 0));
    EXPECT_FALSE(KillTimer(window(), timerId));
}

TEST_F(MainWindowTest, TaskbarRestartReAddsOnlyAShownIcon) {
    session.tray.calls.clear();
    EXPECT_EQ(0, SendMessageW(window(), g_taskbarCreatedMessage, 0, 0));
    ASSERT_EQ(2u, session.tray.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), session.tray.calls[0].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), session.tray.calls[1].message);

    g_trayIcon.Show(0);
    session.tray.calls.clear();
    EXPECT_EQ(0, SendMessageW(window(), g_taskbarCreatedMessage, 0, 0));
    EXPECT_TRUE(session.tray.calls.empty());
}

TEST_F(MainWindowTest, RunRequestForATaskNoLongerListedIsIgnored) {
    auto gone = test::MakeTask(0, kNoKey, L"gone");
    lstrcpyW(gone->File, L"notepad");
    EXPECT_EQ(1, SendMessageW(window(), WM_RUNTASK, 0, reinterpret_cast<LPARAM>(gone.get())));
    EXPECT_EQ(nullptr, gone->NameWindow);
}

TEST_F(MainWindowTest, ExitReleasesEverythingAndQuitsWithZero) {
    // As the first list or dialog does.
    tessaly::PrepareShellUse();
    session.tray.calls.clear();
    EXPECT_EQ(0, Command(window(), IDM_EXIT));
    EXPECT_FALSE(IsWindow(window()));
    EXPECT_EQ(0u, g_taskList.Count());
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0008004e"));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00080043"));
    EXPECT_EQ(1u, session.tray.Count(NIM_DELETE));
    EXPECT_EQ(nullptr, g_fontHandle.get());
    // A shell dialog may still be on the stack: OLE stays up until the loop has ended.
    EXPECT_EQ(S_FALSE, OleInitialize(nullptr));
    OleUninitialize();
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
}

TEST_F(MainWindowTest, ExitIsNotBlockedByTheBusyFlag) {
    g_busy = 1;
    Command(window(), IDM_EXIT);
    EXPECT_FALSE(IsWindow(window()));
}

}  // namespace

namespace {

TEST_F(MainWindowTest, ExitWhileTheSettingsAreOpenKeepsTheTasks) {
    test::DeleteStore();
    // The settings dialog's own loop takes the exit.
    PostMessageW(window(), WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    Command(window(), IDM_SETTINGS);
    EXPECT_FALSE(IsWindow(window()));
    DWORD count = 0, size = sizeof(count);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Tasks",
                                          L"Count", RRF_RT_DWORD, nullptr, &count, &size));
    EXPECT_EQ(2u, count);
}

}  // namespace

namespace {

// The icon's colour pixels, top row first.
std::vector<RGBQUAD> IconPixels(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) {
        return {};
    }
    BITMAP size = {};
    GetObjectW(info.hbmColor, sizeof(size), &size);
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), size.bmWidth, -size.bmHeight, 1, 32, BI_RGB};
    std::vector<RGBQUAD> pixels(size_t(size.bmWidth) * size.bmHeight);
    HDC screen = GetDC(nullptr);
    bool read = GetDIBits(screen, info.hbmColor, 0, size.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return read ? pixels : std::vector<RGBQUAD>();
}

bool SamePixels(HICON a, HICON b) {
    std::vector<RGBQUAD> one = IconPixels(a), other = IconPixels(b);
    return !one.empty() && one.size() == other.size() &&
           memcmp(one.data(), other.data(), one.size() * sizeof(RGBQUAD)) == 0;
}

// Every pixel of the icon is a shade of grey (or fully transparent).
bool IsGrey(HICON icon) {
    std::vector<RGBQUAD> pixels = IconPixels(icon);
    bool grey = !pixels.empty();
    for (const RGBQUAD& pixel : pixels) {
        grey = grey && pixel.rgbRed == pixel.rgbGreen && pixel.rgbGreen == pixel.rgbBlue;
    }
    return grey;
}

TEST_F(MainWindowTest, PauseReleasesEveryHotKeyGreysTheIconAndResumeRegistersThemAgain) {
    g_taskList.Clear();
    Task* kept = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'P', L"p"));
    kept->Atom = RegisterTaskHotKey(kept->fsModifiers, kept->vk);
    ASSERT_NE(0, kept->Atom);
    const HICON normal = g_trayIcon.m_nid.hIcon;
    session.tray.calls.clear();

    Command(window(), IDM_PAUSE);
    EXPECT_TRUE(HotKeysPaused());
    EXPECT_EQ(0, kept->Atom);
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(CanRegisterHotKey(other, MOD_CONTROL | MOD_ALT, 'P'));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00030050"));
    ASSERT_EQ(1u, session.tray.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), session.tray.calls[0].message);
    EXPECT_EQ(L"Tessaly (一時停止中)", session.tray.calls[0].tip);
    EXPECT_NE(normal, session.tray.calls[0].icon);
    EXPECT_TRUE(IsGrey(session.tray.calls[0].icon));
    EXPECT_FALSE(IsGrey(normal));

    // A task added while paused (as the settings add one) waits for the end.
    Task* added = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'Q', L"q"));
    added->Atom = RegisterTaskHotKey(added->fsModifiers, added->vk);
    EXPECT_EQ(0, added->Atom);
    // A taskbar restart shows the paused look again.
    SendMessageW(window(), g_taskbarCreatedMessage, 0, 0);
    ASSERT_EQ(3u, session.tray.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), session.tray.calls[2].message);
    EXPECT_EQ(L"Tessaly (一時停止中)", session.tray.calls[2].tip);

    // Meanwhile another program took one of the keys.
    ASSERT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, 'Q'));
    session.tray.calls.clear();
    Command(window(), IDM_PAUSE);
    EXPECT_FALSE(HotKeysPaused());
    EXPECT_EQ(GlobalFindAtomW(L"Tessaly00030050"), kept->Atom);
    EXPECT_NE(0, kept->Atom);
    EXPECT_FALSE(CanRegisterHotKey(other, MOD_CONTROL | MOD_ALT, 'P'));
    EXPECT_EQ(0, added->Atom);
    ASSERT_EQ(1u, session.tray.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), session.tray.calls[0].message);
    EXPECT_EQ(L"Tessaly", session.tray.calls[0].tip);
    // The taskbar's restart took the picture anew, in case its theme changed.
    EXPECT_EQ(g_trayIcon.m_nid.hIcon, session.tray.calls[0].icon);
    EXPECT_FALSE(IsGrey(session.tray.calls[0].icon));
    UnregisterHotKey(other, 1);
    DestroyWindow(other);
}

// The theme as Windows keeps it, and high contrast through the seam (Wine
// cannot be switched to it).
class Theme {
public:
    ~Theme() { tessaly::g_lookSource.highContrast = m_highContrast; }
    void Set(DWORD taskbarLight, DWORD appsLight, bool highContrast) {
        m_values.Set(taskbarLight, appsLight);
        tessaly::g_lookSource.highContrast = highContrast ? [] { return true; } : [] { return false; };
    }

private:
    harness::PersonalizeValues m_values;
    decltype(tessaly::g_lookSource.highContrast) m_highContrast = tessaly::g_lookSource.highContrast;
};

COLORREF PixelAt(HWND window, int x, int y) {
    UpdateWindow(window);
    HDC dc = GetDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

// Which tray picture and which launcher colours each theme gets, through the
// announcement Windows broadcasts, while the program runs.
TEST_F(MainWindowTest, TheTrayPictureAndTheLauncherFollowTheThemeAndHighContrast) {
    g_taskList.Clear();
    Task* task = g_taskList.Append(test::MakeTask(0, kNoKey, L"notepad"));
    lstrcpyW(task->File, L"notepad");
    Theme theme;
    const COLORREF window = GetSysColor(COLOR_WINDOW), shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    // The high-contrast taskbar is the scheme's window colour: white here.
    const int lightPicture = IDI_MAIN;
    const COLORREF dark = RGB(32, 32, 32), darkFrame = RGB(96, 96, 96), darkSelection = RGB(77, 77, 77);
    const struct {
        const char* theme;
        DWORD taskbarLight, appsLight;
        bool highContrast, paused;
        // Whether the tray is told: the look changed.
        bool told;
        int picture;
        COLORREF background, frame, selection;
    } cases[] = {
        {"dark taskbar, light apps", 0, 1, false, false, true, IDI_TRAY_DARK, window, shadow, highlight},
        {"light taskbar, dark apps", 1, 0, false, false, true, lightPicture, dark, darkFrame, darkSelection},
        {"all dark", 0, 0, false, false, true, IDI_TRAY_DARK, dark, darkFrame, darkSelection},
        {"all dark, paused, announced again", 0, 0, false, true, false, IDI_TRAY_DARK, dark, darkFrame, darkSelection},
        {"high contrast over dark", 0, 0, true, false, true, lightPicture, window, shadow, highlight},
        {"all light", 1, 1, false, false, true, lightPicture, window, shadow, highlight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.theme);
        if (c.paused != HotKeysPaused()) {
            Command(this->window(), IDM_PAUSE);
        }
        theme.Set(c.taskbarLight, c.appsLight, c.highContrast);
        session.tray.calls.clear();
        SendMessageW(this->window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
        // Told once, with the picture it holds now.
        ASSERT_EQ(c.told ? 1u : 0u, session.tray.calls.size());
        if (c.told) {
            EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), session.tray.calls[0].message);
            EXPECT_EQ(g_trayIcon.m_nid.hIcon, session.tray.calls[0].icon);
        }
        auto drawn = static_cast<HICON>(LoadImageW(g_instance, MAKEINTRESOURCEW(c.picture), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        HICON expected = c.paused ? GreyIcon(drawn) : CopyIcon(drawn);
        EXPECT_TRUE(SamePixels(expected, g_trayIcon.m_nid.hIcon));
        DestroyIcon(expected);
        DestroyIcon(drawn);

        ASSERT_TRUE(ShowLauncherWindow({400, 300}));
        HWND launcher = FindWindowW(kLauncherWindowClass, nullptr);
        HWND list = GetDlgItem(launcher, IDC_LIST);
        RECT row = {LVIR_BOUNDS};
        ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS);
        // The row's end, past its text; the frame about the list.
        EXPECT_EQ(c.background, PixelAt(list, row.right - 4, (row.top + row.bottom) / 2));
        EXPECT_EQ(c.frame, PixelAt(launcher, 0, 0));
        ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
        if (c.selection != highlight) {
            // The system's selection is the system's to draw (themed, it is no flat colour).
            EXPECT_EQ(c.selection, PixelAt(list, row.right - 4, (row.top + row.bottom) / 2));
        }
        DestroyWindow(launcher);
    }
    if (HotKeysPaused()) {
        Command(this->window(), IDM_PAUSE);
    }
}

}  // namespace
