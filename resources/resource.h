// Identifiers shared by the resource script and the code: resources, controls,
// menu commands, and the main window's private messages.
#pragma once

// Resources
#define IDD_ABOUT 103
#define IDI_MAIN 107
// The tray's picture on a dark taskbar (IDI_MAIN serves a light one)
#define IDI_TRAY_DARK 108
#define IDR_TRAYMENU 129
#define IDD_SETTINGS 130
#define IDD_TASK 132

// About dialog
#define IDC_ABOUT_ICON 107

// Settings dialog
#define IDC_SHOW_ICON 1000
#define IDC_LIST 1001
#define IDC_ADD 1002
#define IDC_CHANGE 1003
#define IDC_DELETE 1004
#define IDC_UP 1005
#define IDC_DOWN 1006
#define IDC_LOCATION 1013
#define IDC_FONT 1015
#define IDC_ALPHA 1017
#define IDC_TIME 1019
#define IDC_TIME_TEXT 1020
#define IDC_OPEN_LOCATION 1022
#define IDC_FADE 1023
#define IDC_EXPORT 1034
#define IDC_IMPORT 1035

// Task editor
#define IDC_KEY 1005
#define IDC_ALT 1006
#define IDC_CTRL 1007
#define IDC_SHIFT 1008
#define IDC_WIN 1009
#define IDC_FILE 1010
#define IDC_FILE_BROWSE 1011
#define IDC_NAME 1012
#define IDC_SOUND 1013
#define IDC_FOLDER 1014
#define IDC_SOUND_BROWSE 1015
#define IDC_PARAMETER 1016
#define IDC_SOUND_PLAY 1017
#define IDC_FOLDER_BROWSE 1018
#define IDC_SHOW 1019
#define IDC_KEY_LIST 1024
#define IDC_SHOW_LAUNCHER 1025
// The editor's icon preview (IDC_ICON is a system cursor's name)
#define IDC_TASK_ICON 1027
#define IDC_ICON_CHANGE 1028
#define IDC_ICON_DEFAULT 1029
#define IDC_ICON_PATH 1030
#define IDC_RUNAS 1031
#define IDC_ACTIVATE 1032
#define IDC_KEY_WARNING 1033
// The line above the file: what it takes, or why the link in it will not open
#define IDC_FILE_NOTE 403
#define IDC_TOGGLE 1100
// The key that must follow the task's key, and the key library's list of it
#define IDC_NEXT_KEY 1110
#define IDC_NEXT_KEY_LIST 1111
// Where the key works (KeyCondition), the programs that decides by, and the
// button that takes a program from a window
#define IDC_CONDITION 1112
#define IDC_PROGRAMS 1113
#define IDC_PICK 1114

// Strings
#define IDS_PAUSED_TIP 200
#define IDS_KEY_USED_BY_TASK 201
#define IDS_KEY_HELD 202
// Accessible names of the editor's buttons whose captions do not say what
// they do
#define IDS_ACC_KEY 203
#define IDS_ACC_KEY_LIST 204
#define IDS_ACC_FILE_BROWSE 205
#define IDS_ACC_FOLDER_BROWSE 206
#define IDS_ACC_SOUND_BROWSE 207
#define IDS_ACC_SOUND_PLAY 208
#define IDS_ACC_TASK_LIST 209
// Saving, exporting and importing the settings
#define IDS_SAVE_FAILED 210
#define IDS_IMPORT_QUESTION 211
#define IDS_IMPORT_REFUSED 212
#define IDS_SETTINGS_FILTER 213
// The editor's warning for a key pressed without Ctrl, Alt or Windows.
#define IDS_KEY_ELEVATED 214
// A store that could not be read, set aside: at start-up, or for a save.
#define IDS_STORE_SET_ASIDE 224
#define IDS_STORE_SET_ASIDE_SAVED 225
// What may mend a failed save, by the system's reason for it
#define IDS_SAVE_ADVICE_ACCESS 192
#define IDS_SAVE_ADVICE_FULL 193
#define IDS_SAVE_ADVICE_IN_USE 194
// How to try a failed save again: the store's, an export's
#define IDS_SAVE_AGAIN 195
#define IDS_EXPORT_AGAIN 196
// An export refused over the live settings file; the question before one
// replaces another file
#define IDS_EXPORT_LIVE_STORE 197
#define IDS_EXPORT_REPLACE 198
// Why a link's row is grey, and what the line above the editor's File says
// otherwise
#define IDS_NO_SCHEME_HANDLER 226
#define IDS_NO_SHELL_LOCATION 227
#define IDS_FILE_HINT 228
// The entries of the editor's condition, in the order of KeyCondition; what
// a row's tip says of the two that name programs (an only-in first); the
// names screen readers read for the condition, the programs and the key that
// follows; and the line that tells how to pick a window
#define IDS_CONDITION_FIRST 215
#define IDS_ONLY_IN_TIP 218
#define IDS_EXCEPT_IN_TIP 219
#define IDS_ACC_CONDITION 220
#define IDS_ACC_PROGRAMS 221
#define IDS_ACC_NEXT_KEY 222
#define IDS_PICK_HINT 223

// A string table's block holds sixteen ids, whether used or not, in each
// language: new texts fill the free ids of blocks in use (192-228) before
// they open another.

// Texts of the string table. The eight locations and the three show states
// run in the order of their settings' values.
#define IDS_LOCATION_FIRST 256
#define IDS_SHOW_FIRST 264
#define IDS_TASK_COLUMN 267
#define IDS_KEY_COLUMN 268
#define IDS_NONE 269
#define IDS_DELETE_QUESTION 270
#define IDS_DELETE_CAPTION 271
#define IDS_KEY_IN_USE 272
#define IDS_TIME_FORMAT 273
#define IDS_SET_KEY 274
#define IDS_BROWSE_COMMAND 275
#define IDS_BROWSE_FOLDER 276
// Pairs of a name and its patterns, each part ended by '|'
#define IDS_SOUND_FILTER 278
#define IDS_NOTEPAD 279
#define IDS_CALCULATOR 280

// Commands of the main window: tray menu items, and what a second start forwards
#define IDM_EXIT 32772
#define IDM_SETTINGS 32773
#define IDM_ABOUT 32774
#define IDM_SHOW_LAUNCHER 32775
#define IDM_SHOW_MENU 32776
// Pauses every hotkey, or ends the pause
#define IDM_PAUSE 32777

// Private messages of the main window (WM_APP and WM_APP + 1). Other programs
// and the shell rely on these numbers, so they are spelled out.
#define WM_TRAYNOTIFY 0x8000
#define WM_RUNTASK 0x8001

// Posted by the launcher window to itself: it closes from its own queue,
// never from inside its own handlers.
#define WM_CLOSELAUNCHER (WM_APP + 2)

// The tray icon's identifier within the main window
#define TRAY_ICON_ID 1
