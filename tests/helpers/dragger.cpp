// Started by the end-to-end tests as a user's drag: "tessaly_dragger FILE X Y"
// drags the file's shell item from the point (X, Y) and lets go there, over
// whatever window is under it. Ends with 0 when the drop was taken, 1 when
// not. A process of its own, so the drag's OLE machinery ends with it.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

// Lets go at its third look, once the target under the cursor has had the
// drag enter and move over it.
class ReleasingSource : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IDropSource ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override {
        return ++m_looks >= 3 ? DRAGDROP_S_DROP : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    int m_looks = 0;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words || count != 4 || FAILED(OleInitialize(nullptr))) {
        return 2;
    }
    PIDLIST_ABSOLUTE item = nullptr;
    IDataObject* data = nullptr;
    // Wine lacks SHCreateDataObject; the older call makes the same object.
    static const ITEMIDLIST desktop = {};
    HRESULT result = SHParseDisplayName(words[1], nullptr, &item, 0, nullptr);
    LPCITEMIDLIST items[] = {item};
    if (SUCCEEDED(result)) {
        result = CIDLData_CreateFromIDArray(&desktop, 1, items, &data);
    }
    if (SUCCEEDED(result)) {
        SetCursorPos(_wtoi(words[2]), _wtoi(words[3]));
        ReleasingSource source;
        DWORD effect = DROPEFFECT_NONE;
        result = DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
        result = result == DRAGDROP_S_DROP && effect != DROPEFFECT_NONE ? S_OK : E_FAIL;
        data->Release();
    }
    CoTaskMemFree(item);
    LocalFree(words);
    OleUninitialize();
    return SUCCEEDED(result) ? 0 : 1;
}
