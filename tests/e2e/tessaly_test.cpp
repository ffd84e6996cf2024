// Tessaly.exe started as a user would start it, watched from outside.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/tessaly_session.h"

namespace {

using e2e::Process;
using harness::PumpUntil;
using namespace e2e::session;

TEST_F(TessalyTest, FirstStartOffersTheDefaultsAndWritesThemWhenTheSettingsClose) {
    Start();
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    e2e::Screenshot(L"settings", settings);

    ASSERT_TRUE(PumpUntil([&] { return tray.Count(NIM_ADD) >= 1; }));
    auto add = tray.Calls().front();
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
    EXPECT_EQ(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(main)), add.window);
    EXPECT_EQ(1u, add.id);
    EXPECT_EQ(0x8000u, add.callbackMessage);
    EXPECT_EQ(L"Tessaly", add.tip);

    EXPECT_NE(0, GlobalFindAtomW(L"Tessaly0008004e"));
    EXPECT_NE(0, GlobalFindAtomW(L"Tessaly00080043"));
    EXPECT_FALSE(e2e::HotKeyIsFree(MOD_WIN, 'N'));
    EXPECT_FALSE(e2e::HotKeyIsFree(MOD_WIN, 'C'));
    EXPECT_FALSE(e2e::StoreKeyExists(L""));

    CloseWithCloseBox(settings);
    ASSERT_TRUE(PumpUntil([] { return e2e::StoreKeyExists(L"Tasks\\Task1"); }));

    std::vector<harness::ValueShape> shapes = harness::SettingShapes();
    shapes.insert(shapes.end(), {
        {L"Tasks\\Task0", L"File", REG_SZ, 16},  {L"Tasks\\Task0", L"Name", REG_SZ, 8},
        {L"Tasks\\Task0", L"Parameter", REG_SZ, 2}, {L"Tasks\\Task0", L"Task", REG_SZ, 2},
        {L"Tasks\\Task1", L"File", REG_SZ, 10},  {L"Tasks\\Task1", L"Name", REG_SZ, 6},
    });
    harness::ExpectStoreShapes(shapes);
    const struct {
        const wchar_t* key;
        const wchar_t* value;
        DWORD expected;
    } numbers[] = {
        {L"Setting", L"Location", 2},     {L"Setting", L"FontColor", 0x00FF00},
        {L"Setting", L"Alpha", 192},      {L"Setting", L"Time", 1500},
        {L"Setting", L"Fade", 1},         {L"Setting", L"ShowIcon", 1},
        {L"Tasks", L"Count", 2},          {L"Tasks\\Task0", L"fsModifiers", MOD_WIN},
        {L"Tasks\\Task0", L"vk", 'N'},    {L"Tasks\\Task0", L"Show", 1},
        {L"Tasks\\Task0", L"ShowLauncher", 1}, {L"Tasks\\Task1", L"fsModifiers", MOD_WIN},
        {L"Tasks\\Task1", L"vk", 'C'},
    };
    for (const auto& n : numbers) {
        DWORD value = 0xDEAD;
        EXPECT_TRUE(e2e::ReadStoreDword(n.key, n.value, value));
        EXPECT_EQ(n.expected, value) << testing::PrintToString(std::wstring(n.value));
    }
    std::wstring text;
    EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task0", L"File", text));
    EXPECT_EQ(L"notepad", text);
    EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task0", L"Name", text));
    EXPECT_EQ(L"メモ帳", text);
    EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task1", L"File", text));
    EXPECT_EQ(L"calc", text);
    EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task1", L"Name", text));
    EXPECT_EQ(L"電卓", text);

    EXPECT_EQ(0u, Exit());
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0008004e"));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00080043"));
    EXPECT_TRUE(e2e::HotKeyIsFree(MOD_WIN, 'N'));
    EXPECT_TRUE(e2e::HotKeyIsFree(MOD_WIN, 'C'));
    EXPECT_EQ(1u, tray.Count(NIM_DELETE));
}

TEST_F(TessalyTest, StoredConfigurationReplacesTheDefaultsAndHidesTheIcon) {
    e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'K', L"notepad", L"k"}}, 1, 0);
    Start();
    DrainWithAbout();  // and no settings dialog came first

    EXPECT_NE(0, GlobalFindAtomW(L"Tessaly0003004b"));
    EXPECT_FALSE(e2e::HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'K'));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0008004e"));
    EXPECT_TRUE(e2e::HotKeyIsFree(MOD_WIN, 'N'));
    auto calls = tray.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), calls[0].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[1].message);

    // A restarted taskbar does not bring back an icon the user hid.
    tray.Clear();
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    DrainWithAbout();
    EXPECT_TRUE(tray.Calls().empty());
    EXPECT_EQ(0u, Exit());
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0003004b"));
}

TEST_F(TessalyTest, TaskbarRestartBringsAShownIconBack) {
    e2e::WriteStore({}, -1);
    Start();
    ASSERT_TRUE(PumpUntil([&] { return tray.Count(NIM_ADD) == 1; }));
    tray.Clear();
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return tray.Count(NIM_ADD) == 1; }));
    auto calls = tray.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[0].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), calls[1].message);
}

TEST_F(TessalyTest, StoreWithoutTasksKeepsTheDefaults) {
    const struct {
        const char* what;
        int count;  // -1: no Count value
    } cases[] = {{"no Count", -1}, {"Count 0", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        e2e::DeleteStore();
        e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'K', L"notepad", L"k"}}, c.count);
        Start();
        DrainWithAbout();
        EXPECT_NE(0, GlobalFindAtomW(L"Tessaly0008004e"));
        EXPECT_NE(0, GlobalFindAtomW(L"Tessaly00080043"));
        EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0003004b"));
        EXPECT_EQ(0u, Exit());
    }
}

TEST_F(TessalyTest, TasksAtOrAboveCountAreIgnoredAndGoneAfterSaving) {
    std::vector<e2e::StoredTask> tasks;
    for (WORD i = 0; i < 5; ++i) {
        tasks.push_back({MOD_CONTROL | MOD_ALT, static_cast<UINT>('1' + i), L"notepad",
                         L"t" + std::to_wstring(i)});
    }
    e2e::WriteStore(tasks, 2);
    Start();
    DrainWithAbout();
    EXPECT_NE(0, GlobalFindAtomW(L"Tessaly00030031"));
    EXPECT_NE(0, GlobalFindAtomW(L"Tessaly00030032"));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00030033"));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00030035"));

    // A plain second start opens the settings; closing them saves two tasks.
    Process second(L"Tessaly.exe");
    EXPECT_EQ(0u, second.WaitForExit());
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    HKEY tasksKey = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Tasks", 0, KEY_ALL_ACCESS, &tasksKey);
    RegDeleteValueW(tasksKey, L"Count");
    RegCloseKey(tasksKey);
    CloseWithCloseBox(settings);
    DWORD count = 0;
    ASSERT_TRUE(PumpUntil([&] { return e2e::ReadStoreDword(L"Tasks", L"Count", count); }));
    EXPECT_EQ(2u, count);
    EXPECT_FALSE(e2e::StoreKeyExists(L"Tasks\\Task2"));
    EXPECT_FALSE(e2e::StoreKeyExists(L"Tasks\\Task4"));
}

// A stand-in for a running instance: the mutex and a main window of our own
// that records the commands a second start forwards.
std::vector<WPARAM> g_forwarded;
LRESULT CALLBACK RecordCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        g_forwarded.push_back(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class SecondStartTest : public testing::Test {
protected:
    void SetUp() override {
        EndStrayInstances();
        mutex = CreateMutexW(nullptr, FALSE, L"Tessaly");
        ASSERT_EQ(0u, GetLastError());
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = RecordCommands;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kMainClass;
        RegisterClassW(&windowClass);
    }
    void TearDown() override {
        if (window) {
            DestroyWindow(window);
        }
        UnregisterClassW(kMainClass, GetModuleHandleW(nullptr));
        CloseHandle(mutex);
    }
    void CreateStandIn() {
        window = CreateWindowExW(0, kMainClass, L"Tessaly", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    HANDLE mutex = nullptr;
    HWND window = nullptr;
};

TEST_F(SecondStartTest, ForwardsTheLastRecognisedWord) {
    CreateStandIn();
    const struct {
        const wchar_t* words;
        UINT command;
    } cases[] = {
        {L"", IDM_SETTINGS},
        {L"launcher", IDM_SHOW_LAUNCHER},
        {L"LAUNCH", IDM_SHOW_LAUNCHER},
        {L"Laun", IDM_SHOW_LAUNCHER},
        {L"lau", IDM_SETTINGS},
        {L"menu", IDM_SHOW_MENU},
        {L"menus", IDM_SHOW_MENU},
        {L"launcher menu", IDM_SHOW_MENU},
        {L"menu launcher", IDM_SHOW_LAUNCHER},
        {L"menu xyz", IDM_SHOW_MENU},
        {L"exit", IDM_SETTINGS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.words)));
        g_forwarded.clear();
        Process second(L"Tessaly.exe", c.words);
        EXPECT_EQ(0u, second.WaitForExit());
        // The command was posted before the process ended.
        harness::PumpMessages();
        EXPECT_EQ((std::vector<WPARAM>{MAKEWPARAM(c.command, 0)}), g_forwarded);
    }
}

TEST_F(SecondStartTest, WithoutAMainWindowNothingHappens) {
    g_forwarded.clear();
    Process second(L"Tessaly.exe", L"menu");
    EXPECT_EQ(0u, second.WaitForExit());
    EXPECT_EQ(nullptr, FindWindowW(kMainClass, L"Tessaly"));
    CreateStandIn();
    harness::PumpMessages();
    EXPECT_TRUE(g_forwarded.empty());
}

TEST_F(TessalyTest, SecondStartReachesTheRunningInstance) {
    e2e::WriteStore({}, -1);
    Start(L"menu");  // a first start ignores its words
    DrainWithAbout();
    EXPECT_EQ(nullptr, Menu());

    Process second(L"Tessaly.exe");
    EXPECT_EQ(0u, second.WaitForExit());
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);

    // While the settings are open a forwarded menu command changes nothing.
    Process third(L"Tessaly.exe", L"menu");
    EXPECT_EQ(0u, third.WaitForExit());
    CloseWithCloseBox(settings);
    DrainWithAbout();
    EXPECT_EQ(nullptr, Menu());
    EXPECT_TRUE(app->Running());
}

TEST_F(TessalyTest, TrayMenuOpensAtTheCursorAndExits) {
    e2e::WriteStore({}, -1);
    Start();
    SetCursorPos(400, 300);
    PostMessageW(main, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    HWND menu = e2e::WaitForProcessWindow(app->id(), kMenuClass);
    ASSERT_NE(nullptr, menu);
    RECT place;
    GetWindowRect(menu, &place);
    EXPECT_EQ(400, place.left);
    EXPECT_EQ(300, place.top);
    e2e::Screenshot(L"tray-menu", menu);

    // Escape dismisses it and sends nothing.
    e2e::PressKeys({VK_ESCAPE});
    ASSERT_TRUE(PumpUntil([&] { return Menu() == nullptr; }));
    DrainWithAbout();
    EXPECT_EQ(nullptr, Dialog(L"Tessaly"));

    // The last item ends the program.
    PostMessageW(main, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    ASSERT_NE(nullptr, e2e::WaitForProcessWindow(app->id(), kMenuClass));
    e2e::PressKeys({VK_UP});
    e2e::PressKeys({VK_RETURN});
    EXPECT_EQ(0u, app->WaitForExit());
}

TEST_F(TessalyTest, AboutShowsNameVersionAndIconAndTrayWaitsMeanwhile) {
    e2e::WriteStore({}, -1);
    Start();
    PostCommand(main, IDM_ABOUT);
    HWND about = WaitForDialog(kAboutTitle);
    ASSERT_NE(nullptr, about);
    EXPECT_NE(nullptr, e2e::FindChildWithText(about, L"Tessaly Version 1.6"));
    RECT icon;
    GetClientRect(GetDlgItem(about, IDC_ABOUT_ICON), &icon);
    EXPECT_EQ(48, icon.right);
    EXPECT_EQ(48, icon.bottom);
    e2e::Screenshot(L"about", about);

    // While it is open the tray's clicks do nothing.
    for (UINT mouse : {WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}) {
        PostMessageW(main, WM_TRAYNOTIFY, TRAY_ICON_ID, mouse);
    }
    PostCommand(main, IDM_SETTINGS);
    PostCommand(main, IDM_SHOW_MENU);

    // Escape closes it...
    SetForegroundWindow(about);
    e2e::PressKeys({VK_ESCAPE});
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(about); }));
    EXPECT_EQ(nullptr, Menu());
    // ...and what was clicked meanwhile was dropped, not kept for later.
    DrainWithAbout();
    EXPECT_EQ(nullptr, Dialog(L"Tessaly"));
    EXPECT_EQ(nullptr, Menu());
    EXPECT_EQ(0u, Exit());
}

}  // namespace
