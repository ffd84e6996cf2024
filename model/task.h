// One configured task, and the program's ordered list of them.
#pragma once

#include <windows.h>

#include <memory>

#include "common/growable_array.h"
#include "common/item_id_list.h"

// Every text field holds at most 259 characters and its terminator.
constexpr size_t kTextFieldLength = MAX_PATH;
constexpr UINT kNoKey = 0xFFFFFFFF;

// Run-time: a toggling switch's round through a running program's windows,
// where it began and the window it brought forward last, so it knows when it
// has come round. A round the user left starts anew.
struct SwitchRound {
    HWND start = nullptr;
    HWND last = nullptr;
};

struct Task {
    // Stored fields
    UINT fsModifiers = 0;
    UINT vk = kNoKey;
    // Run-time: the global atom the hotkey is registered under, 0 when none.
    int Atom = 0;
    wchar_t File[kTextFieldLength] = {};
    wchar_t Parameter[kTextFieldLength] = {};
    wchar_t WorkingFolder[kTextFieldLength] = {};
    int Show = SW_SHOWNORMAL;
    int RunAs = 0;
    wchar_t Name[kTextFieldLength] = {};
    wchar_t Sound[kTextFieldLength] = {};
    wchar_t IconPath[kTextFieldLength] = {};
    int IconIndex = 0;
    int ShowLauncher = 1;
    // Nonzero: a program already running is brought forward instead of
    // started again.
    int Activate = 0;
    // Nonzero, with Activate: the switch hides the program again when it is
    // in front and its windows have all had their turn.
    int Toggle = 0;
    // Where the hotkey applies: everywhere, or by the program in front
    // (KeyCondition), and the programs that decides by, as the user wrote
    // them: file names or app ids, separated by ';'.
    int Condition = 0;
    wchar_t Programs[kTextFieldLength] = {};
    // A key that must follow the hotkey for the task to run; kNoKey when the
    // hotkey runs it alone.
    UINT NextModifiers = 0;
    UINT NextVk = kNoKey;
    // Run-time only
    HWND NameWindow = nullptr;
    SwitchRound Round;
    int ImageIndex = -1;
    CItemIDList ItemIDList;
};

// A task in the list owns its hotkey's registration, released when the task
// leaves the list. A copy of a task (the editor's working copy) carries the
// atom's value without it, so copies stay plain values.
struct ListedTaskDeleter {
    ListedTaskDeleter() = default;
    // A task made apart enters the list with the registration it holds.
    ListedTaskDeleter(std::default_delete<Task>) {}
    void operator()(Task* task) const;
};

using TaskArray = tessaly::GrowableArray<std::unique_ptr<Task, ListedTaskDeleter>>;

// Owns its tasks. A task's address is its identity for as long as it is in the
// list (list-view item data, WM_RUNTASK), so tasks are held by pointer.
class TaskList {
public:
    using Storage = TaskArray;

    size_t Count() const { return m_tasks.size(); }
    Task* At(size_t index) const { return m_tasks[index].get(); }
    bool Contains(const Task* task) const { return IndexOf(task) >= 0; }
    // -1 when the task is not in the list.
    int IndexOf(const Task* task) const;

    // The new task's hotkey is already registered.
    Task* Append(std::unique_ptr<Task> task);
    Task* InsertAt(size_t index, std::unique_ptr<Task> task);

    // Releases the task's hotkey, then destroys it. False when it is not in the list.
    bool Remove(Task* task);
    // Releases every hotkey and destroys every task, first to last.
    void Clear();
    // Takes tasks whose hotkeys are already registered, after Clear.
    void Assign(Storage tasks);

    bool SwapWithPrevious(Task* task);
    bool SwapWithNext(Task* task);

    Task* FindByNameWindow(HWND window) const;

    template <typename Visit>
    size_t ForEachWithKey(UINT modifiers, UINT vk, Visit visit) const {
        size_t matched = 0;
        for (const auto& task : m_tasks) {
            if (vk != kNoKey && task->fsModifiers == modifiers && task->vk == vk) {
                visit(task.get());
                ++matched;
            }
        }
        return matched;
    }

    const TaskArray::Item* begin() const { return m_tasks.begin(); }
    const TaskArray::Item* end() const { return m_tasks.end(); }

private:
    Storage m_tasks;
};

extern TaskList g_taskList;

// Whether the task's name (its command when it has none) holds `text`, as a
// user typing it means: case, full- and half-width forms and hiragana against
// katakana aside. Any task holds the empty text.
bool TaskNameHolds(const Task& task, const wchar_t* text);
