#include "quillet.h"

namespace {
// How many callers have initialized and not yet uninitialized. No hook is
// installed: nothing the program does needs one, and a global hook would load
// this library into every process of the session.
LONG g_initializeCount = 0;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" QUILLET_API BOOL WINAPI QuilletInitialize(void) {
    InterlockedIncrement(&g_initializeCount);
    return TRUE;
}

extern "C" QUILLET_API BOOL WINAPI QuilletUninitialize(void) {
    LONG count = g_initializeCount;
    while (count > 0) {
        LONG seen = InterlockedCompareExchange(&g_initializeCount, count - 1, count);
        if (seen == count) {
            break;
        }
        count = seen;
    }
    return TRUE;
}
