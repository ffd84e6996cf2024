#include "model/registry.h"

#include <cstring>
#include <cwchar>
#include <memory>

#include "common/dyn_calls.h"

RegistryReads g_registryReads = {RegOpenKeyExW, RegQueryValueExW};

namespace {

// Where the system has no rename a rename fails, so a save that needs one
// keeps the store it would have replaced.
LSTATUS WINAPI RenameKeyBySystem(HKEY parent, LPCWSTR name, LPCWSTR newName) {
    auto renameKey = BindDynCalls(SystemLibrary::Advapi32).regRenameKey;
    return renameKey ? renameKey(parent, name, newName) : ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

RegistryWrites g_registryWrites = {RegCreateKeyExW, RegSetValueExW,  RegCopyTreeW,
                                   RenameKeyBySystem, RegDeleteKeyW, RegDeleteTreeW};

namespace registry {

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

// Reads a value into `buffer` (capacity `size` bytes) and reports its type and
// length. A value larger than the buffer is a failure: the system leaves the
// buffer undefined then, so callers always read into scratch space.
bool Query(HKEY key, const wchar_t* name, DWORD& type, void* buffer, DWORD& size) {
    type = REG_NONE;
    return g_registryReads.queryValue(key, name, nullptr, &type, static_cast<BYTE*>(buffer),
                                      &size) == ERROR_SUCCESS;
}

// Only a value of exactly this type and size reaches the caller's buffer.
bool ReadExact(HKEY key, const wchar_t* name, DWORD expectedType, void* buffer, DWORD size) {
    // One byte more than wanted tells an oversized value from an exact one.
    std::unique_ptr<BYTE[]> scratch(new BYTE[size + 1]);
    DWORD type = REG_NONE;
    DWORD readSize = size + 1;
    if (!Query(key, name, type, scratch.get(), readSize) || type != expectedType ||
        readSize != size) {
        return false;
    }
    memcpy(buffer, scratch.get(), size);
    return true;
}

// A refused change leaves its reason as the thread's last error, where the
// message of a failed save finds it.
bool Changed(LSTATUS status) {
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
    }
    return status == ERROR_SUCCESS;
}

}  // namespace

tessaly::unique_hkey OpenKey(HKEY parent, const wchar_t* name) {
    tessaly::unique_hkey key;
    const LSTATUS status = g_registryReads.openKey(parent, name, 0, kAccess, key.put());
    if (status != ERROR_SUCCESS) {
        key.release();
        SetLastError(static_cast<DWORD>(status));
    }
    return key;
}

tessaly::unique_hkey CreateKey(HKEY parent, const wchar_t* name) {
    tessaly::unique_hkey key;
    if (!Changed(g_registryWrites.createKey(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess,
                                            nullptr, key.put(), nullptr))) {
        key.release();
    }
    return key;
}

bool ReadDword(HKEY key, const wchar_t* name, DWORD& value) {
    return ReadExact(key, name, REG_DWORD, &value, sizeof(DWORD));
}

bool ReadBinary(HKEY key, const wchar_t* name, void* buffer, DWORD size) {
    return ReadExact(key, name, REG_BINARY, buffer, size);
}

bool ReadString(HKEY key, const wchar_t* name, wchar_t* buffer, size_t length) {
    // One spare unit so a text stored without its terminator can be ended.
    std::unique_ptr<wchar_t[]> scratch(new wchar_t[length + 1]());
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(length * sizeof(wchar_t));
    if (!Query(key, name, type, scratch.get(), size) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    size_t textLength = wcsnlen(scratch.get(), size / sizeof(wchar_t));
    if (textLength >= length) {
        // Fills the whole field with no room for the terminator.
        return false;
    }
    wmemcpy(buffer, scratch.get(), textLength);
    buffer[textLength] = L'\0';
    return true;
}

bool CopyTree(HKEY source, HKEY destination) {
    return Changed(g_registryWrites.copyTree(source, nullptr, destination));
}

bool RenameKey(HKEY parent, const wchar_t* name, const wchar_t* newName) {
    return Changed(g_registryWrites.renameKey(parent, name, newName));
}

bool DeleteKey(HKEY parent, const wchar_t* name) {
    return Changed(g_registryWrites.deleteKey(parent, name));
}

bool DeleteTree(HKEY parent, const wchar_t* name) {
    LSTATUS status = g_registryWrites.deleteTree(parent, name);
    return status == ERROR_FILE_NOT_FOUND || Changed(status);
}

bool WriteDword(HKEY key, const wchar_t* name, DWORD value) {
    return Changed(g_registryWrites.setValue(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                             sizeof(value)));
}

bool WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size) {
    return Changed(g_registryWrites.setValue(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size));
}

bool WriteString(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD size = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return Changed(g_registryWrites.setValue(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size));
}

}  // namespace registry
