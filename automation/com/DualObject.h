#pragma once

// The COM object of a served class: its default interface dispatched
// through the type library, the class's type information and, for a class
// with events, the connection point of its event interface. A class's COM
// object derives from it and implements each slot of its interface (the
// widl-generated header's) by converting the arguments and calling the
// member function of T, the served class, through Run.

#include "platform/win32/Win32.h"

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <optional>

#include "automation/ClassBuilder.h"
#include "automation/com/ComServer.h"
#include "automation/com/ComValue.h"
#include "automation/com/DispatchObject.h"

namespace trx::com {

template <class Interface, class T>
class DualObject : public DispatchObject<Interface>,
                   public IProvideClassInfo2,
                   public IConnectionPointContainer {
    using Base = DispatchObject<Interface>;

  public:
    // The alias identifier names the same interface.
    DualObject(ComServer& server, std::unique_ptr<ServedObject> object)
        : Base(&server, server.TypeInfo(), server.InterfaceId(), server.AliasId(),
               server.Description().identity.typeLibrary.name),
          object_(std::move(object)) {
        if (auto sinks = server.SinksOfNewObject()) {
            events_.emplace(*this, server.EventInterfaceId(), std::move(sinks));
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        return Base::QueryInterface(iid, result);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Base::Release(); }

    // IProvideClassInfo2: the class as the type library describes it, and
    // its event interface.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        ITypeLib* library = Server().TypeLibrary();
        if (library == nullptr) {
            return E_UNEXPECTED;
        }
        return library->GetTypeInfoOfGuid(GuidOf(Server().Description().identity.classId), info);
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        if (guid == nullptr) {
            return E_POINTER;
        }
        *guid = GUID_NULL;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
            return E_INVALIDARG;
        }
        if (!events_) {
            return E_FAIL;
        }
        *guid = events_->EventInterface();
        return S_OK;
    }

    // IConnectionPointContainer: the one connection point of the events.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override {
        if (points != nullptr) {
            *points = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        if (point == nullptr) {
            return E_POINTER;
        }
        *point = nullptr;
        if (!events_ || iid != events_->EventInterface()) {
            return CONNECT_E_NOCONNECTION;
        }
        events_->AddRef();
        *point = &*events_;
        return S_OK;
    }

  protected:
    void* OtherInterface(REFIID iid) override {
        if (void* found = Base::OtherInterface(iid)) {
            return found;
        }
        if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
            return static_cast<IProvideClassInfo2*>(this);
        }
        if (iid == IID_IConnectionPointContainer && events_) {
            return static_cast<IConnectionPointContainer*>(this);
        }
        return nullptr;
    }

    // The object of the served class behind this COM object.
    T& Object() const { return ObjectOf<T>(*object_); }

    // A typed slot's call of the object's member, call(), as one guarded
    // call: its result goes into the client's out parameter, what it throws
    // to the client as an error.
    template <class Call, class Out>
    HRESULT Run(Call call, Out* result) {
        return this->Guarded([&] { return Store(ToValue(call()), result); });
    }
    template <class Call>
    HRESULT Run(Call call) {
        return this->Guarded([&] {
            call();
            return S_OK;
        });
    }

    ComServer& Server() const { return *Base::Server(); }

  private:
    std::unique_ptr<ServedObject> object_;
    std::optional<ConnectionPoint> events_;
};

}  // namespace trx::com
