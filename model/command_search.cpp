#include "model/command_search.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <memory>

#include "common/file_stamp.h"
#include "common/growable_array.h"
#include "common/kept_text.h"
#include "common/sound.h"
#include "common/ui_libraries.h"
#include "common/unique_handles.h"
#include "model/portable.h"

RunShell g_runShell = {ShellExecuteW, PlaySystemSound, AllowSetForegroundWindow};
DWORD(WINAPI* g_searchPath)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPWSTR, LPWSTR*) = SearchPathW;

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
        DWORD length = g_searchPath(folders, command, extension, MAX_PATH, resolved, nullptr);
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
    WIN32_FILE_ATTRIBUTE_DATA data;
    return length != 0 && length < MAX_PATH && tessaly::g_fileAttributes(resolved, GetFileExInfoStandard, &data);
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

bool IsAsciiLetter(wchar_t c) { return (c | 0x20) >= L'a' && (c | 0x20) <= L'z'; }

// The characters after a scheme's first letter.
bool IsSchemeCharacter(wchar_t c) {
    return IsAsciiLetter(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

size_t SchemeLength(const wchar_t* command) {
    if (!IsAsciiLetter(command[0])) {
        return 0;
    }
    size_t length = 1;
    while (IsSchemeCharacter(command[length])) {
        ++length;
    }
    return length >= 2 && command[length] == L':' ? length : 0;
}

// Asked of Windows, never of a list of ours: a scheme registered as one, or
// one the shell knows how to open.
bool SchemeOpens(const wchar_t* command) {
    wchar_t scheme[kSchemeLength];
    if (!LinkScheme(command, scheme)) {
        return false;
    }
    if (RegGetValueW(HKEY_CLASSES_ROOT, scheme, L"URL Protocol", RRF_RT_ANY, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
        return true;
    }
    DWORD length = 0;
    return SUCCEEDED(AskScheme(scheme, ASSOCSTR_COMMAND, nullptr, &length));
}

bool ShellParses(const wchar_t* location) {
    tessaly::PrepareShellUse();
    PIDLIST_ABSOLUTE list = nullptr;
    const bool parsed = SUCCEEDED(SHParseDisplayName(location, nullptr, &list, 0, nullptr));
    tessaly::unique_cotaskmem owned(list);
    return parsed;
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
// so the variables are expanded before the look. The command as it is looked
// for, or null when its expansion does not fit a path: cut short, it would
// name another file.
const wchar_t* ExpandCommand(const wchar_t* command, wchar_t (&expanded)[MAX_PATH]) {
    if (!wcschr(command, L'%')) {
        return command;
    }
    DWORD length = ExpandEnvironmentStringsW(command, expanded, MAX_PATH);
    return length != 0 && length <= MAX_PATH ? expanded : nullptr;
}

// The folder whose entries decide what a command written with a full path
// finds; false for one relative to the current folder, whose meaning moves.
bool CommandFolder(const wchar_t* command, wchar_t (&folder)[MAX_PATH]) {
    size_t length = wcslen(command);
    if (length >= MAX_PATH || !IsAbsoluteFolder(command, length)) {
        return false;
    }
    wmemcpy(folder, command, length + 1);
    // C:\Tools\ is an entry of C:\, as C:\Tools is.
    while (length > 3 && IsSlash(folder[length - 1])) {
        folder[--length] = L'\0';
    }
    return PathRemoveFileSpecW(folder) != FALSE;
}

using tessaly::KeepText;
using tessaly::KeptText;

struct KeptFolder {
    KeptText path;
    tessaly::FileStamp stamp;
    // Looked at in this listing: the answers resting on it hold from then on.
    bool checked = false;
};

struct KeptAnswer {
    UINT hash = 0;
    int found = 0;
    // Looked up since the last check: an answer no listing asked for is a
    // deleted task's, and goes.
    bool used = false;
    // The kept folder it rests on; kSearchFolders for a bare name.
    int folder = 0;
    KeptText command;
    KeptText resolved;
};

constexpr int kSearchFolders = -1;

// What a volume's file system tells of its folder times, asked once a
// listing: a drive empty at one look may hold a FAT stick at the next.
enum VolumeTimes : signed char { kVolumeUnknown, kVolumeKeepsTimes, kVolumeLosesTimes };

struct KeptSearches {
    // The search folders and PATHEXT the answers were found with.
    KeptText searchPath;
    KeptText extensions;
    // The search folders first, then the folders of commands written with one.
    tessaly::GrowableArray<KeptFolder> folders;
    size_t searchFolderCount = 0;
    bool searchFoldersChecked = false;
    tessaly::GrowableArray<KeptAnswer, 16> answers;
    VolumeTimes volumes[26] = {};
};

KeptSearches g_kept;
bool g_memoActive = false;
bool g_listingHeld = false;

UINT HashText(const wchar_t* text) {
    UINT hash = 2166136261u;
    for (; *text; ++text) {
        hash = (hash ^ *text) * 16777619u;
    }
    return hash;
}

bool KeepsFolderTimes(const wchar_t* path) {
    int drive = PathGetDriveNumberW(path);
    if (drive < 0) {
        return tessaly::KeepsFolderTimes(path);
    }
    VolumeTimes& known = g_kept.volumes[drive];
    if (known == kVolumeUnknown) {
        known = tessaly::KeepsFolderTimes(path) ? kVolumeKeepsTimes : kVolumeLosesTimes;
    }
    return known == kVolumeKeepsTimes;
}

// Looks at the folder once in this listing: whether what was found in it
// before still holds. Stamped afresh either way, so what is searched from now
// on rests on what it shows now.
bool TakeFolderLook(KeptFolder& folder) {
    folder.checked = true;
    tessaly::FileStamp now = tessaly::TakeFileStamp(folder.path.get());
    const bool holds = KeepsFolderTimes(folder.path.get()) && tessaly::StampHolds(folder.stamp, now);
    folder.stamp = now;
    return holds;
}

void DropAnswersOn(int folder) {
    g_kept.answers.erase_if([folder](const KeptAnswer& answer) { return answer.folder == folder; });
}

// Whether the answers resting on the kept folder `index` (kSearchFolders: on
// every search folder) may be used; those that may not are dropped. A folder
// is looked at only when an answer that rests on it is asked for, so one that
// no current task names is never waited on.
bool FolderHolds(int index) {
    bool holds = true;
    if (index != kSearchFolders) {
        KeptFolder& folder = g_kept.folders[static_cast<size_t>(index)];
        holds = folder.checked || TakeFolderLook(folder);
    } else if (!g_kept.searchFoldersChecked) {
        g_kept.searchFoldersChecked = true;
        for (size_t i = 0; i < g_kept.searchFolderCount; ++i) {
            holds = TakeFolderLook(g_kept.folders[i]) && holds;
        }
    }
    if (!holds) {
        DropAnswersOn(index);
    }
    return holds;
}

void AddFolder(const wchar_t* path) {
    KeptFolder folder;
    folder.path = KeepText(path);
    g_kept.folders.push_back(std::move(folder));
}

// The kept folder of that path, looked at (stamped before it is searched) in
// this listing.
int FolderIndex(const wchar_t* path) {
    for (size_t i = g_kept.searchFolderCount; i < g_kept.folders.size(); ++i) {
        if (CompareStringOrdinal(g_kept.folders[i].path.get(), -1, path, -1, TRUE) == CSTR_EQUAL) {
            FolderHolds(static_cast<int>(i));
            return static_cast<int>(i);
        }
    }
    AddFolder(path);
    TakeFolderLook(g_kept.folders[g_kept.folders.size() - 1]);
    return static_cast<int>(g_kept.folders.size() - 1);
}

bool SameText(const KeptText& kept, const wchar_t* text) { return kept && wcscmp(kept.get(), text) == 0; }

// Starts over with the search folders and extensions of now.
void KeepSearchOrder(const wchar_t* searchPath, const wchar_t* extensions) {
    g_kept.answers.clear();
    g_kept.folders.clear();
    g_kept.searchPath = KeepText(searchPath);
    g_kept.extensions = KeepText(extensions);
    for (const wchar_t* entry = searchPath; *entry;) {
        const wchar_t* end = wcschr(entry, L';');
        size_t length = end ? static_cast<size_t>(end - entry) : wcslen(entry);
        wchar_t folder[MAX_PATH];
        // A folder too long to name has nothing to find in it, but keeps its place.
        lstrcpynW(folder, entry, static_cast<int>(length < MAX_PATH ? length + 1 : 1));
        AddFolder(folder);
        entry += length + (end ? 1 : 0);
    }
    g_kept.searchFolderCount = g_kept.folders.size();
}

// Drops the answers no listing asked for since the last check, and the
// folders of commands no kept answer rests on any more.
void DropUnused() {
    g_kept.answers.erase_if([](const KeptAnswer& answer) { return !answer.used; });
    const size_t first = g_kept.searchFolderCount;
    size_t kept = first;
    for (size_t i = first; i < g_kept.folders.size(); ++i) {
        bool restedOn = false;
        for (size_t a = 0; a < g_kept.answers.size(); ++a) {
            KeptAnswer& answer = g_kept.answers[a];
            if (answer.folder == static_cast<int>(i)) {
                answer.folder = static_cast<int>(kept);
                restedOn = true;
            }
        }
        if (restedOn) {
            if (kept != i) {
                g_kept.folders[kept] = std::move(g_kept.folders[i]);
            }
            ++kept;
        }
    }
    while (g_kept.folders.size() > kept) {
        g_kept.folders.erase(g_kept.folders.size() - 1);
    }
}

// Begins a listing. No folder is looked at here: each is, once, when the
// first answer resting on it is asked for, at one attribute read however
// many tasks there are.
void CheckKeptSearches() {
    std::unique_ptr<wchar_t[]> searchPath = SearchFolders();
    std::unique_ptr<wchar_t[]> copy;
    const wchar_t* extensions = ExtensionList(copy);
    if (!SameText(g_kept.searchPath, searchPath.get()) || !SameText(g_kept.extensions, extensions)) {
        KeepSearchOrder(searchPath.get(), extensions);
    } else {
        DropUnused();
    }
    for (size_t i = 0; i < g_kept.answers.size(); ++i) {
        g_kept.answers[i].used = false;
    }
    for (size_t i = 0; i < g_kept.folders.size(); ++i) {
        g_kept.folders[i].checked = false;
    }
    g_kept.searchFoldersChecked = false;
    for (VolumeTimes& volume : g_kept.volumes) {
        volume = kVolumeUnknown;
    }
}

const KeptAnswer* FindAnswer(const wchar_t* command, UINT hash) {
    for (size_t i = 0; i < g_kept.answers.size(); ++i) {
        KeptAnswer& answer = g_kept.answers[i];
        if (answer.hash == hash && wcscmp(answer.command.get(), command) == 0) {
            if (!FolderHolds(answer.folder)) {
                return nullptr;
            }
            answer.used = true;
            return &answer;
        }
    }
    return nullptr;
}

int SearchAndKeep(const wchar_t* command, UINT hash, wchar_t* resolved) {
    int folder = kSearchFolders;
    if (HasFolderPart(command)) {
        wchar_t path[MAX_PATH];
        if (!CommandFolder(command, path)) {
            return SearchCommand(command, resolved);
        }
        folder = FolderIndex(path);
    } else {
        FolderHolds(kSearchFolders);
    }
    KeptAnswer answer;
    answer.hash = hash;
    answer.found = SearchCommand(command, resolved);
    answer.used = true;
    answer.folder = folder;
    answer.command = KeepText(command);
    answer.resolved = KeepText(answer.found ? resolved : L"");
    g_kept.answers.push_back(std::move(answer));
    return g_kept.answers[g_kept.answers.size() - 1].found;
}

}  // namespace

CommandResolutionMemo::CommandResolutionMemo() {
    if (!g_memoActive) {
        g_memoActive = true;
        m_active = true;
        if (!g_listingHeld) {
            CheckKeptSearches();
        }
    }
}

CommandResolutionMemo::~CommandResolutionMemo() {
    if (m_active) {
        g_memoActive = false;
    }
}

void HoldCommandListing() {
    if (!g_listingHeld && !g_memoActive) {
        CheckKeptSearches();
        g_listingHeld = true;
    }
}

void ReleaseCommandListing() { g_listingHeld = false; }

void ForgetCommandSearches() { g_kept = KeptSearches(); }

CommandLink LinkKind(const wchar_t* command) {
    if (command[0] == L':' && command[1] == L':') {
        return kShellLocation;
    }
    size_t length = SchemeLength(command);
    if (length == 0) {
        return kNotALink;
    }
    return CompareStringOrdinal(command, static_cast<int>(length), L"shell", 5, TRUE) == CSTR_EQUAL
               ? kShellLocation
               : kSchemeLink;
}

HRESULT AskScheme(const wchar_t* scheme, ASSOCSTR what, wchar_t* answer, DWORD* length) {
    // Windows 8 and later take the user's own choice of handler (a browser
    // for https) when told the name is a scheme; Windows 7 knows no such
    // flag, and finds the scheme's key by its name alone.
    constexpr ASSOCF kIsProtocol = static_cast<ASSOCF>(0x1000);
    const DWORD room = *length;
    // Never the "Unknown" class's offer to look for an app: that is no handler.
    constexpr ASSOCF kFlags = ASSOCF_NOTRUNCATE | ASSOCF_INIT_IGNOREUNKNOWN;
    HRESULT result = AssocQueryStringW(kIsProtocol | kFlags, what, scheme, nullptr, answer, length);
    if (result == E_INVALIDARG) {
        *length = room;
        result = AssocQueryStringW(kFlags, what, scheme, nullptr, answer, length);
    }
    return result;
}

bool LinkScheme(const wchar_t* command, wchar_t (&scheme)[kSchemeLength]) {
    size_t length = SchemeLength(command);
    if (length == 0 || length >= kSchemeLength) {
        return false;
    }
    wmemcpy(scheme, command, length);
    scheme[length] = L'\0';
    return true;
}

int ResolveCommand(const wchar_t* command, wchar_t* resolved) {
    wchar_t expanded[MAX_PATH];
    wchar_t anchored[MAX_PATH];
    const wchar_t* query = ExpandCommand(command, expanded);
    if (!query) {
        return 0;
    }
    if (CommandLink link = LinkKind(query)) {
        lstrcpynW(resolved, query, MAX_PATH);
        return (link == kShellLocation ? ShellParses(query) : SchemeOpens(query)) ? 1 : 0;
    }
    // A bare name is searched for, the program's own folder first.
    if (HasFolderPart(query)) {
        query = AnchorPath(query, anchored);
    }
    if (!query) {
        return 0;
    }
    if (!g_memoActive) {
        return SearchCommand(query, resolved);
    }
    UINT hash = HashText(query);
    if (const KeptAnswer* known = FindAnswer(query, hash)) {
        if (known->found) {
            lstrcpynW(resolved, known->resolved.get(), MAX_PATH);
        }
        return known->found;
    }
    return SearchAndKeep(query, hash, resolved);
}

void PrepareCommandSearch() {
    // Commands are looked for along folders of our own choosing, never the
    // current one. Whatever else in the process still asks the system to
    // search by name, its own code included, then at least finds the system
    // folders' files before one dropped into the current folder; permanent,
    // so nothing can switch it back.
    SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}
