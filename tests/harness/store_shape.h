// The store's shape, written once for every suite and the benchmark: where it
// lives, and the values it keeps with their types and sizes.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace harness {

// Below HKEY_CURRENT_USER.
constexpr wchar_t kStorePath[] = L"Software\\Norv\\Tessaly";

// A value of "Setting" or of a task, with its type and its size: a number's,
// the font's, or the most a text may take (every unit used, no room for the
// terminator).
struct StoreField {
    const wchar_t* name;
    DWORD type;
    DWORD size;
};
constexpr StoreField kSettingFields[] = {
    {L"Location", REG_DWORD, 4},  {L"Font", REG_BINARY, sizeof(LOGFONTW)},
    {L"FontColor", REG_DWORD, 4}, {L"Alpha", REG_DWORD, 4},
    {L"Time", REG_DWORD, 4},      {L"Fade", REG_DWORD, 4},
    {L"ShowIcon", REG_DWORD, 4}};
constexpr StoreField kTaskFields[] = {
    {L"fsModifiers", REG_DWORD, 4}, {L"vk", REG_DWORD, 4},        {L"File", REG_SZ, 520},
    {L"Parameter", REG_SZ, 520},    {L"Task", REG_SZ, 520},       {L"Show", REG_DWORD, 4},
    {L"RunAs", REG_DWORD, 4},       {L"Name", REG_SZ, 520},       {L"Sound", REG_SZ, 520},
    {L"IconPath", REG_SZ, 520},     {L"IconIndex", REG_DWORD, 4}, {L"ShowLauncher", REG_DWORD, 4},
    {L"Activate", REG_DWORD, 4},    {L"Toggle", REG_DWORD, 4},    {L"Condition", REG_DWORD, 4},
    {L"Programs", REG_SZ, 520},     {L"NextModifiers", REG_DWORD, 4}, {L"NextVk", REG_DWORD, 4}};

// A saved value's type and size, by its key below the store's.
struct ValueShape {
    std::wstring key;
    const wchar_t* value;
    DWORD type;
    DWORD size;
};

// Every value of "Setting", and the task count: a save writes them all, always
// of the same size.
inline std::vector<ValueShape> SettingShapes() {
    std::vector<ValueShape> shapes;
    for (const StoreField& field : kSettingFields) {
        shapes.push_back({L"Setting", field.name, field.type, field.size});
    }
    shapes.push_back({L"Tasks", L"Count", REG_DWORD, 4});
    return shapes;
}

// Every value of a task as a save writes it: its texts of the sizes given
// (in bytes, the terminator's included), or else empty.
inline std::vector<ValueShape> TaskShapes(const std::wstring& key,
                                          const std::vector<std::pair<std::wstring, DWORD>>& textSizes) {
    std::vector<ValueShape> shapes;
    for (const StoreField& field : kTaskFields) {
        DWORD size = field.type == REG_SZ ? sizeof(wchar_t) : field.size;
        for (const auto& text : textSizes) {
            size = text.first == field.name ? text.second : size;
        }
        shapes.push_back({key, field.name, field.type, size});
    }
    return shapes;
}

// Readers of values below HKEY_CURRENT_USER: the store's, and the entries an
// installer leaves. False when the key or value is missing or of another type.
inline bool ReadString(const wchar_t* key, const wchar_t* name, std::wstring& value) {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return false;
    }
    value = text;
    return true;
}

inline bool ReadDword(const wchar_t* key, const wchar_t* name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

inline bool KeyExists(const wchar_t* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

}  // namespace harness
