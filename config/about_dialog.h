#pragma once

#include <windows.h>

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Modal, without owner; returns the command that closed it.
INT_PTR RunAboutDialog();
