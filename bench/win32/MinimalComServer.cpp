// The least an activatable out-of-process COM server does: offer one class
// to COM (REGCLS_MULTIPLEUSE, a single-threaded apartment, a message loop)
// whose objects answer one late-bound method, Ping, with the number 0, with
// no type library. Like our servers it ends when its last object is released
// (CoAddRefServerProcess, CoReleaseServerProcess). The Windows activation
// benchmark measures our servers against it and registers it for its run.

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include "automation/com/RefCounted.h"

namespace {

// {8C25A66D-5316-4DB3-9236-45A389526D8A}, the class trx_activation_com_bench
// registers as TRXBench.Minimal.
const CLSID kMinimalClass = {
    0x8C25A66D, 0x5316, 0x4DB3, {0x92, 0x36, 0x45, 0xA3, 0x89, 0x52, 0x6D, 0x8A}};
constexpr DISPID kPing = 1;

void ReleaseServer() {
    if (CoReleaseServerProcess() == 0) {
        PostQuitMessage(0);
    }
}

class Minimal final : public trx::com::RefCounted<IDispatch> {
  public:
    Minimal() { CoAddRefServerProcess(); }
    ~Minimal() override { ReleaseServer(); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1 || _wcsicmp(names[0], L"Ping") != 0) {
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = kPing;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != kPing) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result != nullptr) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = 0;
        }
        return S_OK;
    }
};

// Lives on wWinMain's stack for the whole loop; COM's references do not own it.
class ClassObject final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        *result = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override {
        *result = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* object = new Minimal();
        object->AddRef();
        const HRESULT asked = object->QueryInterface(iid, result);
        object->Release();
        return asked;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            CoAddRefServerProcess();
        } else {
            ReleaseServer();
        }
        return S_OK;
    }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    ClassObject classObject;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(kMinimalClass, &classObject, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie))) {
        CoUninitialize();
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}
