// The essential work of opening a launcher, done as plainly as it can be:
// resolve each command, take one shell icon each into a 32 x 32 image list,
// fill a list view with one row per command in a top-most popup, show it.
// The benchmark sends WM_COMMAND and times the answer, as it does for Tessaly.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "bench/bare_resolve.h"

namespace {

constexpr int kMaxCommands = 1000;
wchar_t g_commands[kMaxCommands][MAX_PATH];
int g_count = 0;
HIMAGELIST g_images = nullptr;

void ShowList(HWND main) {
    if (g_images) {
        ImageList_Destroy(g_images);
    }
    g_images = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, g_count, 0);
    int images[kMaxCommands];
    for (int i = 0; i < g_count; ++i) {
        images[i] = -1;
        wchar_t path[MAX_PATH];
        if (Resolve(g_commands[i], path)) {
            SHFILEINFOW info = {};
            if (SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_ICON) && info.hIcon) {
                images[i] = ImageList_ReplaceIcon(g_images, -1, info.hIcon);
                DestroyIcon(info.hIcon);
            }
        }
    }
    HWND popup = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"BareLauncherPopup", nullptr,
                                 WS_POPUP | WS_CLIPCHILDREN, 100, 100, 322, 600, main, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, nullptr,
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_NOCOLUMNHEADER |
                                    LVS_SHAREIMAGELISTS,
                                1, 1, 320, 598, popup, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(g_images));
    LVCOLUMNW column = {LVCF_WIDTH, 0, 300};
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < g_count; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = g_commands[i];
        item.iImage = images[i];
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(popup);
    SetFocus(list);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        ShowList(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // The commands, one a line, come from the file the benchmark names.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) {
        return 1;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    static wchar_t text[kMaxCommands * MAX_PATH];
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - sizeof(wchar_t), &read, nullptr);
    CloseHandle(file);
    for (wchar_t* line = text; *line && g_count < kMaxCommands;) {
        wchar_t* end = line;
        while (*end && *end != L'\n') {
            ++end;
        }
        lstrcpynW(g_commands[g_count++], line, static_cast<int>(end - line + 1));
        line = *end ? end + 1 : end;
    }
    InitCommonControls();
    CoInitialize(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MainProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BareLauncherMain";
    RegisterClassW(&windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"BareLauncherPopup";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNSHADOW + 1);
    RegisterClassW(&windowClass);
    CreateWindowExW(0, L"BareLauncherMain", L"BareLauncher", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                    nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
