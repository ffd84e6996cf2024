#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <propsys.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/desktop_shell.h"
#include "app/running_program.h"
#include "common/program_state.h"
#include "config/pickers.h"
#include "model/command_search.h"
#include "model/display_settings.h"
#include "model/task.h"
#include "resources/resource.h"
#include "tests/unit/test_support.h"
#include "windows/name_window.h"

namespace {

std::wstring SystemFile(const wchar_t* name) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

// A scratch folder made current for the test and another put first on PATH,
// with PATH and PATHEXT restored after.
class ResolveTest : public testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"tessaly-resolve";
        onPath = std::wstring(temp) + L"tessaly-on-path";
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW(onPath.c_str(), nullptr);
        SetCurrentDirectoryW(folder.c_str());
        hadPathExt = GetEnvironmentVariableW(L"PATHEXT", previousPathExt, 1024) != 0;
        GetEnvironmentVariableW(L"PATH", previousPath, 8192);
        SetEnvironmentVariableW(L"PATH", (onPath + L";" + previousPath).c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(previousDirectory);
        SetEnvironmentVariableW(L"PATHEXT", hadPathExt ? previousPathExt : nullptr);
        SetEnvironmentVariableW(L"PATH", previousPath);
    }
    std::wstring MakeFile(const std::wstring& name, bool inCurrentFolder = false) {
        std::wstring path = (inCurrentFolder ? folder : onPath) + L"\\" + name;
        CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return path;
    }
    std::wstring folder, onPath;
    wchar_t previousDirectory[MAX_PATH];
    wchar_t previousPathExt[1024];
    wchar_t previousPath[8192];
    bool hadPathExt = false;
};

TEST_F(ResolveTest, SystemProgramsThroughTheExtensionList) {
    SetEnvironmentVariableW(L"PATHEXT", nullptr);
    const struct {
        const wchar_t* command;
        std::wstring expected;
    } cases[] = {
        {L"notepad", SystemFile(L"notepad.exe")},
        {L"NOTEPAD", SystemFile(L"notepad.exe")},
        {L"notepad.exe", SystemFile(L"notepad.exe")},
        {L"cmd", SystemFile(L"cmd.exe")},
    };
    for (const auto& c : cases) {
        wchar_t resolved[MAX_PATH] = {};
        EXPECT_EQ(1, ResolveCommand(c.command, resolved)) << testing::PrintToString(std::wstring(c.command));
        EXPECT_TRUE(SamePath(c.expected, resolved)) << testing::PrintToString(std::wstring(resolved));
    }
}

TEST_F(ResolveTest, MissingFilesAndDrivesFail) {
    DWORD drives = GetLogicalDrives();
    wchar_t missingDrive = L'\0';
    for (int i = 25; i >= 3 && !missingDrive; --i) {
        if (!(drives & (1u << i))) {
            missingDrive = static_cast<wchar_t>(L'A' + i);
        }
    }
    ASSERT_NE(L'\0', missingDrive);
    const std::wstring onMissingDrive = std::wstring(1, missingDrive) + L":\\tools\\app.exe";
    const std::wstring lowerCaseDrive = std::wstring(1, static_cast<wchar_t>(missingDrive + 32)) + L":\\app.exe";
    const std::wstring cases[] = {
        L"C:\\no-such-folder\\deleted document.txt",
        L"deleted document.txt",
        onMissingDrive,
        lowerCaseDrive,
        L"no-such-program-anywhere",
    };
    for (const auto& command : cases) {
        wchar_t resolved[MAX_PATH] = {};
        EXPECT_EQ(0, ResolveCommand(command.c_str(), resolved)) << testing::PrintToString(command);
    }
}

TEST_F(ResolveTest, PathExtElementsAndSeparators) {
    std::wstring probeTxt = MakeFile(L"probe.txt");
    std::wstring bare = MakeFile(L"bare");
    CreateDirectoryW((onPath + L"\\somefolder").c_str(), nullptr);
    const std::wstring longElement = L"." + std::wstring(300, L'X');
    const struct {
        const char* what;
        const wchar_t* command;
        std::wstring pathExt;  // empty: unset
        std::wstring expected;  // empty: not resolved
    } cases[] = {
        {"found with the one extension", L"probe", L".TXT", probeTxt},
        {"leading separators skipped", L"probe", L";; \t.TXT", probeTxt},
        {"later element", L"probe", L".COM;.EXE;.TXT", probeTxt},
        {"not in the list", L"probe", L".COM;.EXE", L""},
        {"space inside an element is part of it", L"probe", L".EXE .TXT", L""},
        {"default list has no .TXT", L"probe", L"", L""},
        {"trailing empty element searches the bare name", L"bare", L".XYZ;", bare},
        {"trailing separators too", L"bare", L".XYZ; ", bare},
        {"no empty element, no bare name", L"bare", L".XYZ", L""},
        {"default list never searches the bare name", L"bare", L"", L""},
        {"a folder without a dot is not resolved", L"somefolder", L"", L""},
        {"an overlong element is skipped, not cut", L"probe", longElement + L";.TXT", probeTxt},
        {"extension given: searched once as it is", L"probe.txt", L".EXE", probeTxt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetEnvironmentVariableW(L"PATHEXT", c.pathExt.empty() ? nullptr : c.pathExt.c_str());
        wchar_t resolved[MAX_PATH] = {};
        EXPECT_EQ(c.expected.empty() ? 0 : 1, ResolveCommand(c.command, resolved));
        if (!c.expected.empty()) {
            EXPECT_TRUE(SamePath(c.expected, resolved)) << testing::PrintToString(std::wstring(resolved));
        }
    }
}

TEST_F(ResolveTest, FoundPathThatDoesNotFitIsNotFound) {
    // A folder on PATH whose files' full paths pass 259 units.
    std::wstring deep = L"\\\\?\\" + folder;
    while (deep.size() < 270) {
        deep += L"\\" + std::wstring(40, L'd');
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    std::wstring file = deep + L"\\tessalylongprobe.txt";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    CloseHandle(handle);
    std::wstring path = deep.substr(4) + L";" + previousPath;
    SetEnvironmentVariableW(L"PATH", path.c_str());

    wchar_t resolved[MAX_PATH + 8];
    resolved[MAX_PATH] = L'#';
    EXPECT_EQ(0, ResolveCommand(L"tessalylongprobe.txt", resolved));
    SetEnvironmentVariableW(L"PATHEXT", L".TXT");
    EXPECT_EQ(0, ResolveCommand(L"tessalylongprobe", resolved));
    EXPECT_EQ(L'#', resolved[MAX_PATH]);
}

TEST_F(ResolveTest, TheCurrentFolderIsNeverSearched) {
    SetEnvironmentVariableW(L"PATHEXT", nullptr);
    // Empty and relative entries of PATH would name the current folder again.
    SetEnvironmentVariableW(L"PATH", (L".;;" + onPath + L";.\\;" + previousPath).c_str());
    // Only a command taken as written, variables unexpanded, reaches these.
    CreateDirectoryW((folder + L"\\%SystemRoot%").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\%SystemRoot%\\system32").c_str(), nullptr);
    SetEnvironmentVariableW(L"TESSALY_LONG", std::wstring(300, L'l').c_str());
    const std::wstring planted[] = {MakeFile(L"notepad.com", true), MakeFile(L"notepad.exe", true),
                                    MakeFile(L"tessaly-here.exe", true),
                                    MakeFile(L"%SystemRoot%\\system32\\notepad.exe", true)};
    const std::wstring there = MakeFile(L"tessaly-there.exe");
    const struct {
        const wchar_t* command;
        std::wstring expected;  // empty: not resolved
    } cases[] = {
        {L"notepad", SystemFile(L"notepad.exe")},
        {L"notepad.exe", SystemFile(L"notepad.exe")},
        {L"notepad.com", L""},
        {L"tessaly-here", L""},
        {L"tessaly-there", there},
        {L".\\notepad", planted[0]},  // a folder written out is the user's choice
        {L"%SystemRoot%\\system32\\notepad.exe", SystemFile(L"notepad.exe")},
        {L"%TESSALY_LONG%\\notepad.exe", L""},  // too long once expanded: never cut
    };
    for (const auto& c : cases) {
        wchar_t resolved[MAX_PATH] = {};
        int found = ResolveCommand(c.command, resolved);
        EXPECT_EQ(c.expected.empty() ? 0 : 1, found) << testing::PrintToString(std::wstring(c.command));
        EXPECT_TRUE(!found || SamePath(c.expected, resolved)) << testing::PrintToString(std::wstring(resolved));
    }
    for (const auto& file : planted) {
        DeleteFileW(file.c_str());
    }
}

// A link is its own answer when Windows has something to open it with, and
// is never looked for as a file; anything else is a path or a bare name.
TEST_F(ResolveTest, ALinkIsItsOwnAnswerWhenWindowsCanOpenIt) {
    test::RegisteredSchemes schemes;
    SetEnvironmentVariableW(L"TESSALY_LINK", L"kittessa:from/a/variable");
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const struct {
        std::wstring command;
        CommandLink kind;
        std::wstring expected;
    } cases[] = {
        {L"notepad", kNotALink, SystemFile(L"notepad.exe")},
        {L"kittessa:open/this?x=1", kSchemeLink, L"kittessa:open/this?x=1"},
        {L"KitTessa:x", kSchemeLink, L"KitTessa:x"},
        {L"kitcommand:x", kSchemeLink, L"kitcommand:x"},  // a command but no "URL Protocol": the shell opens it
        {L"%TESSALY_LINK%", kNotALink, L"kittessa:from/a/variable"},
        {L"kitnone:x", kSchemeLink, L""},  // no handler: not looked for as a file either
        {L"kit_none:x", kNotALink, L""},
        {L"1kit:x", kNotALink, L""},
        {L"a+b.c-d:x", kSchemeLink, L""},
        {std::wstring(system) + L"\\notepad.exe", kNotALink, SystemFile(L"notepad.exe")},  // one letter: a drive
        {L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", kShellLocation, L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"},
        {L"Shell:::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", kShellLocation,
         L"Shell:::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.kind, LinkKind(c.command.c_str())) << testing::PrintToString(c.command);
        wchar_t resolved[MAX_PATH] = {};
        int found = ResolveCommand(c.command.c_str(), resolved);
        EXPECT_EQ(c.expected.empty() ? 0 : 1, found) << testing::PrintToString(c.command);
        EXPECT_TRUE(!found || SamePath(c.expected, resolved)) << testing::PrintToString(std::wstring(resolved));
    }
}

TEST_F(ResolveTest, AShellLocationTheShellCannotParseIsNotFound) {
    PIDLIST_ABSOLUTE list = nullptr;
    if (SUCCEEDED(SHParseDisplayName(L"shell:TessalyNoSuchPlace", nullptr, &list, 0, nullptr))) {
        CoTaskMemFree(list);
        GTEST_SKIP() << "Wine's shell parses a shell: name of no known folder, where Windows' fails";
    }
    wchar_t resolved[MAX_PATH];
    EXPECT_EQ(0, ResolveCommand(L"shell:TessalyNoSuchPlace", resolved));
}

// What a run asked of the shell.
struct ShellCall {
    std::wstring verb, file, parameters, directory;
    int show;
    // Whether any process had been let take the foreground first.
    bool handedOn;
};
std::vector<ShellCall> g_shellCalls;
std::vector<std::wstring> g_sounds;
bool g_handedOn = false;

HINSTANCE WINAPI RecordExecute(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT show) {
    g_shellCalls.push_back({verb ? verb : L"(none)", file, parameters ? parameters : L"(null)",
                            directory ? directory : L"(null)", show, g_handedOn});
    return reinterpret_cast<HINSTANCE>(33);
}

BOOL WINAPI RecordHandOn(DWORD process) {
    g_handedOn = process == ASFW_ANY;
    return TRUE;
}

// The desktop's shell as an elevated run would find it.
bool g_elevated = false;
bool g_desktopAnswers = true;
bool SeemsElevated() { return g_elevated; }
bool RecordDesktopExecute(const wchar_t* file, const wchar_t* parameters, const wchar_t* directory, int show) {
    if (g_desktopAnswers) {
        g_shellCalls.push_back({L"(desktop)", file, parameters, directory, show, g_handedOn});
    }
    return g_desktopAnswers;
}

BOOL WINAPI RecordSound(LPCWSTR sound, HMODULE, DWORD flags) {
    EXPECT_EQ(static_cast<DWORD>(0x20003), flags);
    g_sounds.push_back(sound);
    return TRUE;
}

// A shortcut to `target` as written, as Windows' own keep theirs: in its
// expandable-string block, which Windows reads, and as the path of its link
// information, which Wine reads (Wine's link object ignores the block, and
// resolves a target given to SetPath against the current folder).
void SaveRawTargetShortcut(const std::wstring& file, const char* target) {
    EXP_SZ_LINK block = {sizeof(block), EXP_SZ_LINK_SIG};
    lstrcpynA(block.szTarget, target, MAX_PATH);
    MultiByteToWideChar(CP_ACP, 0, target, -1, block.swzTarget, MAX_PATH);
    std::string bytes;
    auto put = [&bytes](const void* data, size_t size) { bytes.append(static_cast<const char*>(data), size); };
    const DWORD start = 0x4C, flags = SLDF_HAS_LINK_INFO | SLDF_UNICODE | SLDF_HAS_EXP_SZ, end = 0;
    put(&start, 4);
    put(&CLSID_ShellLink, sizeof(CLSID));
    put(&flags, 4);
    bytes.resize(start);
    // The link information: a fixed volume without a label, the path, no suffix.
    const DWORD path = 0x1C + 0x11, size = path + lstrlenA(target) + 2;
    const DWORD fields[] = {size, 0x1C, 1, 0x1C, path, 0, size - 1, 0x11, DRIVE_FIXED, 0, 0x10};
    put(fields, sizeof(fields));
    put("", 1);
    put(target, lstrlenA(target) + 1);
    put("", 1);
    put(&block, sizeof(block));
    put(&end, 4);
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(handle);
}

class RunTaskTest : public testing::Test {
protected:
    void SetUp() override {
        g_shellCalls.clear();
        g_sounds.clear();
        saved = g_runShell;
        savedUser = g_userShell;
        g_runShell = {RecordExecute, RecordSound, RecordHandOn};
        g_userShell = {SeemsElevated, RecordDesktopExecute};
        g_handedOn = g_elevated = false;
        g_desktopAnswers = true;
        g_taskList.Clear();
        task = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'R', L"Run me"));
        lstrcpyW(task->File, L"notepad");
    }
    void TearDown() override {
        g_runShell = saved;
        g_userShell = savedUser;
        for (const auto& t : g_taskList) {
            if (t->NameWindow) {
                KillTimer(session.window(), reinterpret_cast<UINT_PTR>(t->NameWindow));
                DestroyWindow(t->NameWindow);
                t->NameWindow = nullptr;
            }
        }
    }
    void Run() { SendMessageW(session.window(), WM_RUNTASK, 0, reinterpret_cast<LPARAM>(task)); }

    test::MainWindowSession session;
    RunShell saved;
    UserShell savedUser;
    Task* task = nullptr;
};

TEST_F(RunTaskTest, OpensTheResolvedPathWithTheTasksArguments) {
    const struct {
        int runAs;
        int show;
        const wchar_t* verb;
    } cases[] = {
        {0, SW_SHOWNORMAL, L"(none)"},
        {1, SW_SHOWMINIMIZED, L"runas"},
        {7, SW_SHOWMAXIMIZED, L"runas"},
    };
    SetEnvironmentVariableW(L"TESSALY_TEST_FOLDER", L"C:\\windows");
    lstrcpyW(task->Parameter, L"/a %TESSALY_TEST_FOLDER% \"b c\"");
    lstrcpyW(task->WorkingFolder, L"%TESSALY_TEST_FOLDER%\\system32");
    for (const auto& c : cases) {
        g_shellCalls.clear();
        task->RunAs = c.runAs;
        task->Show = c.show;
        Run();
        ASSERT_EQ(1u, g_shellCalls.size());
        const ShellCall& call = g_shellCalls[0];
        EXPECT_EQ(c.verb, call.verb);
        EXPECT_TRUE(SamePath(SystemFile(L"notepad.exe"), call.file)) << testing::PrintToString(call.file);
        EXPECT_EQ(L"/a %TESSALY_TEST_FOLDER% \"b c\"", call.parameters);
        EXPECT_EQ(L"C:\\windows\\system32", call.directory);
        EXPECT_EQ(c.show, call.show);
        EXPECT_TRUE(call.handedOn);
    }
    EXPECT_TRUE(g_sounds.empty());
}

TEST_F(RunTaskTest, ALinkGoesToTheShellAsWrittenWithTheTasksArguments) {
    test::RegisteredSchemes schemes;
    lstrcpyW(task->File, L"kittessa:open/this?x=1");
    lstrcpyW(task->Parameter, L"-a");
    lstrcpyW(task->WorkingFolder, L"C:\\windows");
    Run();
    ASSERT_EQ(1u, g_shellCalls.size());
    EXPECT_EQ(L"kittessa:open/this?x=1", g_shellCalls[0].file);
    EXPECT_EQ(L"-a", g_shellCalls[0].parameters);
    EXPECT_EQ(L"C:\\windows", g_shellCalls[0].directory);
}

// Elevated, a task starts as the user through the desktop's shell unless it
// asks for elevation itself or there is no such shell to ask.
TEST_F(RunTaskTest, AnElevatedTessalyStartsOrdinaryTasksAsTheUser) {
    const struct {
        bool elevated, desktopAnswers;
        int runAs;
        const wchar_t* verb;
    } cases[] = {
        {false, true, 0, L"(none)"},
        {true, true, 0, L"(desktop)"},
        {true, true, 1, L"runas"},
        {true, false, 0, L"(none)"},
        {false, true, 1, L"runas"},
    };
    lstrcpyW(task->Parameter, L"/p");
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    for (const auto& c : cases) {
        g_shellCalls.clear();
        g_handedOn = false;
        g_elevated = c.elevated;
        g_desktopAnswers = c.desktopAnswers;
        task->RunAs = c.runAs;
        Run();
        ASSERT_EQ(1u, g_shellCalls.size());
        EXPECT_EQ(c.verb, g_shellCalls[0].verb);
        EXPECT_TRUE(SamePath(SystemFile(L"notepad.exe"), g_shellCalls[0].file));
        EXPECT_EQ(L"/p", g_shellCalls[0].parameters);
        // The desktop would start it in its own folder: it is given Tessaly's.
        EXPECT_TRUE(wcscmp(c.verb, L"(desktop)") != 0 || SamePath(current, g_shellCalls[0].directory))
            << testing::PrintToString(g_shellCalls[0].directory);
        EXPECT_TRUE(g_shellCalls[0].handedOn);
    }
}

// A switch hands the foreground on first too: the window switched to may
// belong to another process than the one found.
TEST_F(RunTaskTest, ASwitchHandsTheForegroundOnFirst) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    HWND window = CreateWindowExW(0, L"STATIC", L"running", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr,
                                  nullptr, nullptr);
    lstrcpyW(task->File, self);
    task->Activate = 1;
    Run();
    DestroyWindow(window);
    EXPECT_TRUE(g_shellCalls.empty());
    EXPECT_TRUE(g_handedOn);
}

TEST_F(RunTaskTest, ADroppedShortcutToATargetWithVariablesRuns) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring shortcut = std::wstring(temp) + L"tessaly system editor.lnk";
    SaveRawTargetShortcut(shortcut, "%SystemRoot%\\system32\\notepad.exe");
    ReadShortcut(shortcut.c_str(), task->File, task->Parameter, task->WorkingFolder, &task->Show, task->Name);
    DeleteFileW(shortcut.c_str());
    ASSERT_STREQ(L"%SystemRoot%\\system32\\notepad.exe", task->File);
    Run();
    ASSERT_EQ(1u, g_shellCalls.size());
    EXPECT_TRUE(SamePath(SystemFile(L"notepad.exe"), g_shellCalls[0].file))
        << testing::PrintToString(g_shellCalls[0].file);
}

TEST_F(RunTaskTest, WithoutAWorkingFolderTheDirectoryIsEmpty) {
    Run();
    ASSERT_EQ(1u, g_shellCalls.size());
    EXPECT_EQ(L"", g_shellCalls[0].directory);
}

TEST_F(RunTaskTest, PlaysTheSoundAndShowsTheName) {
    lstrcpyW(task->Sound, L"C:\\no-such-sound.wav");
    Run();
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\no-such-sound.wav"}), g_sounds);
    ASSERT_NE(nullptr, task->NameWindow);
    EXPECT_TRUE(IsWindowVisible(task->NameWindow));
    wchar_t text[64];
    GetWindowTextW(task->NameWindow, text, 64);
    EXPECT_STREQ(L"Run me", text);
    LONG_PTR exStyle = GetWindowLongPtrW(task->NameWindow, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
}

HWND g_alerted = nullptr;
LONG g_alertObject = 0;
void CALLBACK RecordAlert(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    g_alerted = window;
    g_alertObject = object;
}

// A screen reader hears the name: the window says it is an alert, named after
// the task, and raises the alert event; it takes neither focus nor activation.
TEST_F(RunTaskTest, TheNameIsAnnouncedAsAnAlertWithoutTakingTheActivation) {
    HWND user = CreateWindowExW(0, L"STATIC", L"user", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
    SetForegroundWindow(user);
    test::PumpUntil([&] { return GetForegroundWindow() == user; });
    g_alerted = nullptr;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, RecordAlert,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    Run();
    ASSERT_NE(nullptr, task->NameWindow);
    EXPECT_EQ(user, GetForegroundWindow());
    EXPECT_NE(task->NameWindow, GetFocus());

    // As a screen reader asks, through the system's accessibility library.
    using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    auto accessibleObjectFromWindow = reinterpret_cast<FromWindow>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
    ASSERT_NE(nullptr, accessibleObjectFromWindow);
    IAccessible* object = nullptr;
    ASSERT_EQ(S_OK, accessibleObjectFromWindow(task->NameWindow, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                               reinterpret_cast<void**>(&object)));
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_EQ(S_OK, object->get_accName(self, &name));
    EXPECT_EQ(std::wstring(L"Run me"), name ? name : L"");
    SysFreeString(name);
    VARIANT role = {};
    EXPECT_EQ(S_OK, object->get_accRole(self, &role));
    EXPECT_EQ(VT_I4, role.vt);
    EXPECT_EQ(ROLE_SYSTEM_ALERT, role.lVal);
    object->Release();

    const bool announced = test::PumpUntil([] { return g_alerted != nullptr; }, 2000);
    UnhookWinEvent(hook);
    DestroyWindow(user);
    if (!announced && hook) {
        GTEST_SKIP() << "this system delivers no alert event to an out-of-context hook";
    }
    EXPECT_EQ(task->NameWindow, g_alerted);
    EXPECT_EQ(OBJID_CLIENT, g_alertObject);
}

TEST_F(RunTaskTest, NothingHappensForAnUnusableTask) {
    const struct {
        const char* what;
        const wchar_t* file;
        std::wstring folder;
    } cases[] = {
        {"unresolved command", L"no-such-program-anywhere", L""},
        {"deleted document", L"C:\\gone\\report.txt", L""},
        {"working folder too long once expanded", L"notepad", L"%TESSALY_LONG%\\x"},
    };
    SetEnvironmentVariableW(L"TESSALY_LONG", std::wstring(300, L'l').c_str());
    lstrcpyW(task->Sound, L"C:\\ding.wav");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lstrcpyW(task->File, c.file);
        lstrcpyW(task->WorkingFolder, c.folder.c_str());
        Run();
        EXPECT_TRUE(g_shellCalls.empty());
        EXPECT_TRUE(g_sounds.empty());
        EXPECT_EQ(nullptr, task->NameWindow);
    }
}

TEST_F(RunTaskTest, HiddenLocationStillRunsEverything) {
    g_displaySettings.Location = Hidden;
    lstrcpyW(task->Sound, L"C:\\ding.wav");
    Run();
    EXPECT_EQ(1u, g_shellCalls.size());
    EXPECT_EQ(1u, g_sounds.size());
    ASSERT_NE(nullptr, task->NameWindow);
    RECT place;
    GetWindowRect(task->NameWindow, &place);
    EXPECT_EQ(0, place.right - place.left);
    g_displaySettings.Location = TopRight;
}

TEST_F(RunTaskTest, DisplayTimeKeepsOneWindowPerTaskUntilItEnds) {
    Run();
    HWND first = task->NameWindow;
    ASSERT_NE(nullptr, first);
    // A second press within the display time reuses the window.
    Run();
    EXPECT_EQ(first, task->NameWindow);

    // The display time ends: the window is told to close and let go.
    EXPECT_EQ(1, SendMessageW(session.window(), WM_TIMER, reinterpret_cast<WPARAM>(first), 0));
    EXPECT_EQ(nullptr, task->NameWindow);
    EXPECT_FALSE(KillTimer(session.window(), reinterpret_cast<UINT_PTR>(first)));

    // A press now makes a new window beside the fading one.
    Run();
    ASSERT_NE(nullptr, task->NameWindow);
    EXPECT_NE(first, task->NameWindow);
    EXPECT_TRUE(IsWindow(first));
    DestroyWindow(first);
}

TEST_F(RunTaskTest, ANameWindowLostToSomeoneElseIsReplaced) {
    // Stands in for whatever window the system gave a dead handle's value to.
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
    const struct {
        const char* what;
        void (*lose)(Task*, HWND other);
    } cases[] = {
        {"destroyed from outside", [](Task* t, HWND) { DestroyWindow(t->NameWindow); }},
        {"a timer id it does not know", [](Task* t, HWND) { SendMessageW(t->NameWindow, WM_TIMER, 7, 0); }},
        {"its handle now another window's", [](Task* t, HWND other) {
             DestroyWindow(std::exchange(t->NameWindow, other));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Run();
        c.lose(task, other);
        Run();
        EXPECT_TRUE(IsNameWindow(task->NameWindow));
        EXPECT_TRUE(IsWindowVisible(task->NameWindow));
    }
    // The end of the display time closes no window but a name window of ours.
    DestroyWindow(std::exchange(task->NameWindow, other));
    SendMessageW(session.window(), WM_TIMER, reinterpret_cast<WPARAM>(other), 0);
    test::PumpMessages();
    EXPECT_TRUE(IsWindow(other));
    EXPECT_EQ(nullptr, task->NameWindow);
    DestroyWindow(other);
}

TEST_F(RunTaskTest, RunsWhileADialogIsOpen) {
    g_busy = 1;
    Run();
    EXPECT_EQ(1u, g_shellCalls.size());
    g_busy = 0;
}

// A process reports its image as the system resolved it: through the real
// drive of a SUBST or mapped one, or in a device form. The same file is the
// running program however it is spelt; another file of the same name is not.
std::wstring g_reportedImage;
BOOL WINAPI ReportedImage(HANDLE, DWORD, LPWSTR image, PDWORD length) {
    lstrcpynW(image, g_reportedImage.c_str(), int(*length));
    *length = DWORD(g_reportedImage.size());
    return TRUE;
}

TEST(SwitchToRunningProgramTest, TheImageIsMatchedByTheFileItNames) {
    wchar_t self[MAX_PATH], temp[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    const std::wstring elsewhere = std::wstring(temp) + PathFindFileNameW(self);
    CopyFileW(self, elsewhere.c_str(), FALSE);
    HWND window = CreateWindowExW(0, L"STATIC", L"running", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr,
                                  nullptr, nullptr);
    const struct {
        const char* what;
        std::wstring reported;
        bool found;
    } cases[] = {
        {"as the task names it", self, true},
        {"in the device form", std::wstring(L"\\\\?\\") + self, true},
        {"another file of that name", elsewhere, false},
    };
    g_processImageName = ReportedImage;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_reportedImage = c.reported;
        EXPECT_EQ(c.found, SwitchToRunningProgram(self, nullptr));
    }
    g_processImageName = QueryFullProcessImageNameW;
    DestroyWindow(window);
    DeleteFileW(elsewhere.c_str());
}

// This process's image as `g_reportedImage` names it, when it names one;
// every other process's as the system reports it.
BOOL WINAPI ReportedImageOfThisProcess(HANDLE process, DWORD flags, LPWSTR image, PDWORD length) {
    if (g_reportedImage.empty() || GetProcessId(process) != GetCurrentProcessId()) {
        return QueryFullProcessImageNameW(process, flags, image, length);
    }
    return ReportedImage(process, flags, image, length);
}

// Wine keeps no app ids on windows and makes no app execution aliases: what
// Windows would report comes through the seams, for windows of this process.
std::map<HWND, std::wstring> g_appIds;
int g_appIdReads = 0;
bool FakeAppId(HWND window, wchar_t (&id)[kAppIdLength]) {
    ++g_appIdReads;
    auto found = g_appIds.find(window);
    if (found == g_appIds.end()) {
        return false;
    }
    lstrcpynW(id, found->second.c_str(), kAppIdLength);
    return true;
}

const wchar_t kAliasPath[] = L"C:\\users\\someone\\AppData\\Local\\Microsoft\\WindowsApps\\tessaly.exe";
std::vector<BYTE> g_reparseData;
DWORD FakeReparsePoint(const wchar_t* path, void* buffer, DWORD size) {
    if (lstrcmpiW(path, kAliasPath) != 0 || g_reparseData.size() > size) {
        return 0;
    }
    memcpy(buffer, g_reparseData.data(), g_reparseData.size());
    return DWORD(g_reparseData.size());
}

// An app execution alias's reparse data as Windows writes them: tag, data
// length, reserved, version 3, then the strings, each with its NUL.
// `cut` takes that many bytes off the end, of the data length too.
std::vector<BYTE> AppExecLink(const std::vector<std::wstring>& strings, DWORD tag = IO_REPARSE_TAG_APPEXECLINK,
                              size_t cut = 0) {
    std::vector<BYTE> data(12, 0);
    memcpy(&data[0], &tag, 4);
    data[8] = 3;
    for (const auto& text : strings) {
        auto bytes = reinterpret_cast<const BYTE*>(text.c_str());
        data.insert(data.end(), bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    }
    data.resize(data.size() - cut);
    const USHORT length = USHORT(data.size() - 8);
    memcpy(&data[4], &length, 2);
    return data;
}

TEST(SwitchToRunningProgramTest, AppsAreMatchedByTheirIdAndAliasesByTheProgramTheyName) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto popup = [](DWORD exStyle, DWORD style) {
        return CreateWindowExW(exStyle, L"STATIC", L"app", WS_POPUP | style, 0, 0, 20, 20, nullptr, nullptr, nullptr,
                               nullptr);
    };
    HWND back = popup(0, WS_VISIBLE), front = popup(0, WS_VISIBLE), tool = popup(WS_EX_TOOLWINDOW, WS_VISIBLE),
         other = popup(0, WS_VISIBLE), own = popup(0, WS_VISIBLE);
    g_appIds = {{back, L"Contoso.Calc_8wekyb3d8bbwe!App"},
                {front, L"Contoso.Calc_8wekyb3d8bbwe!App"},
                {tool, L"Contoso.Tool_1!App"},
                {other, L"Contoso.Calc_8wekyb3d8bbwe!AppTwo"},
                {own, L"Contoso.Notes"}};
    const std::wstring package = L"Contoso.Self_8wekyb3d8bbwe", app = package + L"!App";
    // A desktop program the Applications folder lists under Program Files,
    // which this process plays through its reported image.
    wchar_t* programFiles = nullptr;
    ASSERT_HRESULT_SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &programFiles));
    const std::wstring desktopProgram = std::wstring(programFiles) + L"\\Contoso\\Calc.exe";
    const std::wstring exclaimed = std::wstring(programFiles) + L"\\Fun!\\Calc.exe";
    CoTaskMemFree(programFiles);
    const std::wstring inProgramFiles = L"{905E63B6-C1BF-494E-B29C-65B732D3D21A}\\Contoso\\";
    const struct {
        const char* what;
        std::wstring command;
        std::vector<BYTE> alias;
        HWND foreground, switched;
        std::wstring image;
    } cases[] = {
        {"an app, its id in another case", L"shell:appsfolder\\contoso.calc_8wekyb3d8bbwe!app", {}, nullptr, front},
        {"the app in front: its next window", L"shell:AppsFolder\\Contoso.Calc_8wekyb3d8bbwe!App", {}, front, back},
        {"the folder's parsing name", L"::{4234D49B-0245-4DF3-B780-3893943456E1}\\Contoso.Calc_8wekyb3d8bbwe!App", {},
         nullptr, front},
        {"an app whose id only begins another's", L"shell:AppsFolder\\Contoso.Calc_8wekyb3d8bbwe!Ap", {}, nullptr, nullptr},
        {"a tool window", L"shell:AppsFolder\\Contoso.Tool_1!App", {}, nullptr, nullptr},
        {"the folder alone", L"shell:AppsFolder\\", {}, nullptr, nullptr},
        {"an alias of this program", kAliasPath, AppExecLink({package, app, self, L"0"}), nullptr, front},
        {"an alias of another program", kAliasPath, AppExecLink({package, app, L"C:\\windows\\notepad.exe", L"0"}),
         nullptr, nullptr},
        // Its program hands the window to another of the package: the app's id finds it.
        {"an alias of an app shown by another program", kAliasPath,
         AppExecLink({L"Contoso.Calc_8wekyb3d8bbwe", L"Contoso.Calc_8wekyb3d8bbwe!App", L"C:\\windows\\notepad.exe",
                      L"0"}),
         nullptr, front},
        {"an alias cut inside its target", kAliasPath, AppExecLink({package, app, self, L"0"}, IO_REPARSE_TAG_APPEXECLINK, 12),
         nullptr, nullptr},
        {"an alias without a target", kAliasPath, AppExecLink({package, app}), nullptr, nullptr},
        {"another kind of link", kAliasPath, AppExecLink({package, app, self, L"0"}, IO_REPARSE_TAG_SYMLINK), nullptr,
         nullptr},
        // A desktop program's windows carry no app id: its file finds them.
        {"a desktop program in a known folder", L"shell:AppsFolder\\" + inProgramFiles + L"Calc.exe", {}, nullptr,
         front, desktopProgram},
        {"a desktop program, the folder's parsing name and another case",
         L"::{4234d49b-0245-4df3-b780-3893943456e1}\\{905e63b6-c1bf-494e-b29c-65b732d3d21a}\\contoso\\calc.exe", {},
         nullptr, front, desktopProgram},
        {"a desktop program by its full path", L"shell:AppsFolder\\" + desktopProgram, {}, nullptr, front,
         desktopProgram},
        {"a desktop program in a folder named with a \"!\"", L"shell:AppsFolder\\" + exclaimed, {}, nullptr, front,
         exclaimed},
        {"another program of that folder", L"shell:AppsFolder\\" + inProgramFiles + L"Notes.exe", {}, nullptr,
         nullptr, desktopProgram},
        {"a known folder no system has", L"shell:AppsFolder\\{00000000-0000-0000-0000-0000000000AB}\\Contoso\\Calc.exe",
         {}, nullptr, nullptr, desktopProgram},
        // An id a program gave its own windows is no path.
        {"a program's own app id", L"shell:AppsFolder\\Contoso.Notes", {}, nullptr, own, desktopProgram},
    };
    const auto systemAppId = std::exchange(g_windowAppId, FakeAppId);
    const auto systemReparsePoint = std::exchange(g_readReparsePoint, FakeReparsePoint);
    g_processImageName = ReportedImageOfThisProcess;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_reparseData = c.alias;
        g_reportedImage = c.image;
        for (HWND window : {other, back, front}) {
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        SetForegroundWindow(other);
        EXPECT_EQ(c.switched != nullptr, SwitchToRunningProgram(c.command.c_str(), c.foreground));
        if (c.switched) {
            EXPECT_EQ(c.switched, GetForegroundWindow());
        }
    }
    // An ordinary program is matched by its image alone, as it always was.
    g_processImageName = QueryFullProcessImageNameW;
    g_reportedImage.clear();
    g_appIdReads = 0;
    g_reparseData.clear();
    EXPECT_TRUE(SwitchToRunningProgram(self, nullptr));
    EXPECT_EQ(0, g_appIdReads);
    g_windowAppId = systemAppId;
    g_readReparsePoint = systemReparsePoint;
    for (HWND window : {back, front, tool, other, own}) {
        DestroyWindow(window);
    }
}

// A switch that toggles, press after press: the window in front after each
// ('0' the top one of the program's at the start, '*' any of them restored),
// or '-' when all of the program's windows are minimised.
TEST(SwitchToRunningProgramTest, ATogglingSwitchCyclesThenMinimizesAndRestores) {
    const struct {
        const char* what;
        int windows;
        bool toggle;
        bool inFront;  // at the first press
        const char* afterEachPress;
    } cases[] = {
        {"one window in front", 1, true, true, "-0-0"},
        {"one window behind another program's", 1, true, false, "0-0"},
        {"several windows: each has its turn", 3, true, true, "21-*"},
        {"several windows behind another program's", 2, true, false, "01-*"},
        {"off: one window stays in front", 1, false, true, "000"},
        {"off: several windows cycle for ever", 3, false, true, "21021"},
    };
    const wchar_t kApp[] = L"Contoso.Toggle_1!App";
    const std::wstring command = std::wstring(L"shell:AppsFolder\\") + kApp;
    const auto systemAppId = std::exchange(g_windowAppId, FakeAppId);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto window = [](const wchar_t* title) {
            return CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                   nullptr, nullptr, nullptr);
        };
        HWND other = window(L"another program");
        std::vector<HWND> program;
        g_appIds.clear();
        for (int i = 0; i < c.windows; ++i) {
            program.push_back(window(L"the program"));
            g_appIds[program.back()] = kApp;
        }
        for (auto it = program.rbegin(); it != program.rend(); ++it) {
            SetWindowPos(*it, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        SetForegroundWindow(c.inFront ? program[0] : other);
        ASSERT_EQ(c.inFront ? program[0] : other, GetForegroundWindow());

        SwitchRound round;
        std::string seen;
        for (size_t press = 0; c.afterEachPress[press]; ++press) {
            EXPECT_TRUE(SwitchToRunningProgram(command.c_str(), GetForegroundWindow(), c.toggle ? &round : nullptr));
            test::PumpMessages();
            const HWND front = GetForegroundWindow();
            // Wine does not always raise a window of this thread that it
            // activates; Windows does, and the next press looks at the order.
            SetWindowPos(front, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            bool allMinimized = true;
            char shown = '?';
            for (size_t i = 0; i < program.size(); ++i) {
                allMinimized = allMinimized && IsIconic(program[i]);
                if (front == program[i] && !IsIconic(front)) {
                    shown = c.afterEachPress[press] == '*' ? '*' : char('0' + i);
                }
            }
            seen += allMinimized ? '-' : shown;
        }
        EXPECT_EQ(c.afterEachPress, seen);
        for (HWND window : program) {
            DestroyWindow(window);
        }
        DestroyWindow(other);
    }
    g_appIds.clear();
    g_windowAppId = systemAppId;
}

// The task's own choice reaches the switch: with it, the presses on the
// program in front come round to minimising it; without it, never. Every
// visible window of this process is the program's, so there may be more
// than the test's own.
BOOL CALLBACK CountProgramWindow(HWND window, LPARAM count) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && !GetWindow(window, GW_OWNER) &&
        !(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

TEST_F(RunTaskTest, ATaskThatTogglesMinimizesItsProgramInFront) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    lstrcpyW(task->File, self);
    task->Activate = 1;
    for (int toggle : {0, 1}) {
        SCOPED_TRACE(toggle);
        HWND window = CreateWindowExW(0, L"STATIC", L"running", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                      nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window);
        int windows = 0;
        EnumWindows(CountProgramWindow, reinterpret_cast<LPARAM>(&windows));
        task->Toggle = toggle;
        bool minimized = false;
        for (int press = 0; press < windows && !minimized; ++press) {
            Run();
            test::PumpMessages();
            minimized = IsIconic(window) != FALSE;
        }
        EXPECT_EQ(toggle != 0, minimized) << windows << " windows";
        EXPECT_TRUE(g_shellCalls.empty());
        DestroyWindow(window);
    }
}

// Where the seams stand, Windows reads the app id given to a window, and no
// link data for an ordinary file.
TEST(SwitchToRunningProgramTest, TheSystemReadsAWindowsAppIdAndNoLinkForAFile) {
    wchar_t self[MAX_PATH], id[kAppIdLength];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    BYTE data[64];
    EXPECT_EQ(0u, g_readReparsePoint(self, data, sizeof(data)));
    HWND window = CreateWindowExW(0, L"STATIC", L"app", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
    const PROPERTYKEY appIdKey = {{0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 5};
    PROPVARIANT value = {};
    value.vt = VT_LPWSTR;
    value.pwszVal = const_cast<wchar_t*>(L"Contoso.Given_1!App");
    IPropertyStore* store = nullptr;
    if (SUCCEEDED(SHGetPropertyStoreForWindow(window, __uuidof(IPropertyStore), reinterpret_cast<void**>(&store)))) {
        store->SetValue(appIdKey, value);
        store->Release();
    }
    const bool read = g_windowAppId(window, id);
    DestroyWindow(window);
    if (!read && test::RunningOnWine()) {
        GTEST_SKIP() << "Wine's SHGetPropertyStoreForWindow hands out a new empty store each time, keeping no app id "
                        "for a window: AppsAreMatchedByTheirId... reports ids through g_windowAppId";
    }
    EXPECT_TRUE(read);
    EXPECT_STREQ(L"Contoso.Given_1!App", id);
}

}  // namespace
