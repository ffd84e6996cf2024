// Playing a sound without importing winmm.dll: it is not one of the DLLs the
// system always takes from its own folder, so an import of it would load a
// winmm.dll planted beside the program before any of our code runs.
#pragma once

#include <windows.h>

// PlaySoundW of the system's winmm.dll, bound on first use; FALSE when that
// cannot be loaded.
BOOL WINAPI PlaySystemSound(LPCWSTR sound, HMODULE module, DWORD flags);
