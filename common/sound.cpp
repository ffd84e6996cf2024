#include "common/sound.h"

#include "common/dyn_calls.h"

BOOL WINAPI PlaySystemSound(LPCWSTR sound, HMODULE module, DWORD flags) {
    auto playSound = BindDynCalls(SystemLibrary::Winmm).playSound;
    return playSound ? playSound(sound, module, flags) : FALSE;
}
