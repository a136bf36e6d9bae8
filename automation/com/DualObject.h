#pragma once

// The COM object of a served class: its default interface dispatched
// through the type library, the class's type information and, for a class
// with events, the connection point of its event interface. A class's
// adaptor derives from it and implements its interface's slots by
// forwarding to the class description's members by name.

#include "platform/win32/Win32.h"

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "automation/com/ComServer.h"
#include "automation/com/ComValue.h"
#include "automation/com/DispatchObject.h"

namespace trx::com {

template <class Interface>
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

    // Calls the method `name` with every argument given (the type library
    // has filled in the defaults of omitted ones) and stores its result.
    template <class Out>
    HRESULT CallMethod(std::u16string_view name, std::vector<Value> args, Out* result) {
        return CallMethodAs(name, std::move(args),
                            [&](const Value& value) { return Store(value, result); });
    }

    // The same with a conversion of the result of its own: store(value)
    // gives the HRESULT.
    template <class StoreResult>
    HRESULT CallMethodAs(std::u16string_view name, std::vector<Value> args, StoreResult store) {
        const MethodInfo* method = Server().Description().FindMethod(name);
        if (method == nullptr) {
            return E_NOTIMPL;
        }
        return this->Guarded([&] { return store(method->call(*object_, args)); });
    }

    ComServer& Server() const { return *Base::Server(); }

    template <class Out>
    HRESULT Get(std::u16string_view name, Out* result) {
        const PropertyInfo* property = Server().Description().FindProperty(name);
        if (property == nullptr) {
            return E_NOTIMPL;
        }
        return this->Guarded([&] { return Store(property->get(*object_), result); });
    }

    HRESULT Put(std::u16string_view name, Value value) {
        const PropertyInfo* property = Server().Description().FindProperty(name);
        if (property == nullptr || !property->put) {
            return E_NOTIMPL;
        }
        return this->Guarded([&] {
            property->put(*object_, value);
            return S_OK;
        });
    }

  private:
    std::unique_ptr<ServedObject> object_;
    std::optional<ConnectionPoint> events_;
};

}  // namespace trx::com
