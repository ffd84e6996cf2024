#include "app/running_program.h"

#include <shlwapi.h>

#include "common/unique_handles.h"

namespace {

using tessaly::unique_handle;

bool SamePath(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

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
        if (!process || !QueryFullProcessImageNameW(process.get(), 0, image, &length) ||
            !SamePath(image, m_program)) {
            return false;
        }
        // Another user's program in this session (started "as another user")
        // is theirs, even when its image is the same file.
        return ProcessUser(process.get()).Is(m_self);
    }

    const wchar_t* m_program;
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
