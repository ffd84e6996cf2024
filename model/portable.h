// A portable copy: a "Tessaly.ini" in the program's own folder holds its
// settings, and the paths of its tasks that name no drive are taken from its
// folder, so the copy works under whatever letter its drive gets. Anything
// else is an installed copy, which keeps its settings in the registry and
// takes every path as written.
#pragma once

#include <windows.h>

// The program's folder, without a trailing backslash; found at the first ask.
const wchar_t* ProgramFolder();
// The settings file of a portable copy; null for an installed copy.
const wchar_t* PortableStoreFile();
// Takes `folder` as the program's from now on, portable when the file stands
// in it; null finds the program's own folder again. For the tests.
void SetProgramFolder(const wchar_t* folder);

// In a portable copy a relative path (Apps\x.exe, .\x.exe, ..\x.exe) is
// taken from the program's folder and one from the root (\Apps\x.exe) from
// its drive; an empty one, one that begins with a variable, and every path
// of an installed copy are given back as they are. Null when the path would
// not fit.
const wchar_t* AnchorPath(const wchar_t* path, wchar_t (&anchored)[MAX_PATH]);
// What a picker chose, as the task keeps it: in a portable copy a path under
// the program's folder, or anywhere on the removable drive it is on, becomes
// relative to that folder; any other path stays as it is.
void MakeProgramRelative(wchar_t (&path)[MAX_PATH]);
