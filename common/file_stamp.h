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

// One attribute read, no more.
FileStamp TakeFileStamp(const wchar_t* path);

// Whether a folder's time on this volume changes when an entry comes or goes.
bool KeepsFolderTimes(const wchar_t* folder);

// True when `now` is what `before` recorded and `before` could be trusted.
bool StampHolds(const FileStamp& before, const FileStamp& now);

}  // namespace tessaly
