// The theme as Windows keeps it for the user: the taskbar's and the apps'
// values, set for a test and removed again after it (Wine has neither).
#pragma once

#include <windows.h>

namespace harness {

class PersonalizeValues {
public:
    PersonalizeValues() = default;
    PersonalizeValues(const PersonalizeValues&) = delete;
    PersonalizeValues& operator=(const PersonalizeValues&) = delete;
    ~PersonalizeValues() {
        for (const wchar_t* name : {L"SystemUsesLightTheme", L"AppsUseLightTheme"}) {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name);
        }
    }
    // 1 light, 0 dark.
    void Set(DWORD taskbarLight, DWORD appsLight) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"SystemUsesLightTheme", REG_DWORD, &taskbarLight, sizeof(DWORD));
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"AppsUseLightTheme", REG_DWORD, &appsLight, sizeof(DWORD));
    }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
};

}  // namespace harness
