#include "app/running_program.h"

#include <shlwapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <propsys.h>

#include <memory>

#include "common/dyn_calls.h"
#include "common/file_stamp.h"
#include "common/unique_handles.h"
#include "model/apps_folder.h"
#include "model/window_program.h"
#include "model/task.h"

namespace {

using tessaly::unique_handle;
using tessaly::unique_hfile;

// Looked at only for a file that is a reparse point at all, so an ordinary
// program costs one attribute read. Opened as the link itself, never
// followed: the link's target is a program it would start.
DWORD ReadReparsePoint(const wchar_t* path, void* buffer, DWORD size) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return 0;
    }
    unique_hfile link(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    DWORD written = 0;
    return link && DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer, size, &written, nullptr)
               ? written
               : 0;
}

}  // namespace

DWORD (*g_readReparsePoint)(const wchar_t*, void*, DWORD) = ReadReparsePoint;

namespace {

// The app and the program an app execution alias names. Its reparse data:
// the tag, the data's length and a reserved word, then a version and
// NUL-ended strings, the package's id, the app's id and the program's path
// first. Anything else, or data that end inside those three, names nothing.
bool ReadAlias(const wchar_t* alias, wchar_t (&appId)[kAppIdLength], wchar_t (&target)[MAX_PATH]) {
    constexpr DWORD kHeader = 8, kVersion = 4;
    DWORD data[1024];
    const DWORD written = g_readReparsePoint(alias, data, sizeof(data));
    if (written < kHeader + kVersion || written > sizeof(data) || data[0] != IO_REPARSE_TAG_APPEXECLINK) {
        return false;
    }
    const DWORD length = LOWORD(data[1]) < written - kHeader ? LOWORD(data[1]) : written - kHeader;
    if (length < kVersion) {
        return false;
    }
    auto text = reinterpret_cast<const wchar_t*>(&data[3]);
    const size_t units = (length - kVersion) / sizeof(wchar_t);
    size_t at = 0, start = 0, idStart = 0;
    for (int string = 0; string < 3; ++string, ++at) {
        idStart = string == 2 ? start : idStart;
        start = at;
        while (at < units && text[at] != L'\0') {
            ++at;
        }
        if (at == units) {
            return false;
        }
    }
    // The id ends before the target begins, inside the data.
    lstrcpynW(appId, text + idStart, kAppIdLength);
    const size_t targetLength = at - 1 - start;
    if (targetLength == 0 || targetLength >= MAX_PATH) {
        return false;
    }
    CopyMemory(target, text + start, targetLength * sizeof(wchar_t));
    target[targetLength] = L'\0';
    return true;
}

// X:\... or \\server\...
bool IsAbsolutePath(const wchar_t* path, size_t length) {
    const wchar_t drive = static_cast<wchar_t>(path[0] | 0x20);
    return length >= 3 && ((drive >= L'a' && drive <= L'z' && path[1] == L':' && path[2] == L'\\') ||
                           (path[0] == L'\\' && path[1] == L'\\'));
}

bool SamePath(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

// The path the system resolved a file to, through drive letters of SUBST and
// mapped shares, links and short names; empty when it cannot be opened.
struct FinalPath {
    wchar_t text[MAX_PATH] = {};
    explicit FinalPath(const wchar_t* path) {
        unique_hfile file(tessaly::OpenForAttributes(path));
        DWORD length = file ? GetFinalPathNameByHandleW(file.get(), text, MAX_PATH, FILE_NAME_NORMALIZED) : 0;
        if (length == 0 || length >= MAX_PATH) {
            text[0] = L'\0';
        }
    }
};

// The user a process runs as, in a buffer large enough for any SID.
struct ProcessUser {
    union {
        TOKEN_USER token;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    };
    bool read = false;
    explicit ProcessUser(HANDLE process) {
        HANDLE token = nullptr;
        if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
            unique_handle owned(token);
            DWORD size = 0;
            read = GetTokenInformation(token, TokenUser, bytes, sizeof(bytes), &size) != FALSE;
        }
    }
    bool Is(const ProcessUser& other) const {
        return read && other.read && EqualSid(token.User.Sid, other.token.User.Sid);
    }
};

// The windows of a program, or with `appId`, of an app of the Applications
// folder, whatever process they belong to.
class ProgramWindows {
public:
    ProgramWindows(const wchar_t* program, const wchar_t* appId)
        : m_program(program), m_appId(appId), m_self(GetCurrentProcess()) {}

    // Whether the window is the program's (the app's) and its process runs
    // as this user.
    bool Shows(HWND window) {
        DWORD pid = 0;
        return GetWindowThreadProcessId(window, &pid) && (!m_appId || CarriesAppId(window)) && Runs(pid);
    }

    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
        auto& search = *reinterpret_cast<ProgramWindows*>(self);
        if (IsWindowVisible(window) && !GetWindow(window, GW_OWNER) &&
            !(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) && search.Shows(window)) {
            if (!search.top) {
                search.top = window;
            }
            search.bottom = window;
            if (search.hide) {
                ShowWindowAsync(window, SW_MINIMIZE);
            }
        }
        return TRUE;
    }

    // In the order of the screen, from the front.
    HWND top = nullptr;
    HWND bottom = nullptr;
    // Minimises every window it finds.
    bool hide = false;

private:
    // Kept in its one caller: a function of its own costs an unwind entry too.
    __attribute__((always_inline)) bool CarriesAppId(HWND window) {
        wchar_t id[kAppIdLength];
        return g_windowAppId(window, id) && CompareStringOrdinal(id, -1, m_appId, -1, TRUE) == CSTR_EQUAL;
    }

    // Windows of one process mostly come one after another: the last answer
    // is kept.
    bool Runs(DWORD pid) {
        if (pid != m_lastPid) {
            m_lastPid = pid;
            m_lastAnswer = Check(pid);
        }
        return m_lastAnswer;
    }

    bool Check(DWORD pid) {
        unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        wchar_t image[MAX_PATH];
        DWORD length = MAX_PATH;
        if (!process || (!m_appId && (!g_processImageName(process.get(), 0, image, &length) || !IsProgram(image)))) {
            return false;
        }
        // Another user's program in this session (started "as another user")
        // is theirs, even when its image is the same file.
        return ProcessUser(process.get()).Is(m_self);
    }

    // A process reports the path the system resolved, which may name the
    // file the task does through another drive (SUBST, a mapped share) or
    // form: the two final paths decide then. Only an image of the program's
    // own name is opened for that, never every process's.
    bool IsProgram(const wchar_t* image) {
        if (SamePath(image, m_program)) {
            return true;
        }
        if (!SamePath(PathFindFileNameW(image), PathFindFileNameW(m_program))) {
            return false;
        }
        if (!m_final) {
            m_final.reset(new FinalPath(m_program));
        }
        return m_final->text[0] != L'\0' && SamePath(FinalPath(image).text, m_final->text);
    }

    const wchar_t* m_program;
    const wchar_t* m_appId;
    std::unique_ptr<FinalPath> m_final;
    ProcessUser m_self;
    DWORD m_lastPid = 0;
    bool m_lastAnswer = false;
};

}  // namespace

namespace {

// A desktop program the Applications folder lists is named there by its file,
// the known folder it lies in written as that folder's id
// ({6D809377-...}\Vendor\x.exe), or by its full path. Its windows carry no
// app id: the file finds them, as for any program. The path, or false for a
// package's app (Family_publisherid!App) or an id a program chose for itself,
// whose windows the id finds.
bool AppsFolderProgram(const wchar_t* appId, wchar_t (&program)[MAX_PATH]) {
    // A package's id begins with neither a drive nor a known folder's id; a
    // "!" in a folder's name makes no package of a program.
    const size_t length = wcslen(appId);
    if (IsAbsolutePath(appId, length)) {
        if (length >= MAX_PATH) {
            return false;
        }
        wmemcpy(program, appId, length + 1);
        return true;
    }
    constexpr size_t kGuidLength = 38;
    wchar_t guid[kGuidLength + 1];
    if (length <= kGuidLength || appId[0] != L'{' || appId[kGuidLength] != L'\\') {
        return false;
    }
    lstrcpynW(guid, appId, kGuidLength + 1);
    KNOWNFOLDERID folderId;
    if (FAILED(BindDynCalls(SystemLibrary::Ole32).iidFromString(guid, &folderId))) {
        return false;
    }
    // Freed whether the call succeeds or not.
    wchar_t* folder = nullptr;
    const HRESULT found = SHGetKnownFolderPath(folderId, 0, nullptr, &folder);
    tessaly::unique_cotaskmem owned(folder);
    if (FAILED(found)) {
        return false;
    }
    const size_t folderLength = wcslen(folder);
    const wchar_t* rest = appId + kGuidLength;
    if (folderLength + wcslen(rest) >= MAX_PATH) {
        return false;
    }
    wmemcpy(program, folder, folderLength);
    lstrcpyW(program + folderLength, rest);
    return true;
}

bool SwitchAmong(const wchar_t* program, const wchar_t* appId, HWND foreground, SwitchRound* round) {
    // The path as a process reports its image: long names throughout.
    wchar_t image[MAX_PATH];
    DWORD length = appId ? 0 : GetLongPathNameW(program, image, MAX_PATH);
    ProgramWindows search(length > 0 && length < MAX_PATH ? image : program, appId);
    EnumWindows(ProgramWindows::Visit, reinterpret_cast<LPARAM>(&search));
    if (!search.top) {
        return false;
    }
    const bool cycling = foreground && search.Shows(foreground);
    HWND window = cycling ? search.bottom : search.top;
    if (round) {
        // The window in front begins a round unless this switch put it there.
        // A minimised window may keep the foreground: it is not in front.
        const bool inFront = cycling && !IsIconic(foreground);
        if (!inFront || foreground != round->last) {
            round->start = inFront ? foreground : window;
        }
        if (inFront && window == round->start) {
            *round = {};
            search.hide = true;
            EnumWindows(ProgramWindows::Visit, reinterpret_cast<LPARAM>(&search));
            return true;
        }
        round->last = window;
    }
    // Not waited for: a program that hangs must not hang the hotkeys too.
    if (IsIconic(window)) {
        ShowWindowAsync(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    return true;
}

}  // namespace

bool SwitchToRunningProgram(const wchar_t* program, HWND foreground, SwitchRound* round) {
    const wchar_t* appId = AppsFolderAppId(program);
    wchar_t listed[MAX_PATH];
    if (appId) {
        if (!AppsFolderProgram(appId, listed)) {
            return SwitchAmong(program, appId, foreground, round);
        }
        program = listed;
    }
    if (!SamePath(PathFindExtensionW(program), L".exe")) {
        return false;
    }
    // The program an alias names may hand its window to another of its
    // package (the terminal's launcher does): the app's id finds it there.
    wchar_t aliasId[kAppIdLength], target[MAX_PATH];
    if (ReadAlias(program, aliasId, target)) {
        if (SwitchAmong(program, aliasId, foreground, round)) {
            return true;
        }
        program = target;
    }
    return SwitchAmong(program, nullptr, foreground, round);
}
