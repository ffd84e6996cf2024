// The configuration: the display settings, under "Setting", and the tasks,
// under "Tasks" with "Count" and one "Task%d" per task. An installed copy
// keeps it in HKCU\Software\Norv\Tessaly; a portable one in the settings file
// beside the program (model/portable.h), in the same names with the same
// checks. Export and import use that file's form.
#pragma once

#include <windows.h>

#include <cstddef>

#include "model/settings_file.h"

// A damaged Count cannot make the load allocate without bound or use up the
// global atom table, which the whole session shares (every task with a key
// holds an atom): tasks past this many are not loaded.
constexpr size_t kMaxStoredTasks = 4096;

// Zero on a first start: no program key, or a settings file that is missing
// or holds nothing but blanks and comments. Replaces the task list only when
// tasks are stored, registering their hotkeys; applies the stored tray
// choice. A save that stopped part-way is first taken to its old or its new
// store. A settings file that cannot be read even so is set aside (the load
// is then a first start); a store that stays unread is never written over
// until the settings change.
int LoadStore();
// The "Language" value of "Setting", a language id the user may set to
// choose the interface's language; 0 when there is none. Read alone, before
// anything is shown, and kept by every save as a value this version leaves be.
// Finishes a stopped save first, as LoadStore does.
DWORD StoredLanguage();
// A number of "Setting" read alone in the same way, or `fallback`.
DWORD StoredSetting(const wchar_t* name, DWORD fallback);
// Replaces the whole store with every setting and every task, or, when any
// write fails, leaves it as it was and returns false. Values under "Setting"
// that this version does not know stay; the rest of the old store goes. A
// store the load could not read is left as it is while the settings are as
// the load left them, and set aside before the first save that changes them.
// A failed save leaves the system's reason as the last error, 0 for none.
bool SaveStore();
// Where the last store that could not be read was set aside: a file's path
// or a key's; `saved` tells whether a save took its place (otherwise the
// load found it and the settings start from their defaults). Given once;
// false when there is nothing to tell.
constexpr size_t kSetAsidePlaceLength = MAX_PATH + 48;
bool TakeSetAsidePlace(wchar_t (&place)[kSetAsidePlaceLength], bool& saved);
// Where the store is, for a message to the user: the file's path or the key's.
const wchar_t* StoreLocation();

// Writes the settings and the tasks to a settings file at `path`, whole or
// not at all, with the language and the system parts' look from the store.
bool ExportStore(const wchar_t* path);

// A settings file read for an import, read by the store's own reader and
// checked as a load checks; nothing changes until it is applied.
class StoreImport {
public:
    // False when the file cannot be read, or has neither a "Count" under
    // "Tasks" nor a task section.
    bool Read(const wchar_t* path);
    // The tasks an apply gives.
    size_t TaskCount() const;
    // Replaces the display settings and the whole task list with the file's,
    // each task's hotkey registered as at start-up; the file's language and
    // system parts' look go to the store at the next save.
    void Apply() const;

private:
    SettingsFile m_file;
};
