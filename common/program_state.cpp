#include "common/program_state.h"

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
int g_busy = 0;
SetLayeredWindowAttributesFn g_setLayeredWindowAttributes = nullptr;

namespace {

HMODULE g_user32 = nullptr;

}  // namespace

void BindLayeredWindowAttributes() {
    g_user32 = LoadLibraryW(L"user32.dll");
    g_setLayeredWindowAttributes =
        g_user32 ? reinterpret_cast<SetLayeredWindowAttributesFn>(reinterpret_cast<void*>(
                       GetProcAddress(g_user32, "SetLayeredWindowAttributes")))
                 : nullptr;
}

void ReleaseLayeredWindowAttributes() {
    if (g_user32) {
        g_setLayeredWindowAttributes = nullptr;
        FreeLibrary(g_user32);
        g_user32 = nullptr;
    }
}
