// What the shell drags onto the settings dialog: file names, as the dialog
// has always taken them, and the shell items of a drag from the Start menu
// or the Applications folder, which carry item ID lists instead.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

// Posted to the dialog with the items of a drop (a copy of its CIDA, which
// the dialog frees), as WM_DROPFILES is with a drop's files: the drag's
// source waits until the drop returns, so no editor may run inside it.
constexpr UINT WM_ITEMS_DROPPED = WM_APP + 23;

// What a dropped item offers as a task: a file-system path (a null name), to
// be read as a dropped file is, or a command and its name.
using TaskOffer = void (*)(HWND dialog, const wchar_t* command, const wchar_t* name);
// Each item of a CIDA in turn: an item with a file-system path as that path,
// any other (an app of the Applications folder) as the command its parsing
// name says, named by its display name. A command longer than a task's field
// is skipped.
void OfferDroppedItems(HWND dialog, HGLOBAL items, TaskOffer offer);

// The dialog as a target of the shell's drags, registered with OLE while the
// owner lives. It takes shell item lists (CFSTR_SHELLIDLIST, first: they
// also hold items that have no file) or file names (CF_HDROP, posted on as
// WM_DROPFILES), while the dialog is enabled (no editor open over it).
class unique_task_drop_target {
public:
    unique_task_drop_target() = default;
    ~unique_task_drop_target() { reset(); }
    unique_task_drop_target(const unique_task_drop_target&) = delete;
    unique_task_drop_target& operator=(const unique_task_drop_target&) = delete;
    unique_task_drop_target(unique_task_drop_target&& other) noexcept
        : m_target(std::exchange(other.m_target, nullptr)), m_dialog(other.m_dialog) {}
    unique_task_drop_target& operator=(unique_task_drop_target&& other) noexcept {
        if (this != &other) {
            reset();
            m_target = std::exchange(other.m_target, nullptr);
            m_dialog = other.m_dialog;
        }
        return *this;
    }

    // False when OLE would not register it (OLE not started on this thread).
    bool Register(HWND dialog);
    void reset();
    // What OLE calls; null when none is registered.
    IDropTarget* get() const { return m_target; }

private:
    IDropTarget* m_target = nullptr;
    HWND m_dialog = nullptr;
};
