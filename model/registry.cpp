#include "model/registry.h"

#include <cwchar>
#include <vector>

namespace registry {

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

// The value's type and size without reading it.
bool QueryShape(HKEY key, const wchar_t* name, DWORD& type, DWORD& size) {
    type = REG_NONE;
    size = 0;
    return RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

// Reads into scratch space so the caller's buffer is touched only on success;
// the value may change between the shape query and the read.
bool ReadExact(HKEY key, const wchar_t* name, DWORD expectedType, void* buffer, DWORD size) {
    DWORD type = REG_NONE;
    DWORD storedSize = 0;
    if (!QueryShape(key, name, type, storedSize) || type != expectedType || storedSize != size) {
        return false;
    }
    std::vector<BYTE> scratch(size + 1);
    DWORD readSize = size;
    if (RegQueryValueExW(key, name, nullptr, &type, scratch.data(), &readSize) != ERROR_SUCCESS ||
        type != expectedType || readSize != size) {
        return false;
    }
    memcpy(buffer, scratch.data(), size);
    return true;
}

}  // namespace

tessaly::unique_hkey OpenKey(HKEY parent, const wchar_t* name) {
    tessaly::unique_hkey key;
    if (RegOpenKeyExW(parent, name, 0, kAccess, key.put()) != ERROR_SUCCESS) {
        key.release();
    }
    return key;
}

tessaly::unique_hkey CreateKey(HKEY parent, const wchar_t* name) {
    tessaly::unique_hkey key;
    if (RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
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
    if (length == 0) {
        return false;
    }
    const DWORD capacity = static_cast<DWORD>(length * sizeof(wchar_t));
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (!QueryShape(key, name, type, size) || (type != REG_SZ && type != REG_EXPAND_SZ) ||
        size > capacity) {
        return false;
    }
    // One spare unit so a text stored without its terminator can be ended.
    std::vector<wchar_t> scratch(length + 1, L'\0');
    DWORD readSize = capacity;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(scratch.data()),
                         &readSize) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    size_t units = readSize / sizeof(wchar_t);
    size_t textLength = wcsnlen(scratch.data(), units);
    if (textLength >= length) {
        // Fills the whole field with no room for the terminator.
        return false;
    }
    wmemcpy(buffer, scratch.data(), textLength);
    buffer[textLength] = L'\0';
    return true;
}

bool WriteDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

bool WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size) {
    return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool WriteString(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD size = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
           ERROR_SUCCESS;
}

}  // namespace registry
