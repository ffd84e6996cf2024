// Started by the end-to-end tests as a task's command: writes down how it was
// started (command line, current directory, show state) and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t output[MAX_PATH * 2];
    if (!GetEnvironmentVariableW(L"TESSALY_RECORDER_OUTPUT", output, MAX_PATH * 2)) {
        return 1;
    }
    wchar_t directory[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, directory);
    STARTUPINFOW startup = {sizeof(startup)};
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    std::wstring record = GetCommandLineW();
    record += L"\n";
    record += directory;
    record += L"\n" + std::to_wstring(show) + L"\n";
    // Written whole under a temporary name, then renamed: a reader never
    // sees half a record.
    std::wstring temporary = std::wstring(output) + L".partial";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), output, MOVEFILE_REPLACE_EXISTING);
    return 0;
}
