#include "automation/com/ComValue.h"

#include "platform/win32/WideText.h"

namespace trx::com {

std::u16string FromBstr(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

BSTR ToBstr(std::u16string_view text) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

GUID GuidOf(std::u16string_view text) {
    GUID guid = GUID_NULL;
    const std::wstring wide = win32::Wide(text);
    if (FAILED(CLSIDFromString(wide.c_str(), &guid))) {
        return GUID_NULL;
    }
    return guid;
}

HRESULT HresultOf(std::int32_t number) {
    if (number > 0 && number <= 0xFFFF) {
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    }
    return number < 0 ? static_cast<HRESULT>(number) : E_FAIL;
}

HRESULT Report(const AutomationError& error, std::u16string_view fallbackSource, REFIID iid) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        const std::wstring source =
            win32::Wide(error.Source().empty() ? fallbackSource : error.Source());
        const std::wstring description = win32::Wide(error.Description());
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(source.c_str()));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return HresultOf(error.Number());
}

namespace {

template <class Out, class In>
HRESULT StoreAs(const Value& value, Out* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    const In* held = std::get_if<In>(&value);
    if (held == nullptr) {
        return DISP_E_TYPEMISMATCH;
    }
    *out = static_cast<Out>(*held);
    return S_OK;
}

}  // namespace

HRESULT Store(const Value& value, VARIANT_BOOL* out) {
    return StoreAs<VARIANT_BOOL, AutoBool>(value, out);
}

HRESULT Store(const Value& value, long* out) {
    return StoreAs<long, std::int32_t>(value, out);
}

HRESULT Store(const Value& value, DATE* out) {
    return StoreAs<DATE, double>(value, out);
}

HRESULT Store(const Value& value, BSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    const std::u16string* text = std::get_if<std::u16string>(&value);
    if (text == nullptr) {
        return DISP_E_TYPEMISMATCH;
    }
    *out = ToBstr(*text);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT ToVariant(const Value& value, VARIANT* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    VariantInit(out);
    switch (TypeOf(value)) {
        case ValueType::Empty:
            return S_OK;
        case ValueType::Boolean:
            V_VT(out) = VT_BOOL;
            return Store(value, &V_BOOL(out));
        case ValueType::Text:
            V_VT(out) = VT_BSTR;
            return Store(value, &V_BSTR(out));
        case ValueType::Int32:
            V_VT(out) = VT_I4;
            V_I4(out) = std::get<std::int32_t>(value);
            return S_OK;
        case ValueType::Date:
            V_VT(out) = VT_DATE;
            return Store(value, &V_DATE(out));
        case ValueType::RecordSet:
            break;
    }
    return E_INVALIDARG;
}

}  // namespace trx::com
