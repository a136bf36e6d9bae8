#include "version/com/VersionCom.h"

#include "automation/com/DualObject.h"
#include "version/Version.h"
#include "vxTRXVer.h"

namespace trx {

namespace {

class VersionObject final : public com::DualObject<_Version, Version> {
  public:
    using DualObject::DualObject;

    HRESULT STDMETHODCALLTYPE put_Version(BSTR vData) override {
        return Run([&] { Object().PutVersion(com::FromBstr(vData)); });
    }
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* Result) override {
        return Run([&] { return Object().GetVersion(); }, Result);
    }
    HRESULT STDMETHODCALLTYPE put_Build(LONG vData) override {
        return Run([&] { Object().PutBuild(static_cast<std::int32_t>(vData)); });
    }
    HRESULT STDMETHODCALLTYPE get_Build(LONG* Result) override {
        return Run([&] { return Object().GetBuild(); }, Result);
    }
    HRESULT STDMETHODCALLTYPE put_BuildIndex(LONG vData) override {
        return Run([&] { Object().PutBuildIndex(static_cast<std::int32_t>(vData)); });
    }
    HRESULT STDMETHODCALLTYPE get_BuildIndex(LONG* Result) override {
        return Run([&] { return Object().GetBuildIndex(); }, Result);
    }
    HRESULT STDMETHODCALLTYPE put_BuildDate(DATE vData) override {
        return Run([&] { Object().PutBuildDate(vData); });
    }
    HRESULT STDMETHODCALLTYPE get_BuildDate(DATE* Result) override {
        return Run([&] { return Object().GetBuildDate(); }, Result);
    }
    HRESULT STDMETHODCALLTYPE put_RequiredDBVersion(BSTR vData) override {
        return Run([&] { Object().PutRequiredDBVersion(com::FromBstr(vData)); });
    }
    HRESULT STDMETHODCALLTYPE get_RequiredDBVersion(BSTR* Result) override {
        return Run([&] { return Object().GetRequiredDBVersion(); }, Result);
    }
};

}  // namespace

IUnknown* MakeVersionObject(com::ComServer& server, std::unique_ptr<ServedObject> object) {
    return static_cast<_Version*>(new VersionObject(server, std::move(object)));
}

}  // namespace trx
