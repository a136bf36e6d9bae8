#pragma once

// The call gate (CallGate.h) at COM's door: while a client's call runs (also
// while it shows a message box, whose loop would dispatch further calls), a
// call of another client to an object is asked to retry. A call nested in
// the running one (from the handler of an event the object raised) is
// served at once, and so are creation and the release of references, which
// touch no running call.

#include "platform/win32/Win32.h"

#include <objbase.h>

#include "automation/CallGate.h"

namespace trx::com {

class ComCallGate final : public IMessageFilter {
  public:
    // The objects' calls come through IDispatch, interfaceId or aliasId.
    ComCallGate(const CallGate& gate, const IID& interfaceId, const IID& aliasId)
        : gate_(gate), interfaceId_(interfaceId), aliasId_(aliasId) {}
    ~ComCallGate() { Remove(); }
    ComCallGate(const ComCallGate&) = delete;
    ComCallGate& operator=(const ComCallGate&) = delete;

    // Becomes the thread's message filter, until Remove.
    void Install();
    void Remove();

    // Whether the call that is being dispatched is one that the filter asked
    // to retry. Wine 8 does not implement that answer and dispatches the call
    // all the same, inside the running one; such a call is refused
    // (RPC_E_CALL_REJECTED) instead of running beside it.
    bool RefusedCall();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK, DWORD,
                                               LPINTERFACEINFO info) override;
    // The server calls out to no one.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

  private:
    bool ToAnObject(LPINTERFACEINFO info) const;

    const CallGate& gate_;
    const IID& interfaceId_;
    const IID& aliasId_;
    IMessageFilter* previous_ = nullptr;
    bool installed_ = false;
    bool refuseNextCall_ = false;
};

}  // namespace trx::com
