// The command the benchmark's hotkeys run: it tells the benchmark it is
// running (through the event named on its command line) and ends.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc > 1) {
        if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1])) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    return 0;
}
