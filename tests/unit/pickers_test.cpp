#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "common/unique_handles.h"
#include "config/pickers.h"
#include "tests/unit/test_support.h"

namespace {

using test::RunningOnWine;

std::wstring Repeat(wchar_t c, size_t count) { return std::wstring(count, c); }

// A path of exactly `length` units: "C:\", ten-unit folders, and a last
// component that ends in `tail`.
std::wstring DeepPath(size_t length, const std::wstring& tail = L"") {
    std::wstring path = L"C:\\";
    while (path.size() + 10 + tail.size() <= length) {
        path += L"abcdefghi\\";
    }
    path.append(length - path.size() - tail.size(), L'z');
    return path + tail;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// A folder of its own under the user's temporary folder, removed with all in it.
class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + L"tessaly pickers " + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++s_count);
        EXPECT_TRUE(CreateDirectoryW(m_path.c_str(), nullptr)) << GetLastError();
    }
    ~ScratchFolder() { RemoveTree(m_path); }
    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

    std::wstring MakeFile(const std::wstring& name) const {
        const std::wstring file = *this / name;
        HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, handle) << GetLastError();
        CloseHandle(handle);
        return file;
    }
    std::wstring MakeFolder(const std::wstring& name) const {
        const std::wstring folder = *this / name;
        EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
        return folder;
    }

private:
    std::wstring m_path;
    static inline int s_count = 0;
};

// ---------------------------------------------------------------------------
// Shortcuts

struct LinkFields {
    const wchar_t* target;
    const wchar_t* arguments;
    const wchar_t* folder;
    int show;
};

// A shortcut made and saved by the shell's own link object.
void SaveShellShortcut(const std::wstring& file, const LinkFields& fields) {
    tessaly::com_ptr<IShellLinkW> link;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER,
                                              __uuidof(IShellLinkW), link.put_void()));
    link->SetPath(fields.target);
    ASSERT_HRESULT_SUCCEEDED(link->SetArguments(fields.arguments));
    ASSERT_HRESULT_SUCCEEDED(link->SetWorkingDirectory(fields.folder));
    ASSERT_HRESULT_SUCCEEDED(link->SetShowCmd(fields.show));
    tessaly::com_ptr<IPersistFile> persist;
    ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), persist.put_void()));
    ASSERT_HRESULT_SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

// What the shell itself reads back from a shortcut, to tell its departures
// from ours.
struct ShellView {
    std::wstring target;
    std::wstring foundName;
    int show = -1;
};
ShellView ReadWithShell(const std::wstring& file) {
    ShellView view;
    tessaly::com_ptr<IShellLinkW> link;
    tessaly::com_ptr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                link.put_void())) ||
        FAILED(link->QueryInterface(__uuidof(IPersistFile), persist.put_void())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ))) {
        return view;
    }
    wchar_t target[1024] = {};
    WIN32_FIND_DATAW found = {};
    link->GetPath(target, 1024, &found, SLGP_RAWPATH);
    view.target = target;
    view.foundName = found.cFileName;
    link->GetShowCmd(&view.show);
    return view;
}

// What a caller presets before the call; a plain file leaves them so.
const wchar_t kPresetParameters[] = L"preset parameters";
const wchar_t kPresetFolder[] = L"preset folder";
constexpr int kPresetShow = SW_SHOWNOACTIVATE;

struct ReadResult {
    int result = -99;
    std::wstring file, parameters, folder, name;
    size_t fileUnits = 0, parametersUnits = 0, folderUnits = 0, nameUnits = 0;
    int show = 0;
};

ReadResult Read(const wchar_t* path) {
    wchar_t file[MAX_PATH], parameters[MAX_PATH], folder[MAX_PATH], name[MAX_PATH];
    for (wchar_t* buffer : {file, parameters, folder, name}) {
        wmemset(buffer, L'#', MAX_PATH);
    }
    lstrcpyW(parameters, kPresetParameters);
    lstrcpyW(folder, kPresetFolder);
    ReadResult out;
    out.show = kPresetShow;
    out.result = ReadShortcut(path, file, parameters, folder, &out.show, name);
    out.fileUnits = wcsnlen(file, MAX_PATH);
    out.parametersUnits = wcsnlen(parameters, MAX_PATH);
    out.folderUnits = wcsnlen(folder, MAX_PATH);
    out.nameUnits = wcsnlen(name, MAX_PATH);
    out.file.assign(file, out.fileUnits);
    out.parameters.assign(parameters, out.parametersUnits);
    out.folder.assign(folder, out.folderUnits);
    out.name.assign(name, out.nameUnits);
    return out;
}

void ExpectTerminated(const ReadResult& read) {
    EXPECT_LT(read.fileUnits, size_t{MAX_PATH});
    EXPECT_LT(read.parametersUnits, size_t{MAX_PATH});
    EXPECT_LT(read.folderUnits, size_t{MAX_PATH});
    EXPECT_LT(read.nameUnits, size_t{MAX_PATH});
}

TEST(ReadShortcut, ShellMadeShortcutsGiveTargetArgumentsAndFolder) {
    ScratchFolder scratch;
    const std::wstring target = scratch.MakeFile(L"target file.txt");
    const std::wstring longArguments = L"/n " + Repeat(L'a', 250);  // 253 units: fits
    const struct {
        const wchar_t* name;
        LinkFields fields;
        std::wstring file, parameters, folder;
    } cases[] = {
        {L"Editor", {L"C:\\windows\\system32\\notepad.exe", L"/a \"b c\"", L"C:\\windows", SW_SHOWMINNOACTIVE},
         L"C:\\windows\\system32\\notepad.exe", L"/a \"b c\"", L"C:\\windows"},
        // A shortcut without arguments or folder clears the preset ones.
        {L"Bare", {target.c_str(), L"", L"", SW_SHOWNORMAL}, target, L"", L""},
        // Variables in arguments and folder are kept as written, for the
        // launch to expand.
        {L"Variables", {target.c_str(), L"%USERPROFILE%\\notes.txt", L"%TEMP%\\work", SW_SHOWMAXIMIZED},
         target, L"%USERPROFILE%\\notes.txt", L"%TEMP%\\work"},
        {L"Long arguments", {target.c_str(), longArguments.c_str(), L"C:\\", SW_SHOWNORMAL},
         target, longArguments, L"C:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "shortcut " << std::string(c.name, c.name + wcslen(c.name)));
        const std::wstring shortcut = scratch / (std::wstring(c.name) + L".lnk");
        SaveShellShortcut(shortcut, c.fields);
        const ReadResult read = Read(shortcut.c_str());
        EXPECT_EQ(1, read.result);
        EXPECT_EQ(c.file, read.file);
        EXPECT_EQ(c.parameters, read.parameters);
        EXPECT_EQ(c.folder, read.folder);
        // The shortcut's own name, never the target's; the shell hides ".lnk".
        EXPECT_EQ(c.name, read.name);
        ExpectTerminated(read);
    }
}

TEST(ReadShortcut, ShowCommandComesFromTheShortcut) {
    ScratchFolder scratch;
    const std::wstring shortcut = scratch / L"Minimized.lnk";
    SaveShellShortcut(shortcut,
                      {L"C:\\windows\\system32\\notepad.exe", L"", L"", SW_SHOWMINNOACTIVE});
    if (ReadWithShell(shortcut).show != SW_SHOWMINNOACTIVE) {
        GTEST_SKIP() << "Wine's shell link reports show command 1 after Load whatever the shortcut holds";
    }
    const ReadResult read = Read(shortcut.c_str());
    EXPECT_EQ(1, read.result);
    EXPECT_EQ(SW_SHOWMINNOACTIVE, read.show);
}

// The target stays as the shortcut stores it, so it follows the system folder
// wherever the task runs.
TEST(ReadShortcut, ShellMadeTargetKeepsItsVariables) {
    ScratchFolder scratch;
    const std::wstring shortcut = scratch / L"System editor.lnk";
    SaveShellShortcut(shortcut, {L"%SystemRoot%\\system32\\notepad.exe", L"", L"", SW_SHOWNORMAL});
    if (ReadWithShell(shortcut).target != L"%SystemRoot%\\system32\\notepad.exe") {
        GTEST_SKIP() << "Wine's SetPath resolves \"%SystemRoot%\\...\" against the current folder instead of "
                        "keeping it as written (ADroppedShortcutToATargetWithVariablesRuns reads a stored one)";
    }
    const ReadResult read = Read(shortcut.c_str());
    EXPECT_EQ(1, read.result);
    EXPECT_EQ(L"%SystemRoot%\\system32\\notepad.exe", read.file);
}

TEST(ReadShortcut, NonShortcutsGiveTheirPathAndNameOnly) {
    ScratchFolder scratch;
    const std::wstring file = scratch.MakeFile(L"plain file.txt");
    const std::wstring folder = scratch.MakeFolder(L"plain folder");
    const std::wstring missing = scratch / L"missing.lnk";
    for (const std::wstring& path : {file, folder, missing}) {
        SCOPED_TRACE(testing::Message() << std::string(path.begin(), path.end()));
        SHFILEINFOW info = {};
        SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME);
        const ReadResult read = Read(path.c_str());
        EXPECT_EQ(0, read.result);
        EXPECT_EQ(path, read.file);
        EXPECT_EQ(info.szDisplayName, read.name);
        EXPECT_NE(path, read.name);
        EXPECT_EQ(kPresetParameters, read.parameters);
        EXPECT_EQ(kPresetFolder, read.folder);
        EXPECT_EQ(kPresetShow, read.show);
        ExpectTerminated(read);
    }
}

// An Internet Shortcut is its address, named by its file; without an address
// that fits a field it is the file itself, as before.
TEST(ReadShortcut, InternetShortcutsGiveTheirAddress) {
    ScratchFolder scratch;
    const std::string longUrl = "https://example.org/" + std::string(260, 'a');
    const struct {
        const wchar_t* file;
        std::string text;
        const wchar_t* address;  // null: the file itself
    } cases[] = {
        {L"Example site.url", "[InternetShortcut]\r\nURL=https://example.org/a?b=1&c=%20\r\n", L"https://example.org/a?b=1&c=%20"},
        {L"Display.URL", "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,0\r\n[internetshortcut]\r\nIDList=\r\n"
                         "url=ms-settings:display\r\nIconIndex=0\r\n", L"ms-settings:display"},
        {L"No address.url", "[InternetShortcut]\r\nIconIndex=0\r\n", nullptr},
        {L"Elsewhere.url", "[Other]\r\nURL=https://example.org\r\n", nullptr},
        {L"Too long.url", "[InternetShortcut]\r\nURL=" + longUrl + "\r\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.file, c.file + wcslen(c.file)));
        const std::wstring path = scratch / c.file;
        test::WriteTextFile(path, c.text);
        const ReadResult read = Read(path.c_str());
        if (c.address) {
            EXPECT_EQ(kInternetShortcut, read.result);
            EXPECT_EQ(c.address, read.file);
            EXPECT_EQ(std::wstring(c.file).substr(0, wcslen(c.file) - 4), read.name);
            EXPECT_EQ(kPresetParameters, read.parameters);
            EXPECT_EQ(kPresetFolder, read.folder);
            EXPECT_EQ(kPresetShow, read.show);
        } else {
            EXPECT_NE(kInternetShortcut, read.result);
            EXPECT_EQ(path, read.file);
        }
        ExpectTerminated(read);
    }
}

// A path the task's field cannot hold is not cut into another path: the file
// comes back empty and the caller skips it.
TEST(ReadShortcut, PathsTooLongOrEmptyGiveNoFile) {
    const std::wstring longest = DeepPath(MAX_PATH - 1, L"x.lnk");
    const std::wstring tooLong = DeepPath(MAX_PATH, L"x.lnk");
    const std::wstring farTooLong = DeepPath(400, L"x.lnk");
    for (const std::wstring& path : {tooLong, farTooLong, std::wstring()}) {
        SCOPED_TRACE(path.size());
        const ReadResult read = Read(path.c_str());
        EXPECT_EQ(0, read.result);
        EXPECT_EQ(L"", read.file);
        EXPECT_EQ(L"", read.name);
        EXPECT_EQ(kPresetParameters, read.parameters);
        EXPECT_EQ(kPresetFolder, read.folder);
        EXPECT_EQ(kPresetShow, read.show);
    }
    const ReadResult read = Read(longest.c_str());
    EXPECT_EQ(0, read.result);
    EXPECT_EQ(longest, read.file);
    ExpectTerminated(read);
}

// ---------------------------------------------------------------------------
// Folder dialog

TEST(CFolderDialog, ConstructorDropsOneTrailingBackslash) {
    const std::wstring longest = DeepPath(MAX_PATH - 1);
    const std::wstring longestWithSlash = DeepPath(MAX_PATH - 2) + L"\\";
    const std::wstring longestPlusSlash = longest + L"\\";
    const std::wstring tooLong = DeepPath(MAX_PATH);
    const struct {
        const wchar_t* initial;
        std::wstring path;
    } cases[] = {
        {nullptr, L""},
        {L"", L""},
        {L"\\", L""},
        {L"C:\\", L"C:"},
        {L"C:\\Tools", L"C:\\Tools"},
        {L"C:\\Tools\\", L"C:\\Tools"},
        {L"C:\\Tools\\\\", L"C:\\Tools\\"},
        {L"C:\\Tools\\tool.exe", L"C:\\Tools\\tool.exe"},
        {L"\\\\server\\share\\", L"\\\\server\\share"},
        {longest.c_str(), longest},
        {longestWithSlash.c_str(), longestWithSlash.substr(0, MAX_PATH - 2)},
        // One unit too long, but the dropped backslash makes it fit.
        {longestPlusSlash.c_str(), longest},
        {tooLong.c_str(), L""},
    };
    HWND owner = reinterpret_cast<HWND>(0x1234);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.initial ? std::string(c.initial, c.initial + wcslen(c.initial)) : "(none)");
        const wchar_t title[] = L"Choose";
        CFolderDialog dialog(title, c.initial, BIF_RETURNONLYFSDIRS, owner);
        EXPECT_EQ(c.path, dialog.m_path);
        EXPECT_EQ(L'\0', dialog.m_path[MAX_PATH - 1]);
        EXPECT_EQ(L"", std::wstring(dialog.m_displayName));
        EXPECT_EQ(owner, dialog.m_bi.hwndOwner);
        EXPECT_EQ(nullptr, dialog.m_bi.pidlRoot);
        EXPECT_EQ(dialog.m_displayName, dialog.m_bi.pszDisplayName);
        EXPECT_EQ(title, dialog.m_bi.lpszTitle);
        EXPECT_EQ(UINT{BIF_RETURNONLYFSDIRS}, dialog.m_bi.ulFlags);
        EXPECT_NE(nullptr, dialog.m_bi.lpfn);
        EXPECT_EQ(reinterpret_cast<LPARAM>(&dialog), dialog.m_bi.lParam);
        EXPECT_EQ(0, dialog.m_bi.iImage);
    }
}

// Drives the dialog this thread opens: reads the selection of its tree (the
// browse dialog's), optionally selects another item, and presses a button.
// Runs from a thread timer, which the dialog's own message loop dispatches,
// and watches what is sent to the dialog's windows.
class DialogDriver {
public:
    DialogDriver(WORD button, PCIDLIST_ABSOLUTE select = nullptr) : m_button(button), m_select(select) {
        s_active = this;
        m_hook = SetWindowsHookExW(WH_CALLWNDPROC, Sent, nullptr, GetCurrentThreadId());
        EXPECT_NE(nullptr, m_hook);
        m_timer = SetTimer(nullptr, 0, 50, Tick);
    }
    ~DialogDriver() {
        KillTimer(nullptr, m_timer);
        UnhookWindowsHookEx(m_hook);
        s_active = nullptr;
    }
    bool sawDialog = false;
    bool lingered = false;
    std::wstring selection;
    // The first BFFM_SETSELECTIONW by path, and how many were sent in all.
    std::wstring selectedPath;
    int selectionsSent = 0;
    // The path was sent, yet the tree showed no item: the dialog was
    // cancelled instead of pressing the button.
    bool selectionIgnored = false;

private:
    WORD m_button;
    PCIDLIST_ABSOLUTE m_select;
    HHOOK m_hook = nullptr;
    UINT_PTR m_timer = 0;
    HWND m_dialog = nullptr;
    static inline DialogDriver* s_active = nullptr;
    static constexpr wchar_t kNothingSelected[] = L"(nothing selected)";

    static LRESULT CALLBACK Sent(int code, WPARAM wParam, LPARAM lParam) {
        auto message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && s_active && message->message == BFFM_SETSELECTIONW) {
            if (++s_active->selectionsSent == 1 && message->wParam) {
                s_active->selectedPath = reinterpret_cast<const wchar_t*>(message->lParam);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static HWND FindDialog() {
        HWND result = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM data) -> BOOL {
                wchar_t className[32] = {};
                GetClassNameW(window, className, 32);
                if (lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window)) {
                    *reinterpret_cast<HWND*>(data) = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&result));
        return result;
    }

    static std::wstring SelectedText(HWND dialog) {
        HWND tree = nullptr;
        EnumChildWindows(
            dialog,
            [](HWND window, LPARAM data) -> BOOL {
                wchar_t className[32] = {};
                GetClassNameW(window, className, 32);
                if (lstrcmpW(className, WC_TREEVIEWW) == 0) {
                    *reinterpret_cast<HWND*>(data) = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&tree));
        if (!tree) {
            return L"(no tree)";
        }
        auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        if (!item) {
            return kNothingSelected;
        }
        wchar_t text[MAX_PATH] = {};
        TVITEMW query = {};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = MAX_PATH;
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
        return text;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DialogDriver* self = s_active;
        if (!self) {
            return;
        }
        HWND dialog = FindDialog();
        if (!dialog) {
            return;
        }
        if (self->m_dialog) {
            // Still open after its button: close it so the test fails
            // instead of hanging.
            self->lingered = true;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        self->sawDialog = true;
        self->m_dialog = dialog;
        self->selection = SelectedText(dialog);
        if (self->selection == kNothingSelected && !self->selectedPath.empty() && !self->m_select) {
            self->selectionIgnored = true;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        if (self->m_select) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(self->m_select));
        }
        PostMessageW(dialog, WM_COMMAND, self->m_button, 0);
    }
};

constexpr char kSelectionIgnored[] =
    "Wine's browse dialog now and then (about one opening in 200 here) leaves its tree without any "
    "selection after BFFM_SETSELECTIONW with an existing path";

TEST(CFolderDialog, OpensOnTheGivenItemAndReturnsTheChosenPath) {
    ScratchFolder scratch;
    const std::wstring folder = scratch.MakeFolder(L"Chosen folder");
    const std::wstring file = scratch.MakeFile(L"chosen file.txt");
    SHFILEINFOW fileInfo = {};
    SHGetFileInfoW(file.c_str(), 0, &fileInfo, sizeof(fileInfo), SHGFI_DISPLAYNAME);
    const struct {
        std::wstring initial;
        UINT flags;
        std::wstring path, treeText;
    } cases[] = {
        {folder + L"\\", BIF_RETURNONLYFSDIRS, folder, L"Chosen folder"},
        {folder, BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE, folder, L"Chosen folder"},
        {file, BIF_BROWSEINCLUDEFILES, file, fileInfo.szDisplayName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.initial.begin(), c.initial.end()) << " flags "
                                        << c.flags);
        CFolderDialog dialog(L"Choose a folder", c.initial.c_str(), c.flags, nullptr);
        DialogDriver driver(IDOK);
        const int result = dialog.DoModal();
        EXPECT_TRUE(driver.sawDialog);
        EXPECT_FALSE(driver.lingered);
        // Asked once, by the path without its backslash, to select the item;
        // it was selected when the dialog showed.
        EXPECT_EQ(1, driver.selectionsSent);
        EXPECT_EQ(c.path, driver.selectedPath);
        if (driver.selectionIgnored) {
            GTEST_SKIP() << kSelectionIgnored;
        }
        EXPECT_EQ(c.treeText, driver.selection);
        EXPECT_EQ(1, result);
        EXPECT_EQ(c.path, dialog.m_path);
    }
}

TEST(CFolderDialog, CancelKeepsTheInitialPath) {
    ScratchFolder scratch;
    const std::wstring folder = scratch.MakeFolder(L"Kept folder");
    CFolderDialog dialog(L"Choose a folder", (folder + L"\\").c_str(), BIF_RETURNONLYFSDIRS, nullptr);
    DialogDriver driver(IDCANCEL);
    EXPECT_EQ(2, dialog.DoModal());
    EXPECT_TRUE(driver.sawDialog);
    EXPECT_EQ(folder, dialog.m_path);
    EXPECT_EQ(folder, driver.selectedPath);
    if (driver.selectionIgnored) {
        GTEST_SKIP() << kSelectionIgnored;
    }
    EXPECT_EQ(L"Kept folder", driver.selection);
}

TEST(CFolderDialog, ItemWithoutPathGivesMinusOneAndKeepsTheInitialPath) {
    ScratchFolder scratch;
    const std::wstring folder = scratch.MakeFolder(L"Before");
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_HRESULT_SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    tessaly::unique_cotaskmem owner(computer);
    CFolderDialog dialog(L"Choose a folder", folder.c_str(), 0, nullptr);
    DialogDriver driver(IDOK, computer);
    EXPECT_EQ(-1, dialog.DoModal());
    EXPECT_TRUE(driver.sawDialog);
    EXPECT_FALSE(driver.lingered);
    EXPECT_EQ(folder, driver.selectedPath);
    EXPECT_EQ(2, driver.selectionsSent);  // the path, then the computer
    EXPECT_EQ(folder, dialog.m_path);
}

// ---------------------------------------------------------------------------
// Icon picker

TEST(CPickIconDialog, TheShellsPickerAnswers) {
    ASSERT_NE(nullptr, GetProcAddress(GetModuleHandleW(L"shell32.dll"), MAKEINTRESOURCEA(62)));
    const struct {
        WORD button;
        int result;
    } cases[] = {
        {IDCANCEL, 2},
        {IDOK, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        CPickIconDialog dialog(L"C:\\windows\\system32\\shell32.dll", 3, nullptr);
        DialogDriver driver(c.button);
        const int result = dialog.DoModal();
        // 0 would mean no picker: the entry point is there.
        EXPECT_NE(0, result);
        if (RunningOnWine()) {
            GTEST_SKIP() << "Wine's icon picker (shell32 ordinal 62) is a stub that returns -1 at once and "
                            "shows nothing, so accepting and cancelling cannot be told apart";
        }
        EXPECT_TRUE(driver.sawDialog);
        EXPECT_EQ(c.result, result);
        // Nothing was changed in the picker: it answers with the icon it
        // was opened on.
        EXPECT_NE(L'\0', dialog.m_path[0]);
        EXPECT_EQ(3, dialog.m_index);
    }
}

}  // namespace
