#include "model/task.h"

#include <utility>

#include "model/hotkey.h"

TaskList g_taskList;

void TaskArray::reserve(size_t capacity) {
    if (capacity <= m_capacity) {
        return;
    }
    Item* items = new Item[capacity];
    for (size_t i = 0; i < m_count; ++i) {
        items[i] = std::move(m_items[i]);
    }
    delete[] m_items;
    m_items = items;
    m_capacity = capacity;
}

void TaskArray::insert(size_t index, Item item) {
    if (m_count == m_capacity) {
        reserve(m_capacity ? 2 * m_capacity : 8);
    }
    for (size_t i = m_count; i > index; --i) {
        m_items[i] = std::move(m_items[i - 1]);
    }
    m_items[index] = std::move(item);
    ++m_count;
}

void TaskArray::erase(size_t index) {
    for (size_t i = index; i + 1 < m_count; ++i) {
        m_items[i] = std::move(m_items[i + 1]);
    }
    m_items[--m_count].reset();
}

int TaskList::IndexOf(const Task* task) const {
    for (size_t i = 0; i < m_tasks.size(); ++i) {
        if (m_tasks[i].get() == task) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Task* TaskList::Append(std::unique_ptr<Task> task) {
    m_tasks.push_back(std::move(task));
    return m_tasks[m_tasks.size() - 1].get();
}

Task* TaskList::InsertAt(size_t index, std::unique_ptr<Task> task) {
    if (index > m_tasks.size()) {
        index = m_tasks.size();
    }
    m_tasks.insert(index, std::move(task));
    return m_tasks[index].get();
}

bool TaskList::Remove(Task* task) {
    int index = IndexOf(task);
    if (index < 0) {
        return false;
    }
    UnregisterTaskHotKey(task->Atom);
    m_tasks.erase(static_cast<size_t>(index));
    return true;
}

void TaskList::Clear() {
    while (!m_tasks.empty()) {
        UnregisterTaskHotKey(m_tasks[0]->Atom);
        m_tasks.erase(0);
    }
}

void TaskList::Assign(Storage tasks) {
    Clear();
    m_tasks = std::move(tasks);
}

bool TaskList::SwapWithPrevious(Task* task) {
    int index = IndexOf(task);
    if (index <= 0) {
        return false;
    }
    std::swap(m_tasks[index], m_tasks[index - 1]);
    return true;
}

bool TaskList::SwapWithNext(Task* task) {
    int index = IndexOf(task);
    if (index < 0 || static_cast<size_t>(index) + 1 >= m_tasks.size()) {
        return false;
    }
    std::swap(m_tasks[index], m_tasks[index + 1]);
    return true;
}

Task* TaskList::FindByNameWindow(HWND window) const {
    for (const auto& task : m_tasks) {
        if (task->NameWindow == window) {
            return task.get();
        }
    }
    return nullptr;
}
