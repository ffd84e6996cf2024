#include "common/item_id_list.h"

#include <cstring>

#include "common/dyn_calls.h"

namespace {

const SHITEMID* NextItem(const SHITEMID* item) {
    return reinterpret_cast<const SHITEMID*>(reinterpret_cast<const BYTE*>(item) + item->cb);
}

}  // namespace

UINT CItemIDList::GetSize(LPCITEMIDLIST pidl) {
    if (!pidl) {
        return 0;
    }
    UINT size = sizeof(USHORT);
    for (const SHITEMID* item = &pidl->mkid; item->cb != 0; item = NextItem(item)) {
        size += item->cb;
    }
    return size;
}

LPITEMIDLIST CItemIDList::Clone(LPCITEMIDLIST pidl) {
    UINT size = GetSize(pidl);
    if (size == 0) {
        return nullptr;
    }
    auto copy = static_cast<LPITEMIDLIST>(BindDynCalls(SystemLibrary::Ole32).coTaskMemAlloc(size));
    if (copy) {
        memcpy(copy, pidl, size);
    }
    return copy;
}

CItemIDList::CItemIDList(const CItemIDList& other) : m_pidl(Clone(other.m_pidl)) {}

CItemIDList& CItemIDList::operator=(const CItemIDList& other) {
    if (this != &other) {
        Free();
        m_pidl = Clone(other.m_pidl);
    }
    return *this;
}

CItemIDList::~CItemIDList() { Free(); }

int CItemIDList::Free() {
    if (m_pidl) {
        BindDynCalls(SystemLibrary::Ole32).coTaskMemFree(m_pidl);
        m_pidl = nullptr;
    }
    return 1;
}

CItemIDList& CItemIDList::SetPath(const wchar_t* path) {
    Free();
    if (!path) {
        return *this;
    }
    if (auto simple = BindDynCalls(SystemLibrary::Shell32).simpleIdListFromPath) {
        m_pidl = simple(path);
        if (m_pidl) {
            return *this;
        }
    }
    IShellFolder* desktop = nullptr;
    if (SUCCEEDED(SHGetDesktopFolder(&desktop))) {
        LPITEMIDLIST parsed = nullptr;
        if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<LPWSTR>(path), nullptr,
                                             &parsed, nullptr))) {
            // A failed parse may still leave a partial list behind.
            BindDynCalls(SystemLibrary::Ole32).coTaskMemFree(parsed);
            parsed = nullptr;
        }
        m_pidl = parsed;
        desktop->Release();
    }
    return *this;
}

LPCITEMIDLIST CItemIDList::GetLastID() const {
    const SHITEMID* last = &m_pidl->mkid;
    for (const SHITEMID* item = last; item->cb != 0; item = NextItem(item)) {
        last = item;
    }
    return reinterpret_cast<LPCITEMIDLIST>(last);
}

CItemIDList CItemIDList::GetParent() const {
    CItemIDList parent;
    auto start = reinterpret_cast<const BYTE*>(m_pidl);
    auto last = reinterpret_cast<const BYTE*>(GetLastID());
    if (last == start) {
        return parent;
    }
    size_t prefix = static_cast<size_t>(last - start);
    auto copy = static_cast<BYTE*>(BindDynCalls(SystemLibrary::Ole32).coTaskMemAlloc(prefix + sizeof(USHORT)));
    if (copy) {
        memcpy(copy, start, prefix);
        copy[prefix] = 0;
        copy[prefix + 1] = 0;
        parent.m_pidl = reinterpret_cast<LPITEMIDLIST>(copy);
    }
    return parent;
}
