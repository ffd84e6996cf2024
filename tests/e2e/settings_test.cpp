// The settings dialog and the task editor of the running program, used as a
// user uses them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
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

// The common controls cost a start nothing: they come with the first list
// or dialog, in the version the manifest names.
TEST_F(TessalyTest, CommonControlsLoadWithTheFirstDialogInTheManifestsVersion) {
    e2e::WriteStore({{0, 0xFFFFFFFF, L"notepad", L"メモ帳"}}, 1);
    Start();
    EXPECT_EQ(L"", e2e::LoadedModulePath(app->id(), L"comctl32.dll"));
    PostCommand(main, IDM_SETTINGS);
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(1, Rows(settings));
    const std::wstring controls = e2e::LoadedModulePath(app->id(), L"comctl32.dll");
    EXPECT_NE(std::wstring::npos, controls.find(L"common-controls_6595b64144ccf1df_6.")) << controls;
    CloseWithCloseBox(settings);
}

// Opened on a task whose keys another task holds, the editor says so at
// once, that the key alone is free but misses elevated windows, and that it
// is still taken when it becomes the first step of two in some programs only
// (where the other task's key works too); switching to the running program
// and its toggle, where the key works and the key that follows are kept with
// the task.
TEST_F(TessalyTest, EditorSaysWhoHoldsTheKeyAndKeepsTheSwitchAndTheSteps) {
    const struct {
        const wchar_t* locale;
        const wchar_t* first;
        const wchar_t* title;
        const wchar_t* keyTitle;
        const wchar_t* warning;
        const wchar_t* picture;
        const wchar_t* elevated;
        const wchar_t* elevatedPicture;
    } cases[] = {
        {L"ja_JP.UTF-8", L"メモ帳", kEditorTitle, L"キーの設定", L"タスク「メモ帳」が使用しています",
         L"task-editor-switch-ja", L"管理者権限のウィンドウが前面だと届きません", L"task-editor-elevated-ja"},
        {L"en_US.UTF-8", L"Notepad", L"Task properties", L"Set key", L"Used by the task \"Notepad\"",
         L"task-editor-switch-en", L"Not received while an elevated window is in front", L"task-editor-elevated-en"},
    };
    for (const auto& c : cases) {
        e2e::DeleteStore();
        e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'K', L"notepad", c.first}, {MOD_CONTROL | MOD_ALT, 'K', L"regedit", L"regedit"}},
                        2);
        ASSERT_NO_FATAL_FAILURE(Start(L"", c.locale));
        // The user's window in front before the settings: Pick, pressed from
        // the keyboard, takes its program.
        HWND front = CreateWindowExW(0, L"BUTTON", L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 200, 120,
                                     nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(front);
        PostCommand(main, IDM_SETTINGS);
        HWND settings = WaitForDialog(L"Tessaly");
        ASSERT_NE(nullptr, settings);
        HWND list = GetDlgItem(settings, IDC_LIST);
        e2e::PressKeys({VK_DOWN});
        ASSERT_TRUE(PumpUntil([&] { return SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED) == 1; }));
        PressButton(settings, IDC_CHANGE);
        HWND editor = WaitForDialog(c.title);
        ASSERT_NE(nullptr, editor);
        EXPECT_EQ(c.warning, e2e::WindowText(GetDlgItem(editor, IDC_KEY_WARNING)));
        // The toggle waits for the switch.
        HWND toggle = GetDlgItem(editor, IDC_TOGGLE);
        EXPECT_FALSE(IsWindowEnabled(toggle));
        SendMessageW(GetDlgItem(editor, IDC_ACTIVATE), BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(editor, WM_COMMAND, MAKEWPARAM(IDC_ACTIVATE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(editor, IDC_ACTIVATE)));
        EXPECT_TRUE(IsWindowEnabled(toggle));
        SendMessageW(toggle, BM_SETCHECK, BST_CHECKED, 0);
        HWND condition = GetDlgItem(editor, IDC_CONDITION);
        SendMessageW(condition, CB_SETCURSEL, 1, 0);
        SendMessageW(editor, WM_COMMAND, MAKEWPARAM(IDC_CONDITION, CBN_SELCHANGE), reinterpret_cast<LPARAM>(condition));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(editor, IDC_PROGRAMS)));
        SetDlgItemTextW(editor, IDC_PROGRAMS, L"writer.exe; studio.exe");
        PressButton(editor, IDC_NEXT_KEY);
        HWND keys = WaitForDialog(c.keyTitle);
        ASSERT_NE(nullptr, keys);
        e2e::PressKeys({'N'});
        PressButton(keys, IDOK);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(keys); }));
        EXPECT_EQ(L"N", e2e::WindowText(GetDlgItem(editor, IDC_NEXT_KEY)));
        EXPECT_EQ(c.warning, e2e::WindowText(GetDlgItem(editor, IDC_KEY_WARNING)));
        e2e::Screenshot(c.picture, editor);
        PressButton(editor, IDC_PICK);
        const std::wstring picked = L"writer.exe; studio.exe; tessaly_e2e_tests.exe";
        EXPECT_TRUE(PumpUntil([&] { return e2e::WindowText(GetDlgItem(editor, IDC_PROGRAMS)) == picked; }))
            << e2e::WindowText(GetDlgItem(editor, IDC_PROGRAMS));
        DestroyWindow(front);
        for (int box : {IDC_CTRL, IDC_ALT}) {
            SendMessageW(GetDlgItem(editor, box), BM_SETCHECK, BST_UNCHECKED, 0);
            SendMessageW(editor, WM_COMMAND, MAKEWPARAM(box, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(editor, box)));
        }
        EXPECT_EQ(c.elevated, e2e::WindowText(GetDlgItem(editor, IDC_KEY_WARNING)));
        e2e::Screenshot(c.elevatedPicture, editor);
        PressButton(editor, IDOK);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(editor); }));
        CloseWithCloseBox(settings);
        DWORD activate = 0, toggles = 0;
        ASSERT_TRUE(PumpUntil([&] { return e2e::ReadStoreDword(L"Tasks\\Task1", L"Activate", activate); }));
        EXPECT_EQ(1u, activate);
        ASSERT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task1", L"Toggle", toggles));
        EXPECT_EQ(1u, toggles);
        ASSERT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task0", L"Activate", activate));
        EXPECT_EQ(0u, activate);
        ASSERT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task0", L"Toggle", toggles));
        EXPECT_EQ(0u, toggles);
        DWORD where = 0, next = 0, nextModifiers = 1;
        std::wstring programs;
        EXPECT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task1", L"Condition", where));
        EXPECT_EQ(1u, where);
        EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task1", L"Programs", programs));
        EXPECT_EQ(picked, programs);
        EXPECT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task1", L"NextVk", next));
        EXPECT_EQ(DWORD('N'), next);
        EXPECT_TRUE(e2e::ReadStoreDword(L"Tasks\\Task1", L"NextModifiers", nextModifiers));
        EXPECT_EQ(0u, nextModifiers);
        EXPECT_EQ(0u, Exit());
    }
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

// A portable copy: its file is the whole store, first start to restart, and
// the registry is never touched.
class PortableCopyTest : public TessalyTest {
protected:
    // Destroyed after TearDown has ended the copy's process.
    e2e::PortableCopy copy{L"e2e-portable-copy"};
};

bool WriteTextFile(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool done = file != INVALID_HANDLE_VALUE &&
                      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                      written == text.size();
    CloseHandle(file);
    return done;
}

TEST_F(PortableCopyTest, FirstStartAndRestartKeepEverythingInTheFile) {
    ASSERT_TRUE(copy.made());
    ASSERT_NO_FATAL_FAILURE(Start(L"", nullptr, copy.folder()));
    // The empty file is a first start: the two default tasks, the settings open.
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(2, Rows(settings));
    ULONGLONG before = e2e::FileLook(copy.file());
    CloseWithCloseBox(settings);
    ASSERT_TRUE(e2e::WaitForSave(copy.file(), before));
    EXPECT_EQ(L"calc", e2e::SettingsFileText(copy.file(), L"Task1", L"File"));
    EXPECT_EQ(L"2", e2e::SettingsFileText(copy.file(), L"Tasks", L"Count"));
    EXPECT_EQ(L"notepad", e2e::SettingsFileText(copy.file(), L"Task0", L"File"));
    EXPECT_FALSE(e2e::StoreKeyExists(L""));
    EXPECT_EQ(0u, Exit());

    // As a person writes it in Notepad (UTF-8): one task of their own.
    ASSERT_TRUE(WriteTextFile(copy.file(), "[Tasks]\r\nCount=1\r\n\r\n[Task0]\r\nFile=regedit\r\n"
                                           "Name=レジストリ\r\nfsModifiers=3\r\nvk=75\r\n"));
    ASSERT_NO_FATAL_FAILURE(Start(L"", nullptr, copy.folder()));
    // No first start: nothing holds the dialogs.
    DrainWithAbout();
    EXPECT_FALSE(e2e::HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'K'));
    PostCommand(main, IDM_SETTINGS);
    settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(1, Rows(settings));
    before = e2e::FileLook(copy.file());
    CloseWithCloseBox(settings);
    // The save writes every value, "Activate" among them.
    ASSERT_TRUE(e2e::WaitForSave(copy.file(), before));
    EXPECT_EQ(L"0", e2e::SettingsFileText(copy.file(), L"Task0", L"Activate"));
    EXPECT_EQ(L"1", e2e::SettingsFileText(copy.file(), L"Tasks", L"Count"));
    EXPECT_EQ(L"レジストリ", e2e::SettingsFileText(copy.file(), L"Task0", L"Name"));
    EXPECT_EQ(L"75", e2e::SettingsFileText(copy.file(), L"Task0", L"vk"));
    EXPECT_EQ(0u, Exit());
    EXPECT_FALSE(e2e::StoreKeyExists(L""));
}

// A file that is no settings file is set aside and both files are named,
// before the settings open as on a first start; the old text stays whole.
TEST_F(PortableCopyTest, AFileThatCannotBeReadIsSetAsideAndNamed) {
    ASSERT_TRUE(copy.made());
    const std::string text = "Tasks: notepad and calc\r\n";
    ASSERT_TRUE(WriteTextFile(copy.file(), text));
    ASSERT_NO_FATAL_FAILURE(Start(L"", nullptr, copy.folder()));
    HWND message = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, message);
    EXPECT_NE(nullptr, e2e::FindChildWithText(message, L"設定を読み込めませんでした:\n" + copy.file() +
                                                           L"\n\n元の設定はそのまま次の名前で残し、既定の設定で始めます:\n" +
                                                           copy.file() + L".bad"));
    e2e::Screenshot(L"store-set-aside", message);
    PostMessageW(message, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(message); }));
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(2, Rows(settings));
    const ULONGLONG before = e2e::FileLook(copy.file());
    CloseWithCloseBox(settings);
    ASSERT_TRUE(e2e::WaitForSave(copy.file(), before));
    EXPECT_EQ(L"2", e2e::SettingsFileText(copy.file(), L"Tasks", L"Count"));
    EXPECT_EQ(0u, Exit());
    HANDLE setAside = CreateFileW((copy.file() + L".bad").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char kept[64] = {};
    DWORD read = 0;
    ReadFile(setAside, kept, sizeof(kept), &read, nullptr);
    CloseHandle(setAside);
    EXPECT_EQ(text, std::string(kept, read));
}

// The message names the file on a line of its own, the system's reason and
// what to do, in the language of the interface (the pictures of both).
TEST_F(PortableCopyTest, ReadOnlyFileIsNamedWhenTheSettingsClose) {
    ASSERT_TRUE(copy.made());
    const struct {
        const char* file;
        LANGID language;
        const wchar_t* head;
        const wchar_t* picture;
    } cases[] = {
        {"", 0x0411, L"設定を保存できませんでした。保存先:", L"save-failed-ja"},
        {"[Setting]\r\nLanguage=1033\r\n", 0x0409, L"The settings could not be saved to:", L"save-failed-en"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        SetFileAttributesW(copy.file().c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(WriteTextFile(copy.file(), c.file));
        ASSERT_TRUE(SetFileAttributesW(copy.file().c_str(), FILE_ATTRIBUTE_READONLY));
        ASSERT_NO_FATAL_FAILURE(Start(L"", nullptr, copy.folder()));
        if (*c.file) {
            PostCommand(main, IDM_SETTINGS);
        }
        HWND settings = WaitForDialog(L"Tessaly");
        ASSERT_NE(nullptr, settings);
        CloseWithCloseBox(settings);
        HWND message = WaitForDialog(L"Tessaly");
        ASSERT_NE(nullptr, message);
        const std::wstring text = e2e::WindowText(GetDlgItem(message, 0xFFFF));
        EXPECT_EQ(0u, text.find(c.head + (L"\n" + copy.file() + L"\n\n"))) << text;
        wchar_t reason[256] = {};
        if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED,
                            c.language, reason, 256, nullptr)) {
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0,
                           reason, 256, nullptr);
        }
        std::wstring firstLine = reason;
        firstLine = firstLine.substr(0, firstLine.find_first_of(L"\r\n"));
        EXPECT_NE(std::wstring::npos, text.find(L"\n\n" + firstLine)) << text;
        e2e::Screenshot(c.picture, message);
        PostMessageW(message, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(message); }));
        EXPECT_EQ(0u, Exit());
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExW(copy.file().c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(strlen(c.file), data.nFileSizeLow);
        EXPECT_FALSE(e2e::StoreKeyExists(L""));
    }
    SetFileAttributesW(copy.file().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The launcher with the shell's menu of its second row (which the shell
// writes in the display language).
void TakeLauncherMenuPicture(DWORD pid, HWND main, const std::wstring& name) {
    SetCursorPos(640, 400);
    PostCommand(main, IDM_SHOW_LAUNCHER);
    HWND launcher = e2e::WaitForProcessWindow(pid, L"Tessaly_LauncherWindowClass");
    ASSERT_NE(nullptr, launcher);
    RECT place = {};
    ASSERT_TRUE(PumpUntil([&] { return GetWindowRect(launcher, &place) && place.right - place.left > 100; }));
    HWND list = FindWindowExW(launcher, nullptr, L"SysListView32", nullptr);
    int nudge = 0;
    ASSERT_TRUE(PumpUntil([&] {
        e2e::MoveMouseTo({place.left + 100 + (nudge++ % 2), place.top + 1 + 33 + 16});
        return SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED) == 1;
    }));
    e2e::PressKeys({VK_APPS});
    HWND menu = e2e::WaitForProcessWindow(pid, kMenuClass);
    ASSERT_NE(nullptr, menu);
    e2e::Screenshot(name, launcher, menu);
    e2e::PressKeys({VK_ESCAPE});
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(menu); }));
    e2e::PressKeys({VK_ESCAPE});
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(launcher); }));
}

// The texts of the two interfaces that the test looks for.
struct Interface {
    const wchar_t* addButton;
    const wchar_t* timeText;
    const wchar_t* editorTitle;
    const wchar_t* keyCaptureTitle;
    const wchar_t* keyListTitle;
    const wchar_t* deleteTitle;
    const wchar_t* aboutTitle;
    const wchar_t* browseCommand;
    const wchar_t* browseFolder;
    const wchar_t* soundFilter;
};
constexpr Interface kJapanese = {L"新規追加(&N)...",
                                 L"1.5 秒",
                                 L"タスクの設定",
                                 L"キーの設定",
                                 L"キーの選択",
                                 L"削除",
                                 kAboutTitle,
                                 L"ファイル、またはフォルダを選択してください。",
                                 L"ファイル、またはフォルダを選択してください。",
                                 L"wave サウンド (*.wav)"};
constexpr Interface kEnglish = {L"&Add...",       L"1.5 s",
                                L"Task properties", L"Set key",
                                L"Choose key",    L"Delete task",
                                L"About Tessaly", L"Select a file or folder.",
                                L"Select the working folder.", L"Wave sounds (*.wav)"};

// A dialog of the process that is none of those it already shows.
HWND WaitForAnotherDialog(DWORD pid, std::initializer_list<HWND> shown) {
    struct Search {
        DWORD pid;
        std::initializer_list<HWND> shown;
        HWND found;
    } search = {pid, shown, nullptr};
    PumpUntil([&] {
        EnumWindows(
            [](HWND window, LPARAM lParam) -> BOOL {
                auto& search = *reinterpret_cast<Search*>(lParam);
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                wchar_t name[16] = {};
                GetClassNameW(window, name, 16);
                if (pid == search.pid && IsWindowVisible(window) && lstrcmpW(name, kDialogClass) == 0 &&
                    std::find(search.shown.begin(), search.shown.end(), window) == search.shown.end()) {
                    search.found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

// A message box of the process with exactly this text, answered with `answer`.
void Answer(DWORD pid, HWND settings, const std::wstring& text, int answer) {
    HWND box = WaitForAnotherDialog(pid, {settings});
    ASSERT_NE(nullptr, box);
    EXPECT_NE(nullptr, e2e::FindChildWithText(box, text)) << e2e::WindowText(box);
    e2e::Screenshot(answer == IDYES ? L"import-question" : L"import-refused", box);
    PostMessageW(box, WM_COMMAND, answer, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
}

// Export, then import on a clean store: a file of another kind changes
// nothing; the exported one brings back the deleted task and its hotkey.
// An Internet Shortcut dragged from a folder onto the running settings
// becomes a task for its address, named after it.
TEST_F(TessalyTest, ADroppedInternetShortcutBecomesATaskForItsAddress) {
    const std::wstring url = e2e::BinDir() + L"\\Tessaly site.url";
    ASSERT_TRUE(WriteTextFile(url, "[InternetShortcut]\r\nURL=https://example.org/tessaly\r\n"));
    e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'K', L"notepad", L"メモ帳"}}, 1);
    Start();
    PostCommand(main, IDM_SETTINGS);
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    RECT list;
    GetWindowRect(GetDlgItem(settings, IDC_LIST), &list);
    const std::wstring point =
        std::to_wstring((list.left + list.right) / 2) + L" " + std::to_wstring((list.top + list.bottom) / 2);
    EXPECT_EQ(0u, e2e::Process(L"tessaly_dragger.exe", L"\"" + url + L"\" " + point).WaitForExit());
    HWND editor = WaitForAnotherDialog(app->id(), {settings});
    ASSERT_NE(nullptr, editor);
    wchar_t text[MAX_PATH] = {};
    GetDlgItemTextW(editor, IDC_FILE, text, MAX_PATH);
    EXPECT_STREQ(L"https://example.org/tessaly", text);
    GetDlgItemTextW(editor, IDC_NAME, text, MAX_PATH);
    EXPECT_STREQ(L"Tessaly site", text);
    e2e::Screenshot(L"task-editor-dropped-url", editor);
    PressButton(editor, IDOK);
    EXPECT_TRUE(PumpUntil([&] { return Rows(settings) == 2; }));
    CloseWithCloseBox(settings);
    DeleteFileW(url.c_str());
}

TEST_F(TessalyTest, ExportedSettingsImportBackAfterAQuestion) {
    const std::wstring exported = e2e::BinDir() + L"\\e2e-exported.ini";
    const std::wstring foreign = e2e::BinDir() + L"\\e2e-foreign.ini";
    DeleteFileW(exported.c_str());
    ASSERT_TRUE(WriteTextFile(foreign, "Not settings at all\r\n"));
    Start();
    HWND settings = WaitForDialog(L"Tessaly");
    ASSERT_NE(nullptr, settings);
    ASSERT_EQ(2, Rows(settings));
    auto choose = [&](int button, const std::wstring& path) {
        PressButton(settings, button);
        HWND picker = WaitForAnotherDialog(app->id(), {settings});
        ASSERT_NE(nullptr, picker);
        e2e::Screenshot(button == IDC_EXPORT ? L"export-dialog" : L"import-dialog", picker);
        ASSERT_TRUE(e2e::ChooseInFileDialog(picker, path));
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(picker); }));
    };
    ASSERT_NO_FATAL_FAILURE(choose(IDC_EXPORT, exported));
    ASSERT_TRUE(e2e::WaitForSave(exported, 0));
    EXPECT_EQ(L"2", e2e::SettingsFileText(exported, L"Tasks", L"Count"));
    EXPECT_EQ(L"notepad", e2e::SettingsFileText(exported, L"Task0", L"File"));
    // Once more to the same file: the export asks before replacing it, and the
    // file dialog asks nothing of its own.
    ASSERT_NO_FATAL_FAILURE(choose(IDC_EXPORT, exported));
    ASSERT_NO_FATAL_FAILURE(
        Answer(app->id(), settings, L"このファイルは既にあります:\n" + exported + L"\n\n置き換えますか？", IDYES));

    RECT list;
    GetWindowRect(GetDlgItem(settings, IDC_LIST), &list);
    e2e::ClickAt({list.left + 80, list.top + 40});
    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(settings, IDC_DELETE)); }));
    PressButton(settings, IDC_DELETE);
    HWND question = WaitForDialog(L"削除");
    ASSERT_NE(nullptr, question);
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings) == 1; }));
    EXPECT_TRUE(e2e::HotKeyIsFree(MOD_WIN, 'N'));

    ASSERT_NO_FATAL_FAILURE(choose(IDC_IMPORT, foreign));
    ASSERT_NO_FATAL_FAILURE(
        Answer(app->id(), settings, L"このファイルは Tessaly の設定ファイルではないか、壊れています。", IDOK));
    EXPECT_EQ(1, Rows(settings));

    ASSERT_NO_FATAL_FAILURE(choose(IDC_IMPORT, exported));
    ASSERT_NO_FATAL_FAILURE(Answer(app->id(), settings,
                                   L"2 個のタスクと画面表示の設定を読み込み、今の設定と置き換えます。よろしいですか？", IDYES));
    EXPECT_TRUE(PumpUntil([&] { return Rows(settings) == 2; }));
    EXPECT_FALSE(e2e::HotKeyIsFree(MOD_WIN, 'N'));
    CloseWithCloseBox(settings);
    std::wstring file;
    EXPECT_TRUE(PumpUntil([&] { return e2e::ReadStoreString(L"Tasks\\Task0", L"File", file) && file == L"notepad"; }))
        << file;
    EXPECT_EQ(0u, Exit());
    DeleteFileW(exported.c_str());
    DeleteFileW(foreign.c_str());
}

// The program speaks the display language, Japanese or English, unless the
// store's "Language" names one of the two; so do Pirnel's dialogs. The first
// two runs leave the pictures of every window in both languages.
TEST_F(TessalyTest, EveryWindowSpeaksTheDisplayLanguageOrTheStoredOne) {
    constexpr DWORD kNotStored = 0;
    const struct {
        const char* name;
        const wchar_t* locale;
        DWORD stored;
        const Interface& shown;
        const wchar_t* pictures;  // suffix of the screenshots, or none
    } cases[] = {
        {"English display", L"en_US.UTF-8", kNotStored, kEnglish, L"-en"},
        {"Japanese display", L"ja_JP.UTF-8", kNotStored, kJapanese, L"-ja"},
        {"English display, Japanese stored", L"en_US.UTF-8", 0x0411, kJapanese, nullptr},
        {"Japanese display, English stored", L"ja_JP.UTF-8", 0x0409, kEnglish, nullptr},
        {"Japanese display, German stored", L"ja_JP.UTF-8", 0x0407, kJapanese, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool english = &c.shown == &kEnglish;
        auto picture = [&](const wchar_t* name, HWND window, HWND alsoShown = nullptr) {
            if (c.pictures) {
                e2e::Screenshot(name + std::wstring(c.pictures), window, alsoShown);
            }
        };
        e2e::DeleteStore();
        e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'R', L"regedit", english ? L"Registry Editor" : L"レジストリ エディタ"},
                         {MOD_CONTROL | MOD_ALT, 'K', L"notepad", english ? L"Notepad" : L"メモ帳"},
                         {MOD_CONTROL | MOD_ALT, 'M', L"tessaly-missing-command", english ? L"Missing" : L"見つからない"}},
                        3);
        if (c.stored != kNotStored) {
            e2e::WriteSetting(L"Language", c.stored);
        }
        ASSERT_NO_FATAL_FAILURE(Start(L"", c.locale));

        PostCommand(main, IDM_SETTINGS);
        HWND settings = WaitForDialog(L"Tessaly");
        ASSERT_NE(nullptr, settings);
        EXPECT_EQ(c.shown.addButton, e2e::WindowText(GetDlgItem(settings, IDC_ADD)));
        EXPECT_EQ(c.shown.timeText, e2e::WindowText(GetDlgItem(settings, IDC_TIME_TEXT)));
        picture(L"settings-tasks", settings);

        PressButton(settings, IDC_ADD);
        HWND editor = WaitForDialog(c.shown.editorTitle);
        ASSERT_NE(nullptr, editor);
        SetDlgItemTextW(editor, IDC_FILE, L"cmd");
        SetDlgItemTextW(editor, IDC_NAME, english ? L"Command Prompt" : L"コマンド プロンプト");
        picture(L"task-editor", editor);
        for (const auto& pirnel : {std::make_pair(IDC_KEY, c.shown.keyCaptureTitle),
                                   std::make_pair(IDC_KEY_LIST, c.shown.keyListTitle)}) {
            PressButton(editor, pirnel.first);
            HWND keys = WaitForDialog(pirnel.second);
            ASSERT_NE(nullptr, keys);
            picture(pirnel.first == IDC_KEY ? L"key-capture" : L"key-list", keys);
            CloseWithCloseBox(keys);
        }
        // The shell's pickers carry the editor's titles and filter names.
        const struct {
            int button;
            const wchar_t* text;
            const wchar_t* name;
        } pickers[] = {{IDC_FILE_BROWSE, c.shown.browseCommand, L"browse-command"},
                       {IDC_FOLDER_BROWSE, c.shown.browseFolder, L"browse-folder"},
                       {IDC_SOUND_BROWSE, c.shown.soundFilter, L"browse-sound"}};
        for (const auto& p : pickers) {
            PressButton(editor, p.button);
            HWND picker = WaitForAnotherDialog(app->id(), {settings, editor});
            ASSERT_NE(nullptr, picker);
            EXPECT_TRUE(PumpUntil([&] { return e2e::FindChildWithText(picker, p.text) != nullptr; }, 5000))
                << e2e::WindowText(picker);
            picture(p.name, picker);
            PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
            ASSERT_TRUE(PumpUntil([&] { return !IsWindow(picker); }));
        }
        PressButton(editor, IDCANCEL);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(editor); }));

        // A click on the first row selects it for the delete button.
        RECT list;
        GetWindowRect(GetDlgItem(settings, IDC_LIST), &list);
        e2e::ClickAt({list.left + 80, list.top + 40});
        ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(settings, IDC_DELETE)); }));
        PressButton(settings, IDC_DELETE);
        HWND question = WaitForDialog(c.shown.deleteTitle);
        ASSERT_NE(nullptr, question);
        picture(L"delete-task", question);
        PostMessageW(question, WM_COMMAND, IDNO, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(question); }));
        CloseWithCloseBox(settings);

        PostCommand(main, IDM_ABOUT);
        HWND about = WaitForDialog(c.shown.aboutTitle);
        ASSERT_NE(nullptr, about);
        picture(L"about", about);
        CloseWithCloseBox(about);

        SetCursorPos(400, 300);
        PostMessageW(main, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
        HWND menu = e2e::WaitForProcessWindow(app->id(), kMenuClass);
        ASSERT_NE(nullptr, menu);
        picture(L"tray-menu", menu);
        // Its first item opens the settings; the menu's own texts are the
        // program's, which no other process can read under Wine.
        e2e::PressKeys({VK_ESCAPE});
        ASSERT_TRUE(PumpUntil([&] { return Menu() == nullptr; }));
        if (c.pictures) {
            TakeLauncherMenuPicture(app->id(), main, std::wstring(L"launcher-menu") + c.pictures);
        }

        EXPECT_EQ(0u, Exit());
        // Every save keeps the choice.
        DWORD stored = kNotStored;
        e2e::ReadStoreDword(L"Setting", L"Language", stored);
        EXPECT_EQ(c.stored, stored);
    }
}

}  // namespace
