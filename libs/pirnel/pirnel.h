// Pirnel: the key library. It names keys and key combinations for display,
// in the terms of the keyboard layout the user has.
#pragma once

#include <windows.h>

// The exports are named in pirnel.def (undecorated, for every compiler);
// callers link through the import library.
#define PIRNEL_API

#ifdef __cplusplus
extern "C" {
#endif

// The name of a key combination, such as "Ctrl+Alt+X" or "Win+N": the
// modifiers (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN; other bits are ignored)
// in the order Ctrl, Alt, Shift, Win, each followed by "+", then the key's name
// as PirnelGetVirtualKeyName gives it. `buffer` holds 780 UTF-16 units; the text
// is always terminated and far shorter. Returns its length.
PIRNEL_API int WINAPI PirnelGetKeyName(UINT modifiers, UINT vk, LPWSTR buffer);

// The name of a virtual key alone, into a buffer of 32 UTF-16 units: at most 31
// units and a terminator, whatever the key. Letters, digits and F1 to F24 are
// named as printed; browser, media and volume keys, Break and Sleep in English
// ("Volume Up"); other keys as the keyboard layout names them, or by their code
// in hex ("0xE8") where it has no name. Code 0 and anything above 0xFF, such as
// 0xFFFFFFFF for "no key", are "None". Returns the length.
PIRNEL_API int WINAPI PirnelGetVirtualKeyName(UINT vk, LPWSTR buffer);

#ifdef __cplusplus
}
#endif
