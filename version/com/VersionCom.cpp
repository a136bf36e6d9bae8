#include "version/com/VersionCom.h"

#include "automation/com/DualObject.h"
#include "vxTRXVer.h"

namespace trx {

namespace {

class VersionObject final : public com::DualObject<_Version> {
  public:
    using DualObject::DualObject;

    HRESULT STDMETHODCALLTYPE put_Version(BSTR vData) override {
        return Put(u"Version", com::FromBstr(vData));
    }
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* Result) override { return Get(u"Version", Result); }
    HRESULT STDMETHODCALLTYPE put_Build(LONG vData) override {
        return Put(u"Build", static_cast<std::int32_t>(vData));
    }
    HRESULT STDMETHODCALLTYPE get_Build(LONG* Result) override { return Get(u"Build", Result); }
    HRESULT STDMETHODCALLTYPE put_BuildIndex(LONG vData) override {
        return Put(u"BuildIndex", static_cast<std::int32_t>(vData));
    }
    HRESULT STDMETHODCALLTYPE get_BuildIndex(LONG* Result) override {
        return Get(u"BuildIndex", Result);
    }
    HRESULT STDMETHODCALLTYPE put_BuildDate(DATE vData) override {
        return Put(u"BuildDate", double{vData});
    }
    HRESULT STDMETHODCALLTYPE get_BuildDate(DATE* Result) override {
        return Get(u"BuildDate", Result);
    }
    HRESULT STDMETHODCALLTYPE put_RequiredDBVersion(BSTR vData) override {
        return Put(u"RequiredDBVersion", com::FromBstr(vData));
    }
    HRESULT STDMETHODCALLTYPE get_RequiredDBVersion(BSTR* Result) override {
        return Get(u"RequiredDBVersion", Result);
    }
};

}  // namespace

IUnknown* MakeVersionObject(com::ComServer& server, std::unique_ptr<ServedObject> object) {
    return static_cast<_Version*>(new VersionObject(server, std::move(object)));
}

}  // namespace trx
