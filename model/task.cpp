#include "model/task.h"

#include <utility>

#include "model/hotkey.h"

TaskList g_taskList;

void ListedTaskDeleter::operator()(Task* task) const {
    unique_task_hotkey registration(task->Atom);
    delete task;
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
    m_tasks.erase(static_cast<size_t>(index));
    return true;
}

void TaskList::Clear() {
    while (!m_tasks.empty()) {
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

bool TaskNameHolds(const Task& task, const wchar_t* text) {
    if (text[0] == L'\0') {
        return true;
    }
    const wchar_t* name = task.Name[0] != L'\0' ? task.Name : task.File;
    return FindNLSStringEx(LOCALE_NAME_USER_DEFAULT,
                           // Punctuation counts as typed: a word sort
                           // would pass over a hyphen or an apostrophe.
                           FIND_FROMSTART | NORM_IGNORECASE | NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE | SORT_STRINGSORT,
                           name, -1, text, -1, nullptr, nullptr, nullptr, 0) >= 0;
}
