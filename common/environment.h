// The environment this process passes on to what it starts and searches
// commands along.
#pragma once

#include <windows.h>

namespace tessaly {

// Whether a WM_SETTINGCHANGE says the user's or the machine's variables
// changed (the system settings, an installer, setx).
bool AnnouncesEnvironment(LPARAM lParam);
// Takes the user's environment anew from the registry, as the shell builds
// it for each program it starts (the machine's variables, then the user's,
// PATH joined), in place of the one this process got at its start: nothing
// of the old one is kept, nothing is added. False, and the old one kept,
// where it cannot be built.
bool RenewEnvironment();

}  // namespace tessaly
