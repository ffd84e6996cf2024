#pragma once

#include <windows.h>

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Modal, without owner; ends only through the close box, with result 2.
INT_PTR RunSettingsDialog();
