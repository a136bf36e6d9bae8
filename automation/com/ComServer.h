#pragma once

// Serves one class of the automation layer to COM clients from an
// out-of-process server: the class object, the type information of its
// default interface, one call at a time, and the process's lifetime.

#include "platform/win32/Win32.h"

#include <oaidl.h>

#include <chrono>
#include <functional>
#include <memory>

#include "automation/ClassDescription.h"

namespace trx::com {

class ComServer;

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

    const ClassDescription& Description() const { return description_; }
    // The type information of the default interface (its vtable side), from
    // the type library that the program carries. Null before Run.
    ITypeInfo* TypeInfo() const { return typeInfo_; }
    const IID& InterfaceId() const { return interfaceId_; }
    const IID& AliasId() const { return aliasId_; }

    // Makes an object for a client; the HRESULT and error object of a
    // failed creation go to that client.
    HRESULT CreateObject(REFIID iid, void** result);

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

    const ClassDescription& description_;
    ComObjectMaker make_;
    std::chrono::milliseconds startIdle_;
    IID interfaceId_;
    IID aliasId_;
    ITypeInfo* typeInfo_ = nullptr;
    int callsRunning_ = 0;
    bool refuseNextCall_ = false;
    bool objectMade_ = false;
    std::unique_ptr<ClassObject> classObject_;
    std::unique_ptr<MessageFilter> filter_;
};

}  // namespace trx::com
