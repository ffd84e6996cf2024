#include "model/key_condition.h"

#include "model/task.h"

namespace {

bool SameText(const wchar_t* text, size_t length, const wchar_t* other, int otherLength = -1) {
    return CompareStringOrdinal(text, static_cast<int>(length), other, otherLength, TRUE) == CSTR_EQUAL;
}

bool ListNames(const wchar_t* list, const ProgramInFront& program) {
    return AnyProgramEntry(list, [&](const wchar_t* entry, size_t length) {
        return NamesProgram(entry, length, program);
    });
}

// Where the file name at the end of an entry begins: 0 for a bare name.
// Kept in its callers: a function of its own costs an unwind entry too.
inline __attribute__((always_inline)) size_t NameStart(const wchar_t* entry, size_t length) {
    while (length > 0 && entry[length - 1] != L'\\' && entry[length - 1] != L'/') {
        --length;
    }
    return length;
}

// Whether a program named by `other` is named by `entry` too: the same
// text, or the same file name where one of them is a bare name, which names
// that file in any folder. `covers`: whether `other` names every program
// that `entry` does, which a bare name does and a path only of itself.
bool ListHolds(const wchar_t* list, const wchar_t* entry, size_t length, bool covers = false) {
    const size_t start = NameStart(entry, length);
    return AnyProgramEntry(list, [&](const wchar_t* other, size_t otherLength) {
        const size_t otherStart = NameStart(other, otherLength);
        return SameText(entry, length, other, static_cast<int>(otherLength)) ||
               ((otherStart == 0 || (!covers && start == 0)) &&
                SameText(entry + start, length - start, other + otherStart, static_cast<int>(otherLength - otherStart)));
    });
}

// Whether a program named in `only` escapes every entry of `except`.
bool AnyEscapes(const wchar_t* only, const wchar_t* except) {
    return AnyProgramEntry(only,
                           [&](const wchar_t* entry, size_t length) { return !ListHolds(except, entry, length, true); });
}

// An "only in" applies somewhere when its list names any program.
bool AppliesSomewhere(const Task& task) {
    return task.Condition != kOnlyIn || AnyProgramEntry(task.Programs, [](const wchar_t*, size_t) { return true; });
}

}  // namespace

bool VisitProgramEntries(const wchar_t* list, bool (*visit)(const void*, const wchar_t*, size_t),
                         const void* context) {
    while (*list != L'\0') {
        while (*list == L' ' || *list == L'\t' || *list == L';') {
            ++list;
        }
        const wchar_t* end = list;
        while (*end != L'\0' && *end != L';') {
            ++end;
        }
        const wchar_t* last = end;
        while (last > list && (last[-1] == L' ' || last[-1] == L'\t')) {
            --last;
        }
        if (last > list && visit(context, list, static_cast<size_t>(last - list))) {
            return true;
        }
        list = end;
    }
    return false;
}

bool NamesProgram(const wchar_t* entry, size_t length, const ProgramInFront& program) {
    if (SameText(entry, length, program.path) || (program.appId[0] != L'\0' && SameText(entry, length, program.appId))) {
        return true;
    }
    const wchar_t* name = program.path;
    for (const wchar_t* at = program.path; *at != L'\0'; ++at) {
        if (*at == L'\\' || *at == L'/') {
            name = at + 1;
        }
    }
    return name[0] != L'\0' && SameText(entry, length, name);
}

bool ConditionHolds(const Task& task, const ProgramInFront& program) {
    switch (task.Condition) {
    case kOnlyIn:
        return ListNames(task.Programs, program);
    case kExceptIn:
        return !ListNames(task.Programs, program);
    default:
        return true;
    }
}

bool ConditionsMeet(const Task& a, const Task& b) {
    if (!AppliesSomewhere(a) || !AppliesSomewhere(b)) {
        return false;
    }
    const bool aOnly = a.Condition == kOnlyIn;
    const bool bOnly = b.Condition == kOnlyIn;
    if (aOnly && bOnly) {
        return AnyProgramEntry(a.Programs, [&](const wchar_t* entry, size_t length) {
            return ListHolds(b.Programs, entry, length);
        });
    }
    if (aOnly && b.Condition == kExceptIn) {
        return AnyEscapes(a.Programs, b.Programs);
    }
    if (bOnly && a.Condition == kExceptIn) {
        return AnyEscapes(b.Programs, a.Programs);
    }
    // Everywhere meets whatever applies somewhere, and two exceptions both
    // hold for any program neither names.
    return true;
}

bool KeysClash(const Task& a, const Task& b) {
    const bool aWaits = a.NextVk != kNoKey;
    return a.vk != kNoKey && a.vk == b.vk && a.fsModifiers == b.fsModifiers &&
           (aWaits != (b.NextVk != kNoKey) || (a.NextVk == b.NextVk && a.NextModifiers == b.NextModifiers)) &&
           ConditionsMeet(a, b);
}
