// Measures Tessaly against bare programs doing the same essential work, side
// by side in one run, and prints one table of ratios. Each figure is the
// median of alternated rounds, the first round discarded.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "model/portable.h"
#include "model/store.h"
#include "model/task.h"
#include "common/program_state.h"
#include "tests/e2e/driver.h"

namespace {

constexpr UINT kShowLauncher = 32775;  // the launcher command a second start forwards
constexpr UINT kExit = 32772;
constexpr int kLauncherTasks = 200;
constexpr int kManyTasks = 1000;
// The three binaries together, for this milestone.
constexpr DWORD kProgramBudget = 136 * 1024;
constexpr DWORD kOmbrelBudget = 12 * 1024;
const wchar_t kMainClass[] = L"Tessaly_MainWindowClass";

std::wstring g_bin;

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

using e2e::PressKeys;
using harness::kStorePath;
using harness::PumpUntil;

// A program of the bin folder, started there; ended when its owner goes if it
// still runs.
std::unique_ptr<harness::Process> Start(const std::wstring& program, const std::wstring& words) {
    return std::make_unique<e2e::Process>(program, words);
}

std::wstring StoreKey(const wchar_t* subkey) { return std::wstring(kStorePath) + L"\\" + subkey; }

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

// The key combination of stored task `index`: 1,050 different ones, from
// every modifier combination with letters, digits, F-keys and the keypad.
void TaskKey(int index, UINT& modifiers, UINT& vk) {
    static const UINT keys[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',
                                'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z',
                                VK_F1, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F7, VK_F8, VK_F9, VK_F10, VK_F11, VK_F12,
                                VK_F13, VK_F14, VK_F15, VK_F16, VK_F17, VK_F18, VK_F19, VK_F20, VK_F21, VK_F22, VK_F23,
                                VK_F24, VK_NUMPAD0, VK_NUMPAD1, VK_NUMPAD2, VK_NUMPAD3, VK_NUMPAD4, VK_NUMPAD5,
                                VK_NUMPAD6, VK_NUMPAD7, VK_NUMPAD8, VK_NUMPAD9};
    constexpr int kKeys = sizeof(keys) / sizeof(*keys);
    // Ctrl+Alt first, so a small store uses the usual combinations.
    static const UINT modifierOrder[] = {3, 1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 8};
    modifiers = modifierOrder[(index / kKeys) % 15];
    vk = keys[index % kKeys];
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// A store of `tasks` tasks with all twelve values each: `file(i)` is task i's
// command; with `keys` each has a hotkey of its own, else none.
template <typename File>
void WriteStore(int tasks, bool keys, File file, const std::wstring& parameter = L"") {
    RegDeleteTreeW(HKEY_CURRENT_USER, kStorePath);
    HKEY root = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, StoreKey(L"Tasks").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &root, nullptr);
    SetDword(root, L"Count", static_cast<DWORD>(tasks));
    for (int i = 0; i < tasks; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"Task%d", i);
        HKEY key = nullptr;
        RegCreateKeyExW(root, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        UINT modifiers = 0, vk = 0xFFFFFFFF;
        if (keys) {
            TaskKey(i, modifiers, vk);
        }
        SetDword(key, L"fsModifiers", modifiers);
        SetDword(key, L"vk", vk);
        SetString(key, L"File", file(i));
        SetString(key, L"Parameter", parameter);
        SetString(key, L"Task", L"");
        SetDword(key, L"Show", SW_SHOWNORMAL);
        SetDword(key, L"RunAs", 0);
        SetString(key, L"Name", name);
        SetString(key, L"Sound", L"");
        SetString(key, L"IconPath", L"");
        SetDword(key, L"IconIndex", 0);
        SetDword(key, L"ShowLauncher", 1);
        RegCloseKey(key);
    }
    RegCloseKey(root);
}

void WriteSetting(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, StoreKey(L"Setting").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    SetDword(key, name, value);
    RegCloseKey(key);
}

std::wstring AtomName(const wchar_t* prefix, int task) {
    UINT modifiers = 0, vk = 0;
    TaskKey(task, modifiers, vk);
    wchar_t name[32];
    swprintf(name, 32, L"%ls%04x%04x", prefix, modifiers & 0xFFFF, vk & 0xFFFF);
    return name;
}

// A bare program killed leaves its atoms behind; so may a failed run.
void ClearAtoms(const wchar_t* prefix, int tasks) {
    for (int i = 0; i < tasks; ++i) {
        const std::wstring name = AtomName(prefix, i);
        while (ATOM atom = GlobalFindAtomW(name.c_str())) {
            GlobalDeleteAtom(atom);
        }
    }
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
    HWND popup = nullptr, list = nullptr;
    int rows = -1;
    // Shown inside the command's handler; looked for a while all the same,
    // so a slow desktop does not lose the round.
    PumpUntil([&] {
        popup = FindWindowW(popupClass, nullptr);
        list = popup ? FindWindowExW(popup, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
        rows = list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
        return rows == expectedRows;
    }, 5000);
    if (!popup || !IsWindowVisible(popup) || rows != expectedRows) {
        fwprintf(stderr, L"%ls: no list of %d rows shown (%d)\n", popupClass, expectedRows, rows);
        return -1;
    }
    SendMessageW(popup, WM_CLOSE, 0, 0);
    PumpUntil([&] { return !IsWindow(popup); });
    Sleep(100);
    return elapsed;
}

DWORD FileSize(const wchar_t* name) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW((g_bin + L"\\" + name).c_str(), GetFileExInfoStandard, &data);
    return data.nFileSizeLow;
}

// A program measured: how it is started, and how the benchmark sees it ready
// (its last hotkey's atom there, its window answering).
struct Program {
    std::wstring exe, words, windowClass, atomPrefix;
    int tasks;  // whose atoms tell it is ready, and are cleared after it
    std::unique_ptr<harness::Process> process;
    HWND window = nullptr;
};

bool IsTessaly(const Program& program) { return program.exe == L"Tessaly.exe"; }

double StartAndWait(Program& program) {
    const std::wstring last = AtomName(program.atomPrefix.c_str(), program.tasks - 1);
    double start = Now();
    program.process = Start(program.exe, program.words);
    // Polled without sleeping: a sleep's granularity would swamp the figure.
    while (!GlobalFindAtomW(last.c_str())) {
        if (Now() - start > 60000) {
            return -1;
        }
        SwitchToThread();
    }
    program.window = FindWindowW(program.windowClass.c_str(), nullptr);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(program.window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
    return Now() - start;
}

// Each program is asked to end, and removes its tray icon on the way out;
// one that does not end is ended.
void Stop(Program& program) {
    if (IsTessaly(program)) {
        PostMessageW(program.window, WM_COMMAND, MAKEWPARAM(kExit, 0), 0);
    } else {
        PostMessageW(program.window, WM_CLOSE, 0, 0);
    }
    program.process->WaitForExitUndisturbed(30000);
    program.process.reset();
    ClearAtoms(program.atomPrefix.c_str(), program.tasks);
}

std::string ReadWhole(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return text;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    return text;
}

// The /proc folder of the Linux process behind a Windows program, through
// Wine's view of the root folder; empty where there is none. Known by its
// full path, case aside: other copies of the program may be running on the
// machine.
std::wstring ProcFolder(const std::wstring& exe) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) {
        return L"";
    }
    std::wstring result;
    const std::wstring path = g_bin + L"\\" + exe;
    std::string wanted(path.begin(), path.end());
    std::transform(wanted.begin(), wanted.end(), wanted.begin(), ::tolower);
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') {
            continue;
        }
        const std::wstring folder = std::wstring(L"Z:\\proc\\") + found.cFileName;
        std::string commandLine = ReadWhole(folder + L"\\cmdline");
        std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
        std::transform(commandLine.begin(), commandLine.end(), commandLine.begin(), ::tolower);
        if (commandLine.find(wanted) != std::string::npos) {
            result = folder;
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return result;
}

// The resident size of the program, 0 where it cannot be read. `field` is
// the line of its status: "VmRSS:" for all of it, "RssAnon:" for the part
// that is its own (heap and bitmaps, not the mapped modules), which Wine's
// private byte count does not report.
double ResidentKilobytes(const std::wstring& exe, const char* field = "VmRSS:") {
    const std::wstring folder = ProcFolder(exe);
    const std::string status = folder.empty() ? std::string() : ReadWhole(folder + L"\\status");
    size_t at = status.find(field);
    return at == std::string::npos ? 0 : atof(status.c_str() + at + strlen(field));
}

// The processor time the program has used, in clock ticks (user and system,
// the 14th and 15th fields of its stat, after the name in parentheses).
unsigned long long ProcessorTicks(const std::wstring& folder) {
    const std::string stat = ReadWhole(folder + L"\\stat");
    size_t at = stat.rfind(')');
    if (at == std::string::npos) {
        return 0;
    }
    unsigned long long user = 0, system = 0;
    sscanf(stat.c_str() + at + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system);
    return user + system;
}

struct Row {
    std::wstring measure;
    double ours, theirs;
    const wchar_t* unit;
    double goal;  // for the ratio; 0 when the row has none
    // Where the goal is the cost the README documents instead: why.
    const wchar_t* why = nullptr;
};

std::vector<Row> g_rows;

void AddRow(const std::wstring& measure, const std::vector<double>& ours, const std::vector<double>& theirs,
            const wchar_t* unit, double goal, const wchar_t* why = nullptr) {
    g_rows.push_back({measure, Median(ours), Median(theirs), unit, goal, why});
}

// Start-up to ready, alternated with the bare program.
void MeasureStartUp(const std::wstring& measure, Program ours, Program theirs, int rounds) {
    std::vector<double> ourTimes, theirTimes;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            bool oursNow = (round + turn) % 2 == 0;
            Program& program = oursNow ? ours : theirs;
            double time = StartAndWait(program);
            Stop(program);
            if (round > 0 && time >= 0) {
                (oursNow ? ourTimes : theirTimes).push_back(time);
            }
        }
    }
    AddRow(measure, ourTimes, theirTimes, L"ms", 1.2);
}

void MeasureHotKeyRun(int rounds) {
    const wchar_t ourEvent[] = L"TessalyBenchTarget", theirEvent[] = L"BareBenchTarget";
    HANDLE ourStarted = CreateEventW(nullptr, FALSE, FALSE, ourEvent);
    HANDLE theirStarted = CreateEventW(nullptr, FALSE, FALSE, theirEvent);
    WriteStore(1, false, [](int) { return std::wstring(L"bench_target"); }, ourEvent);
    HKEY task = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, StoreKey(L"Tasks\\Task0").c_str(), 0, KEY_ALL_ACCESS, &task);
    SetDword(task, L"fsModifiers", MOD_CONTROL | MOD_ALT);
    SetDword(task, L"vk", 'B');
    RegCloseKey(task);
    WriteSetting(L"Time", 500);
    WriteSetting(L"Fade", 0);
    auto ours = Start(L"Tessaly.exe", L"");
    auto theirs = Start(L"bench_bare_window.exe", std::wstring(L"run ") + theirEvent);
    PumpUntil([] { return GlobalFindAtomW(L"Tessaly00030042") && GlobalFindAtomW(L"Bare00030056"); });
    ours->WaitForInputIdle(30000);
    theirs->WaitForInputIdle(30000);
    std::vector<double> ourTimes, theirTimes;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            bool oursNow = (round + turn) % 2 == 0;
            double start = Now();
            PressKeys({VK_CONTROL, VK_MENU, static_cast<WORD>(oursNow ? 'B' : 'V')});
            bool ran = WaitForSingleObject(oursNow ? ourStarted : theirStarted, 30000) == WAIT_OBJECT_0;
            double time = Now() - start;
            // Both name windows are gone before the next press.
            Sleep(800);
            if (round > 0 && ran) {
                (oursNow ? ourTimes : theirTimes).push_back(time);
            }
        }
    }
    PostMessageW(FindWindowW(kMainClass, L"Tessaly"), WM_COMMAND, MAKEWPARAM(kExit, 0), 0);
    ours->WaitForExitUndisturbed(30000);
    theirs.reset();
    ClearAtoms(L"Bare", 0);
    while (ATOM atom = GlobalFindAtomW(L"Bare00030056")) {
        GlobalDeleteAtom(atom);
    }
    AddRow(L"hotkey press to the command running, with the name window", ourTimes, theirTimes, L"ms", 1.1);
}

// The resident size of a running program in KB: its Linux process's under
// Wine, its working set elsewhere; and its private bytes where the system
// counts them (Wine reports none).
struct Memory {
    double resident = 0, privateBytes = 0;
};

Memory MemoryOf(const wchar_t* exe, DWORD pid) {
    Memory memory;
    memory.resident = ResidentKilobytes(exe);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (process &&
        GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters))) {
        if (memory.resident == 0) {
            memory.resident = static_cast<double>(counters.WorkingSetSize) / 1024;
        }
        memory.privateBytes = static_cast<double>(counters.PrivateUsage) / 1024;
    }
    if (process) {
        CloseHandle(process);
    }
    return memory;
}

void WaitUntilSettled(const std::wstring& exe);

// Every state a user leaves Tessaly in, against the bare tray program (one
// window, its tray icon, one hotkey) left alone as long, in the same rounds.
// A plain start has a stored configuration, empty: the two first tasks; a
// first start has none, and opens the settings.
enum RestingState { kPlainStart, kPrepared, kLauncherOpened, kFirstStart, kSettingsClosed, kRestingStates };
const wchar_t* const kRestingStateNames[kRestingStates] = {
    L"after a plain start", L"after the idle preparation", L"after the first launcher opening",
    L"at first start with the settings open", L"after the settings closed"};

// Under Wine, the states whose goal of 1.15 cannot be met, checked against
// the cost the README's "Memory and size" documents, with its reason. Each
// is measured all the same; on Windows every state has its goal.
struct MemoryGoal {
    double goal;
    const wchar_t* why;
};
const MemoryGoal kWineMemoryCosts[kRestingStates] = {
    {0, nullptr},
    {0, nullptr},
    {1.20, L"Wine's imm32 starts COM for the focused launcher, and its ole32 and combase, importing each other, stay"},
    {1.52, L"the open dialog's common controls, COM and OLE, oleacc, fonts and drawing surface"},
    {1.40, L"Wine keeps COM's libraries, its X11 driver's image of the dialog and the heap the dialog freed"},
};

void MeasureMemory(int rounds) {
    std::vector<double> ours[kRestingStates][2], theirs[2];
    auto note = [](std::vector<double>* into, const Memory& memory) {
        into[0].push_back(memory.resident);
        into[1].push_back(memory.privateBytes);
    };
    for (int round = 0; round < rounds; ++round) {
        const bool kept = round > 0;
        {
            auto bare = Start(L"bench_bare_window.exe", L"one");
            PumpUntil([] { return FindWindowW(L"BareWindow", nullptr) != nullptr; });
            bare->WaitForInputIdle(30000);
            WaitUntilSettled(L"bench_bare_window.exe");
            const Memory memory = MemoryOf(L"bench_bare_window.exe", bare->id());
            if (kept) {
                note(theirs, memory);
            }
            PostMessageW(FindWindowW(L"BareWindow", nullptr), WM_CLOSE, 0, 0);
            bare->WaitForExitUndisturbed(30000);
            while (ATOM atom = GlobalFindAtomW(L"Bare00030039")) {
                GlobalDeleteAtom(atom);
            }
        }
        for (int first = 0; first < 2; ++first) {
            RegDeleteTreeW(HKEY_CURRENT_USER, kStorePath);
            if (!first) {
                HKEY key = nullptr;
                RegCreateKeyExW(HKEY_CURRENT_USER, kStorePath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
                RegCloseKey(key);
            }
            auto tessaly = Start(L"Tessaly.exe", L"");
            HWND main = nullptr;
            PumpUntil([&] { return (main = FindWindowW(kMainClass, L"Tessaly")) != nullptr; });
            tessaly->WaitForInputIdle(30000);
            auto measure = [&](RestingState state) {
                const Memory memory = MemoryOf(L"Tessaly.exe", tessaly->id());
                if (kept) {
                    note(ours[state], memory);
                }
            };
            if (first) {
                HWND settings = e2e::WaitForProcessWindow(tessaly->id(), L"#32770");
                WaitUntilSettled(L"Tessaly.exe");
                measure(kFirstStart);
                // Closed as its close box closes it; the store is written then.
                PostMessageW(settings, WM_CLOSE, 0, 0);
                PumpUntil([&] { return !IsWindow(settings); });
                // A user comes back some time later: the rest is over.
                Sleep(kRestingDelayMs);
                WaitUntilSettled(L"Tessaly.exe");
                measure(kSettingsClosed);
            } else {
                measure(kPlainStart);
                WaitUntilSettled(L"Tessaly.exe");
                measure(kPrepared);
                OpenAndClose(main, L"Tessaly_LauncherWindowClass", 2);
                Sleep(kRestingDelayMs);
                WaitUntilSettled(L"Tessaly.exe");
                measure(kLauncherOpened);
            }
            PostMessageW(main, WM_COMMAND, MAKEWPARAM(kExit, 0), 0);
            tessaly->WaitForExitUndisturbed(30000);
        }
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kStorePath);
    for (int state = 0; state < kRestingStates; ++state) {
        // A plain start holds only what the program needs to wait for a key.
        const double goal = state == kPlainStart ? 1.05 : 1.15;
        static const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        const MemoryGoal& cost = kWineMemoryCosts[state];
        AddRow(std::wstring(L"resident memory ") + kRestingStateNames[state], ours[state][0], theirs[0], L"KB",
               underWine && cost.why ? cost.goal : goal, underWine ? cost.why : nullptr);
        if (Median(theirs[1]) > 0) {
            AddRow(std::wstring(L"private bytes ") + kRestingStateNames[state], ours[state][1], theirs[1], L"KB",
                   goal);
        }
    }
}

// A launcher program started and ready for its command: its main window
// there and idle.
struct LauncherProgram {
    std::unique_ptr<harness::Process> process;
    HWND main = nullptr;
};

LauncherProgram StartLauncher(bool ours, const std::wstring& commands) {
    LauncherProgram program;
    program.process = ours ? Start(L"Tessaly.exe", L"") : Start(L"bench_bare_launcher.exe", L"\"" + commands + L"\"");
    PumpUntil([&] {
        return (program.main = ours ? FindWindowW(kMainClass, L"Tessaly") : FindWindowW(L"BareLauncherMain", nullptr)) !=
               nullptr;
    });
    program.process->WaitForInputIdle(30000);
    return program;
}

// Until the program has used no processor time for a while after a moment
// of rest: Tessaly prepares its launcher shortly after start-up, as a user's
// first opening comes some seconds after logon. The bare program waits alike.
void WaitUntilSettled(const std::wstring& exe) {
    const double start = Now();
    Sleep(2500);
    const std::wstring folder = ProcFolder(exe);
    unsigned long long last = ~0ull;
    double quietSince = Now();
    while (!folder.empty() && Now() - start < 30000) {
        const unsigned long long used = ProcessorTicks(folder);
        if (used != last) {
            last = used;
            quietSince = Now();
        } else if (Now() - quietSince >= 500) {
            break;
        }
        Sleep(50);
    }
}

// Tessaly is asked to exit; the bare program is ended.
void StopLauncher(bool ours, LauncherProgram& program) {
    if (ours) {
        PostMessageW(program.main, WM_COMMAND, MAKEWPARAM(kExit, 0), 0);
        program.process->WaitForExitUndisturbed(30000);
    }
    program.process.reset();
}

double OpenLauncher(bool ours, HWND main) {
    return ours ? OpenAndClose(main, L"Tessaly_LauncherWindowClass", kLauncherTasks)
                : OpenAndClose(main, L"BareLauncherPopup", kLauncherTasks);
}

// 200 tasks on 200 commands of their own. Tessaly keeps what it found and
// took at one opening for the next, and prepares the first one at idle
// after its start, where the bare program starts from nothing each time:
// both openings are measured against that.
void MeasureLauncher(int rounds) {
    MakeCommands(kLauncherTasks);
    WriteStore(kLauncherTasks, false, Command);
    std::wstring commands = WriteCommandFile(kLauncherTasks);
    std::vector<double> ours, theirs, ourFirst, theirFirst;
    // Each program's resident memory after start-up, once settled (Tessaly's
    // preparation done) and after the first opening: all of it, and its own
    // part (no modules).
    std::vector<double> memory[2][3][2];
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            bool oursNow = (round + turn) % 2 == 0;
            const wchar_t* exe = oursNow ? L"Tessaly.exe" : L"bench_bare_launcher.exe";
            auto noteMemory = [&](int at) {
                if (round > 0) {
                    memory[oursNow][at][0].push_back(ResidentKilobytes(exe));
                    memory[oursNow][at][1].push_back(ResidentKilobytes(exe, "RssAnon:"));
                }
            };
            LauncherProgram program = StartLauncher(oursNow, commands);
            noteMemory(0);
            WaitUntilSettled(exe);
            noteMemory(1);
            double time = program.main ? OpenLauncher(oursNow, program.main) : -1;
            noteMemory(2);
            StopLauncher(oursNow, program);
            if (round > 0 && time >= 0) {
                (oursNow ? ourFirst : theirFirst).push_back(time);
            }
        }
    }
    for (int program = 1; program >= 0; --program) {
        auto at = [&](int when, int part) { return Median(memory[program][when][part]); };
        wprintf(L"%ls resident memory with 200 tasks after start-up, once settled and just after the first opening: "
                L"%.0f, %.0f and %.0f KB; its own part (no modules): %.0f, %.0f and %.0f KB\n",
                program ? L"Tessaly's" : L"The bare launcher's", at(0, 0), at(1, 0), at(2, 0), at(0, 1), at(1, 1),
                at(2, 1));
    }
    // What the kept pictures take: 200 icons of 32 x 32 pixels, colour and mask.
    wprintf(L"(the pictures: %.0f KB)\n", kLauncherTasks * (32 * 32 * 4 + 32 * 32 / 8) / 1024.0);
    LauncherProgram tessaly = StartLauncher(true, commands);
    LauncherProgram bare = StartLauncher(false, commands);
    // Tessaly's first opening, not measured here.
    OpenLauncher(true, tessaly.main);
    for (int round = 0; round < rounds && tessaly.main && bare.main; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            bool oursNow = (round + turn) % 2 == 0;
            double time = OpenLauncher(oursNow, oursNow ? tessaly.main : bare.main);
            if (round > 0 && time >= 0) {
                (oursNow ? ours : theirs).push_back(time);
            }
        }
    }
    StopLauncher(true, tessaly);
    StopLauncher(false, bare);
    AddRow(L"launcher, 200 listed tasks, first opening after start against the bare one from nothing", ourFirst,
           theirFirst, L"ms", 0.25);
    AddRow(L"launcher, 200 listed tasks, repeated opening against the bare one from nothing", ours, theirs, L"ms",
           0.25);
}

// The program's own load and save, in this process: the time at 1,000 tasks
// against ten times the time at 100 must stay linear. The tasks have no
// hotkeys here: registering them is the system's work, whose cost grows
// faster than the count under Wine (1,000 keys take some 20 % more than ten
// times 100), and the 1,000-task start-up row measures it against a bare
// program registering the same keys.
void MeasureStore(int rounds) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    g_mainWindow = owner;
    double load[3] = {}, save[3] = {};
    const int sizes[] = {10, 100, 1000};
    for (int s = 0; s < 3; ++s) {
        std::vector<double> loads, saves;
        for (int round = 0; round < rounds; ++round) {
            WriteStore(sizes[s], false, [](int) { return std::wstring(L"notepad"); });
            double start = Now();
            LoadStore();
            double loaded = Now();
            SaveStore();
            double saved = Now();
            g_taskList.Clear();
            if (round > 0) {
                loads.push_back(loaded - start);
                saves.push_back(saved - loaded);
            }
        }
        load[s] = Median(loads);
        save[s] = Median(saves);
    }
    // The same 1,000 tasks in a portable copy's settings file, against the
    // registry's figures.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tessaly-bench-portable", file = folder + L"\\Tessaly.ini";
    CreateDirectoryW(folder.c_str(), nullptr);
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::vector<double> fileLoads, fileSaves;
    for (int round = 0; round < rounds; ++round) {
        WriteStore(1000, false, [](int) { return std::wstring(L"notepad"); });
        LoadStore();
        SetProgramFolder(folder.c_str());
        double start = Now();
        SaveStore();
        double saved = Now();
        g_taskList.Clear();
        LoadStore();
        double loaded = Now();
        g_taskList.Clear();
        SetProgramFolder(nullptr);
        if (round > 0) {
            fileSaves.push_back(saved - start);
            fileLoads.push_back(loaded - saved);
        }
    }
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
    DestroyWindow(owner);
    RegDeleteTreeW(HKEY_CURRENT_USER, kStorePath);
    wprintf(L"store load at 10 / 100 / 1,000 tasks: %.1f / %.1f / %.1f ms; save: %.1f / %.1f / %.1f ms\n", load[0],
            load[1], load[2], save[0], save[1], save[2]);
    // Against a bare program that is ten times as fast per task: the ratio
    // of the row is 1,000-task time / (10 x the 100-task time), linear at 1.0.
    g_rows.push_back({L"store load, 1,000 tasks against 10 x 100", load[2], 10 * load[1], L"ms", 1.2});
    g_rows.push_back({L"store save, 1,000 tasks against 10 x 100", save[2], 10 * save[1], L"ms", 1.2});
    AddRow(L"settings file load, 1,000 tasks against the registry store", fileLoads, {load[2]}, L"ms", 1.2);
    AddRow(L"settings file save, 1,000 tasks against the registry store", fileSaves, {save[2]}, L"ms", 1.2);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Rounds of each group, the first one discarded: enough alternated pairs
    // that a row's spread from run to run stays inside its goal's margin.
    // The hotkey row, a few milliseconds against a few, needs the most.
    int rounds = 0;
    bool checkOnly = false;
    // --only start|memory|hotkey|launcher|store: measures that group of rows alone.
    const wchar_t* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--one-round") == 0) {
            rounds = 2;  // the first is always discarded
            checkOnly = true;
        } else if (wcscmp(argv[i], L"--rounds") == 0 && i + 1 < argc) {
            // The same for every group.
            rounds = std::max(2, _wtoi(argv[++i]));
        } else if (wcscmp(argv[i], L"--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        }
    }
    g_bin = e2e::BinDir();
    auto measures = [only](const wchar_t* group) { return !only || wcscmp(only, group) == 0; };
    auto roundsOf = [rounds](int usual) { return rounds ? rounds : usual; };

    if (measures(L"start")) {
        WriteStore(2, true, [](int) { return std::wstring(L"notepad"); });
        MeasureStartUp(L"start-up to the last hotkey registered, 2 tasks",
                       {L"Tessaly.exe", L"", kMainClass, L"Tessaly", 2},
                       {L"bench_bare_window.exe", L"one", L"BareWindow", L"Bare", 10}, roundsOf(15));
        WriteStore(kManyTasks, true, [](int) { return std::wstring(L"notepad"); });
        MeasureStartUp(L"start-up to the last hotkey registered, 1,000 tasks",
                       {L"Tessaly.exe", L"", kMainClass, L"Tessaly", kManyTasks},
                       {L"bench_bare_window.exe", L"store", L"BareWindow", L"Bare", kManyTasks}, roundsOf(11));
    }
    if (measures(L"memory")) {
        MeasureMemory(roundsOf(4));
    }
    if (measures(L"hotkey")) {
        MeasureHotKeyRun(roundsOf(65));
    }
    if (measures(L"launcher")) {
        MeasureLauncher(roundsOf(11));
    }
    if (measures(L"store")) {
        MeasureStore(roundsOf(13));
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kStorePath);

    bool missed = false;
    wprintf(L"| Measure | Tessaly | Bare program | Ratio | Goal |\n|---|---|---|---|---|\n");
    for (const Row& row : g_rows) {
        double ratio = row.theirs > 0 ? row.ours / row.theirs : 0;
        bool ok = row.theirs > 0 && ratio <= row.goal;
        missed = missed || !ok;
        wprintf(L"| %ls | %.1f %ls | %.1f %ls | %.2f | <= %.2f%ls%ls%ls |\n", row.measure.c_str(), row.ours,
                row.unit, row.theirs, row.unit, ratio, row.goal, row.why ? L", the README's figure: " : L"",
                row.why ? row.why : L"", ok ? L"" : L" (missed)");
    }
    DWORD program = FileSize(L"Tessaly.exe") + FileSize(L"quillet.dll") + FileSize(L"pirnel.dll");
    DWORD ombrel = FileSize(L"Ombrel.exe");
    wprintf(L"| Tessaly.exe + quillet.dll + pirnel.dll | %lu bytes | | | <= %lu |\n", program, kProgramBudget);
    wprintf(L"| Ombrel.exe | %lu bytes | | | <= %lu |\n", ombrel, kOmbrelBudget);
    wprintf(L"(each the median of its group's rounds after the first)\n");
    missed = missed || program > kProgramBudget || ombrel > kOmbrelBudget;
    if (checkOnly) {
        return 0;
    }
    if (missed) {
        fwprintf(stderr, L"a goal was missed\n");
    }
    return missed ? 1 : 0;
}
