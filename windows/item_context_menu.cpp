#include "windows/item_context_menu.h"

#include "common/unique_handles.h"
#include "common/item_id_list.h"

using tessaly::com_ptr;
using tessaly::unique_hmenu;

IContextMenu2* g_contextMenu2 = nullptr;
IContextMenu3* g_contextMenu3 = nullptr;

namespace {

constexpr UINT kFirstCommand = 1;
constexpr UINT kLastCommand = 0x7FFF;

HRESULT GetShellContextMenu(HWND owner, const CItemIDList& itemIDList, IContextMenu** menu) {
    *menu = nullptr;
    com_ptr<IShellFolder> desktop;
    HRESULT result = SHGetDesktopFolder(desktop.put());
    if (FAILED(result)) {
        return result;
    }
    com_ptr<IShellFolder> parent;
    {
        // A single-item list has an empty parent: the bind then asks for the
        // desktop itself, and whatever the shell answers decides.
        CItemIDList parentList = itemIDList.GetParent();
        result = desktop->BindToObject(parentList.m_pidl, nullptr, __uuidof(IShellFolder), parent.put_void());
    }
    if (FAILED(result)) {
        return result;
    }
    LPCITEMIDLIST last = itemIDList.GetLastID();
    return parent->GetUIObjectOf(owner, 1, &last, __uuidof(IContextMenu), nullptr,
                                 reinterpret_cast<void**>(menu));
}

BOOL TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
    return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}

// The extended handler found for the menu is held in its slot for as long as
// the menu lives, whatever way the menu ends. A menu opened while another is
// still being carried out (the shell's dialog of the first one is modal)
// takes the slots over and gives them back as it found them.
class HandlerSlot {
public:
    explicit HandlerSlot(IContextMenu* menu)
        : m_handler(menu), m_previous2(g_contextMenu2), m_previous3(g_contextMenu3) {
        void* extended = nullptr;
        g_contextMenu2 = nullptr;
        g_contextMenu3 = nullptr;
        if (SUCCEEDED(menu->QueryInterface(__uuidof(IContextMenu3), &extended)) && extended) {
            g_contextMenu3 = static_cast<IContextMenu3*>(extended);
            m_extended = g_contextMenu3;
        } else if (SUCCEEDED(menu->QueryInterface(__uuidof(IContextMenu2), &extended)) && extended) {
            g_contextMenu2 = static_cast<IContextMenu2*>(extended);
            m_extended = g_contextMenu2;
        }
        if (m_extended) {
            m_handler = m_extended;
        }
    }
    ~HandlerSlot() {
        if (m_extended) {
            m_extended->Release();
        }
        g_contextMenu2 = m_previous2;
        g_contextMenu3 = m_previous3;
    }
    HandlerSlot(const HandlerSlot&) = delete;
    HandlerSlot& operator=(const HandlerSlot&) = delete;
    IContextMenu* get() const { return m_handler; }

private:
    IContextMenu* m_handler;
    IContextMenu* m_extended = nullptr;
    IContextMenu2* m_previous2;
    IContextMenu3* m_previous3;
};

}  // namespace

ContextMenuShell g_contextMenuShell = {GetShellContextMenu, TrackMenu};

void ShowItemContextMenu(HWND owner, POINT point, const CItemIDList& itemIDList) {
    if (!itemIDList.m_pidl) {
        return;
    }
    unique_hmenu menu(CreatePopupMenu());
    if (!menu) {
        return;
    }
    com_ptr<IContextMenu> contextMenu;
    if (FAILED(g_contextMenuShell.getContextMenu(owner, itemIDList, contextMenu.put()))) {
        return;
    }
    HandlerSlot handler(contextMenu.get());
    if (FAILED(handler.get()->QueryContextMenu(menu.get(), 0, kFirstCommand, kLastCommand, CMF_EXPLORE))) {
        return;
    }
    UINT chosen = static_cast<UINT>(g_contextMenuShell.trackPopupMenu(
        menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, owner));
    if (chosen != 0) {
        // The shell's entries were numbered from kFirstCommand; the verb is
        // the entry's offset. No owner and no folder: the shell's defaults.
        CMINVOKECOMMANDINFO invoke = {};
        invoke.cbSize = sizeof(invoke);
        invoke.lpVerb = MAKEINTRESOURCEA(chosen - kFirstCommand);
        invoke.nShow = SW_SHOWNORMAL;
        handler.get()->InvokeCommand(&invoke);
    }
}

void ForwardContextMenuMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_contextMenu3) {
        g_contextMenu3->HandleMenuMsg2(message, wParam, lParam, nullptr);
    } else if (g_contextMenu2) {
        g_contextMenu2->HandleMenuMsg(message, wParam, lParam);
    }
}
