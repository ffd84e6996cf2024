// The one process wrapper of the suites and the benchmark: a program started
// as a user would start it, ended on destruction if it still runs.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/harness/pump.h"

namespace harness {

class Process {
public:
    // Starts the program a full command line names (quoted where its path
    // has spaces), in `directory` (ours when empty). `application`, when
    // given, is the file run whatever the line's first word says.
    explicit Process(std::wstring commandLine, const std::wstring& directory = L"",
                     const std::wstring& application = L"") {
        // The program, and whatever it starts, gets no standard handles of
        // ours: under Wine they are the test runner's pipes, which a command
        // left running would hold open, and the runner would wait for it for ever.
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup = {sizeof(startup)};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nothing;
        // A start under load fails now and then with ERROR_INTERNAL_ERROR
        // under Wine; a second attempt succeeds.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (CreateProcessW(application.empty() ? nullptr : application.c_str(), &commandLine[0], nullptr,
                               nullptr, TRUE, 0, nullptr, directory.empty() ? nullptr : directory.c_str(),
                               &startup, &m_info)) {
                break;
            }
            m_info = {};
            m_startError = GetLastError();
            if (m_startError != ERROR_INTERNAL_ERROR) {
                break;
            }
            std::printf("Start failed with ERROR_INTERNAL_ERROR; trying once more\n");
        }
        CloseHandle(nothing);
    }
    // A process someone else started.
    explicit Process(DWORD pid) {
        m_info.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
        m_info.dwProcessId = pid;
    }
    ~Process() {
        if (m_info.hProcess) {
            if (Running()) {
                TerminateProcess(m_info.hProcess, 99);
                WaitForSingleObject(m_info.hProcess, 5000);
            }
            CloseHandle(m_info.hProcess);
            if (m_info.hThread) {
                CloseHandle(m_info.hThread);
            }
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return m_info.hProcess != nullptr; }
    // Why the start failed.
    DWORD startError() const { return m_startError; }
    DWORD id() const { return m_info.dwProcessId; }
    bool Running() const { return m_info.hProcess && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits until the program waits for input in its message loop.
    DWORD WaitForInputIdle(DWORD timeoutMs = kWaitMs) { return ::WaitForInputIdle(m_info.hProcess, timeoutMs); }
    // Waits for the process to end while this thread's windows keep answering
    // (it may send to them); its exit code, or STILL_ACTIVE on time-out.
    DWORD WaitForExit(DWORD timeoutMs = kWaitMs) {
        PumpUntil([&] { return !Running(); }, timeoutMs);
        return ExitCode();
    }
    // The same with nothing of this thread dispatched meanwhile, for a test
    // whose windows must stay as it placed them until the program is done.
    DWORD WaitForExitUndisturbed(DWORD timeoutMs = kWaitMs) {
        WaitForSingleObject(m_info.hProcess, timeoutMs);
        return ExitCode();
    }

private:
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_info.hProcess, &code);
        return code;
    }
    PROCESS_INFORMATION m_info = {};
    DWORD m_startError = ERROR_SUCCESS;
};

// Under Wine, the Linux side's name of a Windows path, for the Linux programs
// a test starts (they cannot read Windows paths); empty elsewhere.
inline std::string UnixPath(const std::wstring& path) {
    using UnixFileNameFn = char*(CDECL*)(LPCWSTR);
    auto unixFileName = reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixFileName ? unixFileName(path.c_str()) : nullptr;
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

}  // namespace harness
