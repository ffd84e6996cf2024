#include "model/display_settings.h"

#include <memory>

#include "common/dpi.h"
#include "model/hotkey.h"
#include "model/task.h"

DisplaySettings g_displaySettings;
tessaly::unique_hfont g_fontHandle;
ShowIconSetting g_showIconSetting = {nullptr, nullptr};

void RenewDisplayFont() {
    DeleteDisplayFont();
    g_fontHandle.reset(CreateFontIndirectW(&g_displaySettings.Font));
}

void DeleteDisplayFont() { g_fontHandle.reset(); }

int ShownIconSetting() { return g_showIconSetting.shown ? g_showIconSetting.shown() : 0; }

void ApplyShowIconSetting(int show) {
    if (g_showIconSetting.show) {
        g_showIconSetting.show(show);
    }
}

void SeedDisplaySettings() {
    g_displaySettings = DisplaySettings{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &g_displaySettings.Font);
    g_displaySettings.Font.lfHeight = -MulDiv(72, tessaly::ScreenDpi(), 72);
}

void CreateDefaultTask(UINT vk, const wchar_t* command, const wchar_t* name) {
    auto task = std::make_unique<Task>();
    task->fsModifiers = MOD_WIN;
    task->vk = vk;
    lstrcpynW(task->File, command, kTextFieldLength);
    lstrcpynW(task->Name, name, kTextFieldLength);
    task->Show = SW_SHOWNORMAL;
    task->Atom = RegisterTaskHotKey(MOD_WIN, vk);
    task->ShowLauncher = 1;
    g_taskList.Append(std::move(task));
}
