// Task rows and icons, the shell's context menu, and the launcher window,
// driven with real list views and messages.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "common/dyn_calls.h"
#include "common/file_stamp.h"
#include "common/look.h"
#include "common/program_state.h"
#include "common/ui_libraries.h"
#include "model/command_search.h"
#include "model/task.h"
#include "resources/resource.h"
#include "tests/unit/test_support.h"
#include "windows/item_context_menu.h"
#include "windows/launcher_window.h"
#include "windows/task_rows.h"

namespace {

std::wstring SystemFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

Task* AddTask(const wchar_t* file, const wchar_t* name = L"", int showLauncher = 1) {
    auto task = test::MakeTask(0, kNoKey, name);
    lstrcpynW(task->File, file, kTextFieldLength);
    task->ShowLauncher = showLauncher;
    return g_taskList.Append(std::move(task));
}

// A window holding a task list view, as the settings dialog has.
class RowHost {
public:
    RowHost() {
        m_window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, g_instance, nullptr);
        list = CreateWindowExW(0, WC_LISTVIEWW, nullptr, WS_CHILD | LVS_REPORT, 0, 0, 400, 300, m_window,
                               reinterpret_cast<HMENU>(IDC_LIST), g_instance, nullptr);
        LVCOLUMNW column = {LVCF_WIDTH, 0, 200};
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    }
    ~RowHost() {
        DestroyWindow(m_window);
        g_taskList.Clear();
    }
    HWND window() const { return m_window; }
    std::wstring Text(int row, int column) const {
        wchar_t text[kRowTextLength] = {};
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = kRowTextLength;
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return text;
    }
    UINT State(int row) const {
        return static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), 0xFFFF));
    }
    HWND list;

private:
    HWND m_window;
};

TEST(TaskRows, RowTextTable) {
    const std::wstring full(259, L'x');
    const struct {
        std::wstring name, file, parameter;
        bool showCommand;
        std::wstring text;
    } cases[] = {
        {L"メモ帳", L"notepad", L"", true, L"メモ帳 [notepad]"},
        {L"メモ帳", L"notepad", L"", false, L"メモ帳 "},
        {L"", L"calc", L"-e", false, L"[calc -e]"},
        {L"", L"", L"", true, L"なし"},
        {L"", L"", L"-e", true, L"なし"},
        // The longest text there can be is shown whole.
        {full, full, full, true, full + L" [" + full + L" " + full + L"]"},
    };
    for (const auto& c : cases) {
        Task task;
        lstrcpynW(task.Name, c.name.c_str(), kTextFieldLength);
        lstrcpynW(task.File, c.file.c_str(), kTextFieldLength);
        lstrcpynW(task.Parameter, c.parameter.c_str(), kTextFieldLength);
        wchar_t text[kRowTextLength];
        FormatTaskRowText(task, c.showCommand, text);
        EXPECT_EQ(c.text, text);
    }
}

// The key column: the combination, then the key that must follow it.
TEST(TaskRows, KeyColumnTable) {
    const struct {
        UINT modifiers, vk, nextModifiers, next;
        const wchar_t* text;
    } cases[] = {
        {MOD_CONTROL, 'K', 0, kNoKey, L"Ctrl+K"},
        {MOD_CONTROL, 'K', 0, 'N', L"Ctrl+K, N"},
        {MOD_CONTROL | MOD_ALT, VK_F5, MOD_SHIFT, 'N', L"Ctrl+Alt+F5, Shift+N"},
        {0, kNoKey, 0, 'N', L"なし"},
    };
    RowHost host;
    for (const auto& c : cases) {
        Task* task = AddTask(L"notepad");
        task->fsModifiers = c.modifiers;
        task->vk = c.vk;
        task->NextModifiers = c.nextModifiers;
        task->NextVk = c.next;
        EXPECT_EQ(c.text, host.Text(InsertTaskRow(host.window(), task, 0, 1, -1, 1), 1));
    }
}

TEST(TaskRows, IconsComeFromTheIconFileThenTheCommandElseNone) {
    test::HotKeyOwner owner;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring noIcons = std::wstring(temp) + L"tessaly-no-icons.txt";
    HANDLE file = CreateFileW(noIcons.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    const struct {
        const wchar_t* file;
        std::wstring iconPath;
        int image;
    } cases[] = {
        {L"notepad", L"", 0},
        {L"notepad", noIcons, 1},  // falls through to the program's icon
        {L"tessaly-missing-command", SystemFile(L"shell32.dll"), 2},
        {L"regedit", SystemFile(L"shell32.dll"), 2},  // the same picture, shared
        {L"tessaly-missing-command", L"", -1},
        {L"tessaly-missing-command", noIcons, -1},
    };
    for (const auto& c : cases) {
        Task* task = AddTask(c.file);
        lstrcpynW(task->IconPath, c.iconPath.c_str(), kTextFieldLength);
        task->IconIndex = 3;
        task->ImageIndex = 99;
    }
    BuildTaskImageList(tessaly::kBaseDpi);
    ASSERT_NE(nullptr, g_taskImageList.get());
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].image, g_taskList.At(i)->ImageIndex) << i;
    }
    EXPECT_EQ(3, ImageList_GetImageCount(g_taskImageList.get()));
    g_taskImageList.reset();
    DeleteFileW(noIcons.c_str());
}

// The key column names every key a keyboard has, as the capture dialog does.
TEST(TaskRows, KeyColumnNamesEveryKey) {
    RowHost host;
    const struct {
        UINT modifiers, vk;
        const wchar_t* text;
    } cases[] = {
        {MOD_WIN | MOD_SHIFT, VK_F23, L"Shift+Win+F23"},
        {0, VK_F13, L"F13"},
        {MOD_CONTROL, VK_LAUNCH_APP1, L"Ctrl+Launch App 1"},
        {MOD_ALT, VK_VOLUME_UP, L"Alt+Volume Up"},
        {0, VK_MEDIA_PLAY_PAUSE, L"Media Play/Pause"},
    };
    for (const auto& c : cases) {
        Task* task = AddTask(L"notepad", L"メモ帳");
        task->fsModifiers = c.modifiers;
        task->vk = c.vk;
        EXPECT_EQ(c.text, host.Text(InsertTaskRow(host.window(), task, 0, 0, -1), 1));
    }
}

TEST(TaskRows, RowsFollowTheCommandAndItsItemIDList) {
    RowHost host;
    Task* task = AddTask(L"notepad", L"メモ帳");
    task->vk = kNoKey;
    EXPECT_EQ(0, InsertTaskRow(host.window(), task, 1, 1, -1));
    EXPECT_EQ(L"メモ帳 [notepad]", host.Text(0, 0));
    EXPECT_EQ(L"なし", host.Text(0, 1));
    EXPECT_EQ(UINT(LVIS_SELECTED | LVIS_FOCUSED), host.State(0) & (LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT));
    // Made for the shell's menu when it is asked for, not with the row.
    EXPECT_EQ(nullptr, task->ItemIDList.m_pidl);
    EXPECT_TRUE(RefreshItemIDList(task));
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetPathFromIDListW(task->ItemIDList.m_pidl, path));
    EXPECT_EQ(0, lstrcmpiW(SystemFile(L"notepad.exe").c_str(), path));

    // Asked again with the command unchanged: the same list is kept.
    LPITEMIDLIST kept = task->ItemIDList.m_pidl;
    EXPECT_EQ(1, InsertTaskRow(host.window(), task, 0, 1, -1));
    EXPECT_TRUE(RefreshItemIDList(task));
    EXPECT_EQ(kept, task->ItemIDList.m_pidl);
    // The command changed: the list follows it.
    lstrcpynW(task->File, L"regedit", kTextFieldLength);
    task->fsModifiers = MOD_CONTROL;
    task->vk = 'R';
    EXPECT_EQ(2, InsertTaskRow(host.window(), task, 0, 0, -1));
    EXPECT_TRUE(RefreshItemIDList(task));
    ASSERT_TRUE(SHGetPathFromIDListW(task->ItemIDList.m_pidl, path));
    EXPECT_EQ(0, lstrcmpiW(L"regedit.exe", PathFindFileNameW(path)));
    EXPECT_NE(L"なし", host.Text(2, 1));
    EXPECT_NE(std::wstring::npos, host.Text(2, 1).find(L"R"));
    // A command that cannot be found: cut row, no list.
    lstrcpynW(task->File, L"tessaly-missing-command", kTextFieldLength);
    EXPECT_EQ(0, InsertTaskRow(host.window(), task, 0, 0, 0));
    EXPECT_EQ(UINT(LVIS_CUT), host.State(0) & (LVIS_SELECTED | LVIS_CUT));
    EXPECT_FALSE(RefreshItemIDList(task));
    EXPECT_EQ(nullptr, task->ItemIDList.m_pidl);
}

TEST(TaskRows, ACommandIsSearchedOncePerListing) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"tessaly-memo.exe";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    wchar_t resolved[MAX_PATH];
    {
        CommandResolutionMemo memo;
        EXPECT_EQ(1, ResolveCommand(file.c_str(), resolved));
        DeleteFileW(file.c_str());
        {
            CommandResolutionMemo nested;
        }
        // The answer of a moment ago, though the file has gone since.
        resolved[0] = L'\0';
        EXPECT_EQ(1, ResolveCommand(file.c_str(), resolved));
        EXPECT_EQ(0, lstrcmpiW(file.c_str(), resolved));
        EXPECT_EQ(0, ResolveCommand(L"tessaly-missing-command", resolved));
    }
    EXPECT_EQ(0, ResolveCommand(file.c_str(), resolved));
}

TEST(TaskRows, FindDeleteAndMove) {
    RowHost host;
    Task* tasks[] = {AddTask(L"a"), AddTask(L"b"), AddTask(L"c")};
    for (Task* task : tasks) {
        InsertTaskRow(host.window(), task, 0, 1, -1);
    }
    EXPECT_EQ(-1, FindSelectedRow(host.list, -1));
    EXPECT_EQ(nullptr, GetSelectedTask(host.window()));
    EXPECT_EQ(nullptr, GetRowTask(host.window(), 3));

    MoveTaskDown(host.window(), tasks[1]);
    EXPECT_EQ(tasks[2], g_taskList.At(1));
    EXPECT_EQ(tasks[1], g_taskList.At(2));
    EXPECT_EQ(2, FindSelectedRow(host.list, -1));
    EXPECT_EQ(-1, FindSelectedRow(host.list, 2));
    EXPECT_EQ(tasks[1], GetSelectedTask(host.window()));
    EXPECT_EQ(tasks[1], GetRowTask(host.window(), 2));
    MoveTaskUp(host.window(), tasks[1]);
    MoveTaskUp(host.window(), tasks[1]);
    EXPECT_EQ(tasks[1], g_taskList.At(0));
    EXPECT_EQ(tasks[1], GetRowTask(host.window(), 0));
    // The first task does not move up; nothing is lost.
    MoveTaskUp(host.window(), tasks[1]);
    EXPECT_EQ(3, ListView_GetItemCount(host.list));

    EXPECT_EQ(0, DeleteTaskRow(host.window(), tasks[1]));
    EXPECT_EQ(-1, DeleteTaskRow(host.window(), tasks[1]));
    EXPECT_EQ(2, ListView_GetItemCount(host.list));
}

// A context-menu handler that offers the extended interfaces it is told to
// and records what the menu code did with it.
class FakeContextMenu : public IContextMenu3 {
public:
    explicit FakeContextMenu(int level) : m_level(level) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IContextMenu3) {
            asked3 = true;
        }
        if (iid == IID_IContextMenu2) {
            asked2 = true;
        }
        if (iid == IID_IUnknown || iid == IID_IContextMenu || (iid == IID_IContextMenu2 && m_level >= 2) ||
            (iid == IID_IContextMenu3 && m_level >= 3)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT, UINT first, UINT last, UINT flags) override {
        queryFlags = flags;
        queryRange = {first, last};
        for (UINT id = first; id < first + 5; ++id) {
            AppendMenuW(menu, MF_STRING, id, L"entry");
        }
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 5);
    }
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override {
        invoked.push_back(*info);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE HandleMenuMsg(UINT message, WPARAM, LPARAM) override {
        handled2.push_back(message);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HandleMenuMsg2(UINT message, WPARAM, LPARAM, LRESULT*) override {
        handled3.push_back(message);
        return S_OK;
    }

    bool asked2 = false, asked3 = false;
    ULONG references = 1;
    UINT queryFlags = 0;
    std::pair<UINT, UINT> queryRange;
    std::vector<CMINVOKECOMMANDINFO> invoked;
    std::vector<UINT> handled2, handled3;

private:
    int m_level;
};

FakeContextMenu* g_fakeMenu = nullptr;
UINT g_chosen = 0;
bool g_slot2Set = false, g_slot3Set = false;

// Plays the owner window's part while the menu is tracked.
BOOL FakeTrack(HMENU, UINT flags, int, int, HWND owner) {
    EXPECT_EQ(UINT(TPM_RETURNCMD | TPM_RIGHTBUTTON), flags);
    g_slot2Set = g_contextMenu2 != nullptr;
    g_slot3Set = g_contextMenu3 != nullptr;
    EXPECT_EQ(0, SendMessageW(owner, WM_INITMENUPOPUP, 0, 0));
    EXPECT_EQ(1, SendMessageW(owner, WM_DRAWITEM, 0, 0));
    return static_cast<BOOL>(g_chosen);
}

HRESULT FakeGetMenu(HWND, const CItemIDList&, IContextMenu** menu) {
    g_fakeMenu->AddRef();
    *menu = g_fakeMenu;
    return S_OK;
}

TEST(ItemContextMenu, DrivesThePreferredHandlerAndInvokesTheOffsetVerb) {
    const struct {
        int level;
        UINT chosen;
        bool slot3, slot2, asks2;
    } cases[] = {
        {3, 5, true, false, false},  // the newest interface alone
        {2, 1, false, true, true},
        {1, 0x7FFF, false, false, true},
        {3, 0, true, false, false},  // closed without a choice
    };
    const ContextMenuShell saved = g_contextMenuShell;
    g_contextMenuShell = {FakeGetMenu, FakeTrack};
    // The launcher's procedure answers the menu messages.
    HWND owner = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, g_instance, nullptr);
    SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LauncherWindowProc));
    CItemIDList list;
    list.SetPath(SystemFile(L"notepad.exe").c_str());
    for (const auto& c : cases) {
        FakeContextMenu menu(c.level);
        g_fakeMenu = &menu;
        g_chosen = c.chosen;
        ShowItemContextMenu(owner, POINT{10, 10}, list);
        SCOPED_TRACE(c.level);
        EXPECT_EQ(c.slot3, g_slot3Set);
        EXPECT_EQ(c.slot2, g_slot2Set);
        EXPECT_EQ(c.asks2, menu.asked2);
        EXPECT_EQ(nullptr, g_contextMenu2);
        EXPECT_EQ(nullptr, g_contextMenu3);
        EXPECT_EQ(1u, menu.references);  // every reference given back
        EXPECT_EQ(UINT(CMF_EXPLORE), menu.queryFlags);
        EXPECT_EQ(std::make_pair(1u, 0x7FFFu), menu.queryRange);
        EXPECT_EQ(c.level == 3 ? 2u : 0u, menu.handled3.size());
        EXPECT_EQ(c.level == 2 ? 2u : 0u, menu.handled2.size());
        ASSERT_EQ(c.chosen ? 1u : 0u, menu.invoked.size());
        if (c.chosen) {
            const CMINVOKECOMMANDINFO& info = menu.invoked[0];
            EXPECT_EQ(sizeof(CMINVOKECOMMANDINFO), info.cbSize);
            EXPECT_EQ(MAKEINTRESOURCEA(c.chosen - 1), info.lpVerb);
            EXPECT_EQ(nullptr, info.hwnd);
            EXPECT_EQ(nullptr, info.lpDirectory);
            EXPECT_EQ(0u, info.fMask);
            EXPECT_EQ(SW_SHOWNORMAL, info.nShow);
        }
    }
    g_contextMenuShell = saved;
    DestroyWindow(owner);
}

FakeContextMenu* g_innerMenu = nullptr;
IContextMenu3* g_slotAfterInner = nullptr;
BOOL TrackAndOpenAnother(HMENU, UINT, int, int, HWND owner) {
    // The shell's modal dialog of one entry lets another menu open meanwhile.
    FakeContextMenu* outer = g_fakeMenu;
    g_fakeMenu = g_innerMenu;
    g_contextMenuShell.trackPopupMenu = FakeTrack;
    CItemIDList list;
    list.SetPath(SystemFile(L"notepad.exe").c_str());
    ShowItemContextMenu(owner, POINT{0, 0}, list);
    g_fakeMenu = outer;
    g_slotAfterInner = g_contextMenu3;
    return 0;
}

TEST(ItemContextMenu, AMenuOpenedMeanwhileGivesTheSlotsBack) {
    const ContextMenuShell saved = g_contextMenuShell;
    FakeContextMenu outer(3), inner(2);
    g_fakeMenu = &outer;
    g_innerMenu = &inner;
    g_chosen = 0;
    g_contextMenuShell = {FakeGetMenu, TrackAndOpenAnother};
    HWND owner = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, g_instance, nullptr);
    SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LauncherWindowProc));
    CItemIDList list;
    list.SetPath(SystemFile(L"notepad.exe").c_str());
    ShowItemContextMenu(owner, POINT{0, 0}, list);
    EXPECT_EQ(static_cast<IContextMenu3*>(&outer), g_slotAfterInner);
    EXPECT_EQ(nullptr, g_contextMenu2);
    EXPECT_EQ(nullptr, g_contextMenu3);
    EXPECT_EQ(1u, outer.references);
    EXPECT_EQ(1u, inner.references);
    g_contextMenuShell = saved;
    DestroyWindow(owner);
}

// The shell's entry in either language the suite may run in.
std::vector<std::wstring> g_copyEntry;
BOOL ChooseCopy(HMENU menu, UINT, int, int, HWND) {
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        if (std::find(g_copyEntry.begin(), g_copyEntry.end(), text) != g_copyEntry.end()) {
            return static_cast<BOOL>(GetMenuItemID(menu, i));
        }
    }
    return 0;
}

TEST(ItemContextMenu, TheShellCarriesOutTheChosenEntry) {
    // "Copy" puts the file on the clipboard: an outcome of the shell's own
    // handler that a test can read back.
    g_copyEntry = {L"&Copy", L"コピー(&C)"};
    // The shell's clipboard is OLE's, as in the program.
    OleInitialize(nullptr);
    const ContextMenuShell saved = g_contextMenuShell;
    g_contextMenuShell.trackPopupMenu = ChooseCopy;
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    HWND owner = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, g_instance, nullptr);
    CItemIDList list;
    list.SetPath(SystemFile(L"notepad.exe").c_str());
    ShowItemContextMenu(owner, POINT{10, 10}, list);
    g_contextMenuShell = saved;
    DestroyWindow(owner);
    test::PumpMessages();
    OleFlushClipboard();
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
    OleUninitialize();
}

TEST(LauncherGeometry, CentredOnThePointAndKeptInTheWorkAreaOfItsMonitor) {
    const RECT primary = {0, 0, 1920, 1040};
    const RECT left = {-1280, 0, 0, 984};      // a monitor left of the primary
    const RECT above = {0, -1080, 1920, -40};  // and one above it, its taskbar below
    const LauncherGeometry at96 = {322, 33, 2}, at144 = {483, 49, 4};
    const struct {
        POINT point;
        int rows;
        const RECT& work;
        const LauncherGeometry& geometry;
        RECT expected;
    } cases[] = {
        {{100, 100}, 5, primary, at96, {0, 17, 322, 184}},
        {{960, 500}, 40, primary, at96, {799, 0, 1121, 1040}},
        {{960, 500}, 0, primary, at96, {799, 499, 1121, 501}},
        {{1910, 1035}, 3, primary, at96, {1598, 939, 1920, 1040}},  // pushed up above a taskbar
        {{960, 500}, 2, primary, at96, {799, 466, 1121, 534}},
        {{-5, 500}, 2, left, at96, {-322, 466, 0, 534}},
        {{-1275, 10}, 3, left, at96, {-1280, 0, -958, 101}},
        {{960, -45}, 4, above, at96, {799, -174, 1121, -40}},
        {{960, -1075}, 40, above, at96, {799, -1080, 1121, -40}},
        {{100, 100}, 5, primary, at144, {0, 0, 483, 249}},
    };
    for (const auto& c : cases) {
        RECT rect = ComputeLauncherRect(c.point, c.rows, c.geometry, c.work);
        EXPECT_TRUE(EqualRect(&c.expected, &rect))
            << c.rows << ": " << rect.left << "," << rect.top << " " << rect.right << "," << rect.bottom;
    }
}

class LauncherTest : public testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<test::MainWindowSession>();
        g_taskList.Clear();
        // Hover selection must not pick a row under a resting cursor.
        SetCursorPos(1270, 790);
    }
    void TearDown() override {
        if (IsWindow(launcher)) {
            DestroyWindow(launcher);
        }
        session.reset();
    }
    void Open(POINT point = {400, 300}) {
        ASSERT_TRUE(ShowLauncherWindow(point));
        launcher = FindWindowW(kLauncherWindowClass, nullptr);
        ASSERT_NE(nullptr, launcher);
        list = GetDlgItem(launcher, IDC_LIST);
    }
    int Focused() const { return ListView_GetNextItem(list, -1, LVNI_FOCUSED); }
    std::vector<Task*> TakeRunRequests() {
        std::vector<Task*> tasks;
        MSG message;
        while (PeekMessageW(&message, g_mainWindow, WM_RUNTASK, WM_RUNTASK, PM_REMOVE)) {
            tasks.push_back(reinterpret_cast<Task*>(message.lParam));
        }
        return tasks;
    }
    std::unique_ptr<test::MainWindowSession> session;
    HWND launcher = nullptr, list = nullptr;
};

TEST_F(LauncherTest, ListsTheLauncherTasksFittedWithoutScrollBars) {
    AddTask(L"notepad", L"メモ帳");
    AddTask(L"regedit", L"hidden", 0);
    Task* missing = AddTask(L"tessaly-missing-command", L"missing");
    Open();
    EXPECT_EQ(2, ListView_GetItemCount(list));
    EXPECT_EQ(missing, GetRowTask(launcher, 1));
    EXPECT_EQ(UINT(LVIS_CUT), ListView_GetItemState(list, 1, LVIS_CUT));
    EXPECT_EQ(launcher, GetForegroundWindow());
    EXPECT_EQ(list, GetFocus());
    RECT window, client;
    GetWindowRect(launcher, &window);
    EXPECT_EQ(322, window.right - window.left);
    EXPECT_EQ(33 * 2 + 2, window.bottom - window.top);
    GetClientRect(list, &client);
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(66, client.bottom);
    EXPECT_EQ(320, ListView_GetColumnWidth(list, 0));
    EXPECT_TRUE(GetWindowLongW(launcher, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// Opened on a monitor at 150 % (Wine gives every monitor the system's scale):
// the window, its frame, rows, icons and font at that scale; the next opening
// on a monitor at 100 % back at 100 %.
TEST_F(LauncherTest, TakesTheScaleOfTheMonitorItOpensOnEveryTime) {
    AddTask(L"notepad", L"メモ帳");
    AddTask(L"regedit", L"regedit");
    // The system's lists draw in the icons' captions' font.
    LOGFONTW caption = {};
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(caption), &caption, 0);
    const LONG font = caption.lfHeight;
    const auto systemScale = tessaly::g_lookSource.monitorDpi;
    const struct {
        UINT dpi;
        int width, icon, inset;
    } openings[] = {{144, 483, 48, 2}, {96, 322, 32, 1}};
    for (const auto& opening : openings) {
        SCOPED_TRACE(opening.dpi);
        static UINT faked;
        faked = opening.dpi;
        tessaly::g_lookSource.monitorDpi = [](HMONITOR) { return faked; };
        Open();
        tessaly::g_lookSource.monitorDpi = systemScale;
        RECT window, client, place;
        GetWindowRect(launcher, &window);
        EXPECT_EQ(opening.width, window.right - window.left);
        int width = 0, height = 0;
        ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_SMALL), &width, &height);
        EXPECT_EQ(opening.icon, width);
        if (opening.dpi != 96) {
            EXPECT_EQ(MulDiv(font, opening.dpi, 96), test::FontHeight(list));
        }
        // The rows fit without scroll bars, in a frame of the scale's width.
        RECT row = {LVIR_BOUNDS};
        ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS);
        EXPECT_GT(row.bottom - row.top, opening.icon);
        EXPECT_EQ(2 * (row.bottom - row.top) + 2 * opening.inset, window.bottom - window.top);
        GetWindowRect(list, &place);
        EXPECT_EQ(window.left + opening.inset, place.left);
        GetClientRect(list, &client);
        EXPECT_EQ(opening.width - 2 * opening.inset, client.right);
        DestroyWindow(launcher);
    }
}

TEST_F(LauncherTest, UpAndDownWrapAtBothEnds) {
    for (int i = 0; i < 4; ++i) {
        AddTask(L"notepad");
    }
    Open();
    const struct {
        WPARAM key;
        int focused;
    } steps[] = {
        {VK_DOWN, 0}, {VK_DOWN, 1}, {VK_UP, 0}, {VK_UP, 3}, {VK_DOWN, 0}, {VK_UP, 3}, {VK_UP, 2},
    };
    for (const auto& step : steps) {
        SendMessageW(list, WM_KEYDOWN, step.key, 0);
        EXPECT_EQ(step.focused, Focused());
        EXPECT_EQ(step.focused, FindSelectedRow(list, -1));
    }
    // Escape closes it; the shared image list outlives it, with the one
    // picture the four tasks share.
    SendMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    test::PumpMessages();
    EXPECT_FALSE(IsWindow(launcher));
    EXPECT_EQ(1, ImageList_GetImageCount(g_taskImageList.get()));
}

TEST_F(LauncherTest, AButtonReleasedOverARowRunsItOnce) {
    Task* first = AddTask(L"notepad", L"first");
    AddTask(L"tessaly-missing-command", L"cut");
    const struct {
        int row;
        bool runs;
    } cases[] = {{0, true}, {1, false}, {-1, false}};
    for (const auto& c : cases) {
        Open();
        RECT row = {LVIR_BOUNDS};
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(c.row < 0 ? 1 : c.row), reinterpret_cast<LPARAM>(&row));
        // Below the last row there is no row at all.
        int y = c.row < 0 ? row.bottom + 5 : (row.top + row.bottom) / 2;
        SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(40, y));
        // The list's own click notification comes on top of the subclass's.
        SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(40, y));
        std::vector<Task*> runs = TakeRunRequests();
        test::PumpMessages();
        SCOPED_TRACE(c.row);
        EXPECT_EQ(c.runs ? std::vector<Task*>{first} : std::vector<Task*>{}, runs);
        EXPECT_EQ(c.runs, !IsWindow(launcher));
        if (IsWindow(launcher)) {
            DestroyWindow(launcher);
        }
        // Gone through its clean-up: the shared image list is detached, not destroyed.
        EXPECT_EQ(1, ImageList_GetImageCount(g_taskImageList.get()));
    }
}

HWND g_renamed = nullptr;
void CALLBACK RecordNameChange(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) { g_renamed = window; }

// What is typed narrows the rows to the names that hold it, whatever the case,
// the width or the kana; the launcher keeps its top edge as it shrinks.
TEST_F(LauncherTest, TypingNarrowsTheRowsToTheNamesThatHoldTheText) {
    AddTask(L"notepad", L"Notepad");
    AddTask(L"notepad", L"メモ帳");
    AddTask(L"regedit", L"Registry Editor");
    AddTask(L"calc");  // no name: its command is what is looked in
    AddTask(L"tessaly-missing-command", L"Missing editor");
    Open();
    RECT opened;
    GetWindowRect(launcher, &opened);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                                         RecordNameChange, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    constexpr wchar_t kEscape = 0x1B, kBack = 0x08;
    const int line = 24 + 2;  // the typed text's line, and the frame
    const struct {
        const wchar_t* keys;  // typed characters; Escape as a key press
        std::vector<const wchar_t*> rows;
        int height;  // 0: as opened
    } steps[] = {
        {L"E", {L"Notepad", L"Registry Editor", L"Missing editor"}, 3 * 33 + line},
        {L"d", {L"Registry Editor", L"Missing editor"}, 2 * 33 + line},
        {L"\x08", {L"Notepad", L"Registry Editor", L"Missing editor"}, 3 * 33 + line},
        {L"\x1B", {L"Notepad", L"メモ帳", L"Registry Editor", L"calc", L"Missing editor"}, 0},
        {L"CALC", {L"calc"}, 33 + line},
        {L"\x1Bめも", {L"メモ帳"}, 33 + line},          // hiragana finds katakana
        {L"\x1B\xFF92\xFF93", {L"メモ帳"}, 33 + line},  // half-width finds full-width
        {L"x", {}, line},                                // no match: the text stays
        {L"\x08\x08\x08", {L"Notepad", L"メモ帳", L"Registry Editor", L"calc", L"Missing editor"}, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(step.keys)));
        g_renamed = nullptr;
        for (const wchar_t* key = step.keys; *key; ++key) {
            if (*key == kEscape) {
                SendMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
            } else {
                // Japanese comes from the input method.
                SendMessageW(list, *key >= 0x3000 ? WM_IME_CHAR : WM_CHAR, *key, 0);
            }
        }
        test::PumpMessages();
        ASSERT_TRUE(IsWindow(launcher));
        std::vector<std::wstring> rows;
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            Task* task = GetRowTask(launcher, row);
            rows.push_back(task->Name[0] ? task->Name : task->File);
        }
        EXPECT_EQ(std::vector<std::wstring>(step.rows.begin(), step.rows.end()), rows);
        // The first row found is the one Enter runs; with no text, none is chosen.
        EXPECT_EQ(step.height && !rows.empty() ? 0 : -1, FindSelectedRow(list, -1));
        RECT now;
        GetWindowRect(launcher, &now);
        EXPECT_EQ(opened.top, now.top);
        EXPECT_EQ(step.height ? step.height : opened.bottom - opened.top, now.bottom - now.top);
        EXPECT_EQ(list, g_renamed);
        if (step.keys[0] == L'x') {
            SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
            EXPECT_TRUE(TakeRunRequests().empty());
        }
    }
    UnhookWinEvent(hook);
    // The mouse resting over a row as the rows change: the system's report of
    // it, at the same place, leaves the first row found selected.
    SendMessageW(list, WM_CHAR, L'e', 0);
    RECT second = {LVIR_BOUNDS};
    ListView_GetItemRect(list, 1, &second, LVIR_BOUNDS);
    POINT resting = {40, (second.top + second.bottom) / 2};
    ClientToScreen(list, &resting);
    SetCursorPos(resting.x, resting.y);
    ScreenToClient(list, &resting);
    SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(resting.x, resting.y));
    test::PumpUntil([&] { return FindSelectedRow(list, -1) == 1; });
    SendMessageW(list, WM_CHAR, L'd', 0);
    SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(resting.x, resting.y));
    // Long enough for the list's hover selection, which takes a moment.
    test::PumpUntil([&] { return FindSelectedRow(list, -1) != 0; }, 1000);
    EXPECT_EQ(0, FindSelectedRow(list, -1));
    SetCursorPos(1270, 790);
    SendMessageW(list, WM_CHAR, kBack, 0);
    SendMessageW(list, WM_CHAR, kBack, 0);
    // Enter runs the row found; a new opening lists everything again.
    SendMessageW(list, WM_CHAR, kBack, 0);
    SendMessageW(list, WM_CHAR, L'r', 0);
    SendMessageW(list, WM_CHAR, L'e', 0);
    SendMessageW(list, WM_CHAR, L'g', 0);
    SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(std::vector<Task*>{g_taskList.At(2)}, TakeRunRequests());
    test::PumpMessages();
    Open();
    EXPECT_EQ(5, ListView_GetItemCount(list));
    // The first Escape with no text closes it.
    SendMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    test::PumpMessages();
    EXPECT_FALSE(IsWindow(launcher));
}

TEST_F(LauncherTest, ASecondLauncherReplacesTheFirst) {
    AddTask(L"notepad");
    AddTask(L"regedit");
    Open();
    HWND first = launcher;
    // Opened without the main window taking the foreground first.
    Open({600, 400});
    EXPECT_FALSE(IsWindow(first));
    ASSERT_NE(first, launcher);
    EXPECT_EQ(2, ListView_GetItemCount(list));
    SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(0, Focused());
}

TEST_F(LauncherTest, DeactivationClosesItOnce) {
    AddTask(L"notepad");
    Open();
    SetForegroundWindow(g_mainWindow);
    test::PumpUntil([&] { return !IsWindow(launcher); });
    EXPECT_FALSE(IsWindow(launcher));
    EXPECT_EQ(1, ImageList_GetImageCount(g_taskImageList.get()));
}

int g_menusAsked = 0;
HRESULT CountingGetMenu(HWND, const CItemIDList& list, IContextMenu**) {
    g_menusAsked += list.m_pidl ? 1 : 100;
    return E_FAIL;
}

TEST_F(LauncherTest, OnlyARowWhoseCommandIsFoundOffersTheShellsMenu) {
    AddTask(L"notepad");
    AddTask(L"tessaly-missing-command");
    Open();
    const ContextMenuShell saved = g_contextMenuShell;
    g_contextMenuShell.getContextMenu = CountingGetMenu;
    for (int row : {0, 1}) {
        g_menusAsked = 0;
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageW(launcher, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
        EXPECT_EQ(row == 0 ? 1 : 0, g_menusAsked) << row;
    }
    g_contextMenuShell = saved;
}

int g_dialogsInMenu = -1;
bool g_imagesKeptInMenu = false;
test::ModalBlocker* g_menuBlocker = nullptr;

// The menu's own loop dispatches what is posted meanwhile: here a second
// start asking for the settings.
BOOL TrackWhileTheSettingsAreAsked(HMENU, UINT, int, int, HWND owner) {
    HIMAGELIST images = g_taskImageList.get();
    PostMessageW(g_mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SETTINGS, 0), 0);
    test::PumpMessages();
    g_dialogsInMenu = g_menuBlocker->dialogs;
    // Still the launcher's, which is still there.
    HIMAGELIST shown = ListView_GetImageList(GetDlgItem(owner, IDC_LIST), LVSIL_SMALL);
    g_imagesKeptInMenu = g_taskImageList.get() == images && shown == images;
    return 0;
}

TEST_F(LauncherTest, SettingsAskedForDuringTheShellMenuOpenOnceTheLauncherHasClosed) {
    AddTask(L"notepad");
    Open();
    SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    test::ModalBlocker blocker;
    blocker.closeDialogs = true;
    g_menuBlocker = &blocker;
    FakeContextMenu menu(3);
    g_fakeMenu = &menu;
    const ContextMenuShell saved = g_contextMenuShell;
    g_contextMenuShell = {FakeGetMenu, TrackWhileTheSettingsAreAsked};
    SendMessageW(launcher, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
    g_contextMenuShell = saved;
    EXPECT_EQ(0, g_dialogsInMenu);
    EXPECT_TRUE(g_imagesKeptInMenu);
    EXPECT_TRUE(test::PumpUntil([&] { return blocker.dialogs == 1 && !IsWindow(launcher); }));
}

// What openings asked of the shell: the names searched for along the
// folders, and the files icons were taken from.
std::set<std::wstring> g_searched, g_taken;
// The files whose picture was asked of the shell.
std::set<std::wstring> g_askedShell;
int g_iconSize = 0;  // 0: the system's

DWORD WINAPI CountedSearchPath(LPCWSTR folders, LPCWSTR name, LPCWSTR extension, DWORD size, LPWSTR found,
                               LPWSTR* filePart) {
    g_searched.insert(name);
    return SearchPathW(folders, name, extension, size, found, filePart);
}

UINT WINAPI CountedExtractIconEx(LPCWSTR file, int index, HICON* large, HICON* small, UINT icons) {
    g_taken.insert(PathFindFileNameW(file));
    return ExtractIconExW(file, index, large, small, icons);
}

DWORD_PTR WINAPI CountedFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
    g_taken.insert(flags & SHGFI_PIDL ? L"(item)" : PathFindFileNameW(path));
    g_askedShell.insert(flags & SHGFI_PIDL ? L"(item)" : PathFindFileNameW(path));
    return SHGetFileInfoW(path, attributes, info, size, flags);
}

int IconMetrics(int index, UINT dpi) {
    return g_iconSize && (index == SM_CXICON || index == SM_CYICON) ? g_iconSize : tessaly::MetricFor(index, dpi);
}

// One row as the user sees it: its text, whether it is grey, its picture.
struct ShownRow {
    std::wstring text;
    bool cut;
    std::vector<DWORD> picture;
    bool operator==(const ShownRow& other) const {
        return text == other.text && cut == other.cut && picture == other.picture;
    }
};

std::vector<DWORD> Picture(HIMAGELIST images, int index) {
    int width = 0, height = 0;
    if (index < 0 || !ImageList_GetIconSize(images, &width, &height)) {
        return {};
    }
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
    GdiFlush();
    std::vector<DWORD> picture(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + width * height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

// Commands of their own in a folder put on PATH, their files, and an icon file.
class CommandFolder {
public:
    CommandFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + L"tessaly-kept";
        CreateDirectoryW(path.c_str(), nullptr);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path + L"\\*.exe").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
            DeleteFileW(File(found.cFileName).c_str());
        }
        FindClose(search);
        wchar_t saved[32767];
        m_path.assign(saved, GetEnvironmentVariableW(L"PATH", saved, 32767));
        SetEnvironmentVariableW(L"PATH", (m_path + L";" + path).c_str());
    }
    ~CommandFolder() { SetEnvironmentVariableW(L"PATH", m_path.c_str()); }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
    // A copy of a system program: notepad and winemine have pictures of their own.
    void Copy(const wchar_t* program, const std::wstring& name) const {
        EXPECT_TRUE(CopyFileW(SystemFile(program).c_str(), File(name).c_str(), FALSE)) << name;
    }
    // Changed long ago, as far as the file times tell: the files, and with
    // `folderToo` the folder's entries.
    void Settle(const std::vector<std::wstring>& names, bool folderToo = true) const {
        for (const auto& name : names) {
            test::SetWriteTime(File(name), test::LongAgo());
        }
        if (folderToo) {
            test::SetWriteTime(path, test::LongAgo());
        }
    }
    std::wstring path;

private:
    std::wstring m_path;
};

// The shell calls the launcher's openings make, counted, with an icon size of
// the test's choosing; the shell's own calls and a fresh start come back after.
class CountedShell {
public:
    CountedShell() {
        g_searchPath = CountedSearchPath;
        g_iconShell = {CountedExtractIconEx, CountedFileInfo, IconMetrics};
    }
    ~CountedShell() {
        g_iconSize = 0;
        g_searchPath = m_search;
        g_iconShell = m_icons;
        DestroyTaskImageList();
    }

private:
    decltype(g_searchPath) m_search = g_searchPath;
    IconShell m_icons = g_iconShell;
};

// The shell's picture of a file builds its lists of every type's picture at
// two sizes, which stay while the process runs: a program's picture is its
// file's first icon, taken from the file; a document's is its type's.
TEST_F(LauncherTest, AProgramsPictureComesFromItsFileAndADocumentsFromTheShell) {
    CommandFolder folder;
    folder.Copy(L"notepad.exe", L"ownpicture.exe");
    CloseHandle(CreateFileW(folder.File(L"ownpicture.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    AddTask(L"ownpicture", L"program");
    AddTask(folder.File(L"ownpicture.txt").c_str(), L"document");
    CountedShell counted;
    g_askedShell.clear();
    Open();
    EXPECT_EQ(std::set<std::wstring>{L"ownpicture.txt"}, g_askedShell);
    for (int row = 0; row < 2; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        ListView_GetItem(list, &item);
        EXPECT_GE(item.iImage, 0) << row;
    }
    DestroyWindow(launcher);
}

TEST_F(LauncherTest, AnOpeningTakesAgainOnlyWhatChangedAndShowsWhatAFreshOneWould) {
    CommandFolder folder;
    for (const wchar_t* name : {L"kepta.exe", L"keptb.exe", L"keptc.exe", L"icon.exe"}) {
        folder.Copy(L"notepad.exe", name);
    }
    // A document's picture is its type's: no stamp of its own file tells
    // when that changes, so it is taken at every opening.
    CloseHandle(CreateFileW(folder.File(L"keptdoc.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    folder.Settle({L"kepta.exe", L"keptb.exe", L"keptc.exe", L"icon.exe", L"keptdoc.txt"});
    AddTask(L"kepta", L"a");
    AddTask(L"keptb", L"b");
    AddTask(L"keptlate", L"late");
    lstrcpynW(AddTask(L"kepta", L"icon")->IconPath, folder.File(L"icon.exe").c_str(), kTextFieldLength);
    AddTask(L"keptsame", L"same");
    AddTask(folder.File(L"keptdoc.txt").c_str(), L"doc");
    CountedShell counted;
    auto openAndLook = [&] {
        std::vector<ShownRow> rows;
        Open();
        for (int row = 0, count = ListView_GetItemCount(list); row < count; ++row) {
            wchar_t text[kRowTextLength] = {};
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
            item.iItem = row;
            item.stateMask = LVIS_CUT;
            item.pszText = text;
            item.cchTextMax = kRowTextLength;
            ListView_GetItem(list, &item);
            rows.push_back({text, (item.state & LVIS_CUT) != 0, Picture(g_taskImageList.get(), item.iImage)});
        }
        DestroyWindow(launcher);
        return rows;
    };
    std::vector<ShownRow> shown = openAndLook();
    FILETIME recent = {};
    const std::set<std::wstring> everyName = {L"kepta", L"keptb", L"keptc", L"keptlate", L"keptsame"};
    const struct {
        const char* change;
        std::function<void()> make;
        std::set<std::wstring> searched, taken;
        int row;  // whose greyness and picture the change decides
        bool cut, pictureChanged;
    } steps[] = {
        {"nothing changed", [] {}, {}, {}, 0, false, false},
        {"a task added", [&] { AddTask(L"keptc", L"c"); }, {L"keptc"}, {L"keptc.exe"}, 6, false, true},
        {"a command's file deleted",
         [&] {
             DeleteFileW(folder.File(L"keptb.exe").c_str());
             folder.Settle({});
         },
         everyName, {}, 1, true, true},
        {"a file appearing on PATH",
         [&] {
             folder.Copy(L"winemine.exe", L"keptlate.exe");
             folder.Settle({L"keptlate.exe"});
         },
         everyName, {L"keptlate.exe"}, 2, false, true},
        {"an icon file rewritten",
         [&] {
             folder.Copy(L"winemine.exe", L"icon.exe");
             folder.Settle({L"icon.exe"}, false);
         },
         {}, {L"icon.exe"}, 3, false, true},
        {"the DPI changed", [] { g_iconSize = 48; }, {},
         {L"kepta.exe", L"keptc.exe", L"keptlate.exe", L"icon.exe"}, 0, false, true},
        // The folder's time alone cannot tell: the last look came within the
        // file system's time step of the folder's change.
        {"a file appearing within the folder's time step",
         [&] {
             GetSystemTimeAsFileTime(&recent);
             test::SetWriteTime(folder.path, recent);
             openAndLook();
             folder.Copy(L"notepad.exe", L"keptsame.exe");
             test::SetWriteTime(folder.File(L"keptsame.exe"), test::LongAgo());
             test::SetWriteTime(folder.path, recent);
         },
         everyName, {L"keptsame.exe"}, 4, false, true},
        {"PATH without the folder", [&] { SetEnvironmentVariableW(L"PATH", SystemFile(L"").c_str()); }, everyName,
         {}, 0, true, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change);
        step.make();
        g_searched.clear();
        g_taken.clear();
        std::vector<ShownRow> kept = openAndLook();
        EXPECT_EQ(step.searched, g_searched);
        std::set<std::wstring> taken = step.taken;
        taken.insert(L"keptdoc.txt");
        EXPECT_EQ(taken, g_taken);
        // Everything taken afresh: the user sees the same.
        DestroyTaskImageList();
        EXPECT_TRUE(kept == openAndLook());
        ASSERT_GT(kept.size(), static_cast<size_t>(step.row));
        EXPECT_EQ(step.cut, kept[step.row].cut);
        EXPECT_EQ(step.pictureChanged,
                  step.row >= static_cast<int>(shown.size()) || !(kept[step.row].picture == shown[step.row].picture));
        shown = kept;
    }
    int width = 0, height = 0;
    ImageList_GetIconSize(g_taskImageList.get(), &width, &height);
    EXPECT_EQ(48, width);
}

size_t g_preparedAtRun = 0;
BOOL WINAPI RecordRunDuringPreparation(DWORD) {
    g_preparedAtRun = PreparedTasks();
    PostQuitMessage(0);
    return TRUE;
}
HINSTANCE WINAPI ExecuteNothing(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) { return reinterpret_cast<HINSTANCE>(42); }

// The message loop's top after every message, for a while.
void RestAtTheLoopTop() {
    test::PumpUntil([] {
        ReleaseRestingLibraries();
        return false;
    }, 20 * g_restingDelayMs);
}

// A closed launcher leaves nothing of the common controls, COM or the image
// list once the program has rested, never at once; its pictures stay, and
// the next opening shows them without taking any again. An open launcher or
// a preparation under way keeps them all, and the rest starts anew after.
TEST_F(LauncherTest, AtRestTheLibrariesGoAndThePicturesStay) {
    test::ShortRest rest;
    const struct {
        const char* what;
        std::function<void(HWND launcher)> leave;
        bool released;
        bool comKept = false;
    } cases[] = {
        {"closed", [](HWND launcher) { DestroyWindow(launcher); }, true},
        {"still open", [](HWND) {}, false},
        {"closed, the preparation under way",
         [](HWND launcher) {
             DestroyWindow(launcher);
             StartLauncherPreparation();
             PrepareLauncherStep();
         },
         false},
        {"closed, busy through a rest",
         [](HWND launcher) {
             DestroyWindow(launcher);
             ReleaseRestingLibraries();
             StartLauncherPreparation();
             ReleaseRestingLibraries();
             Sleep(5 * g_restingDelayMs);
             test::PumpMessages();
             EndLauncherPreparation();
         },
         true},
        // A run may come at any press: it keeps COM, and the next pays
        // nothing to start it again.
        {"closed after a run",
         [](HWND launcher) {
             DestroyWindow(launcher);
             tessaly::PrepareShellUse(true);
         },
         true, true},
    };
    AddTask(L"notepad");
    AddTask(L"regedit");
    CountedShell counted;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        ASSERT_NE(nullptr, g_taskImageList.get());
        c.leave(launcher);
        g_taken.clear();
        ReleaseRestingLibraries();
        EXPECT_TRUE(tessaly::ShellOrListsStarted());
        EXPECT_NE(nullptr, g_taskImageList.get());
        RestAtTheLoopTop();
        EXPECT_EQ(!c.released, tessaly::ShellOrListsStarted());
        EXPECT_EQ(!c.released, g_taskImageList.get() != nullptr);
        EXPECT_EQ(!c.released, g_dynCalls.imageListCreate != nullptr);
        if (c.released) {
            EXPECT_EQ(c.comKept, g_dynCalls.coTaskMemFree != nullptr);
        }
        while (PrepareLauncherStep()) {
        }
        Open();
        EXPECT_EQ(std::set<std::wstring>{}, g_taken);
        EXPECT_EQ(2, ImageList_GetImageCount(g_taskImageList.get()));
        for (int row = 0; row < 2; ++row) {
            EXPECT_GE(GetRowTask(launcher, row)->ImageIndex, 0) << row;
        }
        DestroyWindow(launcher);
    }
    tessaly::EndShellUse();
}

// Prepared at idle, the first opening finds every command and picture kept;
// a hotkey pressed meanwhile waits for no more than the step under way.
TEST_F(LauncherTest, TheFirstOpeningAfterThePreparationSearchesAndTakesNothing) {
    CommandFolder folder;
    std::vector<std::wstring> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back(L"prepared" + std::to_wstring(i) + L".exe");
        folder.Copy(L"notepad.exe", files.back());
        AddTask(files.back().c_str(), files.back().c_str());
    }
    folder.Settle(files);
    Task* hotkey = AddTask(L"notepad", L"hotkey");
    hotkey->fsModifiers = MOD_CONTROL | MOD_ALT;
    hotkey->vk = 'R';
    CountedShell counted;
    const RunShell saved = g_runShell;
    g_runShell = {ExecuteNothing, saved.playSound, RecordRunDuringPreparation};
    StartLauncherPreparation();
    ASSERT_TRUE(PrepareLauncherStep());
    PostMessageW(g_mainWindow, WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'R'));
    RunMessageLoop();
    g_runShell = saved;
    EXPECT_EQ(1u, g_preparedAtRun);
    while (PrepareLauncherStep()) {
    }
    EXPECT_EQ(g_taskList.Count(), PreparedTasks());
    // The pictures wait as icons: the common controls and their image list
    // come with the first opening, not at rest.
    EXPECT_EQ(nullptr, g_taskImageList.get());
    EXPECT_FALSE(g_searched.empty());
    for (const auto& file : files) {
        EXPECT_EQ(1u, g_taken.count(file)) << file;
    }
    g_searched.clear();
    g_taken.clear();
    Open();
    EXPECT_EQ(std::set<std::wstring>{}, g_searched);
    EXPECT_EQ(std::set<std::wstring>{}, g_taken);
    ASSERT_EQ(7, ListView_GetItemCount(list));
    for (int row = 0; row < 7; ++row) {
        EXPECT_GE(GetRowTask(launcher, row)->ImageIndex, 0);
        EXPECT_EQ(0u, ListView_GetItemState(list, row, LVIS_CUT));
    }
    if (hotkey->NameWindow) {
        KillTimer(g_mainWindow, reinterpret_cast<UINT_PTR>(hotkey->NameWindow));
        DestroyWindow(hotkey->NameWindow);
        hotkey->NameWindow = nullptr;
    }
}

// What a message sent to the program while the shell takes a picture may do
// to the list (the settings, an exit, run inside the call): done once, at
// the next picture taken.
std::function<void()> g_whileThePictureIsTaken;
DWORD_PTR WINAPI FileInfoLettingMessagesRun(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size,
                                            UINT flags) {
    if (auto run = std::exchange(g_whileThePictureIsTaken, nullptr)) {
        run();
    }
    return CountedFileInfo(path, attributes, info, size, flags);
}
UINT WINAPI ExtractLettingMessagesRun(LPCWSTR path, int index, HICON* large, HICON* small, UINT count) {
    if (auto run = std::exchange(g_whileThePictureIsTaken, nullptr)) {
        run();
    }
    return CountedExtractIconEx(path, index, large, small, count);
}

// An idle step gives the picture it took to the task it took it for, and to
// no other: not to one made in a deleted one's place, nor to one whose
// command changed meanwhile; and it touches nothing freed.
TEST_F(LauncherTest, AStepGivesItsPictureOnlyToItsTaskAsItStillIs) {
    const struct {
        const char* what;
        std::function<void(Task* prepared)> change;
        bool pictured;
    } cases[] = {
        {"nothing changed", [](Task*) {}, true},
        {"another task deleted", [](Task*) { g_taskList.Remove(g_taskList.At(1)); }, true},
        {"its command changed", [](Task* task) { lstrcpyW(task->File, L"tessaly-missing-command"); }, false},
        {"its icon file changed", [](Task* task) { lstrcpyW(task->IconPath, L"tessaly-missing.ico"); }, false},
        {"deleted, and another made",
         [](Task* task) {
             g_taskList.Remove(task);
             AddTask(L"tessaly-missing-command", L"new");
         },
         false},
        {"every task deleted", [](Task*) { g_taskList.Clear(); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_taskList.Clear();
        CountedShell counted;
        // A launcher opened before the preparation has made the list, so a
        // step's picture has its place in it at once.
        BuildTaskImageList(tessaly::DpiAt(POINT{0, 0}));
        Task* prepared = AddTask(L"notepad", L"prepared");
        AddTask(L"regedit", L"next");
        g_iconShell.getFileInfo = FileInfoLettingMessagesRun;
        g_iconShell.extractIconEx = ExtractLettingMessagesRun;
        g_whileThePictureIsTaken = [&] { c.change(prepared); };
        StartLauncherPreparation();
        ASSERT_TRUE(PrepareLauncherStep());
        EXPECT_FALSE(g_whileThePictureIsTaken);
        const int listedAt = g_taskList.IndexOf(prepared);
        if (c.pictured) {
            ASSERT_EQ(0, listedAt);
            EXPECT_GE(prepared->ImageIndex, 0);
        }
        // Nothing else prepared yet: every other task is as it was made.
        for (const auto& task : g_taskList) {
            if (!c.pictured || task.get() != prepared) {
                EXPECT_EQ(-1, task->ImageIndex) << testing::PrintToString(std::wstring(task->Name));
            }
        }
        while (PrepareLauncherStep()) {
        }
    }
}

// The volume and attribute calls the kept answers rest on, as a removable
// drive or an unreachable share answers them: every look at a path under
// `share` is counted and fails, and the volume names `fileSystem` (none: the
// volume cannot be asked, as a drive without its medium).
class VolumeSeam {
public:
    VolumeSeam() {
        s_self = this;
        tessaly::g_fileAttributes = Attributes;
        tessaly::g_volumeInformation = Volume;
        tessaly::g_driveType = DriveType;
    }
    ~VolumeSeam() {
        tessaly::g_fileAttributes = GetFileAttributesExW;
        tessaly::g_volumeInformation = GetVolumeInformationW;
        tessaly::g_driveType = GetDriveTypeW;
        s_self = nullptr;
    }
    const wchar_t* fileSystem = nullptr;
    UINT driveType = DRIVE_FIXED;
    std::wstring share = L"\\\\nas\\";
    int shareLooks = 0;
    int volumeLooks = 0;

private:
    static BOOL WINAPI Attributes(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data) {
        if (CompareStringOrdinal(path, int(s_self->share.size()), s_self->share.c_str(), -1, TRUE) == CSTR_EQUAL) {
            ++s_self->shareLooks;
            SetLastError(ERROR_BAD_NETPATH);
            return FALSE;
        }
        return GetFileAttributesExW(path, level, data);
    }
    static BOOL WINAPI Volume(LPCWSTR, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR system, DWORD size) {
        ++s_self->volumeLooks;
        if (!s_self->fileSystem) {
            SetLastError(ERROR_NOT_READY);
            return FALSE;
        }
        lstrcpynW(system, s_self->fileSystem, int(size));
        return TRUE;
    }
    static UINT WINAPI DriveType(LPCWSTR) { return s_self->driveType; }
    static VolumeSeam* s_self;
};
VolumeSeam* VolumeSeam::s_self = nullptr;

// Whose folder times are trusted: a local volume's that writes them, never a
// share's, by its path or by a letter (whose server is not asked either).
TEST(FolderTimes, TrustedOnlyOnLocalVolumesThatWriteThem) {
    const struct {
        const wchar_t* folder;
        UINT driveType;
        const wchar_t* fileSystem;
        bool trusted;
        int volumeLooks;
    } cases[] = {
        {L"C:\\Tools", DRIVE_FIXED, L"NTFS", true, 1},
        {L"C:\\Tools", DRIVE_FIXED, L"", true, 1},
        {L"E:\\Tools", DRIVE_REMOVABLE, L"FAT32", false, 1},
        {L"E:\\Tools", DRIVE_REMOVABLE, L"exFAT", false, 1},
        {L"E:\\Tools", DRIVE_REMOVABLE, nullptr, false, 1},
        {L"E:\\Tools", DRIVE_REMOVABLE, L"NTFS", true, 1},
        {L"Z:\\Tools", DRIVE_REMOTE, L"NTFS", false, 0},
        {L"\\\\nas\\tools", DRIVE_NO_ROOT_DIR, L"NTFS", false, 0},
        {L"Tools", DRIVE_FIXED, L"NTFS", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder)) + " drive type " + std::to_string(c.driveType));
        VolumeSeam volume;
        volume.driveType = c.driveType;
        volume.fileSystem = c.fileSystem;
        EXPECT_EQ(c.trusted, tessaly::KeepsFolderTimes(c.folder));
        EXPECT_EQ(c.volumeLooks, volume.volumeLooks);
    }
}

bool RowIsCut(HWND list, int row) { return ListView_GetItemState(list, row, LVIS_CUT) != 0; }

// A stick out at the first opening, then in (FAT keeps a folder's time when a
// file goes): what the drive could not tell is not trusted, and what it tells
// is asked again at each opening.
TEST_F(LauncherTest, AVolumeThatCouldNotBeAskedIsNotTrusted) {
    CommandFolder folder;
    folder.Copy(L"notepad.exe", L"stick.exe");
    folder.Settle({L"stick.exe"}, false);
    const FILETIME folderTime = test::LongAgo();
    test::SetWriteTime(folder.path, folderTime);
    AddTask(folder.File(L"stick.exe").c_str(), L"stick");
    VolumeSeam volume;
    Open();
    EXPECT_FALSE(RowIsCut(list, 0));
    DestroyWindow(launcher);

    volume.fileSystem = L"FAT32";
    DeleteFileW(folder.File(L"stick.exe").c_str());
    test::SetWriteTime(folder.path, folderTime);
    Open();
    EXPECT_TRUE(RowIsCut(list, 0)) << "the kept answer of a volume that could not be asked";
    DestroyWindow(launcher);

    // Back on a volume that keeps folder times, unchanged: the answer is kept.
    volume.fileSystem = L"NTFS";
    folder.Copy(L"notepad.exe", L"stick.exe");
    test::SetWriteTime(folder.path, folderTime);
    Open();
    EXPECT_TRUE(RowIsCut(list, 0));
    DestroyWindow(launcher);
}

// A task once on a share, changed to a bare name, the share then offline: no
// later opening looks there again.
TEST_F(LauncherTest, AFolderNoTaskNamesAnyMoreIsNeverLookedAt) {
    VolumeSeam volume;
    Task* task = AddTask(L"\\\\nas\\tools\\app.exe", L"app");
    Open();
    EXPECT_TRUE(RowIsCut(list, 0));
    EXPECT_LT(0, volume.shareLooks);
    DestroyWindow(launcher);
    lstrcpynW(task->File, L"notepad", kTextFieldLength);
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        volume.shareLooks = 0;
        Open();
        EXPECT_FALSE(RowIsCut(list, 0));
        EXPECT_EQ(0, volume.shareLooks);
        DestroyWindow(launcher);
    }
}

// A link's picture is its scheme's own, else its handler's; a shell
// location's is its item's. One Windows cannot open is grey.
TEST_F(LauncherTest, ALinkShowsItsHandlersPictureAndIsGreyWithoutOne) {
    test::RegisteredSchemes schemes;
    CountedShell shell;
    const struct {
        const wchar_t* command;
        const wchar_t* taken;
        bool cut;
    } cases[] = {
        {L"kittessa:open/this?x=1", L"shell32.dll", false},
        {L"kitcommand:x", L"notepad.exe", false},
        {L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", L"(item)", false},
        {L"kitnone:x", nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.command)));
        g_taskList.Clear();
        AddTask(c.command, L"link");
        g_taken.clear();
        Open();
        EXPECT_EQ(c.cut, RowIsCut(list, 0));
        EXPECT_EQ(c.taken ? 1u : 0u, g_taken.size());
        EXPECT_TRUE(!c.taken || g_taken.count(c.taken)) << testing::PrintToString(g_taken);
        DestroyWindow(launcher);
    }
}

// A folder of PATH may be a link into another (some runtimes install their
// commands so): what comes or goes in its target must show.
TEST(FileStampTest, AFolderThatIsALinkChangesWithItsTarget) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring target = std::wstring(temp) + L"tessaly-link-target", link = target + L"-link";
    CreateDirectoryW(target.c_str(), nullptr);
    RemoveDirectoryW(link.c_str());
    // Wine 8's call answers TRUE and makes nothing.
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
        GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "this system makes no folder links (Wine 8's CreateSymbolicLinkW is a stub)";
    }
    test::SetWriteTime(target, test::LongAgo());
    const tessaly::FileStamp before = tessaly::TakeFileStamp(link.c_str());
    EXPECT_TRUE(tessaly::StampHolds(before, tessaly::TakeFileStamp(link.c_str())));
    const FILETIME longAgo = test::LongAgo();
    ULARGE_INTEGER later = {{longAgo.dwLowDateTime, longAgo.dwHighDateTime}};
    later.QuadPart += 10000000ull;
    test::SetWriteTime(target, {later.LowPart, later.HighPart});
    EXPECT_FALSE(tessaly::StampHolds(before, tessaly::TakeFileStamp(link.c_str())));
    RemoveDirectoryW(link.c_str());
    RemoveDirectoryW(target.c_str());
}

}  // namespace
