#include "tests/unit/test_support.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include "app/main_window.h"
#include "app/tray_icon.h"
#include "common/program_state.h"
#include "common/ui_libraries.h"
#include "model/display_settings.h"
#include "windows/hint_window.h"
#include "windows/launcher_window.h"
#include "windows/name_window.h"

namespace test {

void DeleteStore() {
    for (const wchar_t* path : {kStorePath, L"Software\\Norv\\Tessaly.new", L"Software\\Norv\\Tessaly.old"}) {
        RegDeleteTreeW(HKEY_CURRENT_USER, path);
    }
}

HKEY CreateStoreKey(const wchar_t* subkey) {
    std::wstring path = kStorePath;
    if (subkey) {
        path += L"\\";
        path += subkey;
    }
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    return key;
}

void WriteRaw(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
}

void WriteDword(HKEY key, const wchar_t* name, DWORD value) {
    WriteRaw(key, name, REG_DWORD, &value, sizeof(value));
}

void WriteString(HKEY key, const wchar_t* name, const std::wstring& text) {
    WriteRaw(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

namespace {
FakeTrayShell* g_fakeTray = nullptr;
ModalBlocker* g_blocker = nullptr;
}  // namespace

FakeTrayShell::FakeTrayShell() {
    g_fakeTray = this;
    g_trayShell = {&FakeTrayShell::Notify, &FakeTrayShell::Sleep};
}

FakeTrayShell::~FakeTrayShell() {
    g_trayShell = {Shell_NotifyIconW, ::Sleep};
    g_fakeTray = nullptr;
}

void FakeTrayShell::AnswerAddsWith(std::vector<DWORD> errors) {
    m_addAnswers = std::move(errors);
    m_nextAnswer = 0;
}

size_t FakeTrayShell::Count(DWORD message) const {
    size_t count = 0;
    for (const auto& call : calls) {
        count += call.message == message;
    }
    return count;
}

BOOL WINAPI FakeTrayShell::Notify(DWORD message, PNOTIFYICONDATAW data) {
    FakeTrayShell& self = *g_fakeTray;
    self.calls.push_back({message, data->uID, data->uCallbackMessage, data->szTip, data->hIcon});
    if (message != NIM_ADD) {
        return TRUE;
    }
    size_t index = self.m_nextAnswer < self.m_addAnswers.size() ? self.m_nextAnswer++
                                                                 : self.m_addAnswers.size() - 1;
    DWORD error = self.m_addAnswers[index];
    if (error == kLastErrorUntouched) {
        return FALSE;
    }
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

void WINAPI FakeTrayShell::Sleep(DWORD ms) { g_fakeTray->sleeps.push_back(ms); }

std::unique_ptr<Task> MakeTask(UINT modifiers, UINT vk, const wchar_t* name) {
    auto task = std::make_unique<Task>();
    task->fsModifiers = modifiers;
    task->vk = vk;
    lstrcpynW(task->Name, name, kTextFieldLength);
    return task;
}

ModalBlocker::ModalBlocker() {
    g_blocker = this;
    m_hook = SetWindowsHookExW(WH_CBT, &ModalBlocker::Hook, nullptr, GetCurrentThreadId());
}

ModalBlocker::~ModalBlocker() {
    UnhookWindowsHookEx(m_hook);
    g_blocker = nullptr;
}

LRESULT ModalBlocker::Dialog(HWND window, const CREATESTRUCTW* create) {
    ++dialogs;
    dialogTitles.push_back(create->lpszName ? create->lpszName : L"");
    if (closeAfterMs) {
        SetTimer(window, 1, closeAfterMs, [](HWND dialog, UINT, UINT_PTR timer, DWORD) {
            KillTimer(dialog, timer);
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        });
        return 0;
    }
    if (!closeDialogs) {
        return 1;
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

LRESULT CALLBACK ModalBlocker::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_blocker) {
        auto create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        LPCWSTR className = create->lpcs->lpszClass;
        if (IS_INTRESOURCE(className)) {
            WORD atom = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(className));
            if (atom == 32770) {
                return g_blocker->Dialog(reinterpret_cast<HWND>(wParam), create->lpcs);
            }
            if (atom == 32768) {
                ++g_blocker->menus;
                return 1;
            }
        } else if (lstrcmpW(className, L"#32770") == 0) {
            return g_blocker->Dialog(reinterpret_cast<HWND>(wParam), create->lpcs);
        } else if (lstrcmpW(className, L"#32768") == 0) {
            ++g_blocker->menus;
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

ShortRest::ShortRest() : m_kept(g_restingDelayMs) { g_restingDelayMs = 20; }

ShortRest::~ShortRest() { g_restingDelayMs = m_kept; }

MainWindowSession::MainWindowSession(Store store) {
    if (store != Store::AsWritten) {
        DeleteStore();
    }
    if (store == Store::Empty) {
        RegCloseKey(CreateStoreKey());
    }
    static bool registered = RegisterMainWindowClass(g_instance);
    EXPECT_TRUE(registered);
    g_busy = 0;
    m_window = CreateMainWindow(g_instance);
    EXPECT_NE(nullptr, m_window);
}

void MainWindowSession::Destroy() {
    const bool created = m_window != nullptr;
    if (m_window && IsWindow(m_window)) {
        DestroyWindow(m_window);
    }
    m_window = nullptr;
    // The destruction posts the quit message; take it so later loops run.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) {
            DispatchMessageW(&message);
        }
    }
    // As the process entry does once its loop has ended.
    if (created) {
        tessaly::EndShellUse();
    }
    UnregisterClassW(kNameWindowClass, g_instance);
    UnregisterClassW(kLauncherWindowClass, g_instance);
    UnregisterClassW(kHintWindowClass, g_instance);
    g_mainWindow = nullptr;
    g_busy = 0;
}

MainWindowSession::~MainWindowSession() {
    Destroy();
    DeleteStore();
}

HotKeyOwner::HotKeyOwner() : m_previous(g_mainWindow) {
    m_window = CreateWindowExW(0, L"STATIC", L"hotkey owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, g_instance, nullptr);
    g_mainWindow = m_window;
}

HotKeyOwner::~HotKeyOwner() {
    g_taskList.Clear();
    DestroyWindow(m_window);
    g_mainWindow = m_previous;
}

void SetWriteTime(const std::wstring& path, FILETIME time) {
    // Folders open only with the backup flag.
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
}

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void WriteTextFile(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr)) << GetLastError();
    CloseHandle(file);
}

FILETIME LongAgo() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks = {{now.dwLowDateTime, now.dwHighDateTime}};
    ticks.QuadPart -= 3600ull * 10000000ull;
    return {ticks.LowPart, ticks.HighPart};
}

LONG FontHeight(HWND window) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfHeight;
}

RegisteredSchemes::RegisteredSchemes() {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring icon = std::wstring(system) + L"\\shell32.dll,3";
    const std::wstring command = std::wstring(system) + L"\\notepad.exe \"%1\"";
    auto set = [](const wchar_t* key, const wchar_t* name, const std::wstring& value) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name, REG_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    set(L"Software\\Classes\\kittessa", L"URL Protocol", L"");
    set(L"Software\\Classes\\kittessa\\DefaultIcon", nullptr, icon);
    set(L"Software\\Classes\\kittessa\\shell\\open\\command", nullptr, command);
    set(L"Software\\Classes\\kitcommand\\shell\\open\\command", nullptr, command);
}

RegisteredSchemes::~RegisteredSchemes() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\kittessa");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\kitcommand");
}

}  // namespace test
