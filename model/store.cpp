#include "model/store.h"

#include <cwchar>
#include <memory>
#include <utility>

#include "model/display_settings.h"
#include "model/hotkey.h"
#include "model/portable.h"
#include "model/registry.h"
#include "model/settings_file.h"
#include "model/store_part.h"
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

// A store the load found but could not read, wholly or in part: it stays as
// it is while what a save would write is what the load left (its stamp).
bool g_unread = false;
unsigned long long g_unreadStamp = 0;
// The number of the name an unread store was given, until the user has been
// told (0: none), and whether a save took its place.
int g_setAsideNumber = 0;
bool g_setAsideSaved = false;

// Settings the program reads only at start-up, so never held in memory: an
// import holds the file's until the next save writes them.
struct CarriedSetting {
    const wchar_t* name;
    DWORD value;
    bool held;
};
CarriedSetting g_carried[] = {{L"Language", 0, false}, {L"DarkSystemParts", 0, false}};

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
void ReadWithin(const StorePart& section, const wchar_t* name, int& field, int lowest, int highest) {
    int value = field;
    if (section.ReadInt(name, value) && IsWithin(value, lowest, highest)) {
        field = value;
    }
}

void LoadSettings(const StorePart& setting) {
    DisplaySettings& settings = g_displaySettings;
    ReadWithin(setting, L"Location", settings.Location, Hidden, Center);
    LOGFONTW font = settings.Font;
    if (setting.ReadBytes(L"Font", &font, sizeof(font)) && IsUsableFont(font)) {
        settings.Font = font;
    }
    DWORD color = settings.FontColor;
    setting.ReadNumber(L"FontColor", color);
    settings.FontColor = color;
    ReadWithin(setting, L"Alpha", settings.Alpha, 0, 255);
    ReadWithin(setting, L"Time", settings.Time, 0, kMaxDisplayTimeMs);
    setting.ReadInt(L"Fade", settings.Fade);
    int showIcon = ShownIconSetting();
    setting.ReadInt(L"ShowIcon", showIcon);
    ApplyShowIconSetting(showIcon);
}

std::unique_ptr<Task> LoadTask(const StorePart& section) {
    auto task = std::make_unique<Task>();
    // A stored task without "vk" has key 0, not "no key".
    task->vk = 0;
    section.ReadUint(L"fsModifiers", task->fsModifiers);
    section.ReadUint(L"vk", task->vk);
    section.ReadText(L"File", task->File);
    section.ReadText(L"Parameter", task->Parameter);
    section.ReadText(L"Task", task->WorkingFolder);
    section.ReadInt(L"Show", task->Show);
    section.ReadInt(L"RunAs", task->RunAs);
    section.ReadText(L"Name", task->Name);
    section.ReadText(L"Sound", task->Sound);
    section.ReadText(L"IconPath", task->IconPath);
    section.ReadInt(L"IconIndex", task->IconIndex);
    section.ReadInt(L"ShowLauncher", task->ShowLauncher);
    // Missing from stores of earlier versions: off, as they behaved.
    section.ReadInt(L"Activate", task->Activate);
    section.ReadInt(L"Toggle", task->Toggle);
    section.ReadInt(L"Condition", task->Condition);
    section.ReadText(L"Programs", task->Programs);
    section.ReadUint(L"NextModifiers", task->NextModifiers);
    section.ReadUint(L"NextVk", task->NextVk);
    return task;
}

// How many task numbers a load tries: a key's count, or none when it has
// lost it (false). A file holds only sections of its own, so every task
// section in it counts, one a person added past its count or without one too.
bool WantedTasks(const StorePart& tasks, bool inFile, DWORD& wanted, DWORD& count) {
    count = 0;
    const bool counted = tasks.ReadNumber(L"Count", count);
    count = count < kMaxStoredTasks ? count : static_cast<DWORD>(kMaxStoredTasks);
    wanted = inFile ? static_cast<DWORD>(tasks.NumberedParts(L"Task", kMaxStoredTasks)) : count;
    return counted;
}

// `tasksSection` is the "Tasks" part, or in a file without one its top.
void LoadTasks(const StorePart& tasksSection, bool inFile) {
    wchar_t name[32];
    DWORD wanted = 0, count = 0;
    const bool counted = WantedTasks(tasksSection, inFile, wanted, count);
    if (!counted && !inFile) {
        // Tasks whose count is lost load as none, and stay stored.
        TaskKeyName(0, name);
        g_unread = g_unread || tasksSection.Open(name);
        return;
    }
    // The old tasks go first so that stored tasks can take their combinations;
    // where no count says there are tasks, only once a task is found.
    if (count != 0) {
        g_taskList.Clear();
    }
    TaskList::Storage tasks;
    for (size_t i = 0; i < wanted; ++i) {
        TaskKeyName(i, name);
        // A missing task is left out; the rest keep their order.
        if (StorePart task = tasksSection.Open(name)) {
            if (count == 0 && tasks.empty()) {
                g_taskList.Clear();
            }
            tasks.push_back(LoadTask(task));
        }
    }
    if (count != 0 || !tasks.empty()) {
        // Registered once all are in: a key goes to the tasks that apply to
        // the program in front, whichever of them comes first.
        g_taskList.Assign(std::move(tasks));
        RenewTaskKeys();
    }
}

// What a load takes from the top of a store. A file's task sections stand at
// its top beside "Tasks", so they are looked for without it too.
void LoadParts(const StorePart& store, bool inFile) {
    if (StorePart setting = store.Open(kSettingKey)) {
        LoadSettings(setting);
    }
    StorePart tasks = store.Open(kTasksKey);
    if (tasks || inFile) {
        LoadTasks(tasks ? tasks : store, inFile);
    }
}

// A number of "Setting" from the store; false when it has none.
bool ReadStoredSetting(const wchar_t* name, DWORD& value);

// An export carries the store's own, where a save keeps them as they are.
bool SaveSettings(StorePart& setting, bool exporting) {
    for (const CarriedSetting& carried : g_carried) {
        DWORD value = carried.value;
        if ((carried.held || (exporting && ReadStoredSetting(carried.name, value))) &&
            !setting.WriteNumber(carried.name, value)) {
            return false;
        }
    }
    const DisplaySettings& settings = g_displaySettings;
    return setting.WriteNumber(L"Location", static_cast<DWORD>(settings.Location)) &&
           setting.WriteBytes(L"Font", &settings.Font, sizeof(settings.Font)) &&
           setting.WriteNumber(L"FontColor", settings.FontColor) &&
           setting.WriteNumber(L"Alpha", static_cast<DWORD>(settings.Alpha)) &&
           setting.WriteNumber(L"Time", static_cast<DWORD>(settings.Time)) &&
           setting.WriteNumber(L"Fade", static_cast<DWORD>(settings.Fade)) &&
           setting.WriteNumber(L"ShowIcon", static_cast<DWORD>(ShownIconSetting()));
}

bool SaveTask(StorePart& section, const Task& task) {
    return section.WriteNumber(L"fsModifiers", task.fsModifiers) && section.WriteNumber(L"vk", task.vk) &&
           section.WriteText(L"File", task.File) && section.WriteText(L"Parameter", task.Parameter) &&
           section.WriteText(L"Task", task.WorkingFolder) &&
           section.WriteNumber(L"Show", static_cast<DWORD>(task.Show)) &&
           section.WriteNumber(L"RunAs", static_cast<DWORD>(task.RunAs)) && section.WriteText(L"Name", task.Name) &&
           section.WriteText(L"Sound", task.Sound) && section.WriteText(L"IconPath", task.IconPath) &&
           section.WriteNumber(L"IconIndex", static_cast<DWORD>(task.IconIndex)) &&
           section.WriteNumber(L"ShowLauncher", static_cast<DWORD>(task.ShowLauncher)) &&
           section.WriteNumber(L"Activate", task.Activate ? 1u : 0u) &&
           section.WriteNumber(L"Toggle", task.Toggle ? 1u : 0u) &&
           section.WriteNumber(L"Condition", static_cast<DWORD>(task.Condition)) &&
           section.WriteText(L"Programs", task.Programs) &&
           section.WriteNumber(L"NextModifiers", task.NextModifiers) && section.WriteNumber(L"NextVk", task.NextVk);
}

bool SaveTasks(StorePart& tasks) {
    size_t index = 0;
    for (const auto& task : g_taskList) {
        wchar_t name[32];
        TaskKeyName(index++, name);
        StorePart section = tasks.Create(name);
        if (!section || !SaveTask(section, *task)) {
            return false;
        }
    }
    // Last: it marks the store complete.
    return tasks.WriteNumber(L"Count", static_cast<DWORD>(g_taskList.Count()));
}

// Writes the whole store into the new `store`. The settings start as a copy
// of the current ones (`current` may be null), so values this version does
// not know, put there by the user or a later version, stay.
bool WriteStore(StorePart& store, const StorePart* current, bool exporting = false) {
    StorePart setting = store.Create(kSettingKey);
    StorePart currentSetting = current ? current->Open(kSettingKey) : StorePart();
    if (!setting || (currentSetting && !setting.KeepValues(currentSetting)) || !SaveSettings(setting, exporting)) {
        return false;
    }
    StorePart tasks = store.Create(kTasksKey);
    return tasks && SaveTasks(tasks);
}

// The settings file of a portable copy, or one a user exports or imports.
bool WriteFileStore(const wchar_t* path, const SettingsFile* current, bool exporting = false) {
    SettingsFileWriter next;
    StorePart root(&next, -1);
    StorePart currentRoot(current, -1);
    return WriteStore(root, current ? &currentRoot : nullptr, exporting) && next.Write(path);
}

// What a save would write now, as a number: the same as at the load, and the
// user has changed nothing.
unsigned long long StateStamp() {
    SettingsFileWriter next;
    StorePart root(&next, -1);
    WriteStore(root, nullptr);
    return next.Stamp();
}

// The n-th name a store at `place` may be set aside under: "place.bad",
// "place.bad2", ...; an earlier one is never replaced.
void SetAsideName(const wchar_t* place, int n, wchar_t (&name)[kSetAsidePlaceLength]) {
    wsprintfW(name, n == 1 ? L"%s.bad" : L"%s.bad%d", place, n);
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

// Gives the unread store, the file at `path` or else the program's key, the
// first free set-aside name; true once it has it, or when it is gone.
bool SetAsideStore(const wchar_t* path) {
    unique_hkey software = path ? unique_hkey() : registry::OpenKey(HKEY_CURRENT_USER, L"Software");
    unique_hkey maker = software ? registry::OpenKey(software.get(), kMakerKey) : unique_hkey();
    if (!path && !maker) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    for (int n = 1; n < 1000; ++n) {
        wchar_t name[kSetAsidePlaceLength];
        SetAsideName(path ? path : kProgramKey, n, name);
        if (path ? GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES : !HasKey(maker.get(), name)) {
            const bool moved = path ? g_fileWrites.moveFileEx(path, name, MOVEFILE_WRITE_THROUGH)
                                    : registry::RenameKey(maker.get(), kProgramKey, name);
            g_setAsideNumber = moved ? n : 0;
            // An empty file in its place keeps the copy portable until the
            // next save, should the program end before then: without one it
            // would take up the registry's store at its next start.
            if (moved && path) {
                tessaly::unique_hfile empty(
                    g_fileWrites.createFile(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            }
            return moved || GetLastError() == ERROR_FILE_NOT_FOUND;
        }
    }
    return false;
}

// Writes the whole store into `next`, keeping the values of `current` (which
// may be empty) that this version does not know; both keys are closed when it
// returns, ready to be renamed.
bool WriteRegistryStore(unique_hkey next, unique_hkey current) {
    StorePart nextStore(std::move(next));
    StorePart currentStore(std::move(current));
    return WriteStore(nextStore, currentStore ? &currentStore : nullptr);
}

// Zero for a missing or an empty file: a first start. A file that cannot be
// read is set aside, which makes a first start too, unless it cannot be
// moved (it is open in another program, say): then it stays unread.
int LoadFileStore(const wchar_t* path) {
    SettingsFile file;
    const bool read = file.Read(path);
    if (read && file.HasSections()) {
        LoadParts(StorePart(&file, -1), true);
        return 1;
    }
    if (read ? !file.HasContent() : file.Missing()) {
        return 0;
    }
    g_setAsideSaved = false;
    if (SetAsideStore(path)) {
        return 0;
    }
    g_unread = true;
    return 1;
}

int LoadRegistryStore() {
    unique_hkey program = OpenStore();
    if (!program) {
        // There but refused: not a first start.
        g_unread = GetLastError() != ERROR_FILE_NOT_FOUND;
        return g_unread ? 1 : 0;
    }
    LoadParts(StorePart(std::move(program)), false);
    return 1;
}

bool ReadStoredSetting(const wchar_t* name, DWORD& value) {
    if (const wchar_t* path = PortableStoreFile()) {
        SettingsFile file;
        return file.Read(path) && file.ReadNumber(file.FindSection(kSettingKey), name, value);
    }
    unique_hkey program = OpenStore();
    unique_hkey setting = program ? registry::OpenKey(program.get(), kSettingKey) : unique_hkey();
    return setting && registry::ReadDword(setting.get(), name, value);
}

bool SaveRegistryStore();

}  // namespace

int LoadStore() {
    g_unread = false;
    const wchar_t* file = PortableStoreFile();
    const int loaded = file ? LoadFileStore(file) : LoadRegistryStore();
    if (g_unread) {
        g_unreadStamp = StateStamp();
    }
    return loaded;
}

DWORD StoredSetting(const wchar_t* name, DWORD fallback) {
    DWORD value = fallback;
    return ReadStoredSetting(name, value) ? value : fallback;
}

DWORD StoredLanguage() { return StoredSetting(L"Language", 0); }

bool SaveStore() {
    // A save refused before any system call failed has no reason to give,
    // rather than one left from before it.
    SetLastError(ERROR_SUCCESS);
    const wchar_t* path = PortableStoreFile();
    if (g_unread) {
        // Nothing of the user's to keep, and the unread store may hold much.
        if (StateStamp() == g_unreadStamp) {
            return true;
        }
        g_setAsideSaved = true;
        // What start-up took from the unread store goes on with the new one.
        for (CarriedSetting& carried : g_carried) {
            carried.held = carried.held || ReadStoredSetting(carried.name, carried.value);
        }
        if (!SetAsideStore(path)) {
            return false;
        }
        g_unread = false;
    }
    bool saved = false;
    if (path) {
        SettingsFile current;
        saved = WriteFileStore(path, current.Read(path) ? &current : nullptr);
    } else {
        saved = SaveRegistryStore();
    }
    // Written now, they are the store's to keep.
    for (CarriedSetting& carried : g_carried) {
        carried.held = carried.held && !saved;
    }
    return saved;
}

bool TakeSetAsidePlace(wchar_t (&place)[kSetAsidePlaceLength], bool& saved) {
    saved = g_setAsideSaved;
    const int n = std::exchange(g_setAsideNumber, 0);
    if (n) {
        SetAsideName(StoreLocation(), n, place);
    }
    return n != 0;
}

namespace {

bool SaveRegistryStore() {
    unique_hkey software = registry::OpenKey(HKEY_CURRENT_USER, L"Software");
    unique_hkey maker = software ? registry::CreateKey(software.get(), kMakerKey) : unique_hkey();
    // The new store is never written over what an earlier save left behind.
    if (!maker || FinishInterruptedSave(maker.get()) != kProgramKey ||
        HasKey(maker.get(), kNextKey) || HasKey(maker.get(), kPreviousKey)) {
        return false;
    }
    unique_hkey program = registry::OpenKey(maker.get(), kProgramKey);
    const bool replacing = static_cast<bool>(program);
    unique_hkey next = registry::CreateKey(maker.get(), kNextKey);
    if (!next) {
        return false;
    }
    const bool written = WriteRegistryStore(std::move(next), std::move(program));
    // Until the old store is set aside, dropping the new one leaves it as it was.
    if (!written ||
        (replacing && !registry::RenameKey(maker.get(), kProgramKey, kPreviousKey))) {
        registry::DeleteTree(maker.get(), kNextKey);
        return false;
    }
    if (!registry::RenameKey(maker.get(), kNextKey, kProgramKey)) {
        // The old store comes back, then the new one goes. When the old cannot
        // come back, the complete new store stays for the next load to finish:
        // deleted part-way, it could still look complete with tasks missing.
        if (replacing && registry::RenameKey(maker.get(), kPreviousKey, kProgramKey)) {
            registry::DeleteTree(maker.get(), kNextKey);
            return false;
        }
        return true;
    }
    if (replacing) {
        DeletePreviousStore(maker.get());
    }
    return true;
}

}  // namespace

const wchar_t* StoreLocation() {
    const wchar_t* path = PortableStoreFile();
    return path ? path : L"HKEY_CURRENT_USER\\Software\\Norv\\Tessaly";
}

bool ExportStore(const wchar_t* path) { return WriteFileStore(path, nullptr, true); }

bool StoreImport::Read(const wchar_t* path) {
    DWORD count = 0;
    return m_file.Read(path) &&
           (m_file.ReadNumber(m_file.FindSection(kTasksKey), L"Count", count) || TaskCount() != 0);
}

size_t StoreImport::TaskCount() const {
    const StorePart root(&m_file, -1);
    StorePart tasks = root.Open(kTasksKey);
    DWORD wanted = 0, count = 0;
    WantedTasks(tasks ? tasks : root, true, wanted, count);
    size_t found = 0;
    for (DWORD i = 0; i < wanted; ++i) {
        wchar_t name[32];
        TaskKeyName(i, name);
        found += m_file.FindSection(name) >= 0 ? 1 : 0;
    }
    return found;
}

void StoreImport::Apply() const {
    // A file of no tasks gives no tasks, where a load would keep the defaults.
    if (TaskCount() == 0) {
        g_taskList.Clear();
    }
    const StorePart root(&m_file, -1);
    StorePart setting = root.Open(kSettingKey);
    for (CarriedSetting& carried : g_carried) {
        carried.held = setting && setting.ReadNumber(carried.name, carried.value);
    }
    LoadParts(root, true);
}
