// Typed reads and writes of registry values. Every read either fills its
// destination completely and validly or leaves it exactly as it was: a missing
// value, a value of another type, a value of the wrong size and a text that
// does not fit with its terminator are all "not there".
#pragma once

#include <windows.h>

#include "common/unique_handles.h"

// The two system calls behind every read, through pointers so that a test can
// serve the reads from memory: under Wine each is a round trip to the server,
// too slow for thousands of generated stores. Keys are closed by their owners
// with RegCloseKey itself, so a stand-in key must be a handle value that call
// leaves alone.
struct RegistryReads {
    LSTATUS(WINAPI* openKey)(HKEY parent, LPCWSTR name, DWORD options, REGSAM access, PHKEY key);
    LSTATUS(WINAPI* queryValue)(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD size);
};
extern RegistryReads g_registryReads;

// Every system call that changes the registry, through pointers so that a test
// can count them and make any one fail, as a full hive or a process ended
// part-way through a save would.
struct RegistryWrites {
    LSTATUS(WINAPI* createKey)(HKEY parent, LPCWSTR name, DWORD reserved, LPWSTR keyClass,
                               DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                               PHKEY key, LPDWORD disposition);
    LSTATUS(WINAPI* setValue)(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                              const BYTE* data, DWORD size);
    LSTATUS(WINAPI* copyTree)(HKEY source, LPCWSTR name, HKEY destination);
    LSTATUS(WINAPI* renameKey)(HKEY parent, LPCWSTR name, LPCWSTR newName);
    LSTATUS(WINAPI* deleteKey)(HKEY parent, LPCWSTR name);
    LSTATUS(WINAPI* deleteTree)(HKEY parent, LPCWSTR name);
};
extern RegistryWrites g_registryWrites;

namespace registry {

// Opens an existing key; empty on failure, with the system's error code as
// the last error.
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

// Copies every value and subkey of `source` into `destination`.
bool CopyTree(HKEY source, HKEY destination);
// Gives the subkey `name` of `parent` the name `newName`, which must be free:
// one step, so the key is found under one name or the other, never both or
// neither. The system's error code is left as the last error.
bool RenameKey(HKEY parent, const wchar_t* name, const wchar_t* newName);
// Deletes the subkey `name` of `parent`, which has no subkeys of its own.
bool DeleteKey(HKEY parent, const wchar_t* name);
// Deletes the subkey `name` of `parent` with everything below it; true when
// it is gone (or was never there). A deletion that fails part-way may leave
// any part of the tree.
bool DeleteTree(HKEY parent, const wchar_t* name);

bool WriteDword(HKEY key, const wchar_t* name, DWORD value);
bool WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size);
// Written with its terminator: an empty text is two bytes.
bool WriteString(HKEY key, const wchar_t* name, const wchar_t* text);

}  // namespace registry
