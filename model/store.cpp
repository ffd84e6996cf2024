#include "model/store.h"

#include <cwchar>
#include <memory>

#include "model/display_settings.h"
#include "model/hotkey.h"
#include "model/registry.h"
#include "model/task.h"

namespace {

using tessaly::unique_hkey;

constexpr const wchar_t* kMakerKey = L"Norv";
constexpr const wchar_t* kProgramKey = L"Tessaly";
// A save writes the whole next store beside the program's key, then swaps it
// in with two renames, each of which happens whole or not at all, so a save
// that stops anywhere loads as the old store or the new one, never a mix.
// The next store is complete once its "Tasks\Count" is written: that comes last.
constexpr const wchar_t* kNextKey = L"Tessaly.new";
// The replaced store, set aside between the two renames.
constexpr const wchar_t* kPreviousKey = L"Tessaly.old";
constexpr const wchar_t* kSettingKey = L"Setting";
constexpr const wchar_t* kTasksKey = L"Tasks";

void TaskKeyName(size_t index, wchar_t (&name)[32]) {
    wsprintfW(name, L"Task%u", static_cast<unsigned>(index));
}

// Beyond this a font comes only from a damaged store, and would make a
// screen-filling top-most window.
constexpr LONG kMaxFontPixels = 500;
// Longer than any display time the settings dialog offers (5 s) by far; a
// negative one would be a timer of weeks.
constexpr int kMaxDisplayTimeMs = 60000;

bool IsWithin(LONG value, LONG lowest, LONG highest) { return value >= lowest && value <= highest; }

// A font whose face name has no terminator would be read past its end by
// every font call, so such a value counts as missing.
bool IsUsableFont(const LOGFONTW& font) {
    return wmemchr(font.lfFaceName, L'\0', LF_FACESIZE) != nullptr &&
           IsWithin(font.lfHeight, -kMaxFontPixels, kMaxFontPixels) &&
           IsWithin(font.lfWidth, -kMaxFontPixels, kMaxFontPixels);
}

// A value outside what the settings can hold keeps the current one: an Alpha
// past 255 would overflow the fade arithmetic, a Location outside the list
// has no place.
void ReadWithin(HKEY key, const wchar_t* name, int& field, int lowest, int highest) {
    int value = field;
    if (registry::ReadInt(key, name, value) && IsWithin(value, lowest, highest)) {
        field = value;
    }
}

void LoadSettings(HKEY setting) {
    DisplaySettings& settings = g_displaySettings;
    ReadWithin(setting, L"Location", settings.Location, Hidden, Center);
    LOGFONTW font = settings.Font;
    if (registry::ReadBinary(setting, L"Font", &font, sizeof(font)) && IsUsableFont(font)) {
        settings.Font = font;
    }
    DWORD color = settings.FontColor;
    registry::ReadDword(setting, L"FontColor", color);
    settings.FontColor = color;
    ReadWithin(setting, L"Alpha", settings.Alpha, 0, 255);
    ReadWithin(setting, L"Time", settings.Time, 0, kMaxDisplayTimeMs);
    registry::ReadInt(setting, L"Fade", settings.Fade);
    int showIcon = ShownIconSetting();
    registry::ReadInt(setting, L"ShowIcon", showIcon);
    ApplyShowIconSetting(showIcon);
}

std::unique_ptr<Task> LoadTask(HKEY key) {
    auto task = std::make_unique<Task>();
    // A stored task without "vk" has key 0, not "no key".
    task->vk = 0;
    registry::ReadUint(key, L"fsModifiers", task->fsModifiers);
    registry::ReadUint(key, L"vk", task->vk);
    registry::ReadString(key, L"File", task->File);
    registry::ReadString(key, L"Parameter", task->Parameter);
    registry::ReadString(key, L"Task", task->WorkingFolder);
    registry::ReadInt(key, L"Show", task->Show);
    registry::ReadInt(key, L"RunAs", task->RunAs);
    registry::ReadString(key, L"Name", task->Name);
    registry::ReadString(key, L"Sound", task->Sound);
    registry::ReadString(key, L"IconPath", task->IconPath);
    registry::ReadInt(key, L"IconIndex", task->IconIndex);
    registry::ReadInt(key, L"ShowLauncher", task->ShowLauncher);
    // Missing from stores of earlier versions: off, as they behaved.
    registry::ReadInt(key, L"Activate", task->Activate);
    task->Atom = RegisterTaskHotKey(task->fsModifiers, task->vk);
    return task;
}

void LoadTasks(HKEY tasksKey) {
    DWORD count = 0;
    registry::ReadDword(tasksKey, L"Count", count);
    if (count == 0) {
        return;
    }
    // The old tasks go first so that stored tasks can take their combinations.
    g_taskList.Clear();
    size_t wanted = count < kMaxStoredTasks ? count : kMaxStoredTasks;
    TaskList::Storage tasks;
    tasks.reserve(wanted);
    for (size_t i = 0; i < wanted; ++i) {
        wchar_t name[32];
        TaskKeyName(i, name);
        // A missing task key is left out; the rest keep their order.
        if (unique_hkey taskKey = registry::OpenKey(tasksKey, name)) {
            tasks.push_back(LoadTask(taskKey.get()));
        }
    }
    g_taskList.Assign(std::move(tasks));
}

bool SaveSettings(HKEY setting) {
    const DisplaySettings& settings = g_displaySettings;
    return registry::WriteDword(setting, L"Location", static_cast<DWORD>(settings.Location)) &&
           registry::WriteBinary(setting, L"Font", &settings.Font, sizeof(settings.Font)) &&
           registry::WriteDword(setting, L"FontColor", settings.FontColor) &&
           registry::WriteDword(setting, L"Alpha", static_cast<DWORD>(settings.Alpha)) &&
           registry::WriteDword(setting, L"Time", static_cast<DWORD>(settings.Time)) &&
           registry::WriteDword(setting, L"Fade", static_cast<DWORD>(settings.Fade)) &&
           registry::WriteDword(setting, L"ShowIcon", static_cast<DWORD>(ShownIconSetting()));
}

bool SaveTask(HKEY key, const Task& task) {
    return registry::WriteDword(key, L"fsModifiers", task.fsModifiers) &&
           registry::WriteDword(key, L"vk", task.vk) &&
           registry::WriteString(key, L"File", task.File) &&
           registry::WriteString(key, L"Parameter", task.Parameter) &&
           registry::WriteString(key, L"Task", task.WorkingFolder) &&
           registry::WriteDword(key, L"Show", static_cast<DWORD>(task.Show)) &&
           registry::WriteDword(key, L"RunAs", static_cast<DWORD>(task.RunAs)) &&
           registry::WriteString(key, L"Name", task.Name) &&
           registry::WriteString(key, L"Sound", task.Sound) &&
           registry::WriteString(key, L"IconPath", task.IconPath) &&
           registry::WriteDword(key, L"IconIndex", static_cast<DWORD>(task.IconIndex)) &&
           registry::WriteDword(key, L"ShowLauncher", static_cast<DWORD>(task.ShowLauncher)) &&
           registry::WriteDword(key, L"Activate", task.Activate ? 1u : 0u);
}

bool SaveTasks(HKEY tasksKey) {
    size_t index = 0;
    for (const auto& task : g_taskList) {
        wchar_t name[32];
        TaskKeyName(index++, name);
        unique_hkey taskKey = registry::CreateKey(tasksKey, name);
        if (!taskKey || !SaveTask(taskKey.get(), *task)) {
            return false;
        }
    }
    // Last: it marks the store complete.
    return registry::WriteDword(tasksKey, L"Count", static_cast<DWORD>(g_taskList.Count()));
}

// Writes the whole store into the new key `store`. The settings start as a
// copy of the current ones (`current` may be empty), so values this version
// does not know, put there by the user or a later version, stay.
bool WriteStore(HKEY store, HKEY current) {
    unique_hkey setting = registry::CreateKey(store, kSettingKey);
    unique_hkey currentSetting = current ? registry::OpenKey(current, kSettingKey) : unique_hkey();
    if (!setting || (currentSetting && !registry::CopyTree(currentSetting.get(), setting.get())) ||
        !SaveSettings(setting.get())) {
        return false;
    }
    unique_hkey tasks = registry::CreateKey(store, kTasksKey);
    return tasks && SaveTasks(tasks.get());
}

bool HasKey(HKEY parent, const wchar_t* name) {
    return static_cast<bool>(registry::OpenKey(parent, name));
}

// The "Tasks" key of the store `name` beside the program's key, and its Count;
// empty when either is missing.
unique_hkey OpenTasks(HKEY maker, const wchar_t* name, DWORD& count) {
    unique_hkey store = registry::OpenKey(maker, name);
    unique_hkey tasks = store ? registry::OpenKey(store.get(), kTasksKey) : unique_hkey();
    return tasks && registry::ReadDword(tasks.get(), L"Count", count) ? std::move(tasks)
                                                                      : unique_hkey();
}

bool IsComplete(HKEY maker, const wchar_t* name) {
    DWORD count = 0;
    return static_cast<bool>(OpenTasks(maker, name, count));
}

// Deletes the set-aside store. Its task keys go first, by name, at one call
// each, where the tree deletion would find each by enumeration at several;
// the tree deletion then takes whatever is left.
void DeletePreviousStore(HKEY maker) {
    DWORD count = 0;
    if (unique_hkey tasks = OpenTasks(maker, kPreviousKey, count)) {
        wchar_t name[32];
        for (DWORD i = 0; i < count && i < kMaxStoredTasks; ++i) {
            TaskKeyName(i, name);
            if (!registry::DeleteKey(tasks.get(), name)) {
                break;
            }
        }
    }
    registry::DeleteTree(maker, kPreviousKey);
}

// Takes a save that stopped part-way to one end or the other. A complete next
// store takes the program's name when that is free (the old store was set
// aside, or there was none); any other next store never took effect and goes.
// A set-aside store goes once the program's key exists, and comes back when
// it does not. Returns the key that holds the store: the program's own, unless
// the hive refuses the rename that would give it that name.
const wchar_t* FinishInterruptedSave(HKEY maker) {
    bool hasProgram = HasKey(maker, kProgramKey);
    if (HasKey(maker, kNextKey)) {
        if (hasProgram || !IsComplete(maker, kNextKey)) {
            registry::DeleteTree(maker, kNextKey);
        } else if (registry::RenameKey(maker, kNextKey, kProgramKey)) {
            hasProgram = true;
        } else {
            return kNextKey;
        }
    }
    if (HasKey(maker, kPreviousKey)) {
        if (hasProgram) {
            DeletePreviousStore(maker);
        } else if (!registry::RenameKey(maker, kPreviousKey, kProgramKey)) {
            return kPreviousKey;
        }
    }
    return kProgramKey;
}

// The key that holds the store, once a save that stopped part-way has been
// taken to one end: whatever is read from the store, its language first,
// comes from the store the next load finds.
unique_hkey OpenStore() {
    unique_hkey software = registry::OpenKey(HKEY_CURRENT_USER, L"Software");
    unique_hkey maker = software ? registry::OpenKey(software.get(), kMakerKey) : unique_hkey();
    return maker ? registry::OpenKey(maker.get(), FinishInterruptedSave(maker.get())) : unique_hkey();
}

}  // namespace

int LoadStore() {
    unique_hkey program = OpenStore();
    if (!program) {
        return 0;
    }
    if (unique_hkey setting = registry::OpenKey(program.get(), kSettingKey)) {
        LoadSettings(setting.get());
    }
    if (unique_hkey tasks = registry::OpenKey(program.get(), kTasksKey)) {
        LoadTasks(tasks.get());
    }
    return 1;
}

DWORD StoredLanguage() {
    DWORD language = 0;
    unique_hkey program = OpenStore();
    unique_hkey setting = program ? registry::OpenKey(program.get(), kSettingKey) : unique_hkey();
    if (!setting || !registry::ReadDword(setting.get(), L"Language", language)) {
        return 0;
    }
    return language;
}

void SaveStore() {
    unique_hkey software = registry::OpenKey(HKEY_CURRENT_USER, L"Software");
    unique_hkey maker = software ? registry::CreateKey(software.get(), kMakerKey) : unique_hkey();
    // The new store is never written over what an earlier save left behind.
    if (!maker || FinishInterruptedSave(maker.get()) != kProgramKey ||
        HasKey(maker.get(), kNextKey) || HasKey(maker.get(), kPreviousKey)) {
        return;
    }
    unique_hkey program = registry::OpenKey(maker.get(), kProgramKey);
    const bool replacing = static_cast<bool>(program);
    unique_hkey next = registry::CreateKey(maker.get(), kNextKey);
    if (!next) {
        return;
    }
    const bool written = WriteStore(next.get(), program.get());
    next.reset();
    program.reset();
    // Until the old store is set aside, dropping the new one leaves it as it was.
    if (!written ||
        (replacing && !registry::RenameKey(maker.get(), kProgramKey, kPreviousKey))) {
        registry::DeleteTree(maker.get(), kNextKey);
        return;
    }
    if (!registry::RenameKey(maker.get(), kNextKey, kProgramKey)) {
        // The old store comes back, then the new one goes. When the old cannot
        // come back, the complete new store stays for the next load to finish:
        // deleted part-way, it could still look complete with tasks missing.
        if (replacing && registry::RenameKey(maker.get(), kPreviousKey, kProgramKey)) {
            registry::DeleteTree(maker.get(), kNextKey);
        }
        return;
    }
    if (replacing) {
        DeletePreviousStore(maker.get());
    }
}
