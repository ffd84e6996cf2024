// The words a second start forwards to the running instance.
#pragma once

#include <windows.h>

// IDM_SETTINGS unless a word's first four characters (ASCII case ignored)
// are those of "launcher", "menu" or "pause"; the last such word wins. argv[0], the
// program path, is skipped.
UINT CommandFromWords(int argc, const wchar_t* const* argv);
