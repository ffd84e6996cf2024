// The program's one icon in the notification area, and its menu.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "common/unique_handles.h"

// The shell calls the tray icon makes, replaceable so a test can play a shell
// that answers every add with a time-out, which Wine cannot be made to do.
struct TrayShell {
    BOOL(WINAPI* notifyIcon)(DWORD message, PNOTIFYICONDATAW data);
    void(WINAPI* sleep)(DWORD milliseconds);
};
extern TrayShell g_trayShell;

class CTrayIcon {
public:
    // How often an add is tried while the shell answers with a time-out (it
    // does while the taskbar is still starting), a second apart.
    static constexpr int kAddAttempts = 16;
    static constexpr DWORD kRetryPauseMs = 1000;
    static constexpr size_t kMaxTipLength = 127;

    CTrayIcon();
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The icon is ours from then on: Destroy (or the next Create) destroys it.
    int Create(HWND owner, UINT id, UINT callbackMessage, HICON icon, const wchar_t* tip, int show);
    // 1 when nothing had to change.
    int Show(int show);
    int Destroy();
    // Paused: the icon greyed and the tip saying so; kept through a taskbar
    // restart and a hidden icon shown again.
    void ShowPaused(bool paused);
    // Another picture (for another taskbar theme or scale), ours from then
    // on; greyed while paused.
    void ShowPicture(HICON icon);

    NOTIFYICONDATAW m_nid;
    // The ShowIcon setting: set while the icon is meant to be shown, even when
    // the shell has not taken it yet, so a taskbar restart brings it back.
    int m_bShown;
    // The shell holds the icon now: an add succeeded and nothing removed it
    // since. Only then is a change of picture or tip sent.
    bool m_added = false;

private:
    // The icon given to Create, and its greyed copy while paused; m_nid
    // shows one of them.
    tessaly::unique_hicon m_icon;
    tessaly::unique_hicon m_pausedIcon;
    size_t m_tipLength = 0;

    int AddWithRetries();
    int RemoveIfShown();
};

extern CTrayIcon g_trayIcon;

// A greyed, paler copy of the icon (null when it cannot be made).
HICON GreyIcon(HICON icon);

// Tracks the tray menu at the point and sends the chosen command to the owner.
void ShowTrayMenu(HWND owner, POINT point);
