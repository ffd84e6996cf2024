// What a file or folder looked like when something was taken from it, so
// that what was taken is reused only while it still holds: the answers of a
// command search (a folder's entries change its last-write time) and the
// icons of the task lists (a rewritten file changes its own).
#pragma once

#include <windows.h>

namespace tessaly {

struct FileStamp {
    FILETIME written = {};
    ULONGLONG size = 0;
    bool present = false;
    // False when the next change might leave the stamp as it is: the time is
    // within the file system's granularity of now, or the path's meaning
    // depends on the current folder.
    bool settled = false;
};

// One attribute read, no more; for a folder that is a link (a junction, a
// symbolic link), whose own times never change, the times of its target.
FileStamp TakeFileStamp(const wchar_t* path);

// Whether a folder's time on this volume changes when an entry comes or goes.
// Not when the volume cannot tell its file system (a drive with no medium, a
// locked volume): the medium inserted later may well be FAT.
bool KeepsFolderTimes(const wchar_t* folder);

// The kind of drive (DRIVE_FIXED, DRIVE_REMOVABLE, DRIVE_REMOTE...) that a
// path's drive letter names; DRIVE_NO_ROOT_DIR for a path without one, or a
// letter no drive has.
UINT DriveTypeOf(const wchar_t* path);

// The system calls behind the three above, replaceable so a test can make a
// volume go missing, come back as FAT, a share be slow to fail, or a letter
// name a stick or a share.
extern BOOL(WINAPI* g_fileAttributes)(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data);
extern BOOL(WINAPI* g_volumeInformation)(LPCWSTR root, LPWSTR name, DWORD nameSize, LPDWORD serial,
                                         LPDWORD componentLength, LPDWORD flags, LPWSTR system,
                                         DWORD systemSize);
extern UINT(WINAPI* g_driveType)(LPCWSTR root);

// A file or folder opened to read its attributes and name, through any link;
// INVALID_HANDLE_VALUE when it cannot be.
HANDLE OpenForAttributes(const wchar_t* path);

// True when `now` is what `before` recorded and `before` could be trusted.
bool StampHolds(const FileStamp& before, const FileStamp& now);

}  // namespace tessaly
