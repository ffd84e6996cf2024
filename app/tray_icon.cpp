#include "app/tray_icon.h"

#include <cstring>

#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/unique_handles.h"
#include "model/display_settings.h"
#include "resources/resource.h"

// The record size the shell expects on 64-bit Windows, balloon icon included.
static_assert(sizeof(NOTIFYICONDATAW) == 976, "NOTIFYICONDATAW must be the full 64-bit record");

TrayShell g_trayShell = {Shell_NotifyIconW, Sleep};
CTrayIcon g_trayIcon;

namespace {

int TrayIconShown() { return g_trayIcon.m_bShown; }
void ShowTrayIcon(int show) { g_trayIcon.Show(show); }

// The icon's shown flag is the ShowIcon setting: lent before anything runs,
// so the first load of the store already reaches the icon.
const bool g_showIconLent = (g_showIconSetting = {TrayIconShown, ShowTrayIcon}, true);

}  // namespace

CTrayIcon::CTrayIcon() : m_bShown(0) { memset(&m_nid, 0, sizeof(m_nid)); }

CTrayIcon::~CTrayIcon() { Destroy(); }

int CTrayIcon::AddWithRetries() {
    BOOL added = FALSE;
    for (int attempt = 0; attempt < kAddAttempts; ++attempt) {
        // A failure that sets no error of its own must not read as the
        // time-out of some earlier call.
        SetLastError(ERROR_SUCCESS);
        added = g_trayShell.notifyIcon(NIM_ADD, &m_nid);
        if (added || GetLastError() != ERROR_TIMEOUT) {
            break;
        }
        g_trayShell.sleep(kRetryPauseMs);
    }
    return added;
}

int CTrayIcon::RemoveIfShown() {
    if (!m_bShown) {
        return 1;
    }
    m_bShown = 0;
    return g_trayShell.notifyIcon(NIM_DELETE, &m_nid);
}

int CTrayIcon::Create(HWND owner, UINT id, UINT callbackMessage, HICON icon, const wchar_t* tip,
                      int show) {
    if (m_icon.get() == icon) {
        // Handed the icon it already owns: keep it alive.
        m_icon.release();
    }
    Destroy();
    m_icon.reset(icon);
    m_nid.cbSize = sizeof(m_nid);
    m_nid.hWnd = owner;
    m_nid.uID = id;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = callbackMessage;
    m_nid.hIcon = icon;
    if (tip) {
        // The tip field holds 128 units; a longer tip is cut, never overrun.
        wcsncpy(m_nid.szTip, tip, kMaxTipLength);
        m_nid.szTip[kMaxTipLength] = L'\0';
    }
    m_bShown = 0;
    if (!show) {
        return 1;
    }
    m_bShown = show;
    return AddWithRetries();
}

int CTrayIcon::Show(int show) {
    if (m_bShown) {
        return show ? 1 : RemoveIfShown();
    }
    if (!show) {
        return 1;
    }
    m_bShown = show;
    return AddWithRetries();
}

int CTrayIcon::Destroy() {
    if (m_nid.hWnd) {
        RemoveIfShown();
    }
    m_icon.reset();
    memset(&m_nid, 0, sizeof(m_nid));
    m_bShown = 0;
    return 1;
}

void ShowTrayMenu(HWND owner, POINT point) {
    tessaly::unique_hmenu menu(tessaly::LoadUiMenu(g_instance, IDR_TRAYMENU));
    if (!menu) {
        return;
    }
    HMENU popup = GetSubMenu(menu.get(), 0);
    if (!popup) {
        return;
    }
    UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr));
    menu.reset();
    if (command != 0) {
        SendMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
}
