// Small move-only owners for the handles this program holds. They follow the
// naming of the owners Windows developers know (unique_hkey, unique_hicon, ...)
// because that library itself does not build with MinGW.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <utility>

#include "common/dyn_calls.h"

namespace tessaly {

// Owns one handle of type T, closed by Close(); Invalid is the "no handle" value.
template <typename T, void (*Close)(T), T Invalid = T()>
class unique_any {
public:
    unique_any() noexcept = default;
    explicit unique_any(T value) noexcept : m_value(value) {}
    ~unique_any() { reset(); }

    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;

    unique_any(unique_any&& other) noexcept : m_value(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    T get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != Invalid; }

    // For out-parameters of creating calls: frees what is held first.
    T* put() noexcept {
        reset();
        return &m_value;
    }

    T release() noexcept { return std::exchange(m_value, Invalid); }

    void reset(T value = Invalid) noexcept {
        T old = std::exchange(m_value, value);
        if (old != Invalid) {
            Close(old);
        }
    }

private:
    T m_value = Invalid;
};

// Owns a value given back to what it was taken from: a window's DC to its
// window, a DC's previous object to the DC. Release(context, value) runs once,
// when the owner goes, unless the value is null.
template <typename Context, typename T, void (*Release)(Context, T)>
class unique_context_any {
public:
    unique_context_any(Context context, T value) noexcept : m_context(context), m_value(value) {}
    ~unique_context_any() {
        if (m_value) {
            Release(m_context, m_value);
        }
    }

    unique_context_any(const unique_context_any&) = delete;
    unique_context_any& operator=(const unique_context_any&) = delete;

    T get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != T(); }

private:
    Context m_context;
    T m_value;
};

// Calls End() when it goes, for a start that has no handle to hold.
template <void (*End)()>
class unique_call {
public:
    unique_call() noexcept = default;
    ~unique_call() { End(); }
    unique_call(const unique_call&) = delete;
    unique_call& operator=(const unique_call&) = delete;
};

namespace detail {
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseHandleValue(HANDLE handle) { CloseHandle(handle); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DestroyMenuHandle(HMENU menu) { DestroyMenu(menu); }
inline void DeleteFontHandle(HFONT font) { DeleteObject(font); }
inline void DeleteBitmapHandle(HBITMAP bitmap) { DeleteObject(bitmap); }
// Only lists made through the bound comctl32 exist.
inline void DestroyImageListHandle(HIMAGELIST list) { g_dynCalls.imageListDestroy(list); }
inline void UnhookHandle(HHOOK hook) { UnhookWindowsHookEx(hook); }
inline void UnhookEventHandle(HWINEVENTHOOK hook) { UnhookWinEvent(hook); }
inline void ReleaseWindowDC(HWND window, HDC dc) { ReleaseDC(window, dc); }
inline void SelectPrevious(HDC dc, HGDIOBJ previous) { SelectObject(dc, previous); }
inline void EndPaintCall(HWND window, PAINTSTRUCT* paint) { EndPaint(window, paint); }
inline void DeleteGlobalAtom(ATOM atom) { GlobalDeleteAtom(atom); }
inline void FreeTaskMemory(void* memory) { BindDynCalls(SystemLibrary::Ole32).coTaskMemFree(memory); }
inline void FreeBstr(BSTR text) { BindDynCalls(SystemLibrary::Oleaut32).sysFreeString(text); }
// Only blocks made through the bound userenv exist.
inline void DestroyEnvironment(void* block) { g_dynCalls.destroyEnvironmentBlock(block); }
inline void FreeGlobalMemory(HGLOBAL memory) { GlobalFree(memory); }
}  // namespace detail

using unique_hkey = unique_any<HKEY, detail::CloseKey>;
using unique_handle = unique_any<HANDLE, detail::CloseHandleValue>;

// An opened file, which CreateFileW gives as INVALID_HANDLE_VALUE on failure
// where every other call gives null: held as null then.
class unique_hfile : public unique_handle {
public:
    explicit unique_hfile(HANDLE file) noexcept : unique_handle(file == INVALID_HANDLE_VALUE ? nullptr : file) {}
};
using unique_hicon = unique_any<HICON, detail::DestroyIconHandle>;
using unique_hmenu = unique_any<HMENU, detail::DestroyMenuHandle>;
using unique_hfont = unique_any<HFONT, detail::DeleteFontHandle>;
using unique_hbitmap = unique_any<HBITMAP, detail::DeleteBitmapHandle>;
using unique_himagelist = unique_any<HIMAGELIST, detail::DestroyImageListHandle>;
using unique_hhook = unique_any<HHOOK, detail::UnhookHandle>;
using unique_hwineventhook = unique_any<HWINEVENTHOOK, detail::UnhookEventHandle>;
using unique_global_atom = unique_any<ATOM, detail::DeleteGlobalAtom>;
using unique_cotaskmem = unique_any<void*, detail::FreeTaskMemory>;
using unique_bstr = unique_any<BSTR, detail::FreeBstr>;
using unique_environment_block = unique_any<void*, detail::DestroyEnvironment>;
using unique_hglobal = unique_any<HGLOBAL, detail::FreeGlobalMemory>;

using unique_hdc_window = unique_context_any<HWND, HDC, detail::ReleaseWindowDC>;
using unique_select_object = unique_context_any<HDC, HGDIOBJ, detail::SelectPrevious>;
using unique_hdc_paint = unique_context_any<HWND, PAINTSTRUCT*, detail::EndPaintCall>;

// The window's DC, released to it when the owner goes.
inline unique_hdc_window WindowDC(HWND window) { return unique_hdc_window(window, GetDC(window)); }

// Selects the object into the DC and puts the previous one back when the
// owner goes, so the DC never keeps an object its owner may delete.
inline unique_select_object SelectInto(HDC dc, HGDIOBJ object) {
    return unique_select_object(dc, SelectObject(dc, object));
}

// Paints the window between BeginPaint and the owner's end: EndPaint follows
// every BeginPaint, even one that gave no DC, to validate the window.
inline unique_hdc_paint PaintDC(HWND window, PAINTSTRUCT& paint) {
    BeginPaint(window, &paint);
    return unique_hdc_paint(window, &paint);
}

namespace detail {
inline void DestroyReplacedIcon(LRESULT previous, HICON shown) {
    // Given the icon it already shows, a control hands that same one back.
    auto replaced = reinterpret_cast<HICON>(previous);
    unique_hicon destroyed(replaced != shown ? replaced : nullptr);
}
}  // namespace detail

// A static control shows the icon it is given without owning it, and hands
// back the one it showed before: that one was ours, and goes here. A null
// icon takes the last one back, as the control's dialog must when it goes.
inline void ShowControlIcon(HWND control, HICON icon) {
    detail::DestroyReplacedIcon(SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0), icon);
}

// The same for a window's caption icon of `size` (ICON_SMALL or ICON_BIG).
inline void SetCaptionIcon(HWND window, WPARAM size, HICON icon) {
    detail::DestroyReplacedIcon(SendMessageW(window, WM_SETICON, size, reinterpret_cast<LPARAM>(icon)), icon);
}

// A COM interface pointer released when the owner goes.
template <typename I>
class com_ptr {
public:
    com_ptr() noexcept = default;
    ~com_ptr() { reset(); }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    com_ptr(com_ptr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other) {
            reset();
            m_ptr = std::exchange(other.m_ptr, nullptr);
        }
        return *this;
    }

    I* get() const noexcept { return m_ptr; }
    I* operator->() const noexcept { return m_ptr; }
    explicit operator bool() const noexcept { return m_ptr != nullptr; }
    I** put() noexcept {
        reset();
        return &m_ptr;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void reset() noexcept {
        if (m_ptr) {
            std::exchange(m_ptr, nullptr)->Release();
        }
    }

private:
    I* m_ptr = nullptr;
};

}  // namespace tessaly
