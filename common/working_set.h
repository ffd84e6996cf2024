// A launcher spends its life waiting: once a window that touched much memory
// is gone, its pages go back to the system instead of lingering.
#pragma once

#include <windows.h>

namespace tessaly {

inline void TrimWorkingSet() { SetProcessWorkingSetSize(GetCurrentProcess(), SIZE_T(-1), SIZE_T(-1)); }

}  // namespace tessaly
