#include <gtest/gtest.h>

#include <string>

#include "app/tray_icon.h"
#include "resources/resource.h"
#include "tests/unit/test_support.h"

namespace {

class TrayIconTest : public testing::Test {
protected:
    void TearDown() override { icon.Destroy(); }
    HWND owner = reinterpret_cast<HWND>(0x1000);
    test::FakeTrayShell shell;
    CTrayIcon icon;
};

TEST_F(TrayIconTest, RecordIsTheFull64BitOne) {
    icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, L"Tessaly", 1);
    EXPECT_EQ(976u, icon.m_nid.cbSize);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), icon.m_nid.uFlags);
    ASSERT_EQ(1u, shell.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), shell.calls[0].message);
    EXPECT_EQ(1u, shell.calls[0].id);
    EXPECT_EQ(0x8000u, shell.calls[0].callbackMessage);
    EXPECT_EQ(L"Tessaly", shell.calls[0].tip);
}

TEST_F(TrayIconTest, TipIsCutTo127Units) {
    const struct {
        size_t length;
        size_t kept;
    } cases[] = {{0, 0}, {127, 127}, {128, 127}, {200, 127}};
    for (const auto& c : cases) {
        std::wstring tip(c.length, L'w');
        icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, tip.c_str(), 0);
        EXPECT_EQ(c.kept, wcsnlen(icon.m_nid.szTip, 128)) << c.length;
    }
    icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, nullptr, 0);
    for (wchar_t c : icon.m_nid.szTip) {
        ASSERT_EQ(L'\0', c);
    }
}

TEST_F(TrayIconTest, ShowAddsAndRemovesOnlyOnChange) {
    icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, L"Tessaly", 0);
    EXPECT_EQ(0, icon.m_bShown);
    EXPECT_EQ(1, icon.Show(0));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_NE(0, icon.Show(1));
    EXPECT_EQ(1, icon.Show(1));
    EXPECT_EQ(1u, shell.Count(NIM_ADD));
    EXPECT_NE(0, icon.Show(0));
    EXPECT_EQ(1u, shell.Count(NIM_DELETE));
    EXPECT_EQ(0, icon.m_bShown);
}

TEST_F(TrayIconTest, AddIsRetriedOnlyWhileTheShellTimesOut) {
    const struct {
        const char* what;
        std::vector<DWORD> answers;
        size_t attempts;
        size_t pauses;
        bool added;
    } cases[] = {
        {"at once", {ERROR_SUCCESS}, 1, 0, true},
        {"after two time-outs", {ERROR_TIMEOUT, ERROR_TIMEOUT, ERROR_SUCCESS}, 3, 2, true},
        {"every attempt times out", {ERROR_TIMEOUT}, 16, 16, false},
        {"another error", {ERROR_ACCESS_DENIED}, 1, 0, false},
        {"time-out, then another error", {ERROR_TIMEOUT, ERROR_INVALID_PARAMETER}, 2, 1, false},
        {"failure that leaves a stale time-out", {test::FakeTrayShell::kLastErrorUntouched, ERROR_SUCCESS}, 1, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        icon.Destroy();
        shell.calls.clear();
        shell.sleeps.clear();
        shell.AnswerAddsWith(c.answers);
        SetLastError(ERROR_TIMEOUT);  // left over from some earlier call
        EXPECT_EQ(c.added ? 1 : 0,
                  icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, L"Tessaly", 1) != 0);
        EXPECT_EQ(c.attempts, shell.Count(NIM_ADD));
        EXPECT_EQ(c.pauses, shell.sleeps.size());
        for (DWORD pause : shell.sleeps) {
            EXPECT_EQ(1000u, pause);
        }
        // The flag stays set, so a taskbar restart brings the icon back.
        EXPECT_EQ(1, icon.m_bShown);
    }
}

TEST_F(TrayIconTest, CreatingAgainRemovesTheOldIconFirst) {
    icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, L"one", 1);
    icon.Create(owner, 2, WM_TRAYNOTIFY, nullptr, L"two", 1);
    ASSERT_EQ(3u, shell.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), shell.calls[1].message);
    EXPECT_EQ(1u, shell.calls[1].id);
    EXPECT_EQ(2u, shell.calls[2].id);
}

TEST_F(TrayIconTest, DestroyRemovesAShownIconOnce) {
    EXPECT_EQ(1, icon.Destroy());
    EXPECT_TRUE(shell.calls.empty());
    icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, L"Tessaly", 1);
    EXPECT_EQ(1, icon.Destroy());
    EXPECT_EQ(1, icon.Destroy());
    EXPECT_EQ(1u, shell.Count(NIM_DELETE));
    EXPECT_EQ(nullptr, icon.m_nid.hWnd);
}

TEST_F(TrayIconTest, DestroyDestroysTheIconHandle) {
    HICON owned = CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
    icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY, owned, L"Tessaly", 1);
    icon.Destroy();
    ICONINFO info = {};
    EXPECT_FALSE(GetIconInfo(owned, &info));
}

TEST(TrayIconShell, AddAndDeleteReachTheRealShell) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
    CTrayIcon icon;
    EXPECT_NE(0, icon.Create(owner, TRAY_ICON_ID, WM_TRAYNOTIFY,
                             CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)), L"Tessaly", 1));
    EXPECT_NE(0, icon.Show(0));
    icon.Destroy();
    DestroyWindow(owner);
}

}  // namespace
