// Typed reads and writes of registry values. Every read either fills its
// destination completely and validly or leaves it exactly as it was: a missing
// value, a value of another type, a value of the wrong size and a text that
// does not fit with its terminator are all "not there".
#pragma once

#include <windows.h>

#include "common/unique_handles.h"

// The two system calls behind every read, through pointers so that a test can
// serve the reads from memory: under Wine each is a round trip to the server,
// too slow for thousands of generated stores. Creating keys and writing always
// go to the system, and keys are closed by their owners with RegCloseKey
// itself, so a stand-in key must be a handle value that call leaves alone.
struct RegistryReads {
    LSTATUS(WINAPI* openKey)(HKEY parent, LPCWSTR name, DWORD options, REGSAM access, PHKEY key);
    LSTATUS(WINAPI* queryValue)(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD size);
};
extern RegistryReads g_registryReads;

namespace registry {

// Opens an existing key; empty on failure.
tessaly::unique_hkey OpenKey(HKEY parent, const wchar_t* name);
// Creates or opens a key (non-volatile, default security); empty on failure.
tessaly::unique_hkey CreateKey(HKEY parent, const wchar_t* name);

// Only a REG_DWORD of exactly four bytes is read.
bool ReadDword(HKEY key, const wchar_t* name, DWORD& value);
inline bool ReadInt(HKEY key, const wchar_t* name, int& value) {
    DWORD raw = static_cast<DWORD>(value);
    bool read = ReadDword(key, name, raw);
    value = static_cast<int>(raw);
    return read;
}
inline bool ReadUint(HKEY key, const wchar_t* name, UINT& value) {
    DWORD raw = value;
    bool read = ReadDword(key, name, raw);
    value = raw;
    return read;
}

// Only a REG_BINARY of exactly `size` bytes is read.
bool ReadBinary(HKEY key, const wchar_t* name, void* buffer, DWORD size);

// A REG_SZ or REG_EXPAND_SZ (taken as written, not expanded) whose text and
// terminator fit into `length` units. A value stored without its terminator
// is accepted when the terminator still fits.
bool ReadString(HKEY key, const wchar_t* name, wchar_t* buffer, size_t length);
template <size_t Length>
bool ReadString(HKEY key, const wchar_t* name, wchar_t (&buffer)[Length]) {
    return ReadString(key, name, buffer, Length);
}

bool WriteDword(HKEY key, const wchar_t* name, DWORD value);
bool WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size);
// Written with its terminator: an empty text is two bytes.
bool WriteString(HKEY key, const wchar_t* name, const wchar_t* text);

}  // namespace registry
