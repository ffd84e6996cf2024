#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "common/program_state.h"
#include "model/display_settings.h"
#include "tests/unit/test_support.h"
#include "windows/name_window.h"

namespace {

TEST(PlaceNameWindow, EveryLocationOnAFullHdScreen) {
    const SIZE screen = {1920, 1080};
    const struct {
        int location;
        SIZE extent;
        bool placed;
        POINT corner;
    } cases[] = {
        {Hidden, {200, 40}, false, {}},
        {TopLeft, {200, 40}, true, {32, 32}},
        {TopRight, {200, 40}, true, {1688, 32}},
        {BottomLeft, {200, 40}, true, {32, 1008}},
        {BottomRight, {200, 40}, true, {1688, 1008}},
        {TopCenter, {201, 41}, true, {859, 32}},
        {BottomCenter, {201, 41}, true, {859, 1007}},
        {Center, {201, 41}, true, {859, 519}},
        // Wider than the screen: nothing clamps it.
        {TopRight, {2500, 40}, true, {-612, 32}},
        {Center, {2501, 40}, true, {-290, 520}},
        {8, {200, 40}, false, {}},
        {-1, {200, 40}, false, {}},
    };
    for (const auto& c : cases) {
        POINT corner = {-7, -7};
        EXPECT_EQ(c.placed, PlaceNameWindow(c.location, c.extent, screen, kScreenMargin, corner)) << c.location;
        if (c.placed) {
            EXPECT_EQ(c.corner.x, corner.x) << c.location << " " << c.extent.cx;
            EXPECT_EQ(c.corner.y, corner.y) << c.location << " " << c.extent.cx;
        }
    }
}

TEST(PlaceNameWindow, TheMarginFromTheEdgesGrowsWithTheDpi) {
    const struct {
        int dpi;
        int margin;
    } cases[] = {{96, 32}, {120, 40}, {144, 48}, {192, 64}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.margin, NameWindowMargin(c.dpi)) << c.dpi;
        POINT corner = {};
        ASSERT_TRUE(PlaceNameWindow(BottomRight, {200, 40}, {1920, 1080}, NameWindowMargin(c.dpi), corner));
        EXPECT_EQ(1920 - 200 - c.margin, corner.x) << c.dpi;
        EXPECT_EQ(1080 - 40 - c.margin, corner.y) << c.dpi;
    }
}

// Name windows made as a run makes them, over the real main window's classes.
class NameWindowTest : public testing::Test {
protected:
    void SetUp() override {
        g_displaySettings.Fade = 1;
        g_displaySettings.Alpha = 192;
        g_displaySettings.Location = TopRight;
    }
    void TearDown() override {
        for (HWND window : windows) {
            if (IsWindow(window)) {
                DestroyWindow(window);
            }
        }
    }
    HWND Create(const std::wstring& text) {
        HWND window = OpenNameWindow(text.c_str());
        windows.push_back(window);
        return window;
    }
    static int Alpha(HWND window) {
        BYTE alpha = 0;
        COLORREF key = 0;
        DWORD flags = 0;
        GetLayeredWindowAttributes(window, &key, &alpha, &flags);
        EXPECT_EQ(kNameWindowKey, key);
        EXPECT_EQ(static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA), flags);
        return alpha;
    }
    static void Tick(HWND window, UINT_PTR timer) { SendMessageW(window, WM_TIMER, timer, 0); }
    static SIZE Extent(const std::wstring& text) {
        HDC dc = GetDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, g_fontHandle.get());
        SIZE extent = {};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(nullptr, dc);
        return extent;
    }

    test::MainWindowSession session;
    std::vector<HWND> windows;
};

TEST_F(NameWindowTest, FadesInOverTwentyTicks) {
    HWND window = Create(L"メモ帳");
    EXPECT_EQ(0, Alpha(window));
    std::vector<int> alphas;
    for (int i = 0; i < 20; ++i) {
        Tick(window, kFadeInTimer);
        alphas.push_back(Alpha(window));
    }
    const std::vector<int> expected = {9,   19,  28,  38,  48,  57,  67,  76,  86,  96,
                                       105, 115, 124, 134, 144, 153, 163, 172, 182, 192};
    EXPECT_EQ(expected, alphas);
    EXPECT_EQ(20, GetWindowLongPtrW(window, GWLP_USERDATA));
    // Timer 0 is stopped at the top.
    EXPECT_FALSE(KillTimer(window, kFadeInTimer));
}

TEST_F(NameWindowTest, CloseDuringTheFadeInReversesItWhereItStands) {
    HWND window = Create(L"メモ帳");
    for (int i = 0; i < 7; ++i) {
        Tick(window, kFadeInTimer);
    }
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(KillTimer(window, kFadeInTimer));
    ShowWindow(window, SW_SHOWNOACTIVATE);
    std::vector<int> alphas;
    for (int i = 0; i < 7 && IsWindowVisible(window); ++i) {
        Tick(window, kFadeOutTimer);
        if (IsWindowVisible(window)) {
            alphas.push_back(Alpha(window));
        }
    }
    EXPECT_EQ((std::vector<int>{57, 48, 38, 28, 19, 9}), alphas);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(KillTimer(window, kFadeOutTimer));
}

TEST_F(NameWindowTest, WithoutFadeItIsAtAlphaAtOnceAndClosesAtOnce) {
    const struct {
        int alpha;
        const wchar_t* name;
    } shown[] = {{255, L"電卓"}, {192, L"メモ帳"}, {16, L"Registry Editor"}, {0, L"電卓"}};
    HWND kept = nullptr;
    for (const auto& c : shown) {
        g_displaySettings.Fade = 0;
        g_displaySettings.Alpha = c.alpha;
        HWND window = Create(c.name);
        // The window of the last name, hidden once its time was over, serves
        // the next: named, measured and placed for it.
        if (kept) {
            EXPECT_EQ(kept, window);
        }
        wchar_t text[64] = {};
        GetWindowTextW(window, text, 64);
        EXPECT_STREQ(c.name, text);
        RECT place;
        GetWindowRect(window, &place);
        EXPECT_EQ(Extent(c.name).cx, place.right - place.left);
        EXPECT_EQ(c.alpha, Alpha(window));
        EXPECT_EQ(20, GetWindowLongPtrW(window, GWLP_USERDATA));
        EXPECT_FALSE(KillTimer(window, kFadeInTimer));
        ShowWindow(window, SW_SHOWNOACTIVATE);
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindowVisible(window)) << c.alpha;
        kept = window;
    }
}

TEST_F(NameWindowTest, AlphaZeroStaysInvisibleThroughTheFade) {
    g_displaySettings.Alpha = 0;
    HWND window = Create(L"見えない");
    for (int i = 0; i < 20; ++i) {
        Tick(window, kFadeInTimer);
        EXPECT_EQ(0, Alpha(window));
    }
}

TEST_F(NameWindowTest, SizedToTheTextAndPlacedByLocation) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    const std::wstring text = L"メモ帳 Notepad";
    const SIZE e = Extent(text);
    ASSERT_GT(e.cx, 0);
    const struct {
        int location;
        RECT expected;
    } cases[] = {
        {Hidden, {0, 0, 0, 0}},
        {TopLeft, {32, 32, 32 + e.cx, 32 + e.cy}},
        {TopRight, {w - e.cx - 32, 32, w - 32, 32 + e.cy}},
        {BottomLeft, {32, h - e.cy - 32, 32 + e.cx, h - 32}},
        {BottomRight, {w - e.cx - 32, h - e.cy - 32, w - 32, h - 32}},
        {TopCenter, {(w - e.cx) / 2, 32, (w - e.cx) / 2 + e.cx, 32 + e.cy}},
        {BottomCenter, {(w - e.cx) / 2, h - e.cy - 32, (w - e.cx) / 2 + e.cx, h - 32}},
        {Center, {(w - e.cx) / 2, (h - e.cy) / 2, (w - e.cx) / 2 + e.cx, (h - e.cy) / 2 + e.cy}},
        {9, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        g_displaySettings.Location = c.location;
        HWND window = Create(text);
        RECT place;
        GetWindowRect(window, &place);
        EXPECT_EQ(c.expected.left, place.left) << c.location;
        EXPECT_EQ(c.expected.top, place.top) << c.location;
        EXPECT_EQ(c.expected.right, place.right) << c.location;
        EXPECT_EQ(c.expected.bottom, place.bottom) << c.location;
    }
}

TEST_F(NameWindowTest, TextWiderThanTheScreenGoesOffTheLeftEdge) {
    const std::wstring text(200, L'W');
    ASSERT_GT(Extent(text).cx, GetSystemMetrics(SM_CXSCREEN));
    HWND window = Create(text);
    RECT place;
    GetWindowRect(window, &place);
    EXPECT_LT(place.left, 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) - 32, place.right);
}

TEST_F(NameWindowTest, LongNameIsMeasuredOnIts259Units) {
    g_displaySettings.Location = TopLeft;
    std::wstring text;
    for (int i = 0; i < 300; ++i) {
        text += (i % 2) ? L'i' : L'M';
    }
    HWND window = Create(text);
    RECT place;
    GetWindowRect(window, &place);
    EXPECT_EQ(Extent(text.substr(0, 259)).cx, place.right - place.left);
}

TEST_F(NameWindowTest, DrawsTheGlyphsInTheFontColourOnWhite) {
    g_displaySettings.Fade = 0;
    g_displaySettings.Alpha = 255;
    g_displaySettings.FontColor = RGB(0, 0, 255);
    g_displaySettings.Location = TopLeft;
    HWND window = Create(L"■");
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    int glyph = 0, white = 0, other = 0;
    for (int y = 0; y < client.bottom; y += 2) {
        for (int x = 0; x < client.right; x += 2) {
            COLORREF pixel = GetPixel(dc, x, y);
            glyph += pixel == RGB(0, 0, 255);
            white += pixel == RGB(255, 255, 255);
            other += pixel != RGB(0, 0, 255) && pixel != RGB(255, 255, 255);
        }
    }
    ReleaseDC(window, dc);
    g_displaySettings.FontColor = RGB(0, 255, 0);
    if (glyph == 0 && white == 0) {
        GTEST_SKIP() << "this system gives no read-back of a layered window's pixels";
    }
    EXPECT_GT(glyph, 0);
    EXPECT_GT(white, 0);
}

}  // namespace
