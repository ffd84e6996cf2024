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

bool ListHolds(const wchar_t* list, const wchar_t* entry, size_t length) {
    return AnyProgramEntry(list, [&](const wchar_t* other, size_t otherLength) {
        return SameText(entry, length, other, static_cast<int>(otherLength));
    });
}

// Whether a program named in `only` escapes every entry of `except`.
bool AnyEscapes(const wchar_t* only, const wchar_t* except) {
    return AnyProgramEntry(only, [&](const wchar_t* entry, size_t length) { return !ListHolds(except, entry, length); });
}

bool AppliesSomewhere(const Task& task) {
    return task.Condition != kOnlyIn || AnyProgramEntry(task.Programs, [](const wchar_t*, size_t) { return true; });
}

}  // namespace

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
