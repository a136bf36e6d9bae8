#pragma once

// The part that every automation object of a server shares: IUnknown with
// its reference count, IDispatch through the type information of the
// object's dual interface (so late-bound and early-bound clients see the
// same members), and error objects. An object made in a server keeps the
// server's process alive and takes part in its one-call-at-a-time rule.

#include "platform/win32/Win32.h"

#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "automation/com/ComServer.h"
#include "automation/com/ComValue.h"
#include "automation/com/MemberArguments.h"
#include "automation/com/RefCounted.h"
#include "common/Text.h"

namespace trx::com {

template <class Interface>
class DispatchObject : public RefCounted<Interface>, public ISupportErrorInfo {
  public:
    // info: the type information of the interface, which outlives the
    // object. iid and alias: the identifiers by which clients ask for the
    // interface (alias GUID_NULL when there is none). source: the source of
    // errors that name none. server: null for an object outside a server.
    DispatchObject(ComServer* server, ITypeInfo* info, const IID& iid, const IID& alias,
                   std::u16string source)
        : server_(server), info_(info), iid_(iid), alias_(alias), source_(std::move(source)) {
        if (server_ != nullptr) {
            server_->ObjectMade();
        }
    }
    virtual ~DispatchObject() {
        if (server_ != nullptr) {
            server_->ObjectGone();
        }
    }

    // IUnknown, of the interface and of ISupportErrorInfo alike.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        return RefCounted<Interface>::QueryInterface(iid, result);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return RefCounted<Interface>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RefCounted<Interface>::Release(); }

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
        info_->AddRef();
        *info = info_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (Refused()) {
            return RPC_E_CALL_REJECTED;
        }
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        return DispGetIDsOfNames(info_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override {
        if (Refused()) {
            return RPC_E_CALL_REJECTED;
        }
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        return InvokeMember(id, flags, params, result, exception, badArgument);
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsOwn(iid) || iid == IID_IDispatch ? S_OK : S_FALSE;
    }

  protected:
    void* OtherInterface(REFIID iid) override {
        if (iid == IID_IDispatch || IsOwn(iid)) {
            return static_cast<Interface*>(this);
        }
        if (iid == IID_ISupportErrorInfo) {
            return static_cast<ISupportErrorInfo*>(this);
        }
        return nullptr;
    }

    // A late-bound call, through the type information to the vtable slot;
    // a call with more arguments than the member takes is refused.
    virtual HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* badArgument) {
        if (params != nullptr && TooManyArguments(info_, id, flags, params->cArgs)) {
            return DISP_E_BADPARAMCOUNT;
        }
        return info_->Invoke(static_cast<Interface*>(this), id, flags, params, result, exception,
                             badArgument);
    }

    // Runs one call as the only one, and turns what it throws into an
    // HRESULT with an error object: nothing thrown leaves the server.
    template <class Work>
    HRESULT Guarded(Work work) {
        if (Refused()) {
            return RPC_E_CALL_REJECTED;
        }
        std::optional<ComServer::CallScope> running;
        if (server_ != nullptr) {
            running.emplace(*server_);
        }
        SetErrorInfo(0, nullptr);
        try {
            return work();
        } catch (const AutomationError& error) {
            return Report(error, source_, iid_);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& error) {
            return Report(
                AutomationError(static_cast<std::int32_t>(E_FAIL), source_, FromUtf8(error.what())),
                source_, iid_);
        }
    }

    ComServer* Server() const { return server_; }

    // A member's failure as Invoke reports it, for a member that Invoke
    // calls itself: the error object that the member left goes into the
    // exception, as the type information's Invoke puts it there.
    static HRESULT AsException(HRESULT failed, EXCEPINFO* exception) {
        IErrorInfo* info = nullptr;
        if (exception == nullptr || GetErrorInfo(0, &info) != S_OK || info == nullptr) {
            return failed;
        }
        *exception = EXCEPINFO{};
        info->GetSource(&exception->bstrSource);
        info->GetDescription(&exception->bstrDescription);
        exception->scode = failed;
        SetErrorInfo(0, info);
        info->Release();
        return DISP_E_EXCEPTION;
    }

  private:
    bool IsOwn(REFIID iid) const { return iid == iid_ || (alias_ != GUID_NULL && iid == alias_); }
    bool Refused() const { return server_ != nullptr && server_->RefusedCall(); }

    ComServer* server_;
    ITypeInfo* info_;
    IID iid_;
    IID alias_;
    std::u16string source_;
};

}  // namespace trx::com
