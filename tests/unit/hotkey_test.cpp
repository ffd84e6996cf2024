#include <gtest/gtest.h>

#include "model/hotkey.h"
#include "model/task.h"
#include "tests/unit/test_support.h"

namespace {

TEST(HotKeyAtomName, FourLowerCaseHexDigitsEach) {
    const struct {
        UINT modifiers, vk;
        const wchar_t* name;
    } cases[] = {
        {MOD_WIN, 'N', L"Tessaly0008004e"},
        {MOD_WIN, 'C', L"Tessaly00080043"},
        {MOD_CONTROL | MOD_ALT, 'X', L"Tessaly00030058"},
        {0, 0, L"Tessaly00000000"},
        {MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN, VK_F12, L"Tessaly000f007b"},
        // Only the low 16 bits of each take part.
        {0x12345, 0xABCDE, L"Tessaly2345bcde"},
    };
    for (const auto& c : cases) {
        wchar_t name[kAtomNameLength];
        FormatHotKeyAtomName(c.modifiers, c.vk, name);
        EXPECT_STREQ(c.name, name);
    }
}

class HotKeyTest : public testing::Test {
protected:
    test::HotKeyOwner owner;
};

TEST_F(HotKeyTest, RegistersUnderTheNamedAtomAndReleasesIt) {
    int atom = RegisterTaskHotKey(MOD_CONTROL | MOD_ALT, 'K');
    ASSERT_NE(0, atom);
    EXPECT_EQ(atom, GlobalFindAtomW(L"Tessaly0003004b"));
    // The combination is ours now: registering it again for this window fails.
    EXPECT_FALSE(RegisterHotKey(owner.window(), 0xBEEF, MOD_CONTROL | MOD_ALT, 'K'));

    UnregisterTaskHotKey(atom);
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0003004b"));
    EXPECT_TRUE(RegisterHotKey(owner.window(), 0xBEEF, MOD_CONTROL | MOD_ALT, 'K'));
    UnregisterHotKey(owner.window(), 0xBEEF);
}

TEST_F(HotKeyTest, SecondTaskOnTheSameKeysGetsNoAtomAndLeavesOneReference) {
    int first = RegisterTaskHotKey(MOD_CONTROL | MOD_ALT, 'X');
    int second = RegisterTaskHotKey(MOD_CONTROL | MOD_ALT, 'X');
    EXPECT_NE(0, first);
    EXPECT_EQ(0, second);
    // One reference remains: releasing the first task removes the atom.
    UnregisterTaskHotKey(first);
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00030058"));
}

TEST_F(HotKeyTest, NoKeyNeverRegisters) {
    EXPECT_EQ(0, RegisterTaskHotKey(MOD_WIN, kNoKey));
    wchar_t name[kAtomNameLength];
    FormatHotKeyAtomName(MOD_WIN, kNoKey, name);
    EXPECT_EQ(0, GlobalFindAtomW(name));
}

TEST_F(HotKeyTest, ReleasingAtomZeroTouchesNothing) {
    ATOM unrelated = GlobalAddAtomW(L"TessalyUnrelated");
    UnregisterTaskHotKey(0);
    EXPECT_EQ(unrelated, GlobalFindAtomW(L"TessalyUnrelated"));
    GlobalDeleteAtom(unrelated);
}

TEST_F(HotKeyTest, TakenByAnotherWindowGivesZeroAndNoLeftoverAtom) {
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 7, MOD_CONTROL | MOD_SHIFT, 'J'));
    EXPECT_EQ(0, RegisterTaskHotKey(MOD_CONTROL | MOD_SHIFT, 'J'));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly0006004a"));
    UnregisterHotKey(other, 7);
    DestroyWindow(other);
}

HWND WINAPI NoWindowInFront() { return nullptr; }

// Tasks with conditions, and the program in front through the seam a
// foreground change calls: which keys are held (seen from another window, as
// another program sees them) and which task of a shared key holds it.
class KeysFollowTheProgramTest : public HotKeyTest {
protected:
    ~KeysFollowTheProgramTest() override {
        g_taskList.Clear();
        RenewTaskKeys();
        FollowProgramInFront({});
        DestroyWindow(other);
        g_windowInFront = GetForegroundWindow;
    }
    Task* Add(UINT vk, int condition, const wchar_t* programs, const wchar_t* name) {
        auto task = test::MakeTask(MOD_CONTROL | MOD_ALT, vk, name);
        task->Condition = condition;
        lstrcpyW(task->Programs, programs);
        return g_taskList.Append(std::move(task));
    }
    bool Held(UINT vk) { return !CanRegisterHotKey(other, MOD_CONTROL | MOD_ALT, vk); }
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
};

TEST_F(KeysFollowTheProgramTest, AKeyIsHeldWhileSomeTaskWithItAppliesToTheProgramInFront) {
    g_taskList.Clear();
    Add('E', kOnlyIn, L"writer.exe; studio.exe", L"editor");
    Add('G', kExceptIn, L"game.exe", L"not in the game");
    Add('S', kOnlyIn, L"Norv.Store_8wekyb3d8bbwe!App", L"store app");
    Task* inCode = Add('D', kOnlyIn, L"writer.exe", L"D in code");
    Task* elsewhere = Add('D', kExceptIn, L"writer.exe", L"D elsewhere");
    Add('W', kEverywhere, L"", L"everywhere");
    Add('O', kOnlyIn, L"", L"only in nothing");
    // Two tasks with second steps share their first, and neither is marked.
    Add('T', kEverywhere, L"", L"T then 1")->NextVk = '1';
    Add('T', kEverywhere, L"", L"T then 2")->NextVk = '2';
    // The window in front is read when the watch begins: none here.
    g_windowInFront = NoWindowInFront;
    RenewTaskKeys();
    EXPECT_TRUE(KeysFollowForeground());

    const struct {
        const wchar_t* path;
        const wchar_t* appId;
        const char* held;  // of E, G, S, D, W, O, T
        const Task* holder;
    } cases[] = {
        {L"C:\\Tools\\Writer.EXE", L"", "EG_DW_T", inCode},
        {L"D:\\Games\\game.exe", L"", "___DW_T", elsewhere},
        // A Store app shows its frame's program; its id names it.
        {L"C:\\Windows\\System32\\ApplicationFrameHost.exe", L"norv.store_8wekyb3d8bbwe!app", "_GSDW_T", elsewhere},
        {L"C:\\Program Files\\Dev\\studio.exe", L"", "EG_DW_T", elsewhere},
        // A program that could not be read is none any list names.
        {L"", L"", "_G_DW_T", elsewhere},
        {L"C:\\Tools\\writer.exe", L"", "EG_DW_T", inCode},
    };
    const UINT keys[] = {'E', 'G', 'S', 'D', 'W', 'O', 'T'};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path) + L" " + c.appId));
        FollowProgramInFront({c.path, c.appId});
        EXPECT_STREQ(c.path, KeysRegisteredFor().path);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(c.held[i] != '_', Held(keys[i])) << static_cast<char>(keys[i]);
        }
        EXPECT_NE(0, c.holder->Atom);
        EXPECT_EQ(0, (c.holder == inCode ? elsewhere : inCode)->Atom);
        for (const auto& task : g_taskList) {
            EXPECT_FALSE(TaskKeyTaken(*task)) << testing::PrintToString(std::wstring(task->Name));
        }
    }

    // A key another program holds is marked whether its task applies now or
    // not; once free, the task that does not apply is not.
    ASSERT_TRUE(RegisterHotKey(other, 9, MOD_CONTROL | MOD_ALT, 'S'));
    FollowProgramInFront({L"C:\\Windows\\System32\\ApplicationFrameHost.exe", L"Norv.Store_8wekyb3d8bbwe!App"});
    EXPECT_TRUE(TaskKeyTaken(*g_taskList.At(2)));
    FollowProgramInFront({L"C:\\Tools\\writer.exe", L""});
    EXPECT_TRUE(TaskKeyTaken(*g_taskList.At(2)));
    UnregisterHotKey(other, 9);
    EXPECT_FALSE(TaskKeyTaken(*g_taskList.At(2)));
}

}  // namespace
