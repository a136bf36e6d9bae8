#pragma once

// IUnknown of a COM object that answers for Interface (and, through
// OtherInterface, for more) and deletes itself with its last reference.

#include "platform/win32/Win32.h"

#include <unknwn.h>

namespace trx::com {

template <class Interface>
class RefCounted : public Interface {
  public:
    RefCounted() = default;
    virtual ~RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = iid == IID_IUnknown || iid == __uuidof(Interface) ? static_cast<Interface*>(this)
                                                                    : OtherInterface(iid);
        if (*result == nullptr) {
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

  protected:
    // Another interface of the object, or null; QueryInterface adds the
    // reference.
    virtual void* OtherInterface(REFIID) { return nullptr; }

  private:
    ULONG references_ = 0;
};

}  // namespace trx::com
