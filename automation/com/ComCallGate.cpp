#include "automation/com/ComCallGate.h"

namespace trx::com {

void ComCallGate::Install() {
    if (!installed_) {
        CoRegisterMessageFilter(this, &previous_);
        installed_ = true;
    }
}

void ComCallGate::Remove() {
    if (installed_) {
        CoRegisterMessageFilter(previous_, nullptr);
        previous_ = nullptr;
        installed_ = false;
    }
}

bool ComCallGate::RefusedCall() {
    const bool refused = refuseNextCall_;
    refuseNextCall_ = false;
    return refused;
}

HRESULT ComCallGate::QueryInterface(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (iid != IID_IUnknown && iid != IID_IMessageFilter) {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    *result = static_cast<IMessageFilter*>(this);
    return S_OK;
}

DWORD ComCallGate::HandleInComingCall(DWORD callType, HTASK, DWORD, LPINTERFACEINFO info) {
    const bool topLevel =
        callType == CALLTYPE_TOPLEVEL || callType == CALLTYPE_TOPLEVEL_CALLPENDING;
    refuseNextCall_ = topLevel && gate_.Busy() && ToAnObject(info);
    return refuseNextCall_ ? SERVERCALL_RETRYLATER : SERVERCALL_ISHANDLED;
}

bool ComCallGate::ToAnObject(LPINTERFACEINFO info) const {
    if (info == nullptr) {
        return true;
    }
    return info->iid == IID_IDispatch || info->iid == interfaceId_ || info->iid == aliasId_;
}

}  // namespace trx::com
