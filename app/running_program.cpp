#include "app/running_program.h"

#include <shlwapi.h>

#include <memory>

#include "common/file_stamp.h"
#include "common/unique_handles.h"

BOOL(WINAPI* g_processImageName)(HANDLE, DWORD, LPWSTR, PDWORD) = QueryFullProcessImageNameW;

namespace {

using tessaly::unique_handle;
using tessaly::unique_hfile;

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

class ProgramWindows {
public:
    explicit ProgramWindows(const wchar_t* program) : m_program(program), m_self(GetCurrentProcess()) {}

    // Whether the process runs the program as this user. Windows of one
    // process mostly come one after another: the last answer is kept.
    bool Runs(DWORD pid) {
        if (pid != m_lastPid) {
            m_lastPid = pid;
            m_lastAnswer = Check(pid);
        }
        return m_lastAnswer;
    }

    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
        auto& search = *reinterpret_cast<ProgramWindows*>(self);
        DWORD pid = 0;
        if (IsWindowVisible(window) && !GetWindow(window, GW_OWNER) &&
            !(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
            GetWindowThreadProcessId(window, &pid) && search.Runs(pid)) {
            if (!search.top) {
                search.top = window;
            }
            search.bottom = window;
        }
        return TRUE;
    }

    // In the order of the screen, from the front.
    HWND top = nullptr;
    HWND bottom = nullptr;

private:
    bool Check(DWORD pid) {
        unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        wchar_t image[MAX_PATH];
        DWORD length = MAX_PATH;
        if (!process || !g_processImageName(process.get(), 0, image, &length) || !IsProgram(image)) {
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
    std::unique_ptr<FinalPath> m_final;
    ProcessUser m_self;
    DWORD m_lastPid = 0;
    bool m_lastAnswer = false;
};

}  // namespace

bool SwitchToRunningProgram(const wchar_t* program, HWND foreground) {
    if (!SamePath(PathFindExtensionW(program), L".exe")) {
        return false;
    }
    // The path as a process reports its image: long names throughout.
    wchar_t image[MAX_PATH];
    DWORD length = GetLongPathNameW(program, image, MAX_PATH);
    ProgramWindows search(length > 0 && length < MAX_PATH ? image : program);
    EnumWindows(ProgramWindows::Visit, reinterpret_cast<LPARAM>(&search));
    if (!search.top) {
        return false;
    }
    DWORD pid = 0;
    const bool cycling = foreground && GetWindowThreadProcessId(foreground, &pid) && search.Runs(pid);
    HWND window = cycling ? search.bottom : search.top;
    // Not waited for: a program that hangs must not hang the hotkeys too.
    if (IsIconic(window)) {
        ShowWindowAsync(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    return true;
}
