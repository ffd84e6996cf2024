// The configuration in HKCU\Software\Norv\Tessaly: "Setting" for the display
// settings, "Tasks" with "Count" and one "Task%d" key per task.
#pragma once

#include <windows.h>

#include <cstddef>

// A damaged Count cannot make the load allocate without bound or use up the
// global atom table, which the whole session shares (every task with a key
// holds an atom): tasks past this many are not loaded.
constexpr size_t kMaxStoredTasks = 4096;

// Nonzero when the program's key exists. Replaces the task list only when
// tasks are stored, registering their hotkeys; applies the stored tray choice.
// A save that stopped part-way is first taken to its old or its new store.
int LoadStore();
// The "Language" value of "Setting", a language id the user may set to
// choose the interface's language; 0 when there is none. Read alone, before
// anything is shown, and kept by every save as a value this version leaves be.
// Finishes a stopped save first, as LoadStore does.
DWORD StoredLanguage();
// Replaces the whole store with every setting and every task, or, when any
// write fails, leaves it as it was. Values under "Setting" that this version
// does not know stay; the rest of the old tree goes.
void SaveStore();
