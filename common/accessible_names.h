// Names that screen readers read for controls whose caption does not say
// what they are, set through the system's annotation of window objects.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "common/unique_handles.h"

namespace tessaly {

// Does nothing where the system has no annotation service (or COM is not
// started on this thread): the controls then keep their captions as names.
class AccessibleNames {
public:
    AccessibleNames();
    void Set(HWND control, const wchar_t* name);
    // Before the control goes, so the service keeps nothing of it.
    void Clear(HWND control);

private:
    com_ptr<IAccPropServices> m_services;
};

}  // namespace tessaly
