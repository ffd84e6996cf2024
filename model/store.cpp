#include "model/store.h"

#include <cwchar>
#include <memory>

#include "app/hotkey.h"
#include "app/tray_icon.h"
#include "model/display_settings.h"
#include "model/registry.h"
#include "model/task.h"

namespace {

using tessaly::unique_hkey;

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
    int showIcon = g_trayIcon.m_bShown;
    registry::ReadInt(setting, L"ShowIcon", showIcon);
    g_trayIcon.Show(showIcon);
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

void SaveSettings(HKEY setting) {
    const DisplaySettings& settings = g_displaySettings;
    registry::WriteDword(setting, L"Location", static_cast<DWORD>(settings.Location));
    registry::WriteBinary(setting, L"Font", &settings.Font, sizeof(settings.Font));
    registry::WriteDword(setting, L"FontColor", settings.FontColor);
    registry::WriteDword(setting, L"Alpha", static_cast<DWORD>(settings.Alpha));
    registry::WriteDword(setting, L"Time", static_cast<DWORD>(settings.Time));
    registry::WriteDword(setting, L"Fade", static_cast<DWORD>(settings.Fade));
    registry::WriteDword(setting, L"ShowIcon", static_cast<DWORD>(g_trayIcon.m_bShown));
}

void SaveTask(HKEY key, const Task& task) {
    registry::WriteDword(key, L"fsModifiers", task.fsModifiers);
    registry::WriteDword(key, L"vk", task.vk);
    registry::WriteString(key, L"File", task.File);
    registry::WriteString(key, L"Parameter", task.Parameter);
    registry::WriteString(key, L"Task", task.WorkingFolder);
    registry::WriteDword(key, L"Show", static_cast<DWORD>(task.Show));
    registry::WriteDword(key, L"RunAs", static_cast<DWORD>(task.RunAs));
    registry::WriteString(key, L"Name", task.Name);
    registry::WriteString(key, L"Sound", task.Sound);
    registry::WriteString(key, L"IconPath", task.IconPath);
    registry::WriteDword(key, L"IconIndex", static_cast<DWORD>(task.IconIndex));
    registry::WriteDword(key, L"ShowLauncher", static_cast<DWORD>(task.ShowLauncher));
}

void SaveTasks(HKEY tasksKey) {
    registry::WriteDword(tasksKey, L"Count", static_cast<DWORD>(g_taskList.Count()));
    size_t index = 0;
    for (const auto& task : g_taskList) {
        wchar_t name[32];
        TaskKeyName(index++, name);
        // A key that cannot be created loses only this task; its number is used up.
        if (unique_hkey taskKey = registry::CreateKey(tasksKey, name)) {
            SaveTask(taskKey.get(), *task);
        }
    }
}

}  // namespace

int LoadStore() {
    unique_hkey software = registry::OpenKey(HKEY_CURRENT_USER, L"Software");
    unique_hkey maker = software ? registry::OpenKey(software.get(), L"Norv") : unique_hkey();
    unique_hkey program = maker ? registry::OpenKey(maker.get(), L"Tessaly") : unique_hkey();
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

void SaveStore() {
    unique_hkey software = registry::OpenKey(HKEY_CURRENT_USER, L"Software");
    unique_hkey maker = software ? registry::CreateKey(software.get(), L"Norv") : unique_hkey();
    unique_hkey program = maker ? registry::CreateKey(maker.get(), L"Tessaly") : unique_hkey();
    if (!program) {
        return;
    }
    if (unique_hkey setting = registry::CreateKey(program.get(), kSettingKey)) {
        SaveSettings(setting.get());
    }
    if (unique_hkey tasks = registry::CreateKey(program.get(), kTasksKey)) {
        SaveTasks(tasks.get());
    }
}
