#include "common/file_stamp.h"

#include "common/unique_handles.h"

namespace tessaly {

BOOL(WINAPI* g_fileAttributes)(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID) = GetFileAttributesExW;
BOOL(WINAPI* g_volumeInformation)(LPCWSTR, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR, DWORD) =
    GetVolumeInformationW;
UINT(WINAPI* g_driveType)(LPCWSTR) = GetDriveTypeW;

namespace {

// Two seconds: FAT's write-time step, and far beyond the coarse clock other
// file systems stamp with. A change within it of the last one may keep the
// time.
constexpr ULONGLONG kGranularity = 2 * 10000000ull;

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool IsAbsolutePath(const wchar_t* path) {
    auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return (path[0] != L'\0' && path[1] == L':' && slash(path[2])) || (slash(path[0]) && slash(path[1]));
}

}  // namespace

HANDLE OpenForAttributes(const wchar_t* path) {
    // Folders open only with backup semantics, which also follow a link.
    return CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// NTFS, ReFS and the file systems of other systems write a folder's time
// whenever an entry comes or goes; FAT and exFAT keep the time the folder was
// made. A share's folder times come through the client's cache, seconds late:
// never trusted, whether the share is named by its path or by a letter; the
// letter's volume is then not asked either, which could wait on the server. A
// drive that does not name its file system (Wine's view of the Unix root) is
// taken to keep them; one that cannot be asked is not.
bool KeepsFolderTimes(const wchar_t* folder) {
    const UINT type = DriveTypeOf(folder);
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_REMOTE) {
        return false;
    }
    const wchar_t root[] = {folder[0], L':', L'\\', L'\0'};
    wchar_t system[16];
    if (!g_volumeInformation(root, nullptr, 0, nullptr, nullptr, nullptr, system, 16)) {
        return false;
    }
    return CompareStringOrdinal(system, 3, L"FAT", 3, TRUE) != CSTR_EQUAL &&
           CompareStringOrdinal(system, -1, L"exFAT", -1, TRUE) != CSTR_EQUAL;
}

UINT DriveTypeOf(const wchar_t* path) {
    if (path[0] == L'\0' || path[1] != L':') {
        return DRIVE_NO_ROOT_DIR;
    }
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return g_driveType(root);
}

FileStamp TakeFileStamp(const wchar_t* path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    stamp.present = g_fileAttributes(path, GetFileExInfoStandard, &data) != 0;
    if (!stamp.present) {
        // A missing file shows at once when it comes.
        stamp.settled = IsAbsolutePath(path);
        return stamp;
    }
    stamp.written = data.ftLastWriteTime;
    // The attributes of a link are its own, set when it was made: what comes
    // or goes in the folder it leads to shows only in the target's times,
    // which a handle opened through the link reads.
    const DWORD linkedFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((data.dwFileAttributes & linkedFolder) == linkedFolder) {
        unique_hfile target(OpenForAttributes(path));
        BY_HANDLE_FILE_INFORMATION information;
        if (!target || !GetFileInformationByHandle(target.get(), &information)) {
            // A link to nowhere: nothing in it can be trusted to stay.
            return stamp;
        }
        stamp.written = information.ftLastWriteTime;
    }
    stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    // A time ahead of the clock (a share's server, say) is not trusted either.
    stamp.settled = IsAbsolutePath(path) && Ticks(now) > Ticks(stamp.written) + kGranularity;
    return stamp;
}

bool StampHolds(const FileStamp& before, const FileStamp& now) {
    return before.settled && before.present == now.present && before.size == now.size &&
           CompareFileTime(&before.written, &now.written) == 0;
}

}  // namespace tessaly
