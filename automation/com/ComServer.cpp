#include "automation/com/ComServer.h"

#include "automation/com/ComValue.h"
#include "common/Text.h"

#include <cstdio>
#include <string>

namespace trx::com {

// The class object that COM hands to clients: it makes the objects.
class ComServer::ClassObject final : public IClassFactory {
  public:
    explicit ClassObject(ComServer& server) : server_(server) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
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
    // The server owns the class object; COM's references do not end it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return server_.CreateObject(iid, result);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        server_.Lock(lock != FALSE);
        return S_OK;
    }

  private:
    ComServer& server_;
};

// Serves one call at a time: while a client's call runs (also while it shows
// a message box, whose loop would dispatch further calls), a call of another
// client to an object is asked to retry. A call nested in the running one
// (from the handler of an event the object raised) is served at once, and
// so are creation and the release of references, which touch no running call.
class ComServer::MessageFilter final : public IMessageFilter {
  public:
    explicit MessageFilter(ComServer& server) : server_(server) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
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
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK, DWORD,
                                               LPINTERFACEINFO info) override {
        const bool topLevel =
            callType == CALLTYPE_TOPLEVEL || callType == CALLTYPE_TOPLEVEL_CALLPENDING;
        server_.refuseNextCall_ = topLevel && server_.CallRunning() && ToAnObject(info);
        return server_.refuseNextCall_ ? SERVERCALL_RETRYLATER : SERVERCALL_ISHANDLED;
    }
    // The server calls out to no one.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

  private:
    bool ToAnObject(LPINTERFACEINFO info) const {
        if (info == nullptr) {
            return true;
        }
        return info->iid == IID_IDispatch || info->iid == server_.InterfaceId() ||
               info->iid == server_.AliasId();
    }

    ComServer& server_;
};

namespace {

// A line on standard error, for a server that cannot start.
void Complain(const std::u16string& line) {
    const std::string text = ToUtf8(line) + "\n";
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

// The type library that the program carries as its resource.
ITypeLib* LoadProgramLibrary() {
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) {
        return nullptr;
    }
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &library))) {
        return nullptr;
    }
    return library;
}

// The thread message that wakes the message loop for posted work. Another
// loop (COM's, while a call waits) may take it away; the work then runs
// with the loop's next message, which the timer that posted it brings.
constexpr UINT kPostedWork = WM_APP + 0x3C1;

}  // namespace

ITypeInfo* LoadInterfaceInfo(ITypeLib* library, REFIID iid) {
    ITypeInfo* info = nullptr;
    if (library == nullptr || FAILED(library->GetTypeInfoOfGuid(iid, &info))) {
        return nullptr;
    }
    HREFTYPE vtableSide = 0;
    ITypeInfo* vtable = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableSide)) &&
        SUCCEEDED(info->GetRefTypeInfo(vtableSide, &vtable))) {
        info->Release();
        return vtable;
    }
    return info;
}

PostedWork::PostedWork() : thread_(GetCurrentThreadId()) {}

void PostedWork::Post(std::function<void()> work) {
    queue_.push_back(std::move(work));
    PostThreadMessageW(thread_, kPostedWork, 0, 0);
}

void PostedWork::RunPosted() {
    while (!queue_.empty()) {
        std::function<void()> work = std::move(queue_.front());
        queue_.pop_front();
        work();
    }
}

ComServer::ComServer(const ClassDescription& description, ComObjectMaker make,
                     std::chrono::milliseconds startIdle)
    : description_(description),
      make_(std::move(make)),
      startIdle_(startIdle),
      interfaceId_(GuidOf(description.identity.interfaceId)),
      aliasId_(GuidOf(description.identity.aliasId)),
      classObject_(std::make_unique<ClassObject>(*this)),
      filter_(std::make_unique<MessageFilter>(*this)) {}

ComServer::~ComServer() {
    if (typeInfo_ != nullptr) {
        typeInfo_->Release();
    }
    if (library_ != nullptr) {
        library_->Release();
    }
}

IID ComServer::EventInterfaceId() const {
    return GuidOf(description_.identity.eventInterfaceId);
}

int ComServer::Run() {
    const std::u16string progId = description_.identity.ProgId();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        Complain(progId + u": COM lässt sich nicht starten.");
        return 1;
    }
    int status = 0;
    library_ = LoadProgramLibrary();
    typeInfo_ = LoadInterfaceInfo(library_, interfaceId_);
    IMessageFilter* previous = nullptr;
    DWORD cookie = 0;
    const CLSID classId = GuidOf(description_.identity.classId);
    if (typeInfo_ == nullptr) {
        Complain(progId + u": Die Typbibliothek des Programms fehlt oder ist unlesbar.");
        status = 1;
    } else if (CoRegisterMessageFilter(filter_.get(), &previous),
               FAILED(CoRegisterClassObject(classId, classObject_.get(), CLSCTX_LOCAL_SERVER,
                                            REGCLS_MULTIPLEUSE, &cookie))) {
        Complain(progId + u": Die Klasse lässt sich bei COM nicht anmelden.");
        status = 1;
    } else {
        // A client that started the server and went away before it created
        // an object would otherwise leave it running for good.
        EndUnlessUsedWithin(startIdle_);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            // This loop is the server's own: it runs only when no call does
            // (a call's message box and COM's waits have loops of their own).
            // A call that ended without unwinding its scope left its mark:
            // an access violation inside it, which the RPC layer catches and
            // reports to the client, jumps past our destructors. Cleared
            // here, so that the next client's call is served.
            callsRunning_ = 0;
            if (idleTimer_ != 0 && message.message == WM_TIMER && message.hwnd == nullptr &&
                message.wParam == idleTimer_) {
                KillTimer(nullptr, idleTimer_);
                idleTimer_ = 0;
                if (!objectMade_) {
                    break;
                }
                continue;
            }
            if (message.message != kPostedWork || message.hwnd != nullptr) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            // Here no call runs: the loop is the server's own. Posted work
            // counts as a call: while it waits for a client (an event), other
            // clients' calls are asked to retry, as during any call.
            if (host_ != nullptr && host_->HasWork()) {
                CallScope running(*this);
                host_->RunPosted();
            }
        }
        CoRevokeClassObject(cookie);
    }
    CoRegisterMessageFilter(previous, nullptr);
    if (typeInfo_ != nullptr) {
        typeInfo_->Release();
        typeInfo_ = nullptr;
    }
    if (library_ != nullptr) {
        library_->Release();
        library_ = nullptr;
    }
    CoUninitialize();
    return status;
}

HRESULT ComServer::CreateObject(REFIID iid, void** result) {
    IUnknown* object = nullptr;
    // The object's events go to the sinks that clients connect to its
    // connection point, which the object finds here while it is made.
    struct NewSinks {
        std::shared_ptr<EventSinks>& sinks;
        ~NewSinks() { sinks.reset(); }
    } newSinks{newSinks_};
    try {
        EventRaiser raise = [](const std::u16string&, std::vector<Value>) {};
        if (description_.identity.HasEvents()) {
            newSinks_ = std::make_shared<EventSinks>();
            raise = RaiserFor(description_, newSinks_);
        }
        object = make_(*this, description_.create(raise));
    } catch (const AutomationError& error) {
        const HRESULT failed = Report(error, description_.identity.typeLibrary.name, interfaceId_);
        // A server that was started for this creation has nothing left to do.
        // It ends a moment later, not at once: the client still releases the
        // class object, and under Wine a server that tears COM down while
        // that call comes in can wait for it for good.
        if (!objectMade_) {
            EndUnlessUsedWithin(std::chrono::milliseconds(500));
        }
        return failed;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& error) {
        const std::u16string& library = description_.identity.typeLibrary.name;
        return Report(
            AutomationError(static_cast<std::int32_t>(E_FAIL), library, FromUtf8(error.what())),
            library, interfaceId_);
    }
    object->AddRef();
    const HRESULT asked = object->QueryInterface(iid, result);
    object->Release();
    return asked;
}

void ComServer::EndUnlessUsedWithin(std::chrono::milliseconds time) {
    if (idleTimer_ != 0) {
        KillTimer(nullptr, idleTimer_);
    }
    // A thread timer gets its identifier from SetTimer, which ignores the
    // one asked for.
    idleTimer_ = SetTimer(nullptr, 0, static_cast<UINT>(time.count()), nullptr);
}

bool ComServer::RefusedCall() {
    const bool refused = refuseNextCall_;
    refuseNextCall_ = false;
    return refused;
}

void ComServer::ObjectMade() {
    objectMade_ = true;
    CoAddRefServerProcess();
}

void ComServer::ObjectGone() {
    ReleaseProcess();
}

void ComServer::Lock(bool lock) {
    if (lock) {
        objectMade_ = true;
        CoAddRefServerProcess();
    } else {
        ReleaseProcess();
    }
}

void ComServer::ReleaseProcess() {
    if (CoReleaseServerProcess() == 0) {
        PostQuitMessage(0);
    }
}

}  // namespace trx::com
