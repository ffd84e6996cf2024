// The release packages used as a user would use them: the installer run
// silently, over a running copy and against one that will not exit, the
// uninstaller the installed-programs entry names, and the portable zip.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/tessaly_session.h"

namespace {

using harness::KeyExists;
using harness::Process;
using harness::PumpUntil;
using harness::ReadDword;
using harness::ReadString;
using harness::UnixPath;

// The installer and uninstaller may take longer than a program starting.
constexpr DWORD kInstallerWaitMs = 60000;

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessaly";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kShippedFiles[] = {L"Tessaly.exe", L"quillet.dll",        L"pirnel.dll",
                                        L"Ombrel.exe",  L"Tessaly-readme.txt", L"Tessaly-license.txt"};
// What installers before the texts had names of their own wrote beside the programs.
const wchar_t* const kEarlierTexts[] = {L"readme.txt", L"LICENSE.txt"};
const wchar_t* const kPrograms[] = {L"Tessaly.exe", L"quillet.dll", L"pirnel.dll", L"Ombrel.exe"};
// The hotkey of the task every case stores: Ctrl+Alt+K.
const wchar_t kTaskAtom[] = L"Tessaly0003004b";
const wchar_t kTaskName[] = L"kept";

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        result = path;
    }
    CoTaskMemFree(path);
    return result;
}

std::wstring DistDir() {
    std::wstring bin = e2e::BinDir();
    return bin.substr(0, bin.find_last_of(L'\\')) + L"\\dist";
}

std::wstring SetupPath() { return DistDir() + L"\\" TESSALY_PACKAGE_NAME L"-setup.exe"; }
std::wstring ZipPath() { return DistDir() + L"\\" TESSALY_PACKAGE_NAME L".zip"; }
std::wstring DefaultInstallDir() { return KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Tessaly"; }
std::wstring ShortcutPath() { return KnownFolder(FOLDERID_Programs) + L"\\Tessaly.lnk"; }
// A folder of the test's own, with a space, as /D= takes it.
std::wstring ScratchDir() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"tessaly install test";
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool RunValueExists() {
    std::wstring value;
    return ReadString(kRunKey, L"Tessaly", value);
}

std::wstring ShortcutTarget(const std::wstring& link) {
    std::wstring target;
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink)))) {
        return target;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
            SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0))) {
            target = path;
        }
        file->Release();
    }
    shellLink->Release();
    return target;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// Runs the installer with these switches and returns its exit code.
DWORD RunSetup(const std::wstring& switches) {
    Process setup(Quoted(SetupPath()) + L" " + switches);
    EXPECT_TRUE(setup.started());
    return setup.WaitForExit(kInstallerWaitMs);
}

std::wstring ProcessImage(DWORD pid) {
    std::wstring image;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process) {
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, path, &size)) {
            image = path;
        }
        CloseHandle(process);
    }
    return image;
}

// Removes every trace an install leaves, by hand, so each case starts from a
// machine where Tessaly was never installed.
void ForgetInstalls() {
    const std::wstring unpacked = ScratchDir() + L"\\" TESSALY_PACKAGE_NAME;
    for (const std::wstring& dir : {DefaultInstallDir(), unpacked, ScratchDir()}) {
        for (const wchar_t* name : kShippedFiles) {
            DeleteFileW((dir + L"\\" + name).c_str());
        }
        for (const wchar_t* name : kEarlierTexts) {
            DeleteFileW((dir + L"\\" + name).c_str());
        }
        DeleteFileW((dir + L"\\Uninstall.exe").c_str());
        RemoveDirectoryW(dir.c_str());
    }
    DeleteFileW(ShortcutPath().c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Tessaly");
}

// The names in a folder, sorted.
std::vector<std::wstring> FolderContents(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        if (lstrcmpW(found.cFileName, L".") != 0 && lstrcmpW(found.cFileName, L"..") != 0) {
            names.push_back(found.cFileName);
        }
    }
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class InstallTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        e2e::session::EndStrayInstances();
        ForgetInstalls();
        e2e::DeleteStore();
        // The user's settings, which nothing of the installer may touch.
        e2e::WriteStore({{MOD_CONTROL | MOD_ALT, 'K', L"notepad", kTaskName}}, 1);
    }

    void TearDown() override {
        e2e::session::EndStrayInstances();
        ForgetInstalls();
        e2e::DeleteStore();
        CoUninitialize();
    }

    // Starts the program at this path as a user would.
    static std::unique_ptr<Process> StartTessaly(const std::wstring& exe) {
        std::wstring dir = exe.substr(0, exe.find_last_of(L'\\'));
        auto app = std::make_unique<Process>(Quoted(exe), dir);
        EXPECT_TRUE(app->started());
        ExpectReady(*app, exe);
        return app;
    }

    // The program has started from this file and holds the stored task's
    // hotkey: its main window is there and its start-up, which registers the
    // hotkeys, is done once it waits for input.
    static void ExpectReady(Process& app, const std::wstring& exe) {
        EXPECT_NE(nullptr, e2e::WaitForProcessWindow(app.id(), e2e::session::kMainClass, L"Tessaly", false));
        EXPECT_EQ(0u, app.WaitForInputIdle());
        EXPECT_TRUE(lstrcmpiW(exe.c_str(), ProcessImage(app.id()).c_str()) == 0)
            << testing::PrintToString(ProcessImage(app.id()));
        EXPECT_NE(0, GlobalFindAtomW(kTaskAtom));
        EXPECT_FALSE(e2e::HotKeyIsFree(MOD_CONTROL | MOD_ALT, 'K'));
    }

    // Ends it as its tray menu's Exit does.
    static void Exit(Process& app) {
        PostMessageW(e2e::FindProcessWindow(app.id(), e2e::session::kMainClass, L"Tessaly", false),
                     WM_COMMAND, IDM_EXIT, 0);
        EXPECT_EQ(0u, app.WaitForExit(kInstallerWaitMs));
        EXPECT_EQ(0, GlobalFindAtomW(kTaskAtom));
    }

    static void ExpectSettingsKept() {
        std::wstring name;
        EXPECT_TRUE(e2e::ReadStoreString(L"Tasks\\Task0", L"Name", name));
        EXPECT_EQ(kTaskName, name);
        DWORD count = 0;
        EXPECT_TRUE(e2e::ReadStoreDword(L"Tasks", L"Count", count));
        EXPECT_EQ(1u, count);
    }

    static void ExpectFilesAreTheBuilds(const std::wstring& dir) {
        for (const wchar_t* name : kPrograms) {
            std::string installed = ReadFileBytes(dir + L"\\" + name);
            EXPECT_FALSE(installed.empty()) << testing::PrintToString(std::wstring(name));
            EXPECT_TRUE(installed == ReadFileBytes(e2e::BinDir() + L"\\" + name))
                << testing::PrintToString(std::wstring(name));
        }
    }
};

TEST_F(InstallTest, SilentInstallPutsTheProgramItsShortcutAndItsEntriesInPlace) {
    ASSERT_EQ(0u, RunSetup(L"/S"));

    const std::wstring dir = DefaultInstallDir();
    const std::wstring exe = dir + L"\\Tessaly.exe";
    for (const wchar_t* name : kShippedFiles) {
        EXPECT_TRUE(Exists(dir + L"\\" + name)) << testing::PrintToString(std::wstring(name));
    }
    EXPECT_TRUE(Exists(dir + L"\\Uninstall.exe"));
    ExpectFilesAreTheBuilds(dir);
    EXPECT_TRUE(lstrcmpiW(exe.c_str(), ShortcutTarget(ShortcutPath()).c_str()) == 0)
        << testing::PrintToString(ShortcutTarget(ShortcutPath()));

    std::wstring value;
    EXPECT_TRUE(ReadString(kRunKey, L"Tessaly", value));
    EXPECT_EQ(Quoted(exe), value);

    const struct {
        const wchar_t* name;
        std::wstring expected;
    } strings[] = {
        {L"DisplayName", L"Tessaly"},
        {L"DisplayVersion", TESSALY_VERSION},
        {L"Publisher", L"Norv"},
        {L"DisplayIcon", exe + L",0"},
        {L"InstallLocation", dir},
        {L"UninstallString", Quoted(dir + L"\\Uninstall.exe")},
        {L"QuietUninstallString", Quoted(dir + L"\\Uninstall.exe") + L" /S"},
    };
    for (const auto& s : strings) {
        EXPECT_TRUE(ReadString(kUninstallKey, s.name, value)) << testing::PrintToString(std::wstring(s.name));
        EXPECT_EQ(s.expected, value) << testing::PrintToString(std::wstring(s.name));
    }
    DWORD number = 0;
    EXPECT_TRUE(ReadDword(kUninstallKey, L"EstimatedSize", number));
    EXPECT_GT(number, 0u);
    EXPECT_TRUE(ReadDword(kUninstallKey, L"NoModify", number));
    EXPECT_EQ(1u, number);
    EXPECT_TRUE(ReadDword(kUninstallKey, L"NoRepair", number));
    EXPECT_EQ(1u, number);

    // A silent install starts nothing unless asked to.
    EXPECT_EQ(nullptr, FindWindowW(e2e::session::kMainClass, L"Tessaly"));
    ExpectSettingsKept();

    // The installed copy runs from its folder and takes its hotkey.
    auto app = StartTessaly(exe);
    Exit(*app);
}

TEST_F(InstallTest, InstallOverARunningCopyClosesItReplacesTheFilesAndKeepsTheSettings) {
    const std::wstring dir = ScratchDir();
    const std::wstring exe = dir + L"\\Tessaly.exe";
    ASSERT_EQ(0u, RunSetup(L"/S /NOAUTOSTART /D=" + dir));
    EXPECT_FALSE(RunValueExists());
    auto old = StartTessaly(exe);

    // What an earlier version left: other bytes, an older time, its texts
    // under their earlier names.
    WriteFileBytes(dir + L"\\Ombrel.exe", "earlier");
    DeleteFileW((dir + L"\\Tessaly-readme.txt").c_str());
    DeleteFileW((dir + L"\\Tessaly-license.txt").c_str());
    for (const wchar_t* name : kEarlierTexts) {
        WriteFileBytes(dir + L"\\" + name, "earlier");
    }
    HANDLE file = CreateFileW(exe.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const FILETIME earlier = {0, 0x01C07000};  // 2001
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &earlier));
    CloseHandle(file);

    // No /D: an upgrade goes where the earlier install is.
    ASSERT_EQ(0u, RunSetup(L"/S /RUN"));

    // The running copy was asked to exit (a killed one would not end with 0).
    EXPECT_FALSE(old->Running());
    EXPECT_EQ(0u, old->WaitForExit(0));
    ExpectFilesAreTheBuilds(dir);
    // The earlier texts were its installer's, which its uninstaller would
    // have removed: they give way to this version's.
    std::vector<std::wstring> expected(std::begin(kShippedFiles), std::end(kShippedFiles));
    expected.push_back(L"Uninstall.exe");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FolderContents(dir));
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &data));
    EXPECT_NE(0, CompareFileTime(&earlier, &data.ftLastWriteTime));
    ExpectSettingsKept();

    std::wstring value;
    EXPECT_TRUE(ReadString(kUninstallKey, L"InstallLocation", value));
    EXPECT_EQ(dir, value);
    EXPECT_TRUE(ReadString(kRunKey, L"Tessaly", value));
    EXPECT_EQ(Quoted(exe), value);
    EXPECT_FALSE(Exists(DefaultInstallDir()));

    // /RUN started the new copy from the install folder.
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (main = FindWindowW(e2e::session::kMainClass, L"Tessaly")) != nullptr; }));
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    EXPECT_NE(old->id(), pid);
    Process fresh(pid);
    ASSERT_TRUE(fresh.started());
    ExpectReady(fresh, exe);
    Exit(fresh);
}

TEST_F(InstallTest, SilentInstallIntoAFolderOfSomeoneElsesFilesFailsAndChangesNothing) {
    const std::wstring dir = ScratchDir();
    CreateDirectoryW(dir.c_str(), nullptr);
    WriteFileBytes(dir + L"\\readme.txt", "mine");

    EXPECT_EQ(3u, RunSetup(L"/S /D=" + dir));
    EXPECT_TRUE(ReadFileBytes(dir + L"\\readme.txt") == "mine");
    EXPECT_EQ(std::vector<std::wstring>{L"readme.txt"}, FolderContents(dir));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_FALSE(RunValueExists());
    ExpectSettingsKept();
}

// Stands in for a Tessaly that does not answer: a main window of its class
// and title that ignores the exit command, in a process that stays.
class UnansweringCopy {
public:
    UnansweringCopy() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = e2e::session::kMainClass;
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, e2e::session::kMainClass, L"Tessaly", WS_OVERLAPPED, 0, 0, 0, 0,
                                   nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    ~UnansweringCopy() {
        DestroyWindow(m_window);
        UnregisterClassW(e2e::session::kMainClass, GetModuleHandleW(nullptr));
    }
    HWND window() const { return m_window; }

private:
    HWND m_window = nullptr;
};

TEST_F(InstallTest, InstallThatCannotCloseTheRunningCopyFailsAndReplacesNothing) {
    const std::wstring dir = ScratchDir();
    ASSERT_EQ(0u, RunSetup(L"/S /D=" + dir));
    WriteFileBytes(dir + L"\\Ombrel.exe", "earlier");
    WriteFileBytes(dir + L"\\Tessaly-readme.txt", "earlier");
    {
        UnansweringCopy copy;
        ASSERT_NE(nullptr, copy.window());
        EXPECT_EQ(2u, RunSetup(L"/S"));
        EXPECT_TRUE(IsWindow(copy.window()));
    }
    EXPECT_TRUE(ReadFileBytes(dir + L"\\Ombrel.exe") == "earlier");
    EXPECT_TRUE(ReadFileBytes(dir + L"\\Tessaly-readme.txt") == "earlier");
    ExpectSettingsKept();
}

TEST_F(InstallTest, SilentUninstallRemovesTheInstallClosesTheProgramAndKeepsTheSettings) {
    const std::wstring dir = ScratchDir();
    ASSERT_EQ(0u, RunSetup(L"/S /D=" + dir));
    ASSERT_TRUE(Exists(ShortcutPath()));
    ASSERT_TRUE(RunValueExists());
    auto app = StartTessaly(dir + L"\\Tessaly.exe");

    // What the system runs for a quiet uninstall. The uninstaller copies
    // itself away and returns at once, so that it can delete its own file;
    // the copy is done when the folder is gone.
    std::wstring quiet;
    ASSERT_TRUE(ReadString(kUninstallKey, L"QuietUninstallString", quiet));
    Process uninstaller(quiet);
    ASSERT_TRUE(uninstaller.started());
    EXPECT_EQ(0u, uninstaller.WaitForExit(kInstallerWaitMs));
    EXPECT_TRUE(PumpUntil([&] { return !Exists(dir); }));

    // It was asked to exit: a killed one would not end with 0 nor give its
    // hotkey's atom back.
    EXPECT_EQ(0u, app->WaitForExit(kInstallerWaitMs));
    EXPECT_EQ(0, GlobalFindAtomW(kTaskAtom));
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_FALSE(RunValueExists());
    EXPECT_FALSE(KeyExists(kUninstallKey));
    ExpectSettingsKept();
}

// Runs a command of the Linux side and waits for it: Wine starts Linux
// programs but cannot wait on them, so the shell leaves its exit status in a
// file. Empty when this is not Wine.
std::string RunLinuxShell(const std::string& command, const std::wstring& statusFile) {
    DeleteFileW(statusFile.c_str());
    const std::string unixStatus = UnixPath(statusFile);
    if (unixStatus.empty()) {
        return "";
    }
    std::string commandLine = "/bin/sh -c \"" + command + "; echo $? > '" + unixStatus + "'\"";
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA("Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return "not started";
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    std::string status;
    PumpUntil([&] {
        status = ReadFileBytes(statusFile);
        return !status.empty() && status.back() == '\n';
    });
    return status;
}

TEST_F(InstallTest, PortableZipUnpacksAndItsProgramStarts) {
    const std::wstring dir = ScratchDir();
    const std::wstring unpacked = dir + L"\\" TESSALY_PACKAGE_NAME;
    if (UnixPath(ZipPath()).empty()) {
        GTEST_SKIP() << "The zip is unpacked with the Linux side's unzip, reachable only under Wine";
    }
    CreateDirectoryW(dir.c_str(), nullptr);
    std::string status = RunLinuxShell(
        "unzip -q -o '" + UnixPath(ZipPath()) + "' -d '" + UnixPath(dir) + "'", dir + L"\\unzip-status");
    DeleteFileW((dir + L"\\unzip-status").c_str());
    ASSERT_EQ("0\n", status);

    std::vector<std::wstring> shipped(std::begin(kShippedFiles), std::end(kShippedFiles));
    std::sort(shipped.begin(), shipped.end());
    EXPECT_EQ(shipped, FolderContents(unpacked));
    ExpectFilesAreTheBuilds(unpacked);

    auto app = StartTessaly(unpacked + L"\\Tessaly.exe");
    Exit(*app);
    ExpectSettingsKept();
}

}  // namespace

int main(int argc, char** argv) {
    // Under Wine, a shortcut the installer makes would reach the Linux
    // desktop's menus through Wine's menu builder; the prefix's own override
    // stops it for every process started from here on.
    if (!UnixPath(L"C:\\").empty()) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, L"winemenubuilder.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""),
                           sizeof(wchar_t));
            RegCloseKey(key);
        }
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
