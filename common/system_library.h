// Libraries the program needs only now and then are bound when first used,
// from the system folder alone: loading them at start costs every start, and
// a library of the same name beside the program must never be the one found.
#pragma once

#include <windows.h>

// Loads a library of the system folder; null when it cannot be had. Never
// freed: what it gives may go on running after the call (a sound playing).
HMODULE LoadSystemLibrary(const wchar_t* name);

// The function `name` of the system library `library`, bound once; null when
// either is missing.
template <typename Function>
Function BindSystemFunction(const wchar_t* library, const char* name) {
    HMODULE module = LoadSystemLibrary(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
