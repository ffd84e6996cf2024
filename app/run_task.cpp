#include "app/run_task.h"

#include <mmsystem.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cwchar>
#include <memory>

#include "app/app_state.h"
#include "app/main_window.h"
#include "model/display_settings.h"
#include "model/task.h"

RunShell g_runShell = {ShellExecuteW, PlaySoundW};

const wchar_t kDefaultExtensions[] = L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH";

namespace {

// One extension element, with room for its terminator.
constexpr size_t kExtensionLength = 264;

// SearchPathW reports a path that does not fit by returning the size it would
// need; such a result is not a find, and the buffer holds nothing usable.
bool SearchFits(const wchar_t* name, const wchar_t* extension, wchar_t* resolved) {
    DWORD length = SearchPathW(nullptr, name, extension, MAX_PATH, resolved, nullptr);
    return length != 0 && length < MAX_PATH;
}

bool IsSeparator(wchar_t c) { return c == L';' || c == L' ' || c == L'\t'; }

// PATHEXT, or the default list when it is unset; `owner` keeps the copy.
const wchar_t* ExtensionList(std::unique_ptr<wchar_t[]>& owner) {
    DWORD needed = GetEnvironmentVariableW(L"PATHEXT", nullptr, 0);
    if (needed == 0) {
        return kDefaultExtensions;
    }
    owner.reset(new wchar_t[needed]);
    DWORD length = GetEnvironmentVariableW(L"PATHEXT", owner.get(), needed);
    if (length >= needed) {
        owner[0] = L'\0';
    }
    return owner.get();
}

int SearchCommand(const wchar_t* command, wchar_t* resolved) {
    int drive = PathGetDriveNumberW(command);
    if (drive >= 0) {
        // Looking along the search order for a file on a missing drive would
        // only wait for the drive; it cannot be there.
        wchar_t root[] = {static_cast<wchar_t>(L'A' + drive), L':', L'\\', L'\0'};
        if (!PathFileExistsW(root)) {
            return 0;
        }
    }
    if (*PathFindExtensionW(command) != L'\0') {
        return SearchFits(command, nullptr, resolved) ? 1 : 0;
    }

    std::unique_ptr<wchar_t[]> copy;
    const wchar_t* position = ExtensionList(copy);
    for (;;) {
        while (IsSeparator(*position)) {
            ++position;
        }
        const wchar_t* end = wcschr(position, L';');
        size_t length = end ? static_cast<size_t>(end - position) : wcslen(position);
        // An element too long for any real extension is skipped, never cut.
        if (length < kExtensionLength) {
            wchar_t extension[kExtensionLength];
            wmemcpy(extension, position, length);
            extension[length] = L'\0';
            if (SearchFits(command, extension, resolved)) {
                return 1;
            }
        }
        if (!end) {
            return 0;
        }
        position = end;
    }
}

}  // namespace

struct CommandResolutionMemo::Entry {
    UINT hash;
    int found;
    wchar_t command[MAX_PATH];
    wchar_t resolved[MAX_PATH];
};

namespace {

CommandResolutionMemo* g_memo = nullptr;

UINT HashText(const wchar_t* text) {
    UINT hash = 2166136261u;
    for (; *text; ++text) {
        hash = (hash ^ *text) * 16777619u;
    }
    return hash;
}

}  // namespace

CommandResolutionMemo::CommandResolutionMemo() {
    if (!g_memo) {
        g_memo = this;
        m_active = true;
    }
}

CommandResolutionMemo::~CommandResolutionMemo() {
    if (m_active) {
        g_memo = nullptr;
    }
    delete[] m_entries;
}

const CommandResolutionMemo::Entry* CommandResolutionMemo::Find(const wchar_t* command, UINT hash) const {
    for (size_t i = 0; i < m_count; ++i) {
        if (m_entries[i].hash == hash && CompareStringOrdinal(m_entries[i].command, -1, command, -1, FALSE) == CSTR_EQUAL) {
            return &m_entries[i];
        }
    }
    return nullptr;
}

void CommandResolutionMemo::Add(const wchar_t* command, UINT hash, int found, const wchar_t* resolved) {
    // A command longer than any field is simply not remembered.
    if (lstrlenW(command) >= MAX_PATH) {
        return;
    }
    if (m_count == m_capacity) {
        size_t capacity = m_capacity ? 2 * m_capacity : 16;
        Entry* entries = new Entry[capacity];
        for (size_t i = 0; i < m_count; ++i) {
            entries[i] = m_entries[i];
        }
        delete[] m_entries;
        m_entries = entries;
        m_capacity = capacity;
    }
    Entry& entry = m_entries[m_count++];
    entry.hash = hash;
    entry.found = found;
    lstrcpynW(entry.command, command, MAX_PATH);
    lstrcpynW(entry.resolved, found ? resolved : L"", MAX_PATH);
}

int ResolveCommand(const wchar_t* command, wchar_t* resolved) {
    if (!g_memo) {
        return SearchCommand(command, resolved);
    }
    UINT hash = HashText(command);
    if (const CommandResolutionMemo::Entry* known = g_memo->Find(command, hash)) {
        if (known->found) {
            lstrcpynW(resolved, known->resolved, MAX_PATH);
        }
        return known->found;
    }
    int found = SearchCommand(command, resolved);
    g_memo->Add(command, hash, found, resolved);
    return found;
}

namespace {

void ShowNameWindow(Task& task) {
    if (!task.NameWindow) {
        task.NameWindow = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kNameWindowClass,
                                          task.Name, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          g_instance, nullptr);
    }
    if (task.NameWindow) {
        ShowWindow(task.NameWindow, SW_SHOW);
        // The same identifier again restarts the display time.
        SetTimer(g_mainWindow, reinterpret_cast<UINT_PTR>(task.NameWindow),
                 static_cast<UINT>(g_displaySettings.Time), nullptr);
    }
}

}  // namespace

void RunTask(Task* task) {
    // A request posted by a hotkey can outlive its task, deleted meanwhile
    // in the settings dialog.
    if (!g_taskList.Contains(task)) {
        return;
    }
    wchar_t resolved[MAX_PATH];
    if (!ResolveCommand(task->File, resolved)) {
        return;
    }
    // A working folder that does not fit once expanded is not passed on cut:
    // like an unresolved command, the task then does nothing at all.
    wchar_t directory[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsW(task->WorkingFolder, directory, MAX_PATH);
    if (length == 0 || length > MAX_PATH) {
        return;
    }
    if (task->Sound[0] != L'\0') {
        g_runShell.playSound(task->Sound, nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    }
    ShowNameWindow(*task);
    g_runShell.execute(nullptr, task->RunAs ? L"runas" : nullptr, resolved, task->Parameter,
                       directory, task->Show);
}

void PrepareCommandSearch() {
    // By default the current directory is searched before the system folders,
    // so a "notepad.exe" dropped into whatever folder the program was started
    // from would run instead of the system's. Safe mode searches it after
    // them; permanent, so nothing can switch it back.
    SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}
