// Small move-only owners for the handles this program holds. They follow the
// naming of the owners Windows developers know (unique_hkey, unique_hicon, ...)
// because that library itself does not build with MinGW.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <utility>

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

namespace detail {
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseHandleValue(HANDLE handle) { CloseHandle(handle); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DestroyMenuHandle(HMENU menu) { DestroyMenu(menu); }
inline void FreeModuleHandle(HMODULE module) { FreeLibrary(module); }
inline void DeleteFontHandle(HFONT font) { DeleteObject(font); }
inline void DestroyImageListHandle(HIMAGELIST list) { ImageList_Destroy(list); }
inline void DestroyWindowHandle(HWND window) { DestroyWindow(window); }
inline void DeleteGlobalAtom(ATOM atom) { GlobalDeleteAtom(atom); }
inline void FreeTaskMemory(void* memory) { CoTaskMemFree(memory); }
}  // namespace detail

using unique_hkey = unique_any<HKEY, detail::CloseKey>;
using unique_handle = unique_any<HANDLE, detail::CloseHandleValue>;
using unique_hicon = unique_any<HICON, detail::DestroyIconHandle>;
using unique_hmenu = unique_any<HMENU, detail::DestroyMenuHandle>;
using unique_hmodule = unique_any<HMODULE, detail::FreeModuleHandle>;
using unique_hfont = unique_any<HFONT, detail::DeleteFontHandle>;
using unique_himagelist = unique_any<HIMAGELIST, detail::DestroyImageListHandle>;
using unique_hwnd = unique_any<HWND, detail::DestroyWindowHandle>;
using unique_global_atom = unique_any<ATOM, detail::DeleteGlobalAtom>;
using unique_cotaskmem = unique_any<void*, detail::FreeTaskMemory>;

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
