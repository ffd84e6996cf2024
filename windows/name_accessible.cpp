#include "windows/name_accessible.h"

#include <oleacc.h>

#include "common/dyn_calls.h"

namespace {

// Only the window itself (CHILDID_SELF): it has no parts.
bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// Read-only and without actions; everything it says is read from the window
// at the moment of asking, so it holds nothing that could go stale.
class NameAccessible final : public IAccessible {
public:
    explicit NameAccessible(HWND window) : m_window(window) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // No type information: clients call the interface directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return Nothing(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
        *child = nullptr;
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        *name = nullptr;
        if (!IsSelf(child)) {
            return E_INVALIDARG;
        }
        if (!IsWindow(m_window)) {
            return E_FAIL;
        }
        wchar_t text[MAX_PATH];
        GetWindowTextW(m_window, text, MAX_PATH);
        *name = BindDynCalls(SystemLibrary::Oleaut32).sysAllocString(text);
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override { return Nothing(value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return Number(child, role, ROLE_SYSTEM_ALERT);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return Number(child, state, STATE_SYSTEM_READONLY);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        *topic = 0;
        return Nothing(file);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return NoChild(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return NoChild(children); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        RECT place = {};
        if (!IsSelf(child) || !GetWindowRect(m_window, &place)) {
            return E_INVALIDARG;
        }
        *left = place.left;
        *top = place.top;
        *width = place.right - place.left;
        *height = place.bottom - place.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* end) override { return NoChild(end); }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        RECT place = {};
        if (GetWindowRect(m_window, &place) && PtInRect(&place, POINT{x, y})) {
            return Number(VARIANT{}, child, CHILDID_SELF, false);
        }
        return NoChild(child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    template <typename T>
    static HRESULT Nothing(T** out) {
        *out = nullptr;
        return S_FALSE;
    }
    static HRESULT NoChild(VARIANT* out) {
        out->vt = VT_EMPTY;
        return S_FALSE;
    }
    static HRESULT Number(const VARIANT& child, VARIANT* out, LONG value, bool checkChild = true) {
        out->vt = VT_EMPTY;
        if (checkChild && !IsSelf(child)) {
            return E_INVALIDARG;
        }
        out->vt = VT_I4;
        out->lVal = value;
        return S_OK;
    }

    HWND m_window;
    ULONG m_references = 1;
};

}  // namespace

LRESULT AnswerNameWindowObject(HWND window, WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT) {
        return 0;
    }
    auto lresultFromObject = BindDynCalls(SystemLibrary::Oleacc).lresultFromObject;
    if (!lresultFromObject) {
        return 0;
    }
    auto* object = new NameAccessible(window);
    // The system holds its own reference from here, for as long as the
    // screen reader keeps the object.
    LRESULT answer = lresultFromObject(IID_IAccessible, wParam, object);
    object->Release();
    return answer;
}
