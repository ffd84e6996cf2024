// The store as a text file a person can read and edit: a "[Section]" line for
// each part, followed by its "Name=Value" lines; numbers in decimal, with a
// comment after ";" if wanted, bytes as hexadecimal pairs, a text that begins
// or ends with a space or a quote in quotes, and its line breaks as "^n" and
// "^r" ("^^" for "^" itself). Written in UTF-16 with its byte-order mark;
// read in UTF-16 of either byte order by its mark, in UTF-8 (what Notepad
// saves by default), or else in the user's ANSI code page.
#pragma once

#include <windows.h>

#include <memory>

#include "common/growable_array.h"

// Every system call that writes a settings file, through pointers so that a
// test can count them and make any one fail, as a full or write-protected
// medium or a process ended part-way through a save would.
struct FileWrites {
    HANDLE(WINAPI* createFile)(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE source);
    BOOL(WINAPI* writeFile)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
    BOOL(WINAPI* flushFileBuffers)(HANDLE file);
    BOOL(WINAPI* moveFileEx)(LPCWSTR from, LPCWSTR to, DWORD flags);
    BOOL(WINAPI* deleteFile)(LPCWSTR name);
};
extern FileWrites g_fileWrites;

// Lines stepped over by the lookups of every settings file read, for the
// tests: a load stays linear in the file's size only while this does.
extern size_t g_settingsLineSteps;

// A settings file read whole. Names of sections and values are matched
// without regard to case; lines before the first section, without "=", or
// beginning with ";" are left out. Reads fill their destination completely
// and validly or leave it as it was; a text too long for its field is cut
// to it, as a person editing the file would rather lose its end than all.
class SettingsFile {
public:
    // False when the file is missing or cannot be read whole.
    bool Read(const wchar_t* path);
    // After a failed read: there was no such file.
    bool Missing() const { return m_missing; }
    bool HasSections() const { return m_sections != 0; }
    // Anything but blanks, line breaks and comments.
    bool HasContent() const { return m_content; }
    // The section's place, -1 when there is none; of two of the same name,
    // the first. Found through an index the read builds, so that asking for
    // every section costs no more than the file's size.
    int FindSection(const wchar_t* name) const;

    bool ReadNumber(int section, const wchar_t* name, DWORD& value) const;
    bool ReadBytes(int section, const wchar_t* name, void* data, DWORD size) const;
    bool ReadText(int section, const wchar_t* name, wchar_t* text, size_t length) const;

    // The "Name=Value" lines of a section in turn, from null; null after the last.
    const wchar_t* NextValue(int section, const wchar_t* line) const;

    // One past the highest N of the sections named `prefix` and a number N
    // (at most `limit`); 0 when there is none.
    size_t NumberedSections(const wchar_t* prefix, size_t limit) const;
    // Texts escape line breaks and "^" only in a file that says so: one
    // written before they did takes every "^" as it stands.
    bool Escaped() const { return m_escaped; }

private:
    const wchar_t* NextLine(const wchar_t* line) const;
    const wchar_t* Value(int section, const wchar_t* name) const;
    void IndexSections();

    // Each line trimmed, unquoted and ended in place, the rest of it cleared.
    std::unique_ptr<wchar_t[]> m_text;
    size_t m_length = 0;
    size_t m_sections = 0;
    bool m_content = false;
    bool m_missing = false;
    bool m_escaped = false;
    // Open addressing by the name's hash: each slot the place of a section
    // plus one, 0 when free; a power of two of them, at most half in use.
    std::unique_ptr<int[]> m_index;
    size_t m_slots = 0;
};

// The next settings file, built in memory section by section and then put
// in place whole: written beside its path, flushed, and moved over the old
// file in one step, so a reader finds the old file or the new one, never a
// part of either.
class SettingsFileWriter {
public:
    size_t AddSection(const wchar_t* name);
    void WriteNumber(size_t section, const wchar_t* name, DWORD value);
    void WriteBytes(size_t section, const wchar_t* name, const void* data, DWORD size);
    void WriteText(size_t section, const wchar_t* name, const wchar_t* text);
    // The values of the file's section that the section does not get by the
    // time the file is written go with it.
    void Keep(size_t section, const SettingsFile& file, int fileSection);
    // False when any step fails; the old file stays as it was then. A file
    // marked read-only is the user's choice not to have it changed: it stays.
    bool Write(const wchar_t* path);
    // A hash of the text so far: two writers of the same hash would write
    // the same file.
    unsigned long long Stamp() const;

private:
    void AddLine(size_t section, const wchar_t* name, const wchar_t* value, size_t length);
    void Insert(size_t section, const wchar_t* text, size_t length);
    bool Holds(size_t section, const wchar_t* name) const;

    std::unique_ptr<wchar_t[]> m_text;
    size_t m_length = 0;
    size_t m_capacity = 0;
    // Where each section ends.
    tessaly::GrowableArray<size_t, 16> m_ends;
    const SettingsFile* m_keptFile = nullptr;
    int m_keptSection = -1;
    size_t m_keptInto = 0;
};
