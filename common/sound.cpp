#include "common/sound.h"

#include "common/system_library.h"

BOOL WINAPI PlaySystemSound(LPCWSTR sound, HMODULE module, DWORD flags) {
    using PlaySoundFn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
    static const PlaySoundFn playSound = BindSystemFunction<PlaySoundFn>(L"winmm.dll", "PlaySoundW");
    return playSound ? playSound(sound, module, flags) : FALSE;
}
