// Functions of system libraries bound at run time, all in one table: some are
// missing from older systems, some from the SDK's headers, and importing
// comdlg32 or winmm would load a library of that name planted beside the
// program before any of our code runs. Every library comes from the system
// folder alone (comctl32 from the version the manifest names). A library's
// functions are bound the first time it is asked for, not at start: loading
// comdlg32, winmm and the common controls would cost every start.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <propidl.h>
#include <shlobj.h>

enum class SystemLibrary {
    Kernel32, User32, Advapi32, Shell32, Comdlg32, Winmm, Comctl32, Oleacc, Shcore, Userenv, Dwmapi, Ole32, Oleaut32,
    Count
};

// Null where the system lacks the function or its library. Bound by a list of
// names in the order of the members (common/dyn_calls.cpp): a new member goes
// with its library's others, and its name in the same place of that list.
struct DynCalls {
    // kernel32; Windows 7 has it only with an update.
    BOOL(WINAPI* setDefaultDllDirectories)(DWORD flags);
    // kernel32 of Windows 8 and later: the app a packaged process runs.
    LONG(WINAPI* getApplicationUserModelId)(HANDLE process, UINT32* length, PWSTR id);
    // user32; missing where the system has no layered windows.
    BOOL(WINAPI* setLayeredWindowAttributes)(HWND window, COLORREF key, BYTE alpha, DWORD flags);
    // user32 of Windows 10 1607 and later: the scale of each monitor. The
    // last, of 1703, hands a dialog's rescaling to its own procedure.
    UINT(WINAPI* getDpiForWindow)(HWND window);
    int(WINAPI* getSystemMetricsForDpi)(int index, UINT dpi);
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT action, UINT param, void* value, UINT change, UINT dpi);
    BOOL(WINAPI* setDialogDpiChangeBehavior)(HWND dialog, int mask, int values);
    // user32 of Windows 8 and later: whether the input being handled came
    // from the keyboard or the mouse.
    BOOL(WINAPI* getCurrentInputMessageSource)(INPUT_MESSAGE_SOURCE* source);
    // advapi32; exported since Vista, but not declared by every SDK's headers.
    LSTATUS(WINAPI* regRenameKey)(HKEY parent, LPCWSTR name, LPCWSTR newName);
    // shell32, by ordinal: older systems export these under no name. The
    // first builds an item ID list from the text alone, without touching the
    // file system, so it also works for paths that do not exist yet.
    LPITEMIDLIST(WINAPI* simpleIdListFromPath)(LPCWSTR path);
    int(WINAPI* pickIconDlg)(HWND owner, LPWSTR iconFile, UINT bufferChars, int* index);
    // comdlg32
    BOOL(WINAPI* getOpenFileName)(OPENFILENAMEW* open);
    BOOL(WINAPI* getSaveFileName)(OPENFILENAMEW* open);
    BOOL(WINAPI* chooseFont)(CHOOSEFONTW* choose);
    // winmm
    BOOL(WINAPI* playSound)(LPCWSTR sound, HMODULE module, DWORD flags);
    // comctl32: its start (the visual styles) and its pages come with the
    // first list or dialog.
    BOOL(WINAPI* initCommonControlsEx)(const INITCOMMONCONTROLSEX* classes);
    HIMAGELIST(WINAPI* imageListCreate)(int width, int height, UINT flags, int initial, int grow);
    BOOL(WINAPI* imageListDestroy)(HIMAGELIST list);
    int(WINAPI* imageListReplaceIcon)(HIMAGELIST list, int index, HICON icon);
    BOOL(WINAPI* imageListRemove)(HIMAGELIST list, int index);
    BOOL(WINAPI* imageListGetIconSize)(HIMAGELIST list, int* width, int* height);
    HICON(WINAPI* imageListGetIcon)(HIMAGELIST list, int index, UINT flags);
    // oleacc: only once a screen reader asks a window of ours
    LRESULT(WINAPI* lresultFromObject)(REFIID iid, WPARAM wParam, LPUNKNOWN object);
    // shcore, Windows 8.1 and later: only once a window opens off the
    // system's scale may be asked for.
    HRESULT(WINAPI* getDpiForMonitor)(HMONITOR monitor, int type, UINT* x, UINT* y);
    // userenv: only once Windows announces a changed environment.
    BOOL(WINAPI* createEnvironmentBlock)(void** environment, HANDLE token, BOOL inherit);
    BOOL(WINAPI* destroyEnvironmentBlock)(void* environment);
    // dwmapi: only once a Store app is looked for.
    HRESULT(WINAPI* dwmGetWindowAttribute)(HWND window, DWORD attribute, void* value, DWORD size);
    // ole32 and oleaut32, with combase and rpcrt4 behind them: only the
    // shell's calls, its allocations and the settings' drag and drop use them,
    // so a plain start maps none of them.
    HRESULT(WINAPI* coCreateInstance)(REFCLSID id, LPUNKNOWN outer, DWORD context, REFIID iid, void** object);
    void*(WINAPI* coTaskMemAlloc)(SIZE_T size);
    void(WINAPI* coTaskMemFree)(void* memory);
    HRESULT(WINAPI* iidFromString)(LPCOLESTR text, IID* iid);
    HANDLE(WINAPI* oleDuplicateData)(HANDLE source, CLIPFORMAT format, UINT flags);
    HRESULT(WINAPI* oleInitialize)(void* reserved);
    void(WINAPI* oleUninitialize)();
    HRESULT(WINAPI* propVariantClear)(PROPVARIANT* value);
    HRESULT(WINAPI* registerDragDrop)(HWND window, IDropTarget* target);
    void(WINAPI* releaseStgMedium)(STGMEDIUM* medium);
    HRESULT(WINAPI* revokeDragDrop)(HWND window);
    BSTR(WINAPI* sysAllocString)(const OLECHAR* text);
    void(WINAPI* sysFreeString)(BSTR text);
};

// Read as it stands by code that runs only after its library was bound.
extern DynCalls g_dynCalls;

// Binds the functions of `library` once and returns the table. The library
// stays until UnbindDynCalls: what it gives may go on running after the call
// (a sound playing), and most of them are loaded by import anyway.
const DynCalls& BindDynCalls(SystemLibrary library);
// Frees a library that served a while (the common controls, COM) once
// nothing of it is left, and clears its members; the next BindDynCalls loads
// it again. The system unmaps it only when no other library holds it.
void UnbindDynCalls(SystemLibrary library);

// A library of the system folder by name, or null.
HMODULE LoadSystemLibrary(const wchar_t* name);

// One function of `module` by name or ordinal, typed as `function` is; null
// where the module lacks it.
template <typename Function>
void Bind(HMODULE module, Function& function, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
