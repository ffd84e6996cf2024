// Apart from ui_text.cpp, which the key library builds too: a library keeps
// every function of its own that it could export, and it has no menu to load.
#include "common/ui_text.h"

namespace tessaly {

HMENU LoadUiMenu(HMODULE module, UINT id) {
    const void* menu = FindUiResource(module, RT_MENU, id, UiLanguage());
    return menu ? LoadMenuIndirectW(menu) : nullptr;
}

}  // namespace tessaly
