// Quillet: the message-hook library. The program calls QuilletInitialize when
// its main window is created and QuilletUninitialize when it is destroyed, and
// relies on no result or visible effect of either.
#pragma once

#include <windows.h>

// The exports are named in quillet.def (undecorated, for every compiler);
// callers link through the import library.
#define QUILLET_API

#ifdef __cplusplus
extern "C" {
#endif

// Balanced: every call to QuilletInitialize is matched by one to
// QuilletUninitialize. Both return TRUE; an unmatched uninitialize is ignored.
QUILLET_API BOOL WINAPI QuilletInitialize(void);
QUILLET_API BOOL WINAPI QuilletUninitialize(void);

#ifdef __cplusplus
}
#endif
