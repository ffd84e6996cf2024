// The bare programs Tessaly is measured against: the least a resident hotkey
// program in the notification area does, written plainly.
//   one            adds its tray icon and registers one hotkey under a
//                  global atom
//   store          adds its tray icon, reads every task key of Tessaly's store
//                  (its 18 values) and registers each task's hotkey under an
//                  atom
//   run <event>    on Ctrl+Alt+V shows a top-most translucent popup, finds
//                  bench_target along the search path (each extension of
//                  PATHEXT in turn) and opens it with the event's name
#include <windows.h>
#include <shellapi.h>

#include <initializer_list>

#include "bench/bare_resolve.h"

namespace {

wchar_t g_event[MAX_PATH];
HWND g_popup = nullptr;

bool Register(HWND window, UINT modifiers, UINT vk) {
    wchar_t name[32];
    wsprintfW(name, L"Bare%04x%04x", modifiers & 0xFFFF, vk & 0xFFFF);
    ATOM atom = GlobalAddAtomW(name);
    return atom && RegisterHotKey(window, atom, modifiers, vk);
}

DWORD ReadDword(HKEY key, const wchar_t* name) {
    DWORD value = 0, size = sizeof(value), type = 0;
    RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

void ReadText(HKEY key, const wchar_t* name, wchar_t (&text)[MAX_PATH]) {
    DWORD size = sizeof(text) - sizeof(wchar_t), type = 0;
    text[0] = L'\0';
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS) {
        text[size / sizeof(wchar_t)] = L'\0';
    }
}

void RegisterStoredTasks(HWND window) {
    HKEY tasks = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Tasks", 0, KEY_READ, &tasks)) {
        return;
    }
    DWORD count = ReadDword(tasks, L"Count");
    for (DWORD i = 0; i < count; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"Task%u", i);
        HKEY key = nullptr;
        if (RegOpenKeyExW(tasks, name, 0, KEY_READ, &key)) {
            continue;
        }
        wchar_t text[MAX_PATH];
        for (const wchar_t* field : {L"File", L"Parameter", L"Task", L"Name", L"Sound", L"IconPath", L"Programs"}) {
            ReadText(key, field, text);
        }
        for (const wchar_t* field : {L"Show", L"RunAs", L"IconIndex", L"ShowLauncher", L"Activate", L"Toggle",
                                     L"Condition", L"NextModifiers", L"NextVk"}) {
            ReadDword(key, field);
        }
        Register(window, ReadDword(key, L"fsModifiers"), ReadDword(key, L"vk"));
        RegCloseKey(key);
    }
    RegCloseKey(tasks);
}

void RunCommand() {
    if (!g_popup) {
        g_popup = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"BarePopup", L"bench",
                                  WS_POPUP, 40, 40, 300, 60, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetLayeredWindowAttributes(g_popup, RGB(255, 255, 255), 192, LWA_COLORKEY | LWA_ALPHA);
    }
    ShowWindow(g_popup, SW_SHOWNOACTIVATE);
    UpdateWindow(g_popup);
    SetTimer(g_popup, 1, 500, nullptr);
    wchar_t path[MAX_PATH];
    if (Resolve(L"bench_target", path)) {
        ShellExecuteW(nullptr, nullptr, path, g_event, nullptr, SW_SHOWNORMAL);
    }
}

LRESULT CALLBACK PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        TextOutW(dc, 4, 4, L"bench", 5);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_TIMER) {
        KillTimer(window, 1);
        ShowWindow(window, SW_HIDE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The icon every tray program shows: a round trip to the taskbar.
void AddTrayIcon(HWND window) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = WM_APP;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpynW(data.szTip, L"Bare", 128);
    Shell_NotifyIconW(NIM_ADD, &data);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY) {
        RunCommand();
        return 0;
    }
    if (message == WM_DESTROY) {
        // Closed by the benchmark: no icon left behind in the tray.
        NOTIFYICONDATAW data = {};
        data.cbSize = sizeof(data);
        data.hWnd = window;
        data.uID = 1;
        Shell_NotifyIconW(NIM_DELETE, &data);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const wchar_t* mode = argc > 1 ? argv[1] : L"one";
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MainProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassW(&windowClass);
    windowClass.lpfnWndProc = PopupProc;
    windowClass.lpszClassName = L"BarePopup";
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"BareWindow", L"Bare", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (lstrcmpW(mode, L"store") == 0) {
        AddTrayIcon(window);
        RegisterStoredTasks(window);
    } else if (lstrcmpW(mode, L"run") == 0 && argc > 2) {
        lstrcpynW(g_event, argv[2], MAX_PATH);
        Register(window, MOD_CONTROL | MOD_ALT, 'V');
    } else {
        AddTrayIcon(window);
        Register(window, MOD_CONTROL | MOD_ALT, '9');
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
