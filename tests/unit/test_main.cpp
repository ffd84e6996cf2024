#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "common/program_state.h"

int main(int argc, char** argv) {
    // The program's resources (dialogs, menu, icon) are linked into this executable.
    g_instance = GetModuleHandleW(nullptr);
    CoInitialize(nullptr);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
