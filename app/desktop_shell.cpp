#include "app/desktop_shell.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "common/dyn_calls.h"
#include "common/unique_handles.h"

namespace {

using tessaly::unique_bstr;

bool Elevated(HANDLE process) {
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool opened = OpenProcessToken(process, TOKEN_QUERY, &token) != FALSE;
    tessaly::unique_handle owned(opened ? token : nullptr);
    return opened && GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated;
}

// Elevated where the desktop is not: with the user account control off, or
// the shell itself started elevated, going through it would gain nothing.
bool RunsAboveTheDesktop() {
    // A process's own elevation never changes: asked once.
    static int self = -1;
    if (self < 0) {
        self = Elevated(GetCurrentProcess());
    }
    HWND shell = self ? GetShellWindow() : nullptr;
    // The desktop's answer holds for as long as its window does (a shell
    // started again is asked again), and a hotkey press asks no more.
    static HWND askedShell = nullptr;
    static bool below = false;
    if (shell && shell != askedShell) {
        DWORD pid = 0;
        GetWindowThreadProcessId(shell, &pid);
        tessaly::unique_handle desktop(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        askedShell = shell;
        below = desktop && !Elevated(desktop.get());
    }
    return shell && below;
}

VARIANT Number(LONG value) {
    VARIANT variant = {};
    V_VT(&variant) = VT_I4;
    V_I4(&variant) = value;
    return variant;
}

VARIANT Text(const unique_bstr& text) {
    VARIANT variant = {};
    V_VT(&variant) = VT_BSTR;
    V_BSTR(&variant) = text.get();
    return variant;
}

// Releases at its end whatever the pointers it was given hold by then: one
// owner for a chain of asks that may stop at any link.
class ReleasedTogether {
public:
    template <typename... Interfaces>
    explicit ReleasedTogether(Interfaces**... slots) : m_slots{reinterpret_cast<IUnknown**>(slots)...} {}
    ~ReleasedTogether() {
        for (IUnknown** slot : m_slots) {
            if (*slot) {
                (*slot)->Release();
            }
        }
    }
    ReleasedTogether(const ReleasedTogether&) = delete;
    ReleasedTogether& operator=(const ReleasedTogether&) = delete;

private:
    IUnknown** m_slots[9];
};

// The desktop's folder view gives the shell's own automation object, and
// what that starts, the desktop's process starts, with the user's token.
bool ExecuteAsDesktop(const wchar_t* file, const wchar_t* parameters, const wchar_t* directory, int show) {
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* provider = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;
    ReleasedTogether held(&windows, &desktop, &provider, &browser, &view, &background, &folderView, &application,
                          &shell);
    VARIANT location = Number(CSIDL_DESKTOP), root = {};
    long window = 0;
    if (FAILED(BindDynCalls(SystemLibrary::Ole32)
                   .coCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                     reinterpret_cast<void**>(&windows))) ||
        windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) != S_OK ||
        FAILED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&provider))) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(&browser))) ||
        FAILED(browser->QueryActiveShellView(&view)) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background))) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView))) ||
        FAILED(folderView->get_Application(&application)) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell)))) {
        return false;
    }
    auto allocate = BindDynCalls(SystemLibrary::Oleaut32).sysAllocString;
    unique_bstr name(allocate(file)), arguments(allocate(parameters)), folder(allocate(directory));
    const VARIANT none = {};
    // Once the desktop has it, its answer stands: a refusal or a cancel
    // there must not be followed by the same start elevated.
    if (name && arguments && folder) {
        shell->ShellExecute(name.get(), Text(arguments), Text(folder), none, Number(show));
    }
    return true;
}

}  // namespace

UserShell g_userShell = {RunsAboveTheDesktop, ExecuteAsDesktop};
