// Where a task's hotkey applies: everywhere, only while one of its programs
// is in front, or everywhere except there. A key that does not apply is left
// free for the program in front.
#pragma once

#include <windows.h>

struct Task;

enum KeyCondition { kEverywhere = 0, kOnlyIn = 1, kExceptIn = 2 };

// The program in front as a condition sees it: its file's full path, and the
// app id of its window where it has one (a packaged app shows the frame's
// program, so its id is what names it).
struct ProgramInFront {
    const wchar_t* path = L"";
    const wchar_t* appId = L"";
};

// Whether one entry of a task's list names the program: its file name
// ("writer.exe"), its full path, or its app id, case ignored.
bool NamesProgram(const wchar_t* entry, size_t length, const ProgramInFront& program);

// Whether the task's hotkey applies while `program` is in front. An unknown
// condition counts as everywhere, as earlier versions behaved.
bool ConditionHolds(const Task& task, const ProgramInFront& program);

// Whether some program could have both tasks' hotkeys apply at once, so the
// same key would be theirs together. An "only in" with an empty list applies
// nowhere.
bool ConditionsMeet(const Task& a, const Task& b);

// Whether two tasks' keys cannot both work: both have a key, where some
// program has them both, on the same first step, and either one of them runs
// on that step alone (the other's wait would never start, or its step would
// never end) or both wait for the same second key.
bool KeysClash(const Task& a, const Task& b);

// Calls `visit(context, entry, length)` for each entry of a list, blanks
// around it trimmed and empty entries skipped; stops and returns true when it
// does. One loop for every caller: the template below only adapts them.
bool VisitProgramEntries(const wchar_t* list, bool (*visit)(const void* context, const wchar_t* entry, size_t length),
                         const void* context);

template <typename Visit>
bool AnyProgramEntry(const wchar_t* list, const Visit& visit) {
    return VisitProgramEntries(
        list,
        [](const void* context, const wchar_t* entry, size_t length) {
            return (*static_cast<const Visit*>(context))(entry, length);
        },
        &visit);
}
