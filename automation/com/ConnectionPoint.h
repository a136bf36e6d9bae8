#pragma once

// Events of a served object to its COM clients: the sinks that clients
// connected, and the connection point through which they connect.

#include "platform/win32/Win32.h"

#include <ocidl.h>

#include <memory>
#include <utility>
#include <vector>

#include "automation/ClassDescription.h"

namespace trx::com {

// The sinks connected to one object's event interface. The object's event
// raiser and its connection point share them, so a raiser that outlives the
// object raises to no one.
class EventSinks {
  public:
    EventSinks() = default;
    ~EventSinks();
    EventSinks(const EventSinks&) = delete;
    EventSinks& operator=(const EventSinks&) = delete;

    DWORD Add(IDispatch* sink);
    bool Remove(DWORD cookie);
    void Clear();

    // Calls the event on every sink through its IDispatch::Invoke and waits
    // for each handler, whose calls back into the server run meanwhile. A
    // handler's failure is the client's affair; a client that has gone is
    // disconnected.
    void Raise(DISPID event, const std::vector<Value>& args);

  private:
    std::vector<std::pair<DWORD, IDispatch*>> sinks_;
    DWORD nextCookie_ = 1;
};

// An event raiser for objects of the described class that raises through sinks.
EventRaiser RaiserFor(const ClassDescription& description, std::shared_ptr<EventSinks> sinks);

// The connection point of an object's event interface. It is part of the
// object: its references are the object's.
class ConnectionPoint final : public IConnectionPoint {
  public:
    ConnectionPoint(IConnectionPointContainer& owner, const IID& events,
                    std::shared_ptr<EventSinks> sinks);
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& EventInterface() const { return events_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  private:
    IConnectionPointContainer& owner_;
    IID events_;
    std::shared_ptr<EventSinks> sinks_;
};

}  // namespace trx::com
