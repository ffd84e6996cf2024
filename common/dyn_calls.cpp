#include "common/dyn_calls.h"

DynCalls g_dynCalls = {};

// A library by name: the version the manifest names of a side-by-side one
// (comctl32 6) comes before the search.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return module;
    }
    // Windows 7 without the update that brought the search flags refuses the
    // flag; a full path is just as safe, and the altered search order looks
    // for the library's own imports in the system folder too.
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) {
        return nullptr;
    }
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

namespace {

const wchar_t* const kLibraryNames[] = {L"kernel32.dll", L"user32.dll", L"advapi32.dll", L"shell32.dll",
                                        L"comdlg32.dll", L"winmm.dll",  L"comctl32.dll", L"oleacc.dll", L"shcore.dll",
                                        L"userenv.dll", L"dwmapi.dll"};
static_assert(sizeof(kLibraryNames) / sizeof(kLibraryNames[0]) == static_cast<size_t>(SystemLibrary::Count),
              "a name for every library");

}  // namespace

const DynCalls& BindDynCalls(SystemLibrary library) {
    static bool bound[static_cast<size_t>(SystemLibrary::Count)];
    const auto index = static_cast<size_t>(library);
    if (bound[index]) {
        return g_dynCalls;
    }
    bound[index] = true;
    HMODULE module = LoadSystemLibrary(kLibraryNames[index]);
    if (!module) {
        return g_dynCalls;
    }
    DynCalls& calls = g_dynCalls;
    switch (library) {
    case SystemLibrary::Kernel32:
        Bind(module, calls.setDefaultDllDirectories, "SetDefaultDllDirectories");
        Bind(module, calls.getApplicationUserModelId, "GetApplicationUserModelId");
        break;
    case SystemLibrary::User32:
        Bind(module, calls.setLayeredWindowAttributes, "SetLayeredWindowAttributes");
        Bind(module, calls.getDpiForWindow, "GetDpiForWindow");
        Bind(module, calls.getSystemMetricsForDpi, "GetSystemMetricsForDpi");
        Bind(module, calls.systemParametersInfoForDpi, "SystemParametersInfoForDpi");
        Bind(module, calls.setDialogDpiChangeBehavior, "SetDialogDpiChangeBehavior");
        break;
    case SystemLibrary::Advapi32:
        Bind(module, calls.regRenameKey, "RegRenameKey");
        break;
    case SystemLibrary::Shell32:
        Bind(module, calls.simpleIdListFromPath, MAKEINTRESOURCEA(162));
        Bind(module, calls.pickIconDlg, MAKEINTRESOURCEA(62));
        break;
    case SystemLibrary::Comdlg32:
        Bind(module, calls.getOpenFileName, "GetOpenFileNameW");
        Bind(module, calls.getSaveFileName, "GetSaveFileNameW");
        Bind(module, calls.chooseFont, "ChooseFontW");
        break;
    case SystemLibrary::Winmm:
        Bind(module, calls.playSound, "PlaySoundW");
        break;
    case SystemLibrary::Comctl32:
        Bind(module, calls.initCommonControlsEx, "InitCommonControlsEx");
        Bind(module, calls.imageListCreate, "ImageList_Create");
        Bind(module, calls.imageListDestroy, "ImageList_Destroy");
        Bind(module, calls.imageListReplaceIcon, "ImageList_ReplaceIcon");
        Bind(module, calls.imageListRemove, "ImageList_Remove");
        Bind(module, calls.imageListGetIconSize, "ImageList_GetIconSize");
        break;
    case SystemLibrary::Oleacc:
        Bind(module, calls.lresultFromObject, "LresultFromObject");
        break;
    case SystemLibrary::Shcore:
        Bind(module, calls.getDpiForMonitor, "GetDpiForMonitor");
        break;
    case SystemLibrary::Userenv:
        Bind(module, calls.createEnvironmentBlock, "CreateEnvironmentBlock");
        Bind(module, calls.destroyEnvironmentBlock, "DestroyEnvironmentBlock");
        break;
    case SystemLibrary::Dwmapi:
        Bind(module, calls.dwmGetWindowAttribute, "DwmGetWindowAttribute");
        break;
    case SystemLibrary::Count:
        break;
    }
    return g_dynCalls;
}
