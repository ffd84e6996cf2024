// For the shell's tests, which cannot see Wine's windows: waits for a window
// of the class given, shown when the second word is "shown". Exit code 0 once
// there is one, 1 after 30 s.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    const bool shown = argc > 2 && wcscmp(argv[2], L"shown") == 0;
    for (int i = 0; i < 300; ++i) {
        HWND window = FindWindowW(argv[1], nullptr);
        if (window && (!shown || IsWindowVisible(window))) {
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
