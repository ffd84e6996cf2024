#include "common/accessible_names.h"

namespace tessaly {

namespace {

// PROPID_ACC_NAME: the SDK declares it without defining it anywhere.
constexpr GUID kNameProperty = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

}  // namespace

AccessibleNames::AccessibleNames() {
    BindDynCalls(SystemLibrary::Ole32)
        .coCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                          m_services.put_void());
}

void AccessibleNames::Set(HWND control, const wchar_t* name) {
    if (m_services && control) {
        m_services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kNameProperty, name);
    }
}

void AccessibleNames::Clear(HWND control) {
    if (m_services && control) {
        MSAAPROPID name = kNameProperty;
        m_services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
    }
}

}  // namespace tessaly
