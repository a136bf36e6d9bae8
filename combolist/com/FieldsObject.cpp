#include "combolist/com/FieldsObject.h"

#include <oleauto.h>

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "automation/com/ComValue.h"
#include "automation/com/RefCounted.h"
#include "combolist/com/FieldObject.h"

namespace trx {

namespace {

// The fields' enumeration for For Each: a snapshot of field objects.
class FieldEnumeration final : public com::RefCounted<IEnumVARIANT> {
  public:
    explicit FieldEnumeration(std::vector<IComboField*> fields) : fields_(std::move(fields)) {}
    ~FieldEnumeration() {
        for (IComboField* field : fields_) {
            field->Release();
        }
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        ULONG given = 0;
        for (; given < count && next_ < fields_.size(); ++given, ++next_) {
            VariantInit(&out[given]);
            fields_[next_]->AddRef();
            V_VT(&out[given]) = VT_DISPATCH;
            V_DISPATCH(&out[given]) = fields_[next_];
        }
        if (fetched != nullptr) {
            *fetched = given;
        }
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min(fields_.size(), next_ + count);
        return next_ < fields_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
        if (copy == nullptr) {
            return E_POINTER;
        }
        for (IComboField* field : fields_) {
            field->AddRef();
        }
        auto* clone = new (std::nothrow) FieldEnumeration(fields_);
        if (clone == nullptr) {
            *copy = nullptr;
            return E_OUTOFMEMORY;
        }
        clone->next_ = next_;
        clone->AddRef();
        *copy = clone;
        return S_OK;
    }

  private:
    std::vector<IComboField*> fields_;
    std::size_t next_ = 0;
};

}  // namespace

FieldsObject::FieldsObject(std::shared_ptr<const RecordSetTypes> types,
                           std::shared_ptr<com::RecordSetCursor> cursor, com::ComServer* server)
    : RecordSetPart(types, types->fields, std::move(cursor), server) {}

HRESULT FieldsObject::get_Item(VARIANT Index, IComboField** Result) {
    return Guarded([&] {
        if (Result == nullptr) {
            return E_POINTER;
        }
        *Result = nullptr;
        const std::size_t column = ColumnOf(Index);
        *Result = FieldObject::Make(Types(), SharedCursor(), Server(), column);
        return S_OK;
    });
}

HRESULT FieldsObject::get_Count(LONG* Result) {
    return Guarded([&] { return PutLong(static_cast<long>(Rows().Rows().FieldCount()), Result); });
}

HRESULT FieldsObject::get__NewEnum(IUnknown** Result) {
    return Guarded([&] {
        if (Result == nullptr) {
            return E_POINTER;
        }
        std::vector<IComboField*> fields;
        for (std::size_t c = 0; c < Rows().Rows().FieldCount(); ++c) {
            fields.push_back(FieldObject::Make(Types(), SharedCursor(), Server(), c));
        }
        auto* enumeration = new FieldEnumeration(std::move(fields));
        enumeration->AddRef();
        *Result = enumeration;
        return S_OK;
    });
}

// _NewEnum answers as a property get and as a method: JScript's Enumerator
// calls it as a method. Writing through the default member (rs("Name") = x,
// or Fields("Name") = x) writes the field's Value, which refuses it.
HRESULT FieldsObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* badArgument) {
    if (id == DISPID_NEWENUM && (flags & DISPATCH_METHOD) != 0) {
        flags |= DISPATCH_PROPERTYGET;
    }
    if (id == DISPID_VALUE && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 &&
        params != nullptr && params->cArgs == 2 && params->cNamedArgs == 1) {
        // For a put, rgvarg[0] is the new value and rgvarg[1] the index.
        DISPPARAMS index{&params->rgvarg[1], nullptr, 1, 0};
        VARIANT field;
        VariantInit(&field);
        HRESULT invoked = RecordSetPart::InvokeMember(DISPID_VALUE, DISPATCH_PROPERTYGET, &index,
                                                      &field, exception, badArgument);
        if (SUCCEEDED(invoked) && V_VT(&field) == VT_DISPATCH && V_DISPATCH(&field) != nullptr) {
            DISPPARAMS value{&params->rgvarg[0], params->rgdispidNamedArgs, 1, 1};
            invoked = V_DISPATCH(&field)->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                                 &value, nullptr, exception, badArgument);
        } else if (SUCCEEDED(invoked)) {
            invoked = E_UNEXPECTED;
        }
        VariantClear(&field);
        return invoked;
    }
    return RecordSetPart::InvokeMember(id, flags, params, result, exception, badArgument);
}

// A field by its position from 0, or by its name in any case, as in ADO.
std::size_t FieldsObject::ColumnOf(const VARIANT& index) const {
    return Rows().ColumnOf(index);
}

}  // namespace trx
