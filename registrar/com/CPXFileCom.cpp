#include "registrar/com/CPXFileCom.h"

#include "automation/com/DualObject.h"
#include "registrar/CPXFile.h"
#include "vxRegCPX.h"

namespace trx {

namespace {

class CPXFileObject final : public com::DualObject<_CPXFile, CPXFile> {
  public:
    using DualObject::DualObject;

    HRESULT STDMETHODCALLTYPE Register(BSTR CPXFile, VARIANT_BOOL Quiet, VARIANT_BOOL ShowErrors,
                                       VARIANT_BOOL* Result) override {
        return Run([&] { return Object().Register(com::FromBstr(CPXFile), Quiet, ShowErrors); },
                   Result);
    }
    HRESULT STDMETHODCALLTYPE UnRegister(BSTR Name, VARIANT_BOOL Quiet, VARIANT_BOOL ShowErrors,
                                         VARIANT_BOOL* Result) override {
        return Run([&] { return Object().UnRegister(com::FromBstr(Name), Quiet, ShowErrors); },
                   Result);
    }
    HRESULT STDMETHODCALLTYPE UnRegisterFile(BSTR CPXFile, VARIANT_BOOL Quiet,
                                             VARIANT_BOOL ShowErrors,
                                             VARIANT_BOOL* Result) override {
        return Run(
            [&] { return Object().UnRegisterFile(com::FromBstr(CPXFile), Quiet, ShowErrors); },
            Result);
    }
};

}  // namespace

IUnknown* MakeCPXFileObject(com::ComServer& server, std::unique_ptr<ServedObject> object) {
    return static_cast<_CPXFile*>(new CPXFileObject(server, std::move(object)));
}

}  // namespace trx
