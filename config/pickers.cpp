#include "config/pickers.h"

#include <shlwapi.h>
#include <shobjidl.h>

#include "common/dyn_calls.h"
#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/unique_handles.h"

namespace {

size_t LengthOf(const wchar_t* text) { return text ? lstrlenW(text) : 0; }

// Copies `length` units of `source` into a MAX_PATH buffer, or leaves it empty
// when they do not fit: a path cut short names another file or none, while an
// empty one reads as "nothing chosen".
bool CopyWhole(wchar_t* target, const wchar_t* source, size_t length) {
    if (length >= MAX_PATH) {
        target[0] = L'\0';
        return false;
    }
    CopyMemory(target, source, length * sizeof(wchar_t));
    target[length] = L'\0';
    return true;
}

// A buffer the shell fills, one unit longer than a task's field: text that
// fills it all was cut by the shell and does not fit the field either.
struct ShellText {
    wchar_t text[MAX_PATH + 1] = {};

    // The length of what was written, terminated whatever the call did.
    size_t Length(HRESULT result) {
        if (FAILED(result)) {
            text[0] = L'\0';
        }
        text[MAX_PATH] = L'\0';
        return lstrlenW(text);
    }
};

}  // namespace

CFolderDialog::CFolderDialog(const wchar_t* title, const wchar_t* initialPath, UINT flags, HWND owner) {
    size_t length = LengthOf(initialPath);
    // The dialog hands paths back without a closing backslash; kept in that
    // form, a choice left as it was reads back as the same text.
    if (length > 0 && initialPath[length - 1] == L'\\') {
        --length;
    }
    CopyWhole(m_path, initialPath, length);
    m_bi.hwndOwner = owner;
    m_bi.pidlRoot = nullptr;
    m_bi.pszDisplayName = m_displayName;
    m_bi.lpszTitle = title;
    m_bi.ulFlags = flags;
    m_bi.lpfn = BrowseCallback;
    m_bi.lParam = reinterpret_cast<LPARAM>(this);
    m_bi.iImage = 0;
}

int CFolderDialog::DoModal() {
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&m_bi);
    if (!item) {
        return 2;
    }
    m_displayName[MAX_PATH - 1] = L'\0';
    // Converted aside: a failed conversion may leave part of a path behind,
    // and m_path keeps the caller's text then.
    wchar_t path[MAX_PATH] = {};
    const bool converted = SHGetPathFromIDListW(item, path) != FALSE;
    tessaly::com_ptr<IMalloc> allocator;
    if (SUCCEEDED(SHGetMalloc(allocator.put()))) {
        allocator->Free(item);
    }
    if (!converted) {
        return -1;
    }
    path[MAX_PATH - 1] = L'\0';
    CopyWhole(m_path, path, lstrlenW(path));
    return 1;
}

int CALLBACK CFolderDialog::BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    auto self = reinterpret_cast<CFolderDialog*>(data);
    if (message == BFFM_INITIALIZED && self->m_path[0] != L'\0') {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(self->m_path));
    }
    return 0;
}

CPickIconDialog::CPickIconDialog(const wchar_t* path, int index, HWND owner) : m_owner(owner), m_index(index) {
    CopyWhole(m_path, path, LengthOf(path));
}

int CPickIconDialog::DoModal() {
    auto pick = BindDynCalls(SystemLibrary::Shell32).pickIconDlg;
    if (!pick) {
        return 0;
    }
    const int accepted = pick(m_owner, m_path, MAX_PATH, &m_index);
    m_path[MAX_PATH - 1] = L'\0';
    return accepted ? 1 : 2;
}

int ReadShortcut(const wchar_t* path, wchar_t* file, wchar_t* parameters, wchar_t* folder, int* show,
                 wchar_t* name) {
    const size_t pathLength = LengthOf(path);
    if (!CopyWhole(file, path, pathLength) || pathLength == 0) {
        name[0] = L'\0';
        return 0;
    }

    // An Internet Shortcut's address is the command; one without an address
    // that fits is taken as the file it is.
    const wchar_t* extension = PathFindExtensionW(path);
    if (CompareStringOrdinal(extension, -1, L".url", -1, TRUE) == CSTR_EQUAL) {
        ShellText url;
        const DWORD urlLength = GetPrivateProfileStringW(L"InternetShortcut", L"URL", L"", url.text, MAX_PATH + 1, path);
        if (urlLength > 0 && urlLength < MAX_PATH) {
            CopyWhole(file, url.text, urlLength);
            const wchar_t* base = PathFindFileNameW(path);
            CopyWhole(name, base, static_cast<size_t>(extension - base));
            return kInternetShortcut;
        }
    }

    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_ATTRIBUTES)) {
        info = SHFILEINFOW{};
    }
    info.szDisplayName[MAX_PATH - 1] = L'\0';
    lstrcpyW(name, info.szDisplayName);
    if (!(info.dwAttributes & SFGAO_LINK)) {
        return 0;
    }

    tessaly::com_ptr<IShellLinkW> link;
    if (FAILED(BindDynCalls(SystemLibrary::Ole32)
                   .coCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                     link.put_void()))) {
        return 1;
    }
    {
        tessaly::com_ptr<IPersistFile> persist;
        if (SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), persist.put_void()))) {
            persist->Load(path, STGM_READ);
        }
    }

    // Where a field would not hold the shortcut's text, the file stays the
    // shortcut itself: started as it is, it still carries all of it.
    bool takeTarget = true;

    ShellText target;
    WIN32_FIND_DATAW found = {};
    const size_t targetLength = target.Length(link->GetPath(target.text, MAX_PATH + 1, &found, SLGP_RAWPATH));
    found.cFileName[MAX_PATH - 1] = L'\0';
    // The find data name the target as it was when the shortcut was saved. A
    // last component of another length (a short name, a path cut by the
    // shell) is not a path to that file.
    if (targetLength == 0 || targetLength >= MAX_PATH ||
        lstrlenW(PathFindFileNameW(target.text)) != lstrlenW(found.cFileName)) {
        takeTarget = false;
    }

    ShellText arguments;
    const size_t argumentsLength = arguments.Length(link->GetArguments(arguments.text, MAX_PATH + 1));
    if (!CopyWhole(parameters, arguments.text, argumentsLength)) {
        takeTarget = false;
    }

    ShellText directory;
    const size_t directoryLength =
        directory.Length(link->GetWorkingDirectory(directory.text, MAX_PATH + 1));
    if (!CopyWhole(folder, directory.text, directoryLength)) {
        takeTarget = false;
    }

    int command = 0;
    if (SUCCEEDED(link->GetShowCmd(&command))) {
        *show = command;
    }

    if (takeTarget) {
        CopyWhole(file, target.text, targetLength);
    }
    return 1;
}

bool ChooseFile(HWND owner, UINT filterId, bool save, wchar_t (&path)[MAX_PATH], const wchar_t* extension) {
    wchar_t filter[128];
    const int length = tessaly::LoadUiString(g_instance, filterId, filter);
    for (int i = 0; i < length; ++i) {
        if (filter[i] == L'|') {
            filter[i] = L'\0';
        }
    }
    OPENFILENAMEW open = {};
    open.lStructSize = sizeof(open);
    open.hwndOwner = owner;
    open.lpstrFilter = filter;
    open.nFilterIndex = 1;
    open.lpstrFile = path;
    open.nMaxFile = MAX_PATH;
    open.lpstrDefExt = extension;
    open.Flags = OFN_HIDEREADONLY | (save ? OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN : OFN_FILEMUSTEXIST);
    const DynCalls& calls = BindDynCalls(SystemLibrary::Comdlg32);
    auto choose = save ? calls.getSaveFileName : calls.getOpenFileName;
    return choose && choose(&open);
}
