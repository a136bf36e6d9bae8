#include "automation/com/ComServer.h"

#include "automation/com/ComValue.h"
#include "common/Text.h"

#include <cstdio>
#include <string>

namespace trx::com {
namespace {

// A line on standard error, for a server that cannot start.
void Complain(const std::u16string& line) {
    const std::string text = ToUtf8(line) + "\n";
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

// The thread message that wakes the message loop for posted work. Another
// loop (COM's, while a call waits) may take it away; the work then runs
// with the loop's next message, which the timer that posted it brings.
constexpr UINT kPostedWork = WM_APP + 0x3C1;

}  // namespace

ComServer::ComServer(ComObjectMaker make, ServerOptions options)
    : make_(std::move(make)),
      thread_(GetCurrentThreadId()),
      gate_([this] { PostThreadMessageW(thread_, kPostedWork, 0, 0); }),
      door_(gate_, interfaceId_, aliasId_),
      lifetime_(options),
      classObject_(*this) {}

ComServer::~ComServer() = default;

IID ComServer::EventInterfaceId() const {
    return GuidOf(description_.identity.eventInterfaceId);
}

void ComServer::Post(std::function<void()> work) {
    gate_.Post(std::move(work));
}

int ComServer::Serve(ClassDescription served) {
    description_ = std::move(served);
    interfaceId_ = GuidOf(description_.identity.interfaceId);
    aliasId_ = GuidOf(description_.identity.aliasId);
    const std::u16string progId = description_.identity.ProgId();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        Complain(progId + u": COM lässt sich nicht starten.");
        return 1;
    }
    int status = 0;
    if (!types_.Load(interfaceId_)) {
        Complain(progId + u": Die Typbibliothek des Programms fehlt oder ist unlesbar.");
        status = 1;
    } else {
        door_.Install();
        if (!classObject_.Register(GuidOf(description_.identity.classId))) {
            Complain(progId + u": Die Klasse lässt sich bei COM nicht anmelden.");
            status = 1;
        } else {
            // A client that started the server and went away before it
            // created an object would otherwise leave it running for good.
            lifetime_.Started();
            Loop();
            classObject_.Revoke();
        }
        door_.Remove();
    }
    lifetime_.Cancel();
    types_.Release();
    CoUninitialize();
    return status;
}

void ComServer::Loop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // This loop is the server's own: it runs only when no call does (a
        // call's message box and COM's waits have loops of their own).
        gate_.Reset();
        if (lifetime_.Ends(message)) {
            break;
        }
        if (message.message != kPostedWork || message.hwnd != nullptr) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        // Posted work counts as a call: while it waits for a client (an
        // event), other clients' calls are asked to retry, as during any call.
        gate_.RunWaiting();
    }
}

HRESULT ComServer::CreateObject(REFIID iid, void** result) {
    lifetime_.CreationAsked();
    IUnknown* object = nullptr;
    // The object's events go to the sinks that clients connect to its
    // connection point, which the object finds here while it is made.
    struct NewSinks {
        std::shared_ptr<EventSinks>& sinks;
        ~NewSinks() { sinks.reset(); }
    } newSinks{newSinks_};
    const std::u16string& library = description_.identity.typeLibrary.name;
    try {
        EventRaiser raise = [](const std::u16string&, std::vector<Value>) {};
        if (description_.identity.HasEvents()) {
            newSinks_ = std::make_shared<EventSinks>();
            raise = RaiserFor(description_, newSinks_);
        }
        object = make_(*this, description_.create(raise));
    } catch (const AutomationError& error) {
        lifetime_.CreationFailed();
        return Report(error, library, interfaceId_);
    } catch (const std::bad_alloc&) {
        lifetime_.CreationFailed();
        return E_OUTOFMEMORY;
    } catch (const std::exception& error) {
        lifetime_.CreationFailed();
        return Report(
            AutomationError(static_cast<std::int32_t>(E_FAIL), library, FromUtf8(error.what())),
            library, interfaceId_);
    }
    object->AddRef();
    const HRESULT asked = object->QueryInterface(iid, result);
    object->Release();
    return asked;
}

}  // namespace trx::com
