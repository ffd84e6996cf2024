// Measures Tessaly against bare programs doing the same essential work, side
// by side in one run, and prints one table of ratios. Each figure is the
// median of alternated rounds, the first round discarded.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kShowLauncher = 32775;  // the launcher command a second start forwards
constexpr UINT kExit = 32772;
constexpr int kLauncherTasks = 200;
constexpr double kLauncherGoal = 1.3;
constexpr DWORD kProgramBudget = 160 * 1024;
constexpr DWORD kOmbrelBudget = 16 * 1024;

std::wstring g_bin;

std::wstring BinDir() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    *wcsrchr(path, L'\\') = L'\0';
    return path;
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs = 30000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
        if (done()) {
            return true;
        }
        Sleep(10);
    }
    return done();
}

PROCESS_INFORMATION Start(const std::wstring& program, const std::wstring& words) {
    std::wstring line = L"\"" + g_bin + L"\\" + program + L"\" " + words;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION info = {};
    CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, g_bin.c_str(), &startup, &info);
    return info;
}

// One program of its own for each task, as a user's tasks are: 200 names in a
// folder put on the search path of both programs, so each command is found
// there and its icon taken from its own file.
std::wstring Command(int index) {
    wchar_t name[32];
    swprintf(name, 32, L"benchcmd%03d", index);
    return name;
}

void MakeCommands(int count) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tessaly-bench-commands";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring source = g_bin + L"\\bench_bare_launcher.exe";
    for (int i = 0; i < count; ++i) {
        std::wstring target = folder + L"\\" + Command(i) + L".exe";
        if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
            !CreateHardLinkW(target.c_str(), source.c_str(), nullptr)) {
            CopyFileW(source.c_str(), target.c_str(), TRUE);
        }
    }
    wchar_t path[32767];
    GetEnvironmentVariableW(L"PATH", path, 32767);
    SetEnvironmentVariableW(L"PATH", (std::wstring(path) + L";" + folder).c_str());
}

void WriteStore(int tasks) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly");
    HKEY root = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Tasks", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &root, nullptr);
    DWORD count = static_cast<DWORD>(tasks);
    RegSetValueExW(root, L"Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&count), sizeof(count));
    for (int i = 0; i < tasks; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"Task%d", i);
        HKEY key = nullptr;
        RegCreateKeyExW(root, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        const std::wstring file = Command(i);
        RegSetValueExW(key, L"File", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                       static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(key, L"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
        DWORD noKey = 0xFFFFFFFF;
        RegSetValueExW(key, L"vk", 0, REG_DWORD, reinterpret_cast<BYTE*>(&noKey), sizeof(noKey));
        RegCloseKey(key);
    }
    RegCloseKey(root);
}

std::wstring WriteCommandFile(int tasks) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"tessaly-bench-commands.txt";
    std::wstring text;
    for (int i = 0; i < tasks; ++i) {
        text += Command(i);
        text += L"\n";
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return path;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Sends the command and times the answer: both programs open their list
// inside the command's handler. Then the list is closed again.
double OpenAndClose(HWND main, const wchar_t* popupClass, int expectedRows) {
    double start = Now();
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(kShowLauncher, 0), 0);
    double elapsed = Now() - start;
    HWND popup = FindWindowW(popupClass, nullptr);
    HWND list = popup ? FindWindowExW(popup, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
    int rows = list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
    if (!popup || !IsWindowVisible(popup) || rows != expectedRows) {
        fwprintf(stderr, L"%ls: no list of %d rows shown (%d)\n", popupClass, expectedRows, rows);
        return -1;
    }
    SendMessageW(popup, WM_CLOSE, 0, 0);
    WaitFor([&] { return !IsWindow(popup); });
    Sleep(100);
    return elapsed;
}

DWORD FileSize(const wchar_t* name) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW((g_bin + L"\\" + name).c_str(), GetFileExInfoStandard, &data);
    return data.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = 7;
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--one-round") == 0) {
            rounds = 2;  // the first is always discarded
            checkOnly = true;
        } else if (wcscmp(argv[i], L"--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(2, _wtoi(argv[++i]));
        }
    }
    g_bin = BinDir();
    bool missed = false;

    MakeCommands(kLauncherTasks);
    WriteStore(kLauncherTasks);
    std::wstring commands = WriteCommandFile(kLauncherTasks);
    PROCESS_INFORMATION tessaly = Start(L"Tessaly.exe", L"");
    PROCESS_INFORMATION bare = Start(L"bench_bare_launcher.exe", L"\"" + commands + L"\"");
    HWND tessalyMain = nullptr, bareMain = nullptr;
    WaitFor([&] { return (tessalyMain = FindWindowW(L"Tessaly_MainWindowClass", L"Tessaly")) != nullptr; });
    WaitFor([&] { return (bareMain = FindWindowW(L"BareLauncherMain", nullptr)) != nullptr; });
    WaitForInputIdle(tessaly.hProcess, 30000);
    WaitForInputIdle(bare.hProcess, 30000);
    if (!tessalyMain || !bareMain) {
        fwprintf(stderr, L"the programs did not start\n");
        return 2;
    }

    std::vector<double> ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        // Alternated, so neither always runs on a warmer machine.
        bool oursFirst = round % 2 == 0;
        double a = 0, b = 0;
        if (oursFirst) {
            a = OpenAndClose(tessalyMain, L"Tessaly_LauncherWindowClass", kLauncherTasks);
            b = OpenAndClose(bareMain, L"BareLauncherPopup", kLauncherTasks);
        } else {
            b = OpenAndClose(bareMain, L"BareLauncherPopup", kLauncherTasks);
            a = OpenAndClose(tessalyMain, L"Tessaly_LauncherWindowClass", kLauncherTasks);
        }
        if (a < 0 || b < 0) {
            return 2;
        }
        if (round > 0) {
            ours.push_back(a);
            theirs.push_back(b);
        }
    }
    PostMessageW(tessalyMain, WM_COMMAND, MAKEWPARAM(kExit, 0), 0);
    WaitForSingleObject(tessaly.hProcess, 30000);
    TerminateProcess(bare.hProcess, 0);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly");

    double launcherRatio = Median(ours) / Median(theirs);
    DWORD program = FileSize(L"Tessaly.exe") + FileSize(L"quillet.dll") + FileSize(L"pirnel.dll");
    DWORD ombrel = FileSize(L"Ombrel.exe");
    wprintf(L"| Measure | Tessaly | Bare program | Ratio | Goal |\n|---|---|---|---|---|\n");
    wprintf(L"| launcher, %d listed tasks, command to list shown | %.1f ms | %.1f ms | %.2f | <= %.1f |\n",
            kLauncherTasks, Median(ours), Median(theirs), launcherRatio, kLauncherGoal);
    wprintf(L"| Tessaly.exe + quillet.dll + pirnel.dll | %lu bytes | | | <= %lu |\n", program, kProgramBudget);
    wprintf(L"| Ombrel.exe | %lu bytes | | | <= %lu |\n", ombrel, kOmbrelBudget);
    wprintf(L"(median of %d rounds after the first)\n", rounds - 1);
    missed = launcherRatio > kLauncherGoal || program > kProgramBudget || ombrel > kOmbrelBudget;
    if (checkOnly) {
        return 0;
    }
    if (missed) {
        fwprintf(stderr, L"a goal was missed\n");
    }
    return missed ? 1 : 0;
}
