#include "tests/e2e/driver.h"

#include <dlgs.h>
#include <psapi.h>
#include <shlwapi.h>
#include <winternl.h>

#include <algorithm>

namespace e2e {

using harness::PumpUntil;

std::wstring BinDir() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return path;
}

Process::Process(const std::wstring& program, const std::wstring& words, const std::wstring& folder)
    : harness::Process(L"\"" + (folder.empty() ? BinDir() : folder) + L"\\" + program + L"\"" +
                           (words.empty() ? L"" : L" " + words),
                       folder.empty() ? BinDir() : folder, (folder.empty() ? BinDir() : folder) + L"\\" + program) {}

namespace {

constexpr const wchar_t* kPortableFiles[] = {L"Tessaly.exe", L"quillet.dll", L"pirnel.dll"};

}  // namespace

PortableCopy::PortableCopy(const std::wstring& name)
    : m_folder(BinDir() + L"\\" + name), m_file(m_folder + L"\\Tessaly.ini") {
    // What a failed run left is cleared first.
    Remove();
    m_made = CreateDirectoryW(m_folder.c_str(), nullptr) != FALSE;
    for (const wchar_t* program : kPortableFiles) {
        m_made = m_made && CopyFileW((BinDir() + L"\\" + program).c_str(), (m_folder + L"\\" + program).c_str(), FALSE);
    }
    HANDLE file = CreateFileW(m_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_made = m_made && file != INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
}

PortableCopy::~PortableCopy() { Remove(); }

void PortableCopy::Remove() {
    SetFileAttributesW(m_file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(m_file.c_str());
    DeleteFileW((m_file + L".new").c_str());
    DeleteFileW((m_file + L".bad").c_str());
    for (const wchar_t* program : kPortableFiles) {
        DeleteFileW((m_folder + L"\\" + program).c_str());
    }
    RemoveDirectoryW(m_folder.c_str());
}

std::wstring SettingsFileText(const std::wstring& file, const wchar_t* section, const wchar_t* name) {
    wchar_t text[512] = {};
    GetPrivateProfileStringW(section, name, L"", text, 512, file.c_str());
    return text;
}

ULONGLONG FileLook(const std::wstring& file) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    const ULONGLONG written = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                              data.ftLastWriteTime.dwLowDateTime;
    return written ^ (static_cast<ULONGLONG>(data.nFileSizeLow) << 48) ^ data.nFileSizeHigh ^ 1;
}

bool WaitForSave(const std::wstring& file, ULONGLONG before) {
    return harness::PumpUntil([&] { return FileLook(file) != before; });
}

bool ChooseInFileDialog(HWND dialog, const std::wstring& path) {
    // The name field is a combo box in the system's newer layout, an edit in the older.
    HWND name = GetDlgItem(dialog, cmb13);
    if (!name) {
        name = GetDlgItem(dialog, edt1);
    }
    if (!name || !SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()))) {
        return false;
    }
    return PostMessageW(dialog, WM_COMMAND, IDOK, 0) != FALSE;
}

namespace {

// Starts a program of the Linux side under Wine. Wine gives such a start no
// process of its own: it returns no process handle, and a thread handle that
// is whatever value its variable held, at times a live handle of this
// process (once the tray stand-in's message queue, which then never woke
// again). Only a real process comes with handles to close.
bool StartLinuxProgram(const wchar_t* program, std::wstring line, const wchar_t* folder = nullptr) {
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &info)) {
        return false;
    }
    if (info.hProcess) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    return true;
}

}  // namespace

bool StartUnderLocale(const std::wstring& program, const std::wstring& locale) {
    return StartLinuxProgram(L"Z:\\usr\\bin\\env",
                             L"/usr/bin/env LC_ALL=" + locale + L" wine \"" + BinDir() + L"\\" + program + L"\"",
                             BinDir().c_str());
}

namespace {

struct WindowSearch {
    DWORD pid;
    const wchar_t* className;
    const wchar_t* title;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.pid || (search.visibleOnly && !IsWindowVisible(window))) {
        return TRUE;
    }
    wchar_t className[256];
    GetClassNameW(window, className, 256);
    if (lstrcmpW(className, search.className) != 0) {
        return TRUE;
    }
    if (search.title && WindowText(window) != search.title) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

struct ChildSearch {
    const std::wstring* text;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<ChildSearch*>(lParam);
    if (WindowText(window) == *search.text) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title, bool visibleOnly) {
    WindowSearch search = {pid, className, title, visibleOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title,
                          bool visibleOnly, DWORD timeoutMs) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindProcessWindow(pid, className, title, visibleOnly)) != nullptr; },
            timeoutMs);
    return found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    // Across processes WM_GETTEXT is answered by the owner; a hung one is skipped.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, &result);
    return text;
}

HWND FindChildWithText(HWND parent, const std::wstring& text) {
    ChildSearch search = {&text, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

using harness::kStorePath;

void DeleteStore() { RegDeleteTreeW(HKEY_CURRENT_USER, kStorePath); }

namespace {

HKEY CreateKey(const std::wstring& subkey) {
    std::wstring path = std::wstring(kStorePath) + (subkey.empty() ? L"" : L"\\" + subkey);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    return key;
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * 2));
}

std::wstring StorePath(const std::wstring& subkey) {
    return std::wstring(kStorePath) + (subkey.empty() ? L"" : L"\\" + subkey);
}

}  // namespace

void WriteStore(const std::vector<StoredTask>& tasks, int count, int showIcon) {
    RegCloseKey(CreateKey(L""));
    for (size_t i = 0; i < tasks.size(); ++i) {
        HKEY key = CreateKey(L"Tasks\\Task" + std::to_wstring(i));
        SetDword(key, L"fsModifiers", tasks[i].modifiers);
        SetDword(key, L"vk", tasks[i].vk);
        SetString(key, L"File", tasks[i].file);
        SetString(key, L"Name", tasks[i].name);
        SetString(key, L"Parameter", tasks[i].parameter);
        SetString(key, L"Task", tasks[i].folder);
        SetDword(key, L"Show", static_cast<DWORD>(tasks[i].show));
        if (tasks[i].activate) {
            SetDword(key, L"Activate", static_cast<DWORD>(tasks[i].activate));
        }
        if (tasks[i].condition) {
            SetDword(key, L"Condition", static_cast<DWORD>(tasks[i].condition));
            SetString(key, L"Programs", tasks[i].programs);
        }
        if (tasks[i].nextVk) {
            SetDword(key, L"NextModifiers", 0);
            SetDword(key, L"NextVk", tasks[i].nextVk);
        }
        RegCloseKey(key);
    }
    if (count >= 0) {
        HKEY key = CreateKey(L"Tasks");
        SetDword(key, L"Count", static_cast<DWORD>(count));
        RegCloseKey(key);
    }
    if (showIcon >= 0) {
        HKEY key = CreateKey(L"Setting");
        SetDword(key, L"ShowIcon", static_cast<DWORD>(showIcon));
        RegCloseKey(key);
    }
}

void WriteSetting(const wchar_t* name, DWORD value) {
    HKEY key = CreateKey(L"Setting");
    SetDword(key, name, value);
    RegCloseKey(key);
}

bool ReadStoreDword(const std::wstring& subkey, const wchar_t* name, DWORD& value) {
    return harness::ReadDword(StorePath(subkey).c_str(), name, value);
}

bool ReadStoreString(const std::wstring& subkey, const wchar_t* name, std::wstring& value) {
    return harness::ReadString(StorePath(subkey).c_str(), name, value);
}

bool StoreKeyExists(const std::wstring& subkey) { return harness::KeyExists(StorePath(subkey).c_str()); }

namespace {

template <typename Fn>
Fn NtdllFunction(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

SIZE_T PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {sizeof(counters)};
    if (K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters)) &&
        counters.PrivateUsage != 0) {
        return counters.PrivateUsage;
    }
    // The committed private regions, which the heaps grow in.
    SIZE_T sum = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            sum += region.RegionSize;
        }
    }
    return sum;
}

DWORD HandleCount(HANDLE process, DWORD pid) {
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count != 0) {
        return count;
    }
    // The process's entries in the system's handle list (as Wine lays it out).
    using QueryFn = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    struct Entry {
        ULONG pid;
        UCHAR type, flags;
        USHORT handle;
        void* object;
        ULONG access;
    };
    struct List {
        ULONG count;
        Entry entries[1];
    };
    auto query = NtdllFunction<QueryFn>("NtQuerySystemInformation");
    std::vector<Entry> buffer(4096);
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), ULONG(buffer.size() * sizeof(Entry)),
                           nullptr)) == kLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return 0;
    }
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    return static_cast<DWORD>(
        std::count_if(list->entries, list->entries + list->count, [&](const Entry& e) { return e.pid == pid; }));
}

// Wine keeps each process's GDI objects in a table of its own, which the PEB
// points to as on Windows (GdiSharedHandleTable, at 0xF8 in a 64-bit PEB): a
// live entry has a non-zero type. Each window DC of Wine's cache is three
// entries that come and go together, of types 1, 4 and 5.
void CountGdiTable(HANDLE process, ProcessCounts& counts) {
    struct Entry {
        UINT64 object;
        ULONG owner;
        USHORT unique;
        UCHAR type, flags;
        UINT64 user;
    };
    static_assert(sizeof(Entry) == 24, "the table's layout");
    constexpr size_t kEntries = 0x10000;
    constexpr size_t kPebGdiTable = 0xF8;
    constexpr UCHAR kWindowDcSurface = 5;
    using QueryFn = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    PROCESS_BASIC_INFORMATION basic = {};
    UINT64 table = 0;
    std::vector<Entry> entries(kEntries);
    if (NtdllFunction<QueryFn>("NtQueryInformationProcess")(process, ProcessBasicInformation, &basic,
                                                            sizeof(basic), nullptr) != 0 ||
        !ReadProcessMemory(process, reinterpret_cast<char*>(basic.PebBaseAddress) + kPebGdiTable, &table,
                           sizeof(table), nullptr) ||
        table == 0 ||
        !ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), kEntries * sizeof(Entry),
                           nullptr)) {
        return;
    }
    DWORD live = 0;
    for (const Entry& entry : entries) {
        live += entry.type != 0;
        counts.windowDcs += entry.type == kWindowDcSurface;
    }
    counts.gdiObjects = live - 3 * counts.windowDcs;
}

struct WindowTally {
    DWORD pid;
    DWORD count;
};

BOOL CALLBACK CountChild(HWND, LPARAM tally) {
    ++reinterpret_cast<WindowTally*>(tally)->count;
    return TRUE;
}

BOOL CALLBACK CountWindowTree(HWND window, LPARAM lParam) {
    auto* tally = reinterpret_cast<WindowTally*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == tally->pid) {
        ++tally->count;
        EnumChildWindows(window, CountChild, lParam);
    }
    return TRUE;
}

}  // namespace

ProcessCounts CountProcess(HANDLE process, DWORD pid) {
    ProcessCounts counts;
    counts.privateBytes = PrivateBytes(process);
    counts.handles = HandleCount(process, pid);
    counts.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    if (counts.gdiObjects == 0) {
        CountGdiTable(process, counts);
    }
    counts.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    WindowTally tally = {pid, 0};
    EnumWindows(CountWindowTree, reinterpret_cast<LPARAM>(&tally));
    for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        CountWindowTree(window, reinterpret_cast<LPARAM>(&tally));
    }
    counts.windows = tally.count;
    return counts;
}

bool HotKeyIsFree(UINT modifiers, UINT vk) {
    if (!RegisterHotKey(nullptr, 0xB00, modifiers, vk)) {
        return false;
    }
    UnregisterHotKey(nullptr, 0xB00);
    return true;
}

namespace {
TraySpy* g_spy = nullptr;
}

TraySpy::TraySpy() {
    g_spy = this;
    m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this] { Run(); });
    WaitForSingleObject(m_ready, 10000);
}

TraySpy::~TraySpy() {
    PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    m_thread.join();
    CloseHandle(m_ready);
    g_spy = nullptr;
}

void TraySpy::Run() {
    m_threadId = GetCurrentThreadId();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    SetEvent(m_ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    DestroyWindow(window);
    UnregisterClassW(L"Shell_TrayWnd", windowClass.hInstance);
}

LRESULT CALLBACK TraySpy::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && g_spy) {
        // The shell's record: owner (32 bits), id, flags, callback, tip[128], ...
        auto data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        Call call = {static_cast<DWORD>(data->dwData), 0, 0, 0, 0, L""};
        if (data->cbData >= 16 + 128 * sizeof(wchar_t)) {
            auto fields = static_cast<const DWORD*>(data->lpData);
            call.window = fields[0];
            call.id = fields[1];
            call.flags = fields[2];
            call.callbackMessage = fields[3];
            auto tip = reinterpret_cast<const wchar_t*>(fields + 4);
            call.tip.assign(tip, wcsnlen(tip, 128));
        }
        std::lock_guard<std::mutex> lock(g_spy->m_lock);
        g_spy->m_calls.push_back(call);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<TraySpy::Call> TraySpy::Calls() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_calls;
}

size_t TraySpy::Count(DWORD message) {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<size_t>(std::count_if(m_calls.begin(), m_calls.end(),
                                             [&](const Call& c) { return c.message == message; }));
}

void TraySpy::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_calls.clear();
}

void PressKeys(const std::vector<WORD>& keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void MoveMouseTo(POINT point) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
}

void ClickAt(POINT point, bool rightButton) {
    // The button events carry the point themselves: a click sent after a bare
    // cursor move can land where the cursor was while the move is still on its
    // way through a busy desktop.
    MoveMouseTo(point);
    PumpUntil([&] {
        POINT now = {};
        return GetCursorPos(&now) && now.x == point.x && now.y == point.y;
    }, 2000);
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags |= rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void Screenshot(const std::wstring& name, HWND window, HWND alsoShown) {
    if (window) {
        // Painting is asynchronous: make the window draw now, then let the
        // desktop catch up before the picture is taken.
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    Sleep(500);
    // Under Wine the test can start the Linux side's ImageMagick directly; on
    // Windows there is no such helper and no shot is taken.
    std::wstring folder = BinDir();
    PathRemoveFileSpecW(&folder[0]);
    folder = folder.c_str() + std::wstring(L"\\screenshots");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::string unixFolder = harness::UnixPath(folder);
    if (unixFolder.empty()) {
        return;
    }
    std::string target = unixFolder + "/" + std::string(name.begin(), name.end()) + ".png";
    std::wstring shot = folder + L"\\" + name + L".png";
    DeleteFileW(shot.c_str());
    // A window is shown with a little of the desktop about it (and the other
    // window it opened, such as its menu); without one, the whole screen.
    std::string crop;
    RECT area = {};
    if (window && GetWindowRect(window, &area)) {
        RECT other = {};
        if (alsoShown && GetWindowRect(alsoShown, &other)) {
            UnionRect(&area, &area, &other);
        }
        constexpr int kMargin = 12;
        area.left = std::max(0L, area.left - kMargin);
        area.top = std::max(0L, area.top - kMargin);
        area.right = std::min(static_cast<LONG>(GetSystemMetrics(SM_CXSCREEN)), area.right + kMargin);
        area.bottom = std::min(static_cast<LONG>(GetSystemMetrics(SM_CYSCREEN)), area.bottom + kMargin);
        crop = " -crop " + std::to_string(area.right - area.left) + "x" + std::to_string(area.bottom - area.top) +
               "+" + std::to_string(area.left) + "+" + std::to_string(area.top) + " +repage";
    }
    std::string commandLine = "/usr/bin/import -window root" + crop + " \"" + target + "\"";
    // The Linux path is UTF-8, whatever the code page.
    std::wstring line(MultiByteToWideChar(CP_UTF8, 0, commandLine.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, commandLine.c_str(), -1, &line[0], static_cast<int>(line.size()));
    line.pop_back();
    if (!StartLinuxProgram(L"Z:\\usr\\bin\\import", line)) {
        return;
    }
    // Wine cannot wait on a Linux process: wait for its picture instead,
    // until its size stops changing.
    LONGLONG lastSize = -1;
    PumpUntil([&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(shot.c_str(), GetFileExInfoStandard, &data)) {
            return false;
        }
        LONGLONG size = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        bool stable = size > 0 && size == lastSize;
        lastSize = size;
        return stable;
    }, 30000);
}

std::wstring LoadedModulePath(DWORD pid, const wchar_t* name) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    HMODULE modules[512];
    DWORD needed = 0;
    std::wstring found;
    if (process && K32EnumProcessModules(process, modules, sizeof(modules), &needed)) {
        for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512 && found.empty(); ++i) {
            wchar_t path[MAX_PATH] = {};
            if (K32GetModuleFileNameExW(process, modules[i], path, MAX_PATH) &&
                lstrcmpiW(PathFindFileNameW(path), name) == 0) {
                CharLowerW(path);
                found = path;
            }
        }
    }
    if (process) {
        CloseHandle(process);
    }
    return found;
}

}  // namespace e2e
