#include "common/dyn_calls.h"

#include <cstring>

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

const wchar_t* const kLibraryNames[] = {
    L"kernel32.dll", L"user32.dll", L"advapi32.dll", L"shell32.dll", L"comdlg32.dll", L"winmm.dll",   L"comctl32.dll",
    L"oleacc.dll",   L"shcore.dll", L"userenv.dll",  L"dwmapi.dll",  L"ole32.dll",    L"oleaut32.dll"};
static_assert(sizeof(kLibraryNames) / sizeof(kLibraryNames[0]) == static_cast<size_t>(SystemLibrary::Count),
              "a name for every library");

// The functions of DynCalls in the order of its members, each library's
// after the one before it, as many for each as kFunctionCounts says. A name of
// one character is an ordinal. One table and one loop instead of a call
// written out for each function: a few hundred bytes less of a program that
// must stay small.
constexpr char kFunctionNames[] =
    // kernel32
    "SetDefaultDllDirectories\0GetApplicationUserModelId\0"
    // user32
    "SetLayeredWindowAttributes\0GetDpiForWindow\0GetSystemMetricsForDpi\0SystemParametersInfoForDpi\0"
    "SetDialogDpiChangeBehavior\0GetCurrentInputMessageSource\0"
    // advapi32
    "RegRenameKey\0"
    // shell32, by ordinal: 162 and 62
    "\xA2\0\x3E\0"
    // comdlg32
    "GetOpenFileNameW\0GetSaveFileNameW\0ChooseFontW\0"
    // winmm
    "PlaySoundW\0"
    // comctl32
    "InitCommonControlsEx\0ImageList_Create\0ImageList_Destroy\0ImageList_ReplaceIcon\0ImageList_Remove\0"
    "ImageList_GetIconSize\0ImageList_GetIcon\0"
    // oleacc
    "LresultFromObject\0"
    // shcore
    "GetDpiForMonitor\0"
    // userenv
    "CreateEnvironmentBlock\0DestroyEnvironmentBlock\0"
    // dwmapi
    "DwmGetWindowAttribute\0"
    // ole32
    "CoCreateInstance\0CoTaskMemAlloc\0CoTaskMemFree\0IIDFromString\0OleDuplicateData\0OleInitialize\0"
    "OleUninitialize\0PropVariantClear\0RegisterDragDrop\0ReleaseStgMedium\0RevokeDragDrop\0"
    // oleaut32
    "SysAllocString\0SysFreeString\0";
constexpr unsigned char kFunctionCounts[] = {2, 6, 1, 2, 3, 1, 7, 1, 1, 2, 1, 11, 2};
static_assert(sizeof(kFunctionCounts) == static_cast<size_t>(SystemLibrary::Count), "a count for every library");

constexpr size_t FunctionTotal() {
    size_t total = 0;
    for (unsigned char count : kFunctionCounts) {
        total += count;
    }
    return total;
}
static_assert(FunctionTotal() * sizeof(FARPROC) == sizeof(DynCalls), "a name for every function of DynCalls");

const char* NextName(const char* name) {
    while (*name++ != '\0') {
    }
    return name;
}

bool g_bound[static_cast<size_t>(SystemLibrary::Count)];
HMODULE g_modules[static_cast<size_t>(SystemLibrary::Count)];

// The first member of `index`'s run in DynCalls, and its first name.
size_t FirstMember(size_t index, const char** name) {
    // Every member is a function pointer, the size of FARPROC: the library's
    // run of them starts after those of the libraries before it.
    *name = kFunctionNames;
    size_t member = 0;
    for (size_t before = 0; before < index; ++before) {
        for (unsigned char count = kFunctionCounts[before]; count > 0; --count) {
            *name = NextName(*name);
            ++member;
        }
    }
    return member;
}

}  // namespace

const DynCalls& BindDynCalls(SystemLibrary library) {
    const auto index = static_cast<size_t>(library);
    if (g_bound[index]) {
        return g_dynCalls;
    }
    g_bound[index] = true;
    HMODULE module = g_modules[index] = LoadSystemLibrary(kLibraryNames[index]);
    if (!module) {
        return g_dynCalls;
    }
    const char* name;
    size_t member = FirstMember(index, &name);
    for (unsigned char count = kFunctionCounts[index]; count > 0; --count, ++member) {
        const char* asked = name[1] == '\0' ? MAKEINTRESOURCEA(static_cast<unsigned char>(name[0])) : name;
        FARPROC function = GetProcAddress(module, asked);
        std::memcpy(reinterpret_cast<char*>(&g_dynCalls) + member * sizeof function, &function, sizeof function);
        name = NextName(name);
    }
    return g_dynCalls;
}

void UnbindDynCalls(SystemLibrary library) {
    const auto index = static_cast<size_t>(library);
    if (!g_bound[index]) {
        return;
    }
    g_bound[index] = false;
    const char* name;
    std::memset(reinterpret_cast<char*>(&g_dynCalls) + FirstMember(index, &name) * sizeof(FARPROC), 0,
                kFunctionCounts[index] * sizeof(FARPROC));
    if (g_modules[index]) {
        FreeLibrary(g_modules[index]);
        g_modules[index] = nullptr;
    }
}
