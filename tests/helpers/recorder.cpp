// Started by the end-to-end tests as a task's command: writes down how it was
// started (command line, current directory, show state) and ends; or, when
// TESSALY_RECORDER_WINDOWS asks for some, stays with that many windows, a
// program to switch to, until they are closed.
#include <windows.h>

#include <string>

namespace {

int g_open = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY && --g_open == 0) {
        PostQuitMessage(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void StayWithWindows(HINSTANCE instance, int count) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"TessalyRecorderWindow";
    RegisterClassW(&windowClass);
    for (int i = 1; i <= count; ++i) {
        std::wstring title = L"recorder " + std::to_wstring(i);
        HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                                      100 * i, 100 * i, 300, 200, nullptr, nullptr, instance, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        ++g_open;
    }
    MSG message;
    while (g_open > 0 && GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
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
    wchar_t windows[8] = {};
    if (GetEnvironmentVariableW(L"TESSALY_RECORDER_WINDOWS", windows, 8)) {
        StayWithWindows(instance, _wtoi(windows));
    }
    return 0;
}
