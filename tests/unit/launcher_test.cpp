// Task rows and icons, the shell's context menu, and the launcher window,
// driven with real list views and messages.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "common/program_state.h"
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
        bool hasImage;
    } cases[] = {
        {L"notepad", L"", true},
        {L"notepad", noIcons, true},  // falls through to the program's icon
        {L"tessaly-missing-command", SystemFile(L"shell32.dll"), true},
        {L"tessaly-missing-command", SystemFile(L"shell32.dll"), true},  // its own image
        {L"tessaly-missing-command", L"", false},
        {L"tessaly-missing-command", noIcons, false},
    };
    for (const auto& c : cases) {
        Task* task = AddTask(c.file);
        lstrcpynW(task->IconPath, c.iconPath.c_str(), kTextFieldLength);
        task->IconIndex = 3;
        task->ImageIndex = 99;
    }
    BuildTaskImageList();
    ASSERT_NE(nullptr, g_taskImageList.get());
    int next = 0;
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].hasImage ? next++ : -1, g_taskList.At(i)->ImageIndex) << i;
    }
    EXPECT_EQ(next, ImageList_GetImageCount(g_taskImageList.get()));
    g_taskImageList.reset();
    DeleteFileW(noIcons.c_str());
}

TEST(TaskRows, RowsFollowTheCommandAndItsItemIDList) {
    RowHost host;
    Task* task = AddTask(L"notepad", L"メモ帳");
    task->vk = kNoKey;
    EXPECT_EQ(0, InsertTaskRow(host.window(), task, 1, 1, -1));
    EXPECT_EQ(L"メモ帳 [notepad]", host.Text(0, 0));
    EXPECT_EQ(L"なし", host.Text(0, 1));
    EXPECT_EQ(UINT(LVIS_SELECTED | LVIS_FOCUSED), host.State(0) & (LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT));
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetPathFromIDListW(task->ItemIDList.m_pidl, path));
    EXPECT_EQ(0, lstrcmpiW(SystemFile(L"notepad.exe").c_str(), path));

    // Built again with the command unchanged: the same list is kept.
    LPITEMIDLIST kept = task->ItemIDList.m_pidl;
    EXPECT_EQ(1, InsertTaskRow(host.window(), task, 0, 1, -1));
    EXPECT_EQ(kept, task->ItemIDList.m_pidl);
    // The command changed: the list follows it.
    lstrcpynW(task->File, L"regedit", kTextFieldLength);
    task->fsModifiers = MOD_CONTROL;
    task->vk = 'R';
    EXPECT_EQ(2, InsertTaskRow(host.window(), task, 0, 0, -1));
    ASSERT_TRUE(SHGetPathFromIDListW(task->ItemIDList.m_pidl, path));
    EXPECT_EQ(0, lstrcmpiW(L"regedit.exe", PathFindFileNameW(path)));
    EXPECT_NE(L"なし", host.Text(2, 1));
    EXPECT_NE(std::wstring::npos, host.Text(2, 1).find(L"R"));
    // A command that cannot be found: cut row, no list.
    lstrcpynW(task->File, L"tessaly-missing-command", kTextFieldLength);
    EXPECT_EQ(0, InsertTaskRow(host.window(), task, 0, 0, 0));
    EXPECT_EQ(UINT(LVIS_CUT), host.State(0) & (LVIS_SELECTED | LVIS_CUT));
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
    // Escape closes it; the shared image list outlives it.
    SendMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    test::PumpMessages();
    EXPECT_FALSE(IsWindow(launcher));
    EXPECT_EQ(4, ImageList_GetImageCount(g_taskImageList.get()));
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

}  // namespace
