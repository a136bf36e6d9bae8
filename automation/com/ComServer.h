#pragma once

// Serves one class of the automation layer to COM clients from an
// out-of-process server: the class object (ComClassObject), the type
// information of its default interface (ProgramTypeLibrary), one call at a
// time with work between calls (ComCallGate), and the server's lifetime
// (ComLifetime), all on the thread that runs Serve.

#include "platform/win32/Win32.h"

#include <oaidl.h>

#include <functional>
#include <memory>

#include "automation/AutomationHost.h"
#include "automation/CallGate.h"
#include "automation/ClassDescription.h"
#include "automation/ServerRules.h"
#include "automation/com/ComCallGate.h"
#include "automation/com/ComClassObject.h"
#include "automation/com/ComLifetime.h"
#include "automation/com/ConnectionPoint.h"
#include "automation/com/ProgramTypeLibrary.h"

namespace trx::com {

class ComServer;

// Makes the COM object of the class's default interface around a served
// object; the result has no reference yet.
using ComObjectMaker = std::function<IUnknown*(ComServer&, std::unique_ptr<ServedObject>)>;

// Made before the class description that takes it as its host; work that a
// class posts (its timer's ticks) runs in the server's own message loop,
// between calls: never inside one, also not inside the modal loop in which
// COM waits for a client's event handler.
class ComServer final : public AutomationHost {
  public:
    explicit ComServer(ComObjectMaker make, ServerOptions options = {});
    ~ComServer() override;
    ComServer(const ComServer&) = delete;
    ComServer& operator=(const ComServer&) = delete;

    // Makes the calling thread a single-threaded apartment, offers the
    // class to COM and serves calls through the message loop until the
    // server ends. The process's exit status: 0, or 1 when the class could
    // not be offered (a line says why on standard error).
    int Serve(ClassDescription served);

    void Post(std::function<void()> work) override;
    // COM tells a server nothing of a client that has gone until a call to
    // it fails, so every caller counts as connected.
    bool CallerConnected() override { return true; }

    // What the served objects ask of their server, while Serve runs.
    const ClassDescription& Description() const { return description_; }
    ITypeLib* TypeLibrary() const { return types_.Library(); }
    // The type information of the default interface (its vtable side).
    ITypeInfo* TypeInfo() const { return types_.InterfaceInfo(); }
    const IID& InterfaceId() const { return interfaceId_; }
    const IID& AliasId() const { return aliasId_; }
    IID EventInterfaceId() const;
    // The sinks of the object that is being made (for its connection point);
    // null for a class without events.
    std::shared_ptr<EventSinks> SinksOfNewObject() const { return newSinks_; }

    // Makes an object for a client; the HRESULT and error object of a
    // failed creation go to that client.
    HRESULT CreateObject(REFIID iid, void** result);

    // An object lives: the process stays. An object is gone: after the last
    // one the server ends (ComLifetime).
    void ObjectMade() { lifetime_.Hold(); }
    void ObjectGone() { lifetime_.Drop(); }
    // IClassFactory::LockServer.
    void Lock(bool lock) { lock ? lifetime_.Hold() : lifetime_.Drop(); }

    // Marks a client's call to an object as running (CallGate).
    class CallScope : public CallGate::Call {
      public:
        explicit CallScope(ComServer& server) : CallGate::Call(server.gate_) {}
    };
    // ComCallGate::RefusedCall.
    bool RefusedCall() { return door_.RefusedCall(); }

  private:
    void Loop();

    ComObjectMaker make_;
    ClassDescription description_;
    IID interfaceId_ = GUID_NULL;
    IID aliasId_ = GUID_NULL;
    DWORD thread_;
    CallGate gate_;
    ComCallGate door_;
    ComLifetime lifetime_;
    ComClassObject classObject_;
    ProgramTypeLibrary types_;
    std::shared_ptr<EventSinks> newSinks_;
};

}  // namespace trx::com
