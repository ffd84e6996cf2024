#include "app/tray_icon.h"

#include <cstring>
#include <utility>

#include "common/program_state.h"
#include "common/ui_text.h"
#include "common/unique_handles.h"
#include "model/display_settings.h"
#include "model/hotkey.h"
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
        m_added = added != FALSE;
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
    m_added = false;
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
    m_tipLength = wcslen(m_nid.szTip);
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
    m_pausedIcon.reset();
    memset(&m_nid, 0, sizeof(m_nid));
    m_bShown = 0;
    return 1;
}

void CTrayIcon::ShowPaused(bool paused) {
    if (!m_nid.hWnd) {
        return;
    }
    // Made only when pausing, so an ordinary run never pays for it.
    tessaly::unique_hicon previous(std::move(m_pausedIcon));
    m_nid.szTip[m_tipLength] = L'\0';
    if (paused) {
        m_pausedIcon.reset(GreyIcon(m_icon.get()));
        wchar_t suffix[64];
        if (tessaly::LoadUiString(g_instance, IDS_PAUSED_TIP, suffix) > 0 &&
            m_tipLength + 1 + wcslen(suffix) <= kMaxTipLength) {
            m_nid.szTip[m_tipLength] = L' ';
            wcscpy(m_nid.szTip + m_tipLength + 1, suffix);
        }
    }
    m_nid.hIcon = m_pausedIcon ? m_pausedIcon.get() : m_icon.get();
    // The shell takes its own copy of the icon: the one it showed can go after.
    if (m_added) {
        g_trayShell.notifyIcon(NIM_MODIFY, &m_nid);
    }
}

void CTrayIcon::ShowPicture(HICON icon) {
    tessaly::unique_hicon picture(icon);
    if (!m_nid.hWnd || !picture) {
        return;
    }
    // The shell shows the old one until it is told.
    tessaly::unique_hicon previous(std::move(m_icon));
    m_icon = std::move(picture);
    ShowPaused(m_pausedIcon.get() != nullptr);
}

HICON GreyIcon(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) {
        return nullptr;
    }
    tessaly::unique_hbitmap color(info.hbmColor), mask(info.hbmMask);
    BITMAP size = {};
    if (!color || !GetObjectW(color.get(), sizeof(size), &size)) {
        return nullptr;
    }
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), size.bmWidth, -size.bmHeight, 1, 32, BI_RGB};
    tessaly::unique_hdc_window screen = tessaly::WindowDC(nullptr);
    void* bits = nullptr;
    tessaly::unique_hbitmap grey(CreateDIBSection(screen.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!grey || !GetDIBits(screen.get(), color.get(), 0, size.bmHeight, bits, &format, DIB_RGB_COLORS)) {
        return nullptr;
    }
    auto* pixel = static_cast<RGBQUAD*>(bits);
    for (LONG i = 0, count = size.bmWidth * size.bmHeight; i < count; ++i, ++pixel) {
        // Luminance, lifted a quarter of the way to white, a quarter more
        // transparent: a disabled icon's look, still clear on a light taskbar.
        const int light = (pixel->rgbRed * 30 + pixel->rgbGreen * 59 + pixel->rgbBlue * 11) / 100;
        pixel->rgbRed = pixel->rgbGreen = pixel->rgbBlue = static_cast<BYTE>((light * 3 + 255) / 4);
        pixel->rgbReserved = static_cast<BYTE>(pixel->rgbReserved * 3 / 4);
    }
    ICONINFO greyed = {TRUE, 0, 0, mask.get(), grey.get()};
    return CreateIconIndirect(&greyed);
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
    CheckMenuItem(popup, IDM_PAUSE, MF_BYCOMMAND | (HotKeysPaused() ? MF_CHECKED : MF_UNCHECKED));
    UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr));
    menu.reset();
    if (command != 0) {
        SendMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
}
