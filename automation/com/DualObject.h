#pragma once

// The common part of every served COM object: IUnknown, IDispatch through
// the type library (so late-bound and early-bound clients see the same
// members), error objects, the class's type information and, for a class
// with events, the connection point of its event interface. A class's adaptor derives from it and
// implements its interface's slots by forwarding to the class description's
// members by name.

#include "platform/win32/Win32.h"

#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <memory>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "automation/com/ComServer.h"
#include "automation/com/ComValue.h"
#include "common/Text.h"

namespace trx::com {

template <class Interface>
class DualObject : public Interface,
                   public ISupportErrorInfo,
                   public IProvideClassInfo2,
                   public IConnectionPointContainer {
  public:
    DualObject(ComServer& server, std::unique_ptr<ServedObject> object)
        : server_(server), object_(std::move(object)) {
        if (auto sinks = server_.SinksOfNewObject()) {
            events_.emplace(*this, server_.EventInterfaceId(), std::move(sinks));
        }
        server_.ObjectMade();
    }
    virtual ~DualObject() { server_.ObjectGone(); }
    DualObject(const DualObject&) = delete;
    DualObject& operator=(const DualObject&) = delete;

    // IUnknown. The alias identifier names the same interface.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == server_.InterfaceId() ||
            iid == server_.AliasId()) {
            *result = static_cast<Interface*>(this);
        } else if (iid == IID_ISupportErrorInfo) {
            *result = static_cast<ISupportErrorInfo*>(this);
        } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
            *result = static_cast<IProvideClassInfo2*>(this);
        } else if (iid == IID_IConnectionPointContainer && events_) {
            *result = static_cast<IConnectionPointContainer*>(this);
        } else {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IDispatch.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        server_.TypeInfo()->AddRef();
        *info = server_.TypeInfo();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (server_.RefusedCall()) {
            return RPC_E_CALL_REJECTED;
        }
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        return DispGetIDsOfNames(server_.TypeInfo(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override {
        if (server_.RefusedCall()) {
            return RPC_E_CALL_REJECTED;
        }
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        return server_.TypeInfo()->Invoke(static_cast<Interface*>(this), id, flags, params, result,
                                          exception, badArgument);
    }

    // ISupportErrorInfo.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == server_.InterfaceId() || iid == server_.AliasId() || iid == IID_IDispatch
                   ? S_OK
                   : S_FALSE;
    }

    // IProvideClassInfo2: the class as the type library describes it, and
    // its event interface.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        ITypeLib* library = server_.TypeLibrary();
        if (library == nullptr) {
            return E_UNEXPECTED;
        }
        return library->GetTypeInfoOfGuid(GuidOf(server_.Description().identity.classId), info);
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
    // Calls the method `name` with every argument given (the type library
    // has filled in the defaults of omitted ones) and stores its result.
    template <class Out>
    HRESULT CallMethod(std::u16string_view name, std::vector<Value> args, Out* result) {
        const MethodInfo* method = server_.Description().FindMethod(name);
        if (method == nullptr) {
            return E_NOTIMPL;
        }
        return Guarded([&] { return Store(method->call(*object_, args), result); });
    }

    // The same with a conversion of the result of its own: store(value)
    // gives the HRESULT.
    template <class StoreResult>
    HRESULT CallMethodAs(std::u16string_view name, std::vector<Value> args, StoreResult store) {
        const MethodInfo* method = server_.Description().FindMethod(name);
        if (method == nullptr) {
            return E_NOTIMPL;
        }
        return Guarded([&] { return store(method->call(*object_, args)); });
    }

    ComServer& Server() const { return server_; }

    template <class Out>
    HRESULT Get(std::u16string_view name, Out* result) {
        const PropertyInfo* property = server_.Description().FindProperty(name);
        if (property == nullptr) {
            return E_NOTIMPL;
        }
        return Guarded([&] { return Store(property->get(*object_), result); });
    }

    HRESULT Put(std::u16string_view name, Value value) {
        const PropertyInfo* property = server_.Description().FindProperty(name);
        if (property == nullptr || !property->put) {
            return E_NOTIMPL;
        }
        return Guarded([&] {
            property->put(*object_, value);
            return S_OK;
        });
    }

  private:
    // Runs one call as the only one, and turns what it throws into an
    // HRESULT with an error object: nothing thrown leaves the server.
    template <class Work>
    HRESULT Guarded(Work work) {
        if (server_.RefusedCall()) {
            return RPC_E_CALL_REJECTED;
        }
        ComServer::CallScope running(server_);
        SetErrorInfo(0, nullptr);
        const std::u16string& library = server_.Description().identity.typeLibrary.name;
        try {
            return work();
        } catch (const AutomationError& error) {
            return Report(error, library, server_.InterfaceId());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& error) {
            return Report(
                AutomationError(static_cast<std::int32_t>(E_FAIL), library, FromUtf8(error.what())),
                library, server_.InterfaceId());
        }
    }

    ComServer& server_;
    std::unique_ptr<ServedObject> object_;
    std::optional<ConnectionPoint> events_;
    ULONG references_ = 0;
};

}  // namespace trx::com
