// Identifiers shared by pirnel.rc and pirnel.cpp.
#pragma once

#define IDD_PIRNEL_CAPTURE 100
#define IDD_PIRNEL_REFER 101

// What the dialogs show for no key, alone and as the key list's first line.
#define IDS_PIRNEL_NONE 16
#define IDS_PIRNEL_NONE_LISTED 17

// Key capture dialog
#define IDC_PIRNEL_KEY 1000
#define IDC_PIRNEL_CLEAR 1001
// Posted by the hook's thread to the capture dialog: wParam the modifier keys
// held, lParam the combination just captured or 0.
#define WM_PIRNEL_HOOKED_KEY (WM_APP + 1)
#define WM_PIRNEL_RECHECK_KEYS (WM_APP + 2)

// Key list dialog
#define IDC_PIRNEL_KEYS 1010
#define IDC_PIRNEL_ALT 1011
#define IDC_PIRNEL_CTRL 1012
#define IDC_PIRNEL_SHIFT 1013
#define IDC_PIRNEL_WIN 1014
#define IDC_PIRNEL_COMBINATION 1015
