#pragma once

// What the Windows benchmarks share beside bench/BenchSupport.h: late-bound
// calls through IDispatch, as a script makes them, that end the benchmark
// when they fail.

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

namespace trx::bench {

inline void Check(HRESULT result, const std::string& what) {
    if (FAILED(result)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
        Fail(what + " failed: " + code);
    }
}

inline DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    Check(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), "GetIDsOfNames");
    return id;
}

// Invokes member id with args (first argument first); the arguments are the
// caller's to clear.
inline VARIANT Call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args = {}) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    VARIANT result;
    VariantInit(&result);
    Check(object->Invoke(id, IID_NULL, 0, flags, &params, &result, nullptr, nullptr), "Invoke");
    return result;
}

inline VARIANT Text(const std::wstring& text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text.c_str());
    return v;
}

inline VARIANT Integer(LONG value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

}  // namespace trx::bench
