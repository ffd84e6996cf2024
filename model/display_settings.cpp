#include "model/display_settings.h"

#include <memory>

#include "common/look.h"
#include "model/hotkey.h"
#include "model/task.h"

DisplaySettings g_displaySettings;
tessaly::unique_hfont g_fontHandle;
ShowIconSetting g_showIconSetting = {nullptr, nullptr};
UINT g_nameDpi = 0;

UINT NameDpi() { return g_nameDpi ? g_nameDpi : tessaly::SystemDpi(); }

void RenewDisplayFont() {
    DeleteDisplayFont();
    // The font is chosen, and stored, at the system's scale.
    LOGFONTW face = g_displaySettings.Font;
    face.lfHeight = MulDiv(face.lfHeight, static_cast<int>(NameDpi()), static_cast<int>(tessaly::SystemDpi()));
    g_fontHandle.reset(CreateFontIndirectW(&face));
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
    g_displaySettings.Font.lfHeight = -MulDiv(72, static_cast<int>(tessaly::SystemDpi()), 72);
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
