#include "config/task_drop_target.h"

#include <shlobj.h>

#include "common/dyn_calls.h"
#include "common/unique_handles.h"
#include "model/apps_folder.h"
#include "model/task.h"

namespace {

using tessaly::unique_cotaskmem;

// A medium a data object handed over, released to its provider when the
// owner goes (a zeroed one holds nothing).
struct unique_stg_medium : STGMEDIUM {
    unique_stg_medium() : STGMEDIUM() {}
    ~unique_stg_medium() { BindDynCalls(SystemLibrary::Ole32).releaseStgMedium(this); }
    unique_stg_medium(const unique_stg_medium&) = delete;
    unique_stg_medium& operator=(const unique_stg_medium&) = delete;
};

// Global memory locked for reading while the owner lives.
class unique_hglobal_locked {
public:
    explicit unique_hglobal_locked(HGLOBAL memory) : m_memory(memory), m_data(GlobalLock(memory)) {}
    ~unique_hglobal_locked() {
        if (m_data) {
            GlobalUnlock(m_memory);
        }
    }
    unique_hglobal_locked(const unique_hglobal_locked&) = delete;
    unique_hglobal_locked& operator=(const unique_hglobal_locked&) = delete;
    const BYTE* get() const { return static_cast<const BYTE*>(m_data); }

private:
    HGLOBAL m_memory;
    void* m_data;
};

void OfferItem(HWND dialog, PCIDLIST_ABSOLUTE item, TaskOffer offer) {
    wchar_t path[MAX_PATH];
    if (SHGetPathFromIDListW(item, path)) {
        offer(dialog, path, nullptr);
        return;
    }
    unique_cotaskmem parsing, display;
    if (FAILED(SHGetNameFromIDList(item, SIGDN_DESKTOPABSOLUTEPARSING, reinterpret_cast<PWSTR*>(parsing.put()))) ||
        FAILED(SHGetNameFromIDList(item, SIGDN_NORMALDISPLAY, reinterpret_cast<PWSTR*>(display.put())))) {
        return;
    }
    auto name = static_cast<const wchar_t*>(parsing.get());
    const wchar_t* appId = AppsFolderAppId(name);
    const wchar_t* prefix = appId ? kAppsFolderPrefix : L"";
    const wchar_t* rest = appId ? appId : name;
    wchar_t command[kTextFieldLength];
    if (lstrlenW(prefix) + lstrlenW(rest) < static_cast<int>(kTextFieldLength)) {
        wsprintfW(command, L"%s%s", prefix, rest);
        offer(dialog, command, static_cast<const wchar_t*>(display.get()));
    }
}

// The item ID list at `offset` of a block of `size` bytes, or null when it
// does not end inside the block.
PCUIDLIST_RELATIVE IdListAt(const BYTE* block, SIZE_T size, UINT offset) {
    for (SIZE_T at = offset; at + sizeof(USHORT) <= size;) {
        const USHORT length = static_cast<USHORT>(block[at] | block[at + 1] << 8);
        if (length == 0) {
            return reinterpret_cast<PCUIDLIST_RELATIVE>(block + offset);
        }
        if (length < sizeof(USHORT)) {
            return nullptr;
        }
        at += length;
    }
    return nullptr;
}

}  // namespace

// A CIDA: the number of items, then the offsets of the parent folder's list
// and of each item's, relative to the parent's.
void OfferDroppedItems(HWND dialog, HGLOBAL items, TaskOffer offer) {
    unique_hglobal_locked locked(items);
    const BYTE* block = locked.get();
    const SIZE_T size = GlobalSize(items);
    auto cida = reinterpret_cast<const CIDA*>(block);
    if (!block || size < 2 * sizeof(UINT) || cida->cidl > size / sizeof(UINT) - 2) {
        return;
    }
    PCUIDLIST_RELATIVE parent = IdListAt(block, size, cida->aoffset[0]);
    for (UINT i = 1; parent && i <= cida->cidl; ++i) {
        if (PCUIDLIST_RELATIVE child = IdListAt(block, size, cida->aoffset[i])) {
            unique_cotaskmem item(ILCombine(reinterpret_cast<PCIDLIST_ABSOLUTE>(parent), child));
            if (item) {
                OfferItem(dialog, static_cast<PCIDLIST_ABSOLUTE>(item.get()), offer);
            }
        }
    }
}

namespace {

class TaskDropTarget final : public IDropTarget {
public:
    explicit TaskDropTarget(HWND dialog) : m_dialog(dialog) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDropTarget) {
            *object = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        FORMATETC list = Format(m_idListFormat), files = Format(CF_HDROP);
        m_format = !IsWindowEnabled(m_dialog)               ? 0
                   : data->QueryGetData(&list) == S_OK  ? m_idListFormat
                   : data->QueryGetData(&files) == S_OK ? CF_HDROP
                                                        : 0;
        return DragOver(0, {}, effect);
    }
    // A task is a copy of the command, or a link to it: never a move.
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = !m_format ? DROPEFFECT_NONE : (*effect & DROPEFFECT_COPY) ? DROPEFFECT_COPY : *effect & DROPEFFECT_LINK;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override {
        DragEnter(data, keys, point, effect);
        unique_stg_medium medium;
        FORMATETC wanted = Format(m_format);
        if (*effect == DROPEFFECT_NONE || FAILED(data->GetData(&wanted, &medium)) || medium.tymed != TYMED_HGLOBAL) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        // The medium goes back to the source with the drop: the dialog gets
        // a copy of its own.
        HANDLE copy =
            BindDynCalls(SystemLibrary::Ole32).oleDuplicateData(medium.hGlobal, static_cast<CLIPFORMAT>(m_format), 0);
        if (!copy || !PostMessageW(m_dialog, m_format == CF_HDROP ? WM_DROPFILES : WM_ITEMS_DROPPED,
                                   reinterpret_cast<WPARAM>(copy), 0)) {
            // Nothing was taken: the source must not think otherwise.
            GlobalFree(copy);
            *effect = DROPEFFECT_NONE;
        }
        return S_OK;
    }

private:
    static FORMATETC Format(UINT format) {
        return {static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    }

    HWND m_dialog;
    const UINT m_idListFormat = RegisterClipboardFormatW(CFSTR_SHELLIDLIST);
    UINT m_format = 0;
    ULONG m_references = 1;
};

}  // namespace

bool unique_task_drop_target::Register(HWND dialog) {
    reset();
    auto target = new TaskDropTarget(dialog);
    if (FAILED(BindDynCalls(SystemLibrary::Ole32).registerDragDrop(dialog, target))) {
        target->Release();
        return false;
    }
    m_target = target;
    m_dialog = dialog;
    return true;
}

void unique_task_drop_target::reset() {
    if (m_target) {
        BindDynCalls(SystemLibrary::Ole32).revokeDragDrop(m_dialog);
        std::exchange(m_target, nullptr)->Release();
    }
}
