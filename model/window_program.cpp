#include "model/window_program.h"

#include <shlobj.h>
#include <propsys.h>

#include "common/dyn_calls.h"
#include "common/unique_handles.h"

BOOL(WINAPI* g_processImageName)(HANDLE, DWORD, LPWSTR, PDWORD) = QueryFullProcessImageNameW;

namespace {

using tessaly::unique_handle;

// DWMWA_CLOAKED
constexpr DWORD kCloaked = 14;
// PKEY_AppUserModel_ID
constexpr PROPERTYKEY kAppIdKey = {{0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 5};

bool ReadWindowAppId(HWND window, wchar_t (&id)[kAppIdLength]) {
    id[0] = L'\0';
    // Windows keeps the frames of suspended Store apps, cloaked though
    // "visible", with their app's id: switching to one would show nothing.
    if (IsCloaked(window)) {
        return false;
    }
    tessaly::com_ptr<IPropertyStore> store;
    if (SUCCEEDED(SHGetPropertyStoreForWindow(window, __uuidof(IPropertyStore), store.put_void()))) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(store->GetValue(kAppIdKey, &value)) && value.vt == VT_LPWSTR &&
            lstrlenW(value.pwszVal) < static_cast<int>(kAppIdLength)) {
            lstrcpyW(id, value.pwszVal);
        }
        BindDynCalls(SystemLibrary::Ole32).propVariantClear(&value);
    }
    if (id[0] != L'\0') {
        return true;
    }
    // A packaged desktop program's windows carry no id of their own: the
    // shell groups them under their process's.
    auto processAppId = g_dynCalls.getApplicationUserModelId;
    DWORD pid = 0;
    UINT32 length = kAppIdLength;
    unique_handle process(processAppId && GetWindowThreadProcessId(window, &pid)
                              ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)
                              : nullptr);
    return process && processAppId(process.get(), &length, id) == ERROR_SUCCESS;
}

}  // namespace

bool IsCloaked(HWND window) {
    DWORD cloaked = 0;
    auto windowAttribute = BindDynCalls(SystemLibrary::Dwmapi).dwmGetWindowAttribute;
    return windowAttribute && SUCCEEDED(windowAttribute(window, kCloaked, &cloaked, sizeof(cloaked))) && cloaked;
}

bool (*g_windowAppId)(HWND, wchar_t (&)[kAppIdLength]) = ReadWindowAppId;

bool ReadWindowProgram(HWND window, wchar_t (&path)[MAX_PATH], wchar_t (&appId)[kAppIdLength]) {
    path[0] = appId[0] = L'\0';
    DWORD pid = 0;
    if (!window || !GetWindowThreadProcessId(window, &pid)) {
        return false;
    }
    unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    DWORD length = MAX_PATH;
    if (!process || !g_processImageName(process.get(), 0, path, &length)) {
        path[0] = L'\0';
        return false;
    }
    g_windowAppId(window, appId);
    return true;
}
