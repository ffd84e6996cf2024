#include "app/desktop_shell.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "common/unique_handles.h"

namespace {

using tessaly::com_ptr;
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

// The desktop's folder view gives the shell's own automation object, and
// what that starts, the desktop's process starts, with the user's token.
com_ptr<IShellDispatch2> DesktopShell() {
    com_ptr<IShellWindows> windows;
    com_ptr<IDispatch> desktop;
    com_ptr<IServiceProvider> provider;
    com_ptr<IShellBrowser> browser;
    com_ptr<IShellView> view;
    com_ptr<IDispatch> background;
    com_ptr<IShellFolderViewDual> folderView;
    com_ptr<IDispatch> application;
    com_ptr<IShellDispatch2> shell;
    VARIANT location = Number(CSIDL_DESKTOP), root = {};
    long window = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   windows.put_void())) &&
        windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) == S_OK &&
        SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, provider.put_void())) &&
        SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void())) &&
        SUCCEEDED(browser->QueryActiveShellView(view.put())) &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) &&
        SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void())) &&
        SUCCEEDED(folderView->get_Application(application.put()))) {
        application->QueryInterface(IID_IShellDispatch2, shell.put_void());
    }
    return shell;
}

bool ExecuteAsDesktop(const wchar_t* file, const wchar_t* parameters, const wchar_t* directory, int show) {
    com_ptr<IShellDispatch2> shell = DesktopShell();
    if (!shell) {
        return false;
    }
    unique_bstr name(SysAllocString(file)), arguments(SysAllocString(parameters)),
        folder(SysAllocString(directory));
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
