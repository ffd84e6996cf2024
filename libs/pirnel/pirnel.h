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
// as PirnelGetVirtualKeyName gives it. `buffer` holds PIRNEL_KEY_NAME_LENGTH units; the text
// is always terminated and far shorter. Returns its length.
PIRNEL_API int WINAPI PirnelGetKeyName(UINT modifiers, UINT vk, LPWSTR buffer);

// The name of a virtual key alone, into a buffer of PIRNEL_VIRTUAL_KEY_NAME_LENGTH
// units: at most 31 units and a terminator, whatever the key. Letters, digits and F1 to F24 are
// named as printed; browser, media and volume keys, Break and Sleep in English
// ("Volume Up"); other keys as the keyboard layout names them, or by their code
// in hex ("0xE8") where it has no name. Code 0 and anything above 0xFF, such as
// 0xFFFFFFFF for "no key", are "None". Returns the length.
PIRNEL_API int WINAPI PirnelGetVirtualKeyName(UINT vk, LPWSTR buffer);

// The sizes, in UTF-16 units with the terminator, of the buffers that
// PirnelGetKeyName and PirnelGetVirtualKeyName fill.
#define PIRNEL_KEY_NAME_LENGTH 780
#define PIRNEL_VIRTUAL_KEY_NAME_LENGTH 32

// The key value the two dialogs exchange: bits 0-15 the virtual key (0xFFFF
// for none), bits 16-19 the modifiers (MOD_ALT, MOD_CONTROL, MOD_SHIFT,
// MOD_WIN).
#define PIRNEL_NO_KEY 0xFFFFu
#define PIRNEL_KEY_MASK 0xFFFFu
#define PIRNEL_MODIFIER_SHIFT 16

// The language of the two dialogs: 0x0411 Japanese or 0x0409 English; any
// other value leaves the choice to the display language (Japanese for
// Japanese, English for any other), as before the first call. A program with
// a language setting of its own calls this once, at start-up.
PIRNEL_API void WINAPI PirnelSetLanguage(LANGID language);

// Captures a key combination as the user presses it, in a modal dialog owned
// by `owner`, which opens showing `value` ("None", or "なし" in Japanese, when
// its key is 0xFFFF, 0 or above 0xFF). Returns the combination it holds on OK (other bits 0), and
// `value` unchanged on Cancel, Esc, the close box or the owner's destruction.
// - The combination shows as it is pressed and stays when the keys are
//   released; the last one pressed wins. Modifiers alone capture nothing:
//   while held they show as a hint ("Ctrl+Alt+") and go when released. Left
//   and right modifiers count alike.
// - Esc, Enter and Tab pressed alone keep their meaning in a dialog (Esc
//   cancels, Enter presses the focused button, OK unless Tab moved the focus,
//   Tab moves it); with a modifier held they are captured like any key.
// - "Clear" ("クリア") sets the shown value to none (PIRNEL_NO_KEY, no modifiers) and
//   moves the focus to OK; OK returns it, Cancel still returns `value`.
// - Every other key goes to the dialog alone, combinations with the Windows
//   key and other programs' hotkeys included: a low-level keyboard hook, set
//   only while the dialog is open and only heeded while it is the foreground
//   window, swallows each captured key press. It swallows a release only
//   when it swallowed every press of that key since the key last went up for
//   everyone, so no key stays down for other programs (one already down when
//   the dialog opened, or pressed on while another window was in front, is
//   released for them). Where no such hook can be set the dialog does not
//   open and `value` comes back.
// - The hook runs on a thread of its own, so it answers every key press at
//   once even while the calling thread is busy (running a task from a
//   hotkey, say).
// A capture dialog opened while another is open on the same thread (from a
// timer, say) takes the keys until it closes.
PIRNEL_API UINT WINAPI PirnelDialogBox(HWND owner, UINT value);

// Removes the hook of every capture dialog open on the calling thread and
// ends its thread, returning once both are done; the dialogs stay open
// without it. Does nothing when none is open. For when the session ends and
// the process with it, while a capture dialog may be open.
PIRNEL_API void WINAPI PirnelEndKeyCapture(void);

// Lets the user pick a key from the list of every named key (by the names of
// PirnelGetVirtualKeyName; not the modifier keys, mouse buttons, or codes only
// named in hex; a name two codes share is listed once, for the later code),
// with a check box for each modifier. Opens with the key of `value` selected,
// or "(None)" ("(なし)") when the list lacks it, and its modifiers checked. OK
// (or a double click on a key) returns the choice, PIRNEL_NO_KEY in the low
// bits for "(None)", modifiers as checked; Cancel, Esc and the close box return
// `value` unchanged.
PIRNEL_API UINT WINAPI PirnelReferDialogBox(HWND owner, UINT value);

#ifdef __cplusplus
}
#endif
