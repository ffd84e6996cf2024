#pragma once

#include <windows.h>

#include "common/unique_handles.h"
#include "model/settings_file.h"
#include "model/task.h"

// A part of the store in either place: a key of the registry ("Setting",
// "Tasks", and a "Task%d" below "Tasks"), or a section of a settings file,
// read or being written, where every part stands at the top. The value names
// and their checks are the load's and the save's alone; a part knows only how
// its place keeps a number, bytes and a text. Reads fill their destination
// completely and validly or leave it as it was.
class StorePart {
public:
    StorePart() = default;
    explicit StorePart(tessaly::unique_hkey key) : m_key(std::move(key)) {}
    // The top of a file is no section: what it opens or creates are.
    StorePart(const SettingsFile* file, int section) : m_file(file), m_section(section) {}
    StorePart(SettingsFileWriter* next, int section) : m_next(next), m_section(section) {}

    explicit operator bool() const { return m_key || m_file || m_next; }

    // Empty when there is no such part.
    StorePart Open(const wchar_t* name) const;
    // Empty when it cannot be made.
    StorePart Create(const wchar_t* name);

    bool ReadNumber(const wchar_t* name, DWORD& value) const;
    bool ReadInt(const wchar_t* name, int& value) const;
    bool ReadUint(const wchar_t* name, UINT& value) const;
    bool ReadBytes(const wchar_t* name, void* data, DWORD size) const;
    bool ReadText(const wchar_t* name, wchar_t (&text)[kTextFieldLength]) const;

    // A section of a file being written takes every write.
    bool WriteNumber(const wchar_t* name, DWORD value);
    bool WriteBytes(const wchar_t* name, const void* data, DWORD size);
    bool WriteText(const wchar_t* name, const wchar_t* text);
    // In a file, one past the highest number of its parts named `prefix` and
    // a number below `limit`; 0 in the registry.
    size_t NumberedParts(const wchar_t* prefix, size_t limit) const {
        return m_file ? m_file->NumberedSections(prefix, limit) : 0;
    }
    // Keeps every value of `current`, the same part in the same place, that
    // this version does not write; called before the writes.
    bool KeepValues(const StorePart& current);

private:
    tessaly::unique_hkey m_key;
    const SettingsFile* m_file = nullptr;
    SettingsFileWriter* m_next = nullptr;
    int m_section = -1;
};
