#include <gtest/gtest.h>

#include "model/hotkey.h"
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

}  // namespace
