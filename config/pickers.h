// Small wrappers around the shell services the configuration dialogs use to
// fill in a task: the browse-for-folder dialog, the shell's icon picker, and
// the reading of a dropped or chosen shortcut.
#pragma once

#include <windows.h>
#include <shlobj.h>

// The shell's browse-for-folder dialog, opened with a chosen file or folder
// selected. Neither picker is a base class: no table of virtual functions,
// no destructors to carry.
class CFolderDialog {
public:
    // `title` is not copied and must outlive the object. One trailing
    // backslash of `initialPath` is dropped; a path that still does not fit
    // m_path is not cut into another one, and the dialog opens on no item.
    CFolderDialog(const wchar_t* title, const wchar_t* initialPath, UINT flags, HWND owner);
    CFolderDialog(const CFolderDialog&) = delete;
    CFolderDialog& operator=(const CFolderDialog&) = delete;

    // 1: accepted an item with a file-system path (m_path, m_displayName);
    // 2: cancelled; -1: the item has no file-system path (m_path unchanged).
    int DoModal();

    BROWSEINFOW m_bi = {};
    wchar_t m_path[MAX_PATH] = {};
    wchar_t m_displayName[MAX_PATH] = {};

private:
    static int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data);
};

// The shell's own icon picker.
class CPickIconDialog {
public:
    // A path too long for m_path is left out, not cut into another file's.
    CPickIconDialog(const wchar_t* path, int index, HWND owner);
    CPickIconDialog(const CPickIconDialog&) = delete;
    CPickIconDialog& operator=(const CPickIconDialog&) = delete;

    // 1: accepted (m_path, m_index); 2: cancelled; 0: no picker to be had.
    int DoModal();

    HWND m_owner = nullptr;
    wchar_t m_path[MAX_PATH] = {};
    int m_index = 0;
};

// What ReadShortcut read: an Internet Shortcut (.url) as its address alone,
// named by the file's name without its extension.
constexpr int kInternetShortcut = 2;

// Fills a task's fields from a path: the file and the shell's display name,
// and for a shortcut its target (as stored, variables unexpanded), arguments,
// working folder and show command. Every buffer holds MAX_PATH units; callers
// preset parameters and folder to empty and the show state to SW_SHOWNORMAL.
// 1 when the path is a shortcut; 0 otherwise, with file and name set and the
// rest as preset. A path too long for `file` gives 0 with file and name
// empty, and the caller skips it. The file stays the shortcut itself when its
// target, arguments or working folder would not fit their fields (that field
// is then empty), when it has no file-system target, or when the target's
// last component is not as long as the name of the file the shortcut was made
// for: started as it is, the shortcut still carries all of it.
// kInternetShortcut for a .url whose "URL" fits a field, with the rest as
// preset; one without is read as any other file.
int ReadShortcut(const wchar_t* path, wchar_t* file, wchar_t* parameters, wchar_t* folder, int* show,
                 wchar_t* name);

// The system's dialog for a file to open or, with `save`, to write, showing
// the filter `filterId` names in the string table ('|' standing for each
// terminator the table cannot hold); `path` is the name it starts with and
// the one chosen. False when the user cancels. A file to write may exist:
// the caller asks before replacing it.
bool ChooseFile(HWND owner, UINT filterId, bool save, wchar_t (&path)[MAX_PATH], const wchar_t* extension = nullptr);
