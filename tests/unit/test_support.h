// Shared pieces of the in-process suites: message pumping, a scratch store,
// a recording tray shell, and a live main window.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tests/harness/expect_store_shape.h"
#include "tests/harness/pump.h"

#include "model/task.h"

namespace test {

using harness::PumpMessages;
using harness::PumpUntil;

using harness::kStorePath;
// The store and what a save that stopped part-way leaves beside it.
void DeleteStore();
// Creates the program key (empty) and returns it open.
HKEY CreateStoreKey(const wchar_t* subkey = nullptr);
void WriteDword(HKEY key, const wchar_t* name, DWORD value);
void WriteString(HKEY key, const wchar_t* name, const std::wstring& text);
void WriteRaw(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size);

// What the tray icon asked of the shell, in order.
struct TrayCall {
    DWORD message;
    UINT id;
    UINT callbackMessage;
    std::wstring tip;
    HICON icon;
};
// Replaces the shell for the tray icon while it lives. Each answer is taken in
// turn (the last repeats): TRUE, or FALSE with the given last error.
class FakeTrayShell {
public:
    // FALSE with whatever last error the caller had before.
    static constexpr DWORD kLastErrorUntouched = 0xFFFFFFFF;
    FakeTrayShell();
    ~FakeTrayShell();
    void AnswerAddsWith(std::vector<DWORD> errors);  // ERROR_SUCCESS means success
    std::vector<TrayCall> calls;
    std::vector<DWORD> sleeps;
    size_t Count(DWORD message) const;

private:
    std::vector<DWORD> m_addAnswers{ERROR_SUCCESS};
    size_t m_nextAnswer = 0;
    static BOOL WINAPI Notify(DWORD message, PNOTIFYICONDATAW data);
    static void WINAPI Sleep(DWORD ms);
};

// A task with a key, not registered and not in any list.
std::unique_ptr<Task> MakeTask(UINT modifiers, UINT vk, const wchar_t* name = L"");

// Counts and refuses the creation of dialogs (#32770) and popup menus
// (#32768) on this thread, so a command that would open one returns at once.
class ModalBlocker {
public:
    ModalBlocker();
    ~ModalBlocker();
    int dialogs = 0;
    int menus = 0;
    std::vector<std::wstring> dialogTitles;
    // Dialogs open instead, and close again from their own loop.
    bool closeDialogs = false;
    // Dialogs open, and close from their own loop after this long.
    UINT closeAfterMs = 0;

private:
    HHOOK m_hook;
    LRESULT Dialog(HWND window, const CREATESTRUCTW* create);
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
};

// While it lives, the libraries go after a rest of a few milliseconds.
class ShortRest {
public:
    ShortRest();
    ~ShortRest();
    ShortRest(const ShortRest&) = delete;
    ShortRest& operator=(const ShortRest&) = delete;

private:
    UINT m_kept;
};

// The real main window, created through its creation handler with a fake
// tray shell, and destroyed (quit message drained) at the end.
class MainWindowSession {
public:
    enum class Store {
        None,       // a first start: the settings are asked for
        Empty,      // the program's key only: the defaults stay, nothing is asked for
        AsWritten,  // whatever the test wrote before
    };
    explicit MainWindowSession(Store store = Store::Empty);
    ~MainWindowSession();
    HWND window() const { return m_window; }
    FakeTrayShell tray;
    void Destroy();

private:
    HWND m_window = nullptr;
};

// A plain hidden window standing in for the main window as hotkey owner.
class HotKeyOwner {
public:
    HotKeyOwner();
    ~HotKeyOwner();
    HWND window() const { return m_window; }

private:
    HWND m_window;
    HWND m_previous;
};

// Sets a file's or folder's last-write time: what is kept between launcher
// openings trusts only times older than the file system's time step.
void SetWriteTime(const std::wstring& path, FILETIME time);
// An hour before now.
FILETIME LongAgo();

bool RunningOnWine();

// Writes `text` as the whole of the file, as an editor saves it.
void WriteTextFile(const std::wstring& path, const std::string& text);

// The height of the font a window draws its text in (WM_GETFONT).
LONG FontHeight(HWND window);

// URI schemes registered for a test and removed after it: "kittessa" as a
// browser registers one ("URL Protocol", its command, its DefaultIcon the
// fourth of shell32's), "kitcommand" with a command alone. Machine-wide, the
// one place Wine's classes root reads.
class RegisteredSchemes {
public:
    RegisteredSchemes();
    ~RegisteredSchemes();
};

}  // namespace test
