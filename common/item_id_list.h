// Owner of one shell item ID list, always a single allocation of the COM task
// allocator, so it can be handed to and taken from the shell as it is.
#pragma once

#include <windows.h>
#include <shlobj.h>

class CItemIDList {
public:
    CItemIDList() = default;
    CItemIDList(const CItemIDList& other);
    CItemIDList& operator=(const CItemIDList& other);
    virtual ~CItemIDList();

    // Always 1; the object is empty afterwards.
    int Free();

    // Replaces the held list with the shell's list for a file-system path;
    // a null path, or one the shell cannot parse, leaves the object empty.
    CItemIDList& SetPath(const wchar_t* path);

    // Both need a held list.
    LPCITEMIDLIST GetLastID() const;
    CItemIDList GetParent() const;

    // Total size in bytes including the 16-bit terminator; 0 for an empty object.
    static UINT GetSize(LPCITEMIDLIST pidl);

    LPITEMIDLIST m_pidl = nullptr;

private:
    static LPITEMIDLIST Clone(LPCITEMIDLIST pidl);
};
