// The settings dialog and the task editor of the running program, used as a
// user uses them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/tessaly_session.h"

namespace {

using harness::PumpUntil;
using namespace e2e::session;

constexpr wchar_t kEditorTitle[] = L"タスクの設定";

int Rows(HWND settings) {
    return static_cast<int>(SendMessageW(GetDlgItem(settings, IDC_LIST), LVM_GETITEMCOUNT, 0, 0));
}

void PressButton(HWND dialog, int control) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

TEST_F(TessalyTest, AddingATaskInTheSettingsRegistersItAndClosingSavesIt) {
    e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'K', L"notepad", L"メモ帳"},
                     {MOD_CONTROL | MOD_ALT, 'M', L"tessaly-missing-command", L"見つからない"}},
                    2);
    Start();
    e2e::Process second(L"Tessaly.exe");
    EXPECT_EQ(0u, second.WaitForExit());
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(2, Rows(settings));
    e2e::Screenshot(L"settings-tasks", settings);

    PressButton(settings, IDC_ADD);
    HWND editor = WaitForDialog(kEditorTitle);
    ASSERT_NE(nullptr, editor);
    SetDlgItemTextW(editor, IDC_FILE, L"regedit");
    SetDlgItemTextW(editor, IDC_NAME, L"レジストリ");
    SendMessageW(GetDlgItem(editor, IDC_CTRL), BM_SETCHECK, BST_CHECKED, 0);
    e2e::Screenshot(L"task-editor-new", editor);
    // Without a captured key the task has no hotkey; it is added all the same.
    PressButton(editor, IDOK);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(editor); }));
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings) == 3; }));

    CloseWithCloseBox(settings);
    DWORD count = 0;
    ASSERT_TRUE(PumpUntil([&] { return e2e::ReadStoreDword(L"Tasks", L"Count", count) && count == 3; }));
    // The count is written before the tasks: wait for the last value of the new one.
    DWORD value = 0;
    ASSERT_TRUE(PumpUntil([&] { return e2e::ReadStoreDword(L"Tasks\\Task2", L"Activate", value); }));
    EXPECT_EQ(0u, value);
    std::wstring text;
    EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task2", L"File", text));
    EXPECT_EQ(L"regedit", text);
    EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task2", L"Name", text));
    EXPECT_EQ(L"レジストリ", text);
    EXPECT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task2", L"vk", value));
    EXPECT_EQ(0xFFFFFFFFu, value);
    EXPECT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task2", L"fsModifiers", value));
    EXPECT_EQ(UINT(MOD_CONTROL), value);
}

// Opened on a task whose keys another task holds, the editor says so at
// once; switching to the running program is kept with the task.
TEST_F(TessalyTest, EditorSaysWhoHoldsTheKeyAndKeepsTheSwitch) {
    e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'K', L"notepad", L"メモ帳"},
                     {MOD_CONTROL | MOD_ALT, 'K', L"regedit", L"レジストリ"}},
                    2);
    Start();
    PostCommand(main, IDM_SETTINGS);
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    HWND list = GetDlgItem(settings, IDC_LIST);
    e2e::PressKeys({VK_DOWN});
    ASSERT_TRUE(PumpUntil([&] { return SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED) == 1; }));
    PressButton(settings, IDC_CHANGE);
    HWND editor = WaitForDialog(kEditorTitle);
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(L"タスク「メモ帳」が使用しています", e2e::WindowText(GetDlgItem(editor, IDC_KEY_WARNING)));
    SendMessageW(GetDlgItem(editor, IDC_ACTIVATE), BM_SETCHECK, BST_CHECKED, 0);
    e2e::Screenshot(L"task-editor", editor);
    PressButton(editor, IDOK);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(editor); }));
    CloseWithCloseBox(settings);
    DWORD activate = 0;
    ASSERT_TRUE(PumpUntil([&] { return e2e::ReadStoreDword(L"Tasks\\Task1", L"Activate", activate); }));
    EXPECT_EQ(1u, activate);
    ASSERT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task0", L"Activate", activate));
    EXPECT_EQ(0u, activate);
}

TEST_F(TessalyTest, SigningOutWithTheSettingsOpenKeepsTheirEdits) {
    e2e::WriteStore({{0, 0xFFFFFFFF, L"notepad", L"メモ帳"}}, 1);
    Start();
    PostCommand(main, IDM_SETTINGS);
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    PressButton(settings, IDC_ADD);
    HWND editor = WaitForDialog(kEditorTitle);
    ASSERT_NE(nullptr, editor);
    SetDlgItemTextW(editor, IDC_FILE, L"regedit");
    PressButton(editor, IDOK);
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings) == 2; }));
    // The system asks, tells, then ends the process: no close, no WM_DESTROY.
    EXPECT_EQ(TRUE, SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    app.reset();
    DWORD count = 0;
    std::wstring file;
    EXPECT_TRUE(e2e::ReadStoreDword(L"Tasks", L"Count", count) && count == 2) << count;
    EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task1", L"File", file));
    EXPECT_EQ(L"regedit", file);
}

}  // namespace
