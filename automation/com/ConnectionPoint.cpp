#include "automation/com/ConnectionPoint.h"

#include <olectl.h>

#include <algorithm>

#include "automation/com/ComValue.h"

namespace trx::com {

namespace {

// Failures of a call that say the client is no longer there.
bool ClientGone(HRESULT result) {
    return result == RPC_E_DISCONNECTED || result == RPC_E_SERVER_DIED ||
           result == RPC_E_SERVER_DIED_DNE ||
           result == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || result == CO_E_OBJNOTCONNECTED;
}

}  // namespace

EventSinks::~EventSinks() {
    Clear();
}

DWORD EventSinks::Add(IDispatch* sink) {
    sink->AddRef();
    sinks_.emplace_back(nextCookie_, sink);
    return nextCookie_++;
}

bool EventSinks::Remove(DWORD cookie) {
    const auto found = std::find_if(sinks_.begin(), sinks_.end(),
                                    [cookie](const auto& entry) { return entry.first == cookie; });
    if (found == sinks_.end()) {
        return false;
    }
    IDispatch* sink = found->second;
    sinks_.erase(found);
    sink->Release();
    return true;
}

void EventSinks::Clear() {
    auto sinks = std::move(sinks_);
    sinks_.clear();
    for (auto& [cookie, sink] : sinks) {
        sink->Release();
    }
}

void EventSinks::Raise(DISPID event, const std::vector<Value>& args) {
    // DISPPARAMS holds the arguments last first.
    std::vector<VARIANT> variants(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (FAILED(ToVariant(args[i], &variants[args.size() - 1 - i]))) {
            VariantInit(&variants[args.size() - 1 - i]);
        }
    }
    DISPPARAMS params{variants.data(), nullptr, static_cast<UINT>(variants.size()), 0};
    // A handler may connect or disconnect sinks: call those connected now,
    // each held until every call is made.
    const auto sinks = sinks_;
    for (const auto& entry : sinks) {
        entry.second->AddRef();
    }
    for (const auto& [cookie, sink] : sinks) {
        EXCEPINFO exception{};
        const HRESULT result = sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            &params, nullptr, &exception, nullptr);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        if (ClientGone(result)) {
            Remove(cookie);
        }
    }
    for (const auto& entry : sinks) {
        entry.second->Release();
    }
    for (VARIANT& variant : variants) {
        VariantClear(&variant);
    }
}

EventRaiser RaiserFor(const ClassDescription& description, std::shared_ptr<EventSinks> sinks) {
    return [&description, sinks = std::move(sinks)](const std::u16string& event,
                                                    std::vector<Value> args) {
        if (const EventInfo* info = description.FindEvent(event)) {
            sinks->Raise(static_cast<DISPID>(info->dispatchId), args);
        }
    };
}

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& owner, const IID& events,
                                 std::shared_ptr<EventSinks> sinks)
    : owner_(owner), events_(events), sinks_(std::move(sinks)) {}

// Connections end with the object: its clients' sinks are released.
ConnectionPoint::~ConnectionPoint() {
    sinks_->Clear();
}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    *result = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) {
        return E_POINTER;
    }
    *iid = events_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr) {
        return E_POINTER;
    }
    owner_.AddRef();
    *container = &owner_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie == nullptr) {
        return E_POINTER;
    }
    *cookie = 0;
    if (sink == nullptr) {
        return E_POINTER;
    }
    // The sink implements the event interface, which is a dispinterface:
    // events go through its IDispatch.
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(&dispatch))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = sinks_->Add(dispatch);
    dispatch->Release();
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    return sinks_->Remove(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections != nullptr) {
        *connections = nullptr;
    }
    return E_NOTIMPL;
}

}  // namespace trx::com
