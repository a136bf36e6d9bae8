#include "combolist/com/VXComboDBCom.h"

#include "VXBComboServer.h"
#include "automation/com/DualObject.h"
#include "combolist/VXComboDB.h"
#include "combolist/com/RecordSetObject.h"

namespace trx {

namespace {

class VXComboDBObject final : public com::DualObject<_VXComboDB, VXComboDB> {
  public:
    VXComboDBObject(com::ComServer& server, std::unique_ptr<ServedObject> object,
                    std::shared_ptr<const RecordSetTypes> types)
        : DualObject(server, std::move(object)), types_(std::move(types)) {}

    HRESULT STDMETHODCALLTYPE Init(LONG pDmy) override {
        return Run([&] { Object().Init(static_cast<std::int32_t>(pDmy)); });
    }
    HRESULT STDMETHODCALLTYPE AddComboList(BSTR connectstring, BSTR tableorquery,
                                           BSTR columnvisible, BSTR columnItemData,
                                           BSTR wherepart) override {
        return Run([&] {
            Object().AddComboList(com::FromBstr(connectstring), com::FromBstr(tableorquery),
                                  com::FromBstr(columnvisible), com::FromBstr(columnItemData),
                                  com::FromBstr(wherepart));
        });
    }
    HRESULT STDMETHODCALLTYPE Refresh(BSTR tableorquery) override {
        return Run([&] { Object().Refresh(com::FromBstr(tableorquery)); });
    }
    // Nothing (a null object) for a name never defined or a list not loaded.
    HRESULT STDMETHODCALLTYPE get_ComboList(BSTR tableorquery, IDispatch** Result) override {
        if (Result == nullptr) {
            return E_POINTER;
        }
        *Result = nullptr;
        return this->Guarded([&] {
            const RecordSetRef rows = Object().ComboList(com::FromBstr(tableorquery));
            if (!rows) {
                return S_OK;
            }
            *Result = MakeRecordSetObject(types_, rows, &Server());
            return *Result == nullptr ? E_OUTOFMEMORY : S_OK;
        });
    }

  private:
    std::shared_ptr<const RecordSetTypes> types_;
};

}  // namespace

com::ComObjectMaker VXComboDBObjects() {
    // The record set's type information, read once from the server's type
    // library when the first object is made.
    auto types = std::make_shared<std::shared_ptr<const RecordSetTypes>>();
    return [types](com::ComServer& server, std::unique_ptr<ServedObject> object) -> IUnknown* {
        if (!*types) {
            *types = std::make_shared<const RecordSetTypes>(server.TypeLibrary());
        }
        return static_cast<_VXComboDB*>(new VXComboDBObject(server, std::move(object), *types));
    };
}

}  // namespace trx
