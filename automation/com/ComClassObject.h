#pragma once

// The class object of a served class, which COM hands to clients: it makes
// the objects, and it is what the server registers with COM.

#include "platform/win32/Win32.h"

#include <unknwn.h>

namespace trx::com {

class ComServer;

class ComClassObject final : public IClassFactory {
  public:
    explicit ComClassObject(ComServer& server) : server_(server) {}
    ~ComClassObject() { Revoke(); }
    ComClassObject(const ComClassObject&) = delete;
    ComClassObject& operator=(const ComClassObject&) = delete;

    // Offers the class to COM's clients; false when COM refuses.
    bool Register(REFCLSID classId);
    void Revoke();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    // The server owns the class object; COM's references do not end it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  private:
    ComServer& server_;
    DWORD cookie_ = 0;
};

}  // namespace trx::com
