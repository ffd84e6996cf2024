// A growable array. The standard vector would bring its length-error path,
// and the exception runtime behind it, into a program built without
// exceptions. Items move when it grows, so hold by pointer what must keep its
// address.
#pragma once

#include <stddef.h>

#include <utility>

namespace tessaly {

// kFirstCapacity: how many items the first growth makes room for.
template <typename T, size_t kFirstCapacity = 8>
class GrowableArray {
public:
    using Item = T;

    GrowableArray() = default;
    ~GrowableArray() { delete[] m_items; }
    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;
    GrowableArray(GrowableArray&& other) noexcept
        : m_items(std::exchange(other.m_items, nullptr)),
          m_count(std::exchange(other.m_count, 0)),
          m_capacity(std::exchange(other.m_capacity, 0)) {}
    GrowableArray& operator=(GrowableArray&& other) noexcept {
        if (this != &other) {
            delete[] m_items;
            m_items = std::exchange(other.m_items, nullptr);
            m_count = std::exchange(other.m_count, 0);
            m_capacity = std::exchange(other.m_capacity, 0);
        }
        return *this;
    }

    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    T& operator[](size_t index) { return m_items[index]; }
    const T& operator[](size_t index) const { return m_items[index]; }
    const T* begin() const { return m_items; }
    const T* end() const { return m_items + m_count; }

    void reserve(size_t capacity) {
        if (capacity <= m_capacity) {
            return;
        }
        T* items = new T[capacity];
        for (size_t i = 0; i < m_count; ++i) {
            items[i] = std::move(m_items[i]);
        }
        delete[] m_items;
        m_items = items;
        m_capacity = capacity;
    }

    // `index` at most size().
    void insert(size_t index, T item) {
        if (m_count == m_capacity) {
            reserve(m_capacity ? 2 * m_capacity : kFirstCapacity);
        }
        for (size_t i = m_count; i > index; --i) {
            m_items[i] = std::move(m_items[i - 1]);
        }
        m_items[index] = std::move(item);
        ++m_count;
    }
    void push_back(T item) { insert(m_count, std::move(item)); }

    // Destroys the item at `index`; the later ones move up.
    void erase(size_t index) {
        for (size_t i = index; i + 1 < m_count; ++i) {
            m_items[i] = std::move(m_items[i + 1]);
        }
        m_items[--m_count] = T();
    }

    // Destroys every item `remove` picks, keeping the order of the others.
    template <typename Pick>
    void erase_if(Pick remove) {
        size_t kept = 0;
        for (size_t i = 0; i < m_count; ++i) {
            if (!remove(m_items[i])) {
                if (kept != i) {
                    m_items[kept] = std::move(m_items[i]);
                }
                ++kept;
            }
        }
        for (size_t i = kept; i < m_count; ++i) {
            m_items[i] = T();
        }
        m_count = kept;
    }
    void clear() { erase_if([](const T&) { return true; }); }

private:
    T* m_items = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
};

}  // namespace tessaly
