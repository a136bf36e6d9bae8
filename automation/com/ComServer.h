#pragma once

// Serves one class of the automation layer to COM clients from an
// out-of-process server: the class object, the type information of its
// default interface, one call at a time, and the process's lifetime.

#include "platform/win32/Win32.h"

#include <oaidl.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>

#include "automation/AutomationHost.h"
#include "automation/ClassDescription.h"
#include "automation/com/ConnectionPoint.h"

namespace trx::com {

class ComServer;

// The type information of the vtable side of a dual interface of the
// library (which ITypeInfo::Invoke calls); null when it has none.
ITypeInfo* LoadInterfaceInfo(ITypeLib* library, REFIID iid);

// What a COM server offers the classes it serves besides the calls: work
// posted by a class (its timer's ticks) runs in the server's own message
// loop, between calls; never inside one, also not inside the modal loop in
// which COM waits for a client's event handler. Made before the class
// description that takes it, and handed to the server (ComServer::Serve).
class PostedWork final : public AutomationHost {
  public:
    PostedWork();
    void Post(std::function<void()> work) override;
    // COM tells a server nothing of a client that has gone until a call to
    // it fails, so every caller counts as connected.
    bool CallerConnected() override { return true; }

    bool HasWork() const { return !queue_.empty(); }
    // Runs the work posted so far, in order (also work that it posts).
    void RunPosted();

  private:
    DWORD thread_;
    std::deque<std::function<void()>> queue_;
};

// Makes the COM object of the class's default interface around a served
// object; the result has no reference yet.
using ComObjectMaker = std::function<IUnknown*(ComServer&, std::unique_ptr<ServedObject>)>;

class ComServer {
  public:
    // startIdle: how long a server that COM started waits for its first
    // object before it ends.
    ComServer(const ClassDescription& description, ComObjectMaker make,
              std::chrono::milliseconds startIdle = std::chrono::seconds(30));
    ~ComServer();
    ComServer(const ComServer&) = delete;
    ComServer& operator=(const ComServer&) = delete;

    // Runs on the calling thread, which it makes a single-threaded apartment:
    // registers the class object, serves calls through the message loop and
    // returns when the last object is gone. The process's exit status: 0, or
    // 1 when the class could not be offered (a line says why on standard
    // error).
    int Run();

    // Runs the work posted to host between calls; before Run.
    void Serve(PostedWork& host) { host_ = &host; }

    const ClassDescription& Description() const { return description_; }
    // The program's type library; null before Run.
    ITypeLib* TypeLibrary() const { return library_; }
    // The type information of the default interface (its vtable side), from
    // the type library that the program carries. Null before Run.
    ITypeInfo* TypeInfo() const { return typeInfo_; }
    const IID& InterfaceId() const { return interfaceId_; }
    const IID& AliasId() const { return aliasId_; }

    // Makes an object for a client; the HRESULT and error object of a
    // failed creation go to that client.
    HRESULT CreateObject(REFIID iid, void** result);

    // The sinks of the object that is being made (for its connection point);
    // null for a class without events.
    std::shared_ptr<EventSinks> SinksOfNewObject() const { return newSinks_; }
    IID EventInterfaceId() const;

    // An object lives: the process stays.
    void ObjectMade();
    // An object is gone: after the last one the server ends.
    void ObjectGone();
    // IClassFactory::LockServer.
    void Lock(bool lock);

    // Marks a client's call to an object as running; a second client's call
    // is asked to retry until it returns.
    class CallScope {
      public:
        explicit CallScope(ComServer& server) : server_(server) { ++server_.callsRunning_; }
        ~CallScope() { --server_.callsRunning_; }
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

      private:
        ComServer& server_;
    };
    bool CallRunning() const { return callsRunning_ > 0; }
    // Whether the call that is being dispatched is one that the message
    // filter asked to retry. Wine 8 does not implement that answer and
    // dispatches the call all the same, inside the running one; such a call
    // is refused (RPC_E_CALL_REJECTED) instead of running beside it.
    bool RefusedCall();

  private:
    class ClassObject;
    class MessageFilter;

    void ReleaseProcess();
    // Ends the server after `time` unless an object is made before.
    void EndUnlessUsedWithin(std::chrono::milliseconds time);

    const ClassDescription& description_;
    ComObjectMaker make_;
    std::chrono::milliseconds startIdle_;
    IID interfaceId_;
    IID aliasId_;
    ITypeLib* library_ = nullptr;
    ITypeInfo* typeInfo_ = nullptr;
    PostedWork* host_ = nullptr;
    std::shared_ptr<EventSinks> newSinks_;
    int callsRunning_ = 0;
    bool refuseNextCall_ = false;
    bool objectMade_ = false;
    UINT_PTR idleTimer_ = 0;
    std::unique_ptr<ClassObject> classObject_;
    std::unique_ptr<MessageFilter> filter_;
};

}  // namespace trx::com
