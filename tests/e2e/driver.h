// What an end-to-end test uses to start the built programs as a user would and
// to watch them from outside: processes, windows, the store, the tray.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness/process.h"
#include "tests/harness/store_shape.h"

namespace e2e {

// The folder of the built programs (this test program lands there too).
std::wstring BinDir();

// A program of the bin folder, started there with the given command-line words.
class Process : public harness::Process {
public:
    // `folder`, when given, holds the program and is where it starts.
    explicit Process(const std::wstring& program, const std::wstring& words = L"",
                     const std::wstring& folder = L"");
};

// A portable copy beside the bin folder: Tessaly.exe with its two libraries
// and an empty Tessaly.ini; removed again, read-only file and all, on
// destruction (after the copy's process has ended).
class PortableCopy {
public:
    explicit PortableCopy(const std::wstring& name);
    ~PortableCopy();
    PortableCopy(const PortableCopy&) = delete;
    PortableCopy& operator=(const PortableCopy&) = delete;
    bool made() const { return m_made; }
    const std::wstring& folder() const { return m_folder; }
    const std::wstring& file() const { return m_file; }

private:
    void Remove();
    std::wstring m_folder, m_file;
    bool m_made = false;
};

// A text value of a settings file, read by the system's own reader of such
// files: what a person sees of it in Notepad, UTF-16 or not.
std::wstring SettingsFileText(const std::wstring& file, const wchar_t* section, const wchar_t* name);
// A file's write time and size (zero when it is missing), read without
// opening it: under Wine a reader's handle makes a save that replaces the
// file fail, so a test reads the file only once the save is done.
ULONGLONG FileLook(const std::wstring& file);
// Waits until the file looks otherwise than `before`: replaced by a save.
bool WaitForSave(const std::wstring& file, ULONGLONG before);
// Types `path` into an open or save dialog's name field and presses OK.
bool ChooseInFileDialog(HWND dialog, const std::wstring& path);

// Starts a program of the bin folder under the display language `locale`
// names ("en_US.UTF-8"). Wine gives a program the locale of the Linux process
// that started it, whatever its Windows environment says, so the start goes
// through the Linux side and no handle comes back: find the program's window.
bool StartUnderLocale(const std::wstring& program, const std::wstring& locale);

// The top-level window of a process with this class (and title, if given).
HWND FindProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr,
                       bool visibleOnly = true);
HWND WaitForProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr,
                          bool visibleOnly = true, DWORD timeoutMs = 20000);
std::wstring WindowText(HWND window);
// The first child with this text, searched at any depth.
HWND FindChildWithText(HWND parent, const std::wstring& text);

// The full path of the module of this name (comctl32.dll, say) loaded in a
// process, lower-case; empty while it has none.
std::wstring LoadedModulePath(DWORD pid, const wchar_t* name);

// The registry store of the program, HKCU\Software\Norv\Tessaly.
void DeleteStore();
struct StoredTask {
    UINT modifiers;
    UINT vk;
    std::wstring file;
    std::wstring name;
    std::wstring parameter = L"";
    std::wstring folder = L"";
    int show = SW_SHOWNORMAL;
    // Written only when set: a store of an earlier version has no "Activate".
    int activate = 0;
    // Written only when set, as the editor writes them.
    int condition = 0;
    std::wstring programs = L"";
    UINT nextVk = 0;
};
// Writes tasks as Task0.. and Count (when count >= 0), and settings if given.
void WriteStore(const std::vector<StoredTask>& tasks, int count, int showIcon = -1);
// One DWORD value of "Setting".
void WriteSetting(const wchar_t* name, DWORD value);
bool ReadStoreDword(const std::wstring& subkey, const wchar_t* name, DWORD& value);
bool ReadStoreString(const std::wstring& subkey, const wchar_t* name, std::wstring& value);
bool StoreKeyExists(const std::wstring& subkey);

// What a leak makes grow in a process, counted from outside it (a handle with
// PROCESS_QUERY_INFORMATION and PROCESS_VM_READ). Windows reports each
// directly; Wine 8 reports private bytes, handles, GDI and USER objects as 0,
// so there they are counted from what Wine keeps: committed private memory,
// the system's handle list, the process's GDI handle table. USER objects stay
// 0 there, but windows are counted everywhere.
struct ProcessCounts {
    SIZE_T privateBytes = 0;
    DWORD handles = 0;
    // Under Wine, without its cache of window DCs, counted apart below.
    DWORD gdiObjects = 0;
    // Wine's cache of window DCs, which fills up to the most it ever needed
    // at once and stays; 0 under Windows, which keeps its cache elsewhere.
    DWORD windowDcs = 0;
    DWORD userObjects = 0;
    // Top-level and message-only windows, with all their children.
    DWORD windows = 0;
};
ProcessCounts CountProcess(HANDLE process, DWORD pid);

// A global hotkey can be had by this process right now.
bool HotKeyIsFree(UINT modifiers, UINT vk);

// Stands in for the taskbar: a window of the taskbar's class made after the
// real one, so the shell's tray calls reach it (as WM_COPYDATA) first.
class TraySpy {
public:
    struct Call {
        DWORD message;  // NIM_ADD, NIM_DELETE, ...
        DWORD window;   // low 32 bits of the icon's owner window
        UINT id;
        UINT flags;
        UINT callbackMessage;
        std::wstring tip;
    };
    TraySpy();
    ~TraySpy();
    std::vector<Call> Calls();
    size_t Count(DWORD message);
    void Clear();

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    void Run();
    std::thread m_thread;
    HANDLE m_ready;
    DWORD m_threadId = 0;
    std::mutex m_lock;
    std::vector<Call> m_calls;
};

// Sends key presses as a user would (modifiers held around the key).
void PressKeys(const std::vector<WORD>& keys);

// Moves the mouse to a screen point as a user would, so the windows under it
// see the move.
void MoveMouseTo(POINT point);
// Moves the mouse to a screen point and clicks a button there.
void ClickAt(POINT point, bool rightButton = false);

// Writes a screenshot next to the build's other outputs: the whole screen, or
// a window (and `alsoShown`) with a little of the desktop about it.
void Screenshot(const std::wstring& name, HWND window = nullptr, HWND alsoShown = nullptr);

}  // namespace e2e
