#include "automation/com/ComClassObject.h"

#include "automation/com/ComServer.h"

namespace trx::com {

bool ComClassObject::Register(REFCLSID classId) {
    Revoke();
    return SUCCEEDED(
        CoRegisterClassObject(classId, this, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_));
}

void ComClassObject::Revoke() {
    if (cookie_ != 0) {
        CoRevokeClassObject(cookie_);
        cookie_ = 0;
    }
}

HRESULT ComClassObject::QueryInterface(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    *result = static_cast<IClassFactory*>(this);
    return S_OK;
}

HRESULT ComClassObject::CreateInstance(IUnknown* outer, REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return server_.CreateObject(iid, result);
}

HRESULT ComClassObject::LockServer(BOOL lock) {
    server_.Lock(lock != FALSE);
    return S_OK;
}

}  // namespace trx::com
