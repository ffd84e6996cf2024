#include "common/program_state.h"

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
int g_busy = 0;
