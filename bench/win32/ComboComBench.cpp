// ComboList through COM under Wine: a list of 10,000 rows delivered by
// VXBCboSv.exe and read whole with GetRows, against a minimal COM server
// (this program started with -Embedding) that answers one late-bound call
// with the same array, built once and copied for each call. Both sides are
// called late-bound through IDispatch, as a script calls them, and alternate
// round by round.
//
//   trx_combo_com_bench DATABASE [--smoke]
//
// DATABASE is the SQLite file (as the host's driver opens it) with the table
// Eintraege (Nr, Name: "Eintrag Nummer 000001", ...); VXBComboServer.VXComboDB
// must be registered. Prints the figures and one ROW| line for bench tables.

#include "platform/win32/Win32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/com/RefCounted.h"
#include "bench/win32/ComBench.h"

namespace {

using namespace trx::bench;

// The minimal server's class; registered by the client for the run.
const CLSID kBaselineClass = {
    0x965AC499, 0xA3D7, 0x42B2, {0xBE, 0x1E, 0x40, 0x2C, 0xA4, 0x9A, 0x4F, 0xD9}};
constexpr wchar_t kBaselineKey[] =
    L"Software\\Classes\\CLSID\\{965AC499-A3D7-42B2-BE1E-402CA49A4FD9}";
constexpr long kRows = 10000;

// The list as the server's GetRows gives it: fields x records.
SAFEARRAY* MakeRows(long rows) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {static_cast<ULONG>(rows), 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    VARIANT* cells = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void**>(&cells));
    for (long r = 0; r < rows; ++r) {
        wchar_t name[32];
        std::swprintf(name, 32, L"Eintrag Nummer %06ld", r + 1);
        V_VT(&cells[2 * r]) = VT_BSTR;
        V_BSTR(&cells[2 * r]) = SysAllocString(name);
        V_VT(&cells[2 * r + 1]) = VT_I4;
        V_I4(&cells[2 * r + 1]) = r + 1;
    }
    SafeArrayUnaccessData(array);
    return array;
}

// The minimal server: one object whose member 1 returns the array.
class Baseline final : public trx::com::RefCounted<IDispatch>, public IClassFactory {
  public:
    // With the server's own reference, given up once COM holds the class object.
    Baseline() : rows_(MakeRows(kRows)) { AddRef(); }
    ~Baseline() { SafeArrayDestroy(rows_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        return RefCounted::QueryInterface(iid, result);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return RefCounted::AddRef(); }
    // Once a client had its object, the server ends when only COM's
    // reference to the class object is left.
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = RefCounted::Release();
        if (left == 1 && made_) {
            PostQuitMessage(0);
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) {
            ids[i] = 1;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != 1 || result == nullptr) {
            return DISP_E_MEMBERNOTFOUND;
        }
        VariantInit(result);
        V_VT(result) = VT_ARRAY | VT_VARIANT;
        return SafeArrayCopy(rows_, &V_ARRAY(result));
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** result) override {
        made_ = true;
        return QueryInterface(iid, result);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  protected:
    void* OtherInterface(REFIID iid) override {
        return iid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
    }

  private:
    SAFEARRAY* rows_;
    bool made_ = false;
};

int Serve() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto* server = new Baseline();
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(kBaselineClass, static_cast<IClassFactory*>(server),
                                     CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
        return 1;
    }
    server->Release();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}

LONG RowsOf(const VARIANT& array) {
    LONG upper = -1;
    if (V_VT(&array) == (VT_ARRAY | VT_VARIANT)) {
        SafeArrayGetUBound(V_ARRAY(&array), 2, &upper);
    }
    return upper + 1;
}

int Measure(const std::wstring& database, bool smoke) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring server = L"\"" + std::wstring(self) + L"\"";
    HKEY key = nullptr;
    Check(HRESULT_FROM_WIN32(RegCreateKeyExW(
              HKEY_LOCAL_MACHINE, (std::wstring(kBaselineKey) + L"\\LocalServer32").c_str(), 0,
              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)),
          "registering the minimal server");
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    CLSID comboClass{};
    Check(CLSIDFromProgID(L"VXBComboServer.VXComboDB", &comboClass), "VXBComboServer.VXComboDB");
    IDispatch* db = nullptr;
    Check(CoCreateInstance(comboClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                           reinterpret_cast<void**>(&db)),
          "creating VXComboDB");
    IDispatch* baseline = nullptr;
    Check(CoCreateInstance(kBaselineClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                           reinterpret_cast<void**>(&baseline)),
          "creating the minimal server's object");

    Call(db, IdOf(db, L"Init"), DISPATCH_METHOD, {Integer(0)});
    Call(db, IdOf(db, L"AddComboList"), DISPATCH_METHOD,
         {Text(L"Driver=SQLite3;Database=" + database), Text(L"Eintraege"), Text(L"Name"),
          Text(L"Nr")});
    const DISPID comboList = IdOf(db, L"ComboList");
    VARIANT name = Text(L"Eintraege");
    const auto loadStart = Clock::now();
    VARIANT first = Call(db, comboList, DISPATCH_PROPERTYGET, {name});
    const double load = MsSince(loadStart);
    const DISPID getRows = IdOf(V_DISPATCH(&first), L"GetRows");
    VariantClear(&first);
    const DISPID rows = IdOf(baseline, L"Rows");

    const int rounds = smoke ? 1 : RoundCount(30);
    std::vector<double> ours;
    std::vector<double> theirs;
    LONG ourRows = 0;
    LONG theirRows = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        VARIANT rs = Call(db, comboList, DISPATCH_PROPERTYGET, {name});
        VARIANT array = Call(V_DISPATCH(&rs), getRows, DISPATCH_METHOD);
        ours.push_back(MsSince(start));
        ourRows = RowsOf(array);
        VariantClear(&array);
        VariantClear(&rs);

        start = Clock::now();
        VARIANT same = Call(baseline, rows, DISPATCH_METHOD);
        theirs.push_back(MsSince(start));
        theirRows = RowsOf(same);
        VariantClear(&same);
    }
    VariantClear(&name);
    db->Release();
    baseline->Release();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBaselineKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kBaselineKey);
    CoUninitialize();
    if (ourRows != kRows || theirRows != kRows) {
        std::fprintf(stderr, "trx_combo_com_bench: %ld and %ld rows, expected %ld\n", ourRows,
                     theirRows, kRows);
        return 1;
    }

    const double ratio = Fastest(ours) / Fastest(theirs);
    std::printf("first ComboList (the load run of %ld rows): %.1f ms\n", kRows, load);
    std::printf(
        "ComboList + GetRows: best %.2f ms, median %.2f ms; minimal server: best %.2f ms, "
        "median %.2f ms (%d rounds)\n",
        Fastest(ours), Median(ours), Fastest(theirs), Median(theirs), rounds);
    Row("ComboList of 10,000 rows through COM under Wine, with GetRows", Millis(Fastest(ours)),
        Millis(Fastest(theirs)), ratio, 1.15);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 &&
        (std::wstring(argv[1]) == L"-Embedding" || std::wstring(argv[1]) == L"/Embedding")) {
        return Serve();
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: trx_combo_com_bench DATABASE [--smoke]\n");
        return 2;
    }
    return Measure(argv[1], argc >= 3 && std::wstring(argv[2]) == L"--smoke");
}
