#include "model/command_search.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cwchar>
#include <memory>

#include "common/sound.h"

RunShell g_runShell = {ShellExecuteW, PlaySystemSound};

const wchar_t kDefaultExtensions[] = L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH";

namespace {

// One extension element, with room for its terminator.
constexpr size_t kExtensionLength = 264;

// One look for the command with `extension` added (none: as it is) along
// `folders`, or, when there are none, where the command itself says. A found
// path that does not fit is no find: the buffer holds nothing usable then.
bool FindFile(const wchar_t* folders, const wchar_t* command, const wchar_t* extension,
              wchar_t* resolved) {
    if (folders) {
        // An empty search path would mean the system's own order again.
        if (*folders == L'\0') {
            return false;
        }
        DWORD length = SearchPathW(folders, command, extension, MAX_PATH, resolved, nullptr);
        return length != 0 && length < MAX_PATH;
    }
    size_t commandLength = wcslen(command);
    size_t extensionLength = extension ? wcslen(extension) : 0;
    if (commandLength + extensionLength >= MAX_PATH) {
        return false;
    }
    wchar_t name[MAX_PATH];
    wmemcpy(name, command, commandLength);
    wmemcpy(name + commandLength, extension ? extension : L"", extensionLength);
    name[commandLength + extensionLength] = L'\0';
    DWORD length = GetFullPathNameW(name, MAX_PATH, resolved, nullptr);
    return length != 0 && length < MAX_PATH &&
           GetFileAttributesW(resolved) != INVALID_FILE_ATTRIBUTES;
}

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

// A command that names a folder of its own (tools\x, C:x, a full path)
// is taken from there, even relative to the current folder: the user chose
// that folder by writing it.
bool HasFolderPart(const wchar_t* command) {
    return wcspbrk(command, L"\\/") != nullptr || PathGetDriveNumberW(command) >= 0;
}

// Only X:\... and \\server\...: anything else is taken relative to
// the current folder or drive, which the search must never reach.
bool IsAbsoluteFolder(const wchar_t* folder, size_t length) {
    wchar_t drive = static_cast<wchar_t>(folder[0] | 0x20);
    return length >= 3 && ((drive >= L'a' && drive <= L'z' && folder[1] == L':' && IsSlash(folder[2])) ||
                           (IsSlash(folder[0]) && IsSlash(folder[1])));
}

void AppendFolder(wchar_t* list, size_t& used, const wchar_t* folder, size_t length) {
    if (length == 0) {
        return;
    }
    if (used != 0) {
        list[used++] = L';';
    }
    wmemcpy(list + used, folder, length);
    used += length;
    list[used] = L'\0';
}

// The folders a bare command is looked for in, in order, as a search path:
// the program's own folder, the system folder, the Windows folder, then the
// absolute folders of PATH. Never the current folder, which is wherever the
// program happened to be started (a download folder, a shortcut's folder):
// the system's own search order looks there, and with the extensions tried
// one by one across the whole order, a notepad.com planted there would be
// found before the system's notepad.exe. Built afresh each time, as PATH may
// have changed.
std::unique_ptr<wchar_t[]> SearchFolders() {
    DWORD pathSize = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::unique_ptr<wchar_t[]> path(new wchar_t[pathSize + 1]);
    DWORD pathLength = GetEnvironmentVariableW(L"PATH", path.get(), pathSize + 1);
    if (pathLength > pathSize) {
        pathLength = 0;
    }
    path[pathLength] = L'\0';

    std::unique_ptr<wchar_t[]> list(new wchar_t[3 * (MAX_PATH + 1) + pathLength + 2]);
    list[0] = L'\0';
    size_t used = 0;
    wchar_t folder[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
    if (length != 0 && length < MAX_PATH && PathRemoveFileSpecW(folder)) {
        AppendFolder(list.get(), used, folder, wcslen(folder));
    }
    length = GetSystemDirectoryW(folder, MAX_PATH);
    AppendFolder(list.get(), used, folder, length < MAX_PATH ? length : 0);
    length = GetWindowsDirectoryW(folder, MAX_PATH);
    AppendFolder(list.get(), used, folder, length < MAX_PATH ? length : 0);
    for (const wchar_t* entry = path.get(); *entry;) {
        const wchar_t* end = wcschr(entry, L';');
        size_t entryLength = end ? static_cast<size_t>(end - entry) : wcslen(entry);
        if (IsAbsoluteFolder(entry, entryLength)) {
            AppendFolder(list.get(), used, entry, entryLength);
        }
        entry += entryLength + (end ? 1 : 0);
    }
    return list;
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
    std::unique_ptr<wchar_t[]> folderList;
    if (!HasFolderPart(command)) {
        folderList = SearchFolders();
    }
    const wchar_t* folders = folderList.get();
    if (*PathFindExtensionW(command) != L'\0') {
        return FindFile(folders, command, nullptr, resolved) ? 1 : 0;
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
            if (FindFile(folders, command, extension, resolved)) {
                return 1;
            }
        }
        if (!end) {
            return 0;
        }
        position = end;
    }
}

// Windows' own shortcuts keep targets such as %SystemRoot%\system32\...:
// taken as written, that names a folder "%SystemRoot%" below the current one,
// so the variables are expanded before the look. An expansion that does not
// fit a path is no find: cut short, it would name another file.
int SearchExpanded(const wchar_t* command, wchar_t* resolved) {
    if (!wcschr(command, L'%')) {
        return SearchCommand(command, resolved);
    }
    wchar_t expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsW(command, expanded, MAX_PATH);
    return length != 0 && length <= MAX_PATH ? SearchCommand(expanded, resolved) : 0;
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
}

const CommandResolutionMemo::Entry* CommandResolutionMemo::Find(const wchar_t* command, UINT hash) const {
    for (const Entry& entry : m_entries) {
        if (entry.hash == hash && CompareStringOrdinal(entry.command, -1, command, -1, FALSE) == CSTR_EQUAL) {
            return &entry;
        }
    }
    return nullptr;
}

void CommandResolutionMemo::Add(const wchar_t* command, UINT hash, int found, const wchar_t* resolved) {
    // A command longer than any field is simply not remembered.
    if (lstrlenW(command) >= MAX_PATH) {
        return;
    }
    m_entries.push_back(Entry());
    Entry& entry = m_entries[m_entries.size() - 1];
    entry.hash = hash;
    entry.found = found;
    lstrcpynW(entry.command, command, MAX_PATH);
    lstrcpynW(entry.resolved, found ? resolved : L"", MAX_PATH);
}

int ResolveCommand(const wchar_t* command, wchar_t* resolved) {
    if (!g_memo) {
        return SearchExpanded(command, resolved);
    }
    UINT hash = HashText(command);
    if (const CommandResolutionMemo::Entry* known = g_memo->Find(command, hash)) {
        if (known->found) {
            lstrcpynW(resolved, known->resolved, MAX_PATH);
        }
        return known->found;
    }
    int found = SearchExpanded(command, resolved);
    g_memo->Add(command, hash, found, resolved);
    return found;
}

void PrepareCommandSearch() {
    // Commands are looked for along folders of our own choosing, never the
    // current one. Whatever else in the process still asks the system to
    // search by name, its own code included, then at least finds the system
    // folders' files before one dropped into the current folder; permanent,
    // so nothing can switch it back.
    SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}
