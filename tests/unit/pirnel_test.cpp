#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "libs/pirnel/pirnel.h"

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

TEST(PirnelKeyName, KeysNoLayoutNamesRightAndNonKeys) {
    const struct { UINT vk; const wchar_t* name; } cases[] = {
        {VK_VOLUME_UP, L"Volume Up"}, {VK_VOLUME_MUTE, L"Volume Mute"},
        {VK_MEDIA_PLAY_PAUSE, L"Media Play/Pause"}, {VK_BROWSER_BACK, L"Browser Back"},
        {VK_LAUNCH_APP2, L"Launch App 2"}, {VK_CANCEL, L"Break"}, {VK_SLEEP, L"Sleep"},
        {0xE8, L"0xE8"}, {VK_LBUTTON, L"0x01"}, {0xFF, L"0xFF"},
        {0, L"None"}, {0x100, L"None"}, {0xFFFF, L"None"}, {0xFFFFFFFF, L"None"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.name, KeyName(c.vk)) << c.vk;
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

}  // namespace
