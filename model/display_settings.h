// How a running task is announced on screen, and the first-run defaults.
#pragma once

#include <windows.h>

#include "common/unique_handles.h"

enum Location : int {
    Hidden = 0,
    TopLeft = 1,
    TopRight = 2,
    BottomLeft = 3,
    BottomRight = 4,
    TopCenter = 5,
    BottomCenter = 6,
    Center = 7,
};

// The first-run defaults. ShowIcon has no field of its own: it is the tray
// icon's shown flag, reached through g_showIconSetting.
struct DisplaySettings {
    int Location = TopRight;
    LOGFONTW Font = {};
    COLORREF FontColor = RGB(0, 255, 0);
    int Alpha = 192;
    int Time = 1500;
    int Fade = 1;
};

extern DisplaySettings g_displaySettings;
// Made from g_displaySettings.Font; selected by every name window. Only the
// two functions below make and delete it.
extern tessaly::unique_hfont g_fontHandle;

// The scale of the monitor names show on (the primary one), set by the main
// window at start and when the scale changes; 0 for the system's.
extern UINT g_nameDpi;
UINT NameDpi();
// Replaces g_fontHandle with a font made from g_displaySettings.Font, at NameDpi.
void RenewDisplayFont();
void DeleteDisplayFont();

// The ShowIcon setting lives in the tray icon, on the floor above: the tray
// lends these two calls at start-up, so the store and the settings dialog
// read and apply it without reaching up. Null until then.
struct ShowIconSetting {
    int (*shown)();
    // Shows or removes the icon at once.
    void (*show)(int show);
};
extern ShowIconSetting g_showIconSetting;
// 0 while no tray has lent its flag.
int ShownIconSetting();
// Does nothing while no tray has lent its flag.
void ApplyShowIconSetting(int show);

// The GUI font at 72 points for the screen's real DPI, green, 192 alpha,
// 1.5 seconds, fading, at the top right.
void SeedDisplaySettings();

// A Windows+key task, hotkey registered, appended to the task list.
void CreateDefaultTask(UINT vk, const wchar_t* command, const wchar_t* name);
