#include "model/portable.h"

#include <shlwapi.h>

#include <cwchar>
#include <memory>

#include "common/file_stamp.h"

namespace {

constexpr wchar_t kStoreFileName[] = L"\\Tessaly.ini";

struct Place {
    bool portable;
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
};
// On the heap: a kilobyte of zeros would otherwise be stored in the file.
std::unique_ptr<Place> g_place;

void TakeFolder(const wchar_t* folder) {
    g_place.reset(new Place());
    Place& place = *g_place;
    if (!folder) {
        DWORD length = GetModuleFileNameW(nullptr, place.folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || !PathRemoveFileSpecW(place.folder)) {
            place.folder[0] = L'\0';
            return;
        }
    } else {
        lstrcpynW(place.folder, folder, MAX_PATH);
    }
    const size_t length = wcslen(place.folder);
    if (length + wcslen(kStoreFileName) >= MAX_PATH) {
        return;
    }
    wmemcpy(place.file, place.folder, length);
    lstrcpyW(place.file + length, kStoreFileName);
    const DWORD attributes = GetFileAttributesW(place.file);
    place.portable = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const Place& FoundPlace() {
    if (!g_place) {
        TakeFolder(nullptr);
    }
    return *g_place;
}

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

const wchar_t* ProgramFolder() { return FoundPlace().folder; }

const wchar_t* PortableStoreFile() { return FoundPlace().portable ? FoundPlace().file : nullptr; }

void SetProgramFolder(const wchar_t* folder) { TakeFolder(folder); }

const wchar_t* AnchorPath(const wchar_t* path, wchar_t (&anchored)[MAX_PATH]) {
    const bool fromRoot = IsSlash(path[0]) && !IsSlash(path[1]);
    if (!PortableStoreFile() || path[0] == L'\0' || path[0] == L'%' || !(fromRoot || PathIsRelativeW(path))) {
        return path;
    }
    if (wcslen(path) + wcslen(FoundPlace().folder) + 2 > MAX_PATH) {
        return nullptr;
    }
    // The folder's root for a path from the root: a drive, or a share.
    return PathCombineW(anchored, FoundPlace().folder, path);
}

// Only what moves with the folder: what lies in it, and anything on the stick
// it is on, which may take another letter on the next machine. A program
// elsewhere on a fixed drive stays where it is when the folder moves.
void MakeProgramRelative(wchar_t (&path)[MAX_PATH]) {
    const wchar_t* folder = FoundPlace().folder;
    wchar_t relative[MAX_PATH];
    if (PortableStoreFile() &&
        (PathIsPrefixW(folder, path) ||
         (tessaly::DriveTypeOf(folder) == DRIVE_REMOVABLE && PathIsSameRootW(path, folder))) &&
        PathRelativePathToW(relative, folder, FILE_ATTRIBUTE_DIRECTORY, path, FILE_ATTRIBUTE_NORMAL)) {
        lstrcpyW(path, relative);
    }
}
