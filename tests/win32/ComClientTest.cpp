// vxRegCPX.CPXFile, vxTRXVer.Version and VXBComboServer.VXComboDB as a C++
// client of the suite uses them: registered with /RegServer, created by COM,
// called late-bound by name through IDispatch and early-bound through the
// interface of the type library; errors, events through a connection point,
// the record set, unregistration and the servers' end.

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"

#include <ocidl.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "VXBComboServer.h"
#include "automation/com/ComValue.h"
#include "combolist/VXComboDB.h"
#include "common/Text.h"
#include "platform/win32/WideText.h"
#include "tests/support/TempDir.h"
#include "tests/win32/ProgramProbe.h"
#include "vxRegCPX.h"
#include "vxTRXVer.h"

namespace trx::test {
namespace {

template <class T>
struct Held {
    T* p = nullptr;
    ~Held() { Reset(); }
    void Reset() {
        if (p != nullptr) {
            p->Release();
            p = nullptr;
        }
    }
    T* operator->() const { return p; }
};

std::string Text(BSTR text) {
    std::string utf8 = ToUtf8(com::FromBstr(text));
    SysFreeString(text);
    return utf8;
}

std::u16string ControlPanelEntry(const std::u16string& key) {
    wchar_t value[512] = {};
    DWORD bytes = sizeof(value);
    if (RegGetValueW(
            HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\vxtControlPanel\\Entries",
            win32::Wide(key).c_str(), RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
        return u"<absent>";
    }
    return win32::FromWide(value);
}

// The running process of the program file `program` (a full path, so that a
// server left over from another test's folder is not taken for it); null
// when there is none.
HANDLE FindProcess(const std::u16string& program) {
    const std::wstring wanted = win32::Wide(program);
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    HANDLE found = nullptr;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == nullptr;
         more = Process32NextW(snapshot, &entry)) {
        const HANDLE process =
            OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                        entry.th32ProcessID);
        if (process == nullptr) {
            continue;
        }
        wchar_t image[MAX_PATH];
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, image, &size) &&
            _wcsicmp(image, wanted.c_str()) == 0) {
            found = process;
        } else {
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return found;
}

class ComClient : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::filesystem::path examples(TRX_EXAMPLES_DIR);
        for (const char* built : {TRX_VXREGCPX_EXE, TRX_VXTRXVER_EXE}) {
            std::filesystem::copy_file(built,
                                       dir_.Path() / std::filesystem::path(built).filename());
        }
        for (const char* file : {"demo.cpx", "demo-tool", "demo.svg", "vxTRX.ini"}) {
            std::filesystem::copy_file(examples / file, dir_ / file);
        }
        for (const char* program : {"vxRegCPX.exe", "vxTRXVer.exe"}) {
            Register(program, u"/RegServer");
        }
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    void TearDown() override {
        CoUninitialize();
        RunProgram(Path("vxRegCPX.exe"), u"/UnRegServer", Path(""));
        RunProgram(Path("vxTRXVer.exe"), u"/UnRegServer", Path(""));
        // Every object is gone, so each server ends within milliseconds. One
        // that does not fails this test and is ended, so that it neither
        // keeps its folder nor holds the run's output open.
        for (const char* program : {"vxRegCPX.exe", "vxTRXVer.exe"}) {
            const HANDLE server = FindProcess(Path(program));
            if (server == nullptr) {
                continue;
            }
            if (WaitForSingleObject(server, 10000) != WAIT_OBJECT_0) {
                ADD_FAILURE() << program << " still runs 10 s after the test released its objects";
                TerminateProcess(server, 1);
                WaitForSingleObject(server, 5000);
            }
            CloseHandle(server);
        }
    }

    std::u16string Path(const char* name) const { return (dir_.Path() / name).u16string(); }

    void Register(const char* program, const char16_t* switches) {
        const ProgramRun run = RunProgram(Path(program), switches, Path(""));
        ASSERT_EQ(run.exitCode, 0u) << run.err;
    }

    TempDir dir_;
};

// Calls a member by name with positional arguments, as a script does.
HRESULT CallByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
                   VARIANT* result, EXCEPINFO* error = nullptr) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (const HRESULT found = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id); FAILED(found)) {
        return found;
    }
    std::reverse(args.begin(), args.end());  // DISPPARAMS holds them last first
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, error, nullptr);
}

VARIANT Bool(bool value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

TEST_F(ComClient, LateBoundByNameRegistersAndRemovesTheDemoEntry) {
    CLSID clsid{};
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"vxRegCPX.CPXFile", &clsid));
    Held<IDispatch> file;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                              reinterpret_cast<void**>(&file.p)));
    VARIANT path;
    V_VT(&path) = VT_BSTR;
    V_BSTR(&path) = com::ToBstr(Path("demo.cpx"));

    // ShowErrors left out: it takes its default.
    VARIANT result;
    VariantInit(&result);
    ASSERT_HRESULT_SUCCEEDED(CallByName(file.p, L"Register", {path, Bool(true)}, &result));
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    EXPECT_EQ(ControlPanelEntry(u"TRXDemo"), u"TRX Demo-Modul");

    VariantInit(&result);
    ASSERT_HRESULT_SUCCEEDED(
        CallByName(file.p, L"UnRegisterFile", {path, Bool(true), Bool(true)}, &result));
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    EXPECT_EQ(ControlPanelEntry(u"TRXDemo"), u"<absent>");

    // The required path left out: refused by the type library, nothing runs.
    EXPECT_EQ(CallByName(file.p, L"Register", {}, &result), DISP_E_BADPARAMCOUNT);

    // A path longer than the kernel's profile functions take: a clean False,
    // and the server serves on, this object and a new one.
    VARIANT tooLong;
    V_VT(&tooLong) = VT_BSTR;
    V_BSTR(&tooLong) = com::ToBstr(std::u16string(32767, u'a'));
    VariantInit(&result);
    EXPECT_EQ(CallByName(file.p, L"Register", {tooLong, Bool(true)}, &result), S_OK);
    EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);
    VariantClear(&tooLong);
    Held<IDispatch> other;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                              reinterpret_cast<void**>(&other.p)));
    for (IDispatch* object : {file.p, other.p}) {
        VariantInit(&result);
        EXPECT_EQ(CallByName(object, L"UnRegisterFile", {path, Bool(true)}, &result), S_OK);
        EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    }
    VariantClear(&path);
}

TEST_F(ComClient, EarlyBoundReadsTheRecordAndCouplesBuildAndDate) {
    Held<_Version> version;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_Version, nullptr, CLSCTX_LOCAL_SERVER,
                                              IID__Version, reinterpret_cast<void**>(&version.p)));
    BSTR text = nullptr;
    LONG number = 0;
    DATE date = 0;
    ASSERT_HRESULT_SUCCEEDED(version->get_Version(&text));
    EXPECT_EQ(Text(text), "4.1");
    ASSERT_HRESULT_SUCCEEDED(version->get_RequiredDBVersion(&text));
    EXPECT_EQ(Text(text), "4010");
    ASSERT_HRESULT_SUCCEEDED(version->get_Build(&number));
    EXPECT_EQ(number, 7743);
    ASSERT_HRESULT_SUCCEEDED(version->get_BuildIndex(&number));
    EXPECT_EQ(number, 2);
    ASSERT_HRESULT_SUCCEEDED(version->get_BuildDate(&date));
    EXPECT_EQ(date, 43811.0);  // 12.12.2019

    ASSERT_HRESULT_SUCCEEDED(version->put_Build(1));
    ASSERT_HRESULT_SUCCEEDED(version->get_BuildDate(&date));
    EXPECT_EQ(date, 36069.0);                                   // 01.10.1998
    ASSERT_HRESULT_SUCCEEDED(version->put_BuildDate(36526.0));  // 01.01.2000
    ASSERT_HRESULT_SUCCEEDED(version->get_Build(&number));
    EXPECT_EQ(number, 458);

    // The alias names the same interface.
    Held<IUnknown> alias;
    EXPECT_HRESULT_SUCCEEDED(
        version->QueryInterface(com::GuidOf(u"{0A677E1D-1DB0-47FA-8D0D-AC596884BC57}"),
                                reinterpret_cast<void**>(&alias.p)));
}

std::string ErrorObjectText() {
    Held<IErrorInfo> error;
    if (GetErrorInfo(0, &error.p) != S_OK) {
        return "<none>";
    }
    BSTR source = nullptr;
    BSTR description = nullptr;
    error->GetSource(&source);
    error->GetDescription(&description);
    return Text(source) + ": " + Text(description);
}

// The server's side of a failure: the error object that COM carries to the
// client, with the type library's name where the error names no source.
TEST(ComError, GoesOutAsHresultWithErrorObject) {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    EXPECT_EQ(static_cast<unsigned long>(com::Report(OverflowError(), u"vxTRXVer", IID__Version)),
              0x800A0006ul);
    EXPECT_EQ(ErrorObjectText(), "vxTRXVer: Überlauf");
    const AutomationError own(static_cast<std::int32_t>(0x80041388u), u"VXBComboServer", u"x");
    EXPECT_EQ(static_cast<unsigned long>(com::Report(own, u"vxTRXVer", IID__Version)),
              0x80041388ul);
    EXPECT_EQ(ErrorObjectText(), "VXBComboServer: x");
    CoUninitialize();
}

TEST_F(ComClient, OverflowingBuildFailsTheCreation) {
    WriteFile(dir_ / "vxTRX.ini", "[Common]\r\nVersion=4.1\r\nBuild=3000000000\r\n");
    Held<IUnknown> version;
    const HRESULT created = CoCreateInstance(CLSID_Version, nullptr, CLSCTX_LOCAL_SERVER,
                                             IID_IUnknown, reinterpret_cast<void**>(&version.p));
    EXPECT_EQ(static_cast<unsigned long>(created), 0x800A0006ul);
    // Windows carries the server's error object to the client; Wine 8 does
    // not carry it across processes, so the client may see none.
    const std::string error = ErrorObjectText();
    if (error != "<none>") {
        EXPECT_EQ(error, "vxTRXVer: Überlauf");
    }
    std::cout << "error object after the failed creation: " << error << "\n";
}

TEST_F(ComClient, AfterUnRegServerTheClassIsGone) {
    Register("vxTRXVer.exe", u"/UnRegServer");
    CLSID clsid{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID(L"vxTRXVer.Version", &clsid)));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            L"Software\\Classes\\CLSID\\{F1EC2A12-F8A1-4962-9CBD-0DF1A4DBDB1A}", 0,
                            KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    Held<IUnknown> version;
    EXPECT_EQ(CoCreateInstance(CLSID_Version, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&version.p)),
              REGDB_E_CLASSNOTREG);
}

// A client's filter as desktop programs register one: a rejected call is
// retried after 100 ms, for up to a minute.
class RetryingFilter final : public IMessageFilter {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (iid != IID_IUnknown && iid != IID_IMessageFilter) {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        *result = static_cast<IMessageFilter*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed, DWORD rejection) override {
        if (rejection == SERVERCALL_RETRYLATER) {
            ++retries;
        }
        return elapsed < 60000 ? 100 : static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }
    std::atomic<int> retries = 0;
};

HWND WaitForBox(const wchar_t* title, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (const HWND box = FindWindowW(L"#32770", title)) {
            return box;
        }
        Sleep(100);
    }
    return nullptr;
}

// While a script's call shows its message box, a second client's call does
// not run beside it. Windows asks the client to retry, and a client with a
// message filter waits until the box is closed. Wine 8 does not implement
// the retry and would run the call inside the box; the server refuses it
// there (RPC_E_CALL_REJECTED), and the client calls again.
TEST_F(ComClient, SecondClientDoesNotRunWhileACallShowsItsBox) {
    WriteFile(dir_ / "box.vbs", "CreateObject(\"vxRegCPX.CPXFile\").Register \"" +
                                    ToUtf8(Path("demo.cpx")) + "\"\r\n");
    std::wstring command = L"cscript.exe //nologo \"" + win32::Wide(Path("box.vbs")) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION script{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &script));
    const HWND box = WaitForBox(L"vxRegCPX", 30);
    ASSERT_NE(box, nullptr);

    RetryingFilter filter;
    IMessageFilter* previous = nullptr;
    CoRegisterMessageFilter(&filter, &previous);
    Held<_CPXFile> file;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_CPXFile, nullptr, CLSCTX_LOCAL_SERVER,
                                              IID__CPXFile, reinterpret_cast<void**>(&file.p)));
    // The person closes the box once the call has been turned away at least
    // once, or has come back.
    std::atomic<bool> returned = false;
    std::atomic<bool> closing = false;
    std::thread person([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (filter.retries == 0 && !returned && std::chrono::steady_clock::now() < deadline) {
            Sleep(20);
        }
        closing = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    VARIANT_BOOL result = VARIANT_FALSE;
    BSTR key = com::ToBstr(u"TRXDemo");
    const HRESULT during = file->UnRegister(key, VARIANT_TRUE, VARIANT_FALSE, &result);
    const bool afterTheBox = closing;
    returned = true;
    if (during == RPC_E_CALL_REJECTED) {
        EXPECT_TRUE(IsWindow(box)) << "refused although no call was running";
    } else {
        EXPECT_HRESULT_SUCCEEDED(during);
        EXPECT_GT(filter.retries, 0);
        EXPECT_TRUE(afterTheBox) << "served while the box was open";
    }
    person.join();
    // The box is closed: the call is served.
    for (int i = 0; i < 50 && IsWindow(box); ++i) {
        Sleep(100);
    }
    EXPECT_HRESULT_SUCCEEDED(file->UnRegister(key, VARIANT_TRUE, VARIANT_FALSE, &result));
    EXPECT_EQ(result, VARIANT_TRUE);
    SysFreeString(key);
    file.Reset();
    CoRegisterMessageFilter(previous, nullptr);
    EXPECT_EQ(WaitForSingleObject(script.hProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(script.hProcess);
    CloseHandle(script.hThread);
}

// Both servers end after their last object is released; the time it takes
// is printed, for the documentation.
TEST_F(ComClient, ServersEndAfterTheirLastObject) {
    struct Case {
        const CLSID& clsid;
        const char* exe;
    };
    for (const Case c :
         {Case{CLSID_CPXFile, "vxRegCPX.exe"}, Case{CLSID_Version, "vxTRXVer.exe"}}) {
        Held<IUnknown> first;
        Held<IUnknown> second;
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(c.clsid, nullptr, CLSCTX_LOCAL_SERVER,
                                                  IID_IUnknown,
                                                  reinterpret_cast<void**>(&first.p)));
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(c.clsid, nullptr, CLSCTX_LOCAL_SERVER,
                                                  IID_IUnknown,
                                                  reinterpret_cast<void**>(&second.p)));
        const HANDLE server = FindProcess(Path(c.exe));
        ASSERT_NE(server, nullptr);
        first.Reset();
        // One object is left: the server stays.
        EXPECT_EQ(WaitForSingleObject(server, 500), static_cast<DWORD>(WAIT_TIMEOUT));
        const auto released = std::chrono::steady_clock::now();
        second.Reset();
        EXPECT_EQ(WaitForSingleObject(server, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - released)
                            .count();
        std::cout << c.exe << " ended " << ms << " ms after its last object was released\n";
        CloseHandle(server);
    }
}

// The client's side of VXComboDB's events: records each one, and may call
// the object from its DataSourceReady handler, as a client's handler can.
class EventSink final : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != DIID___VXComboDB) {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        *result = static_cast<IDispatch*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (id == 1 && params->cArgs == 1 && V_VT(&params->rgvarg[0]) == VT_BSTR) {
            events.push_back("DataSourceReady " +
                             ToUtf8(com::FromBstr(V_BSTR(&params->rgvarg[0]))));
            if (callBack != nullptr) {
                CallBack();
            }
        } else if (id == 2 && params->cArgs == 0) {
            events.push_back("Ready");
        } else {
            events.push_back("unexpected " + std::to_string(id));
        }
        return S_OK;
    }

    std::vector<std::string> events;
    // Set: the DataSourceReady handler calls ComboList("Kunden") on it.
    IDispatch* callBack = nullptr;
    HRESULT nestedResult = S_OK;
    EXCEPINFO nestedError{};
    std::chrono::steady_clock::duration nestedTook{};

  private:
    void CallBack() {
        IDispatch* object = std::exchange(callBack, nullptr);  // once
        VARIANT name;
        V_VT(&name) = VT_BSTR;
        V_BSTR(&name) = com::ToBstr(u"Kunden");
        DISPPARAMS args{&name, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        const auto started = std::chrono::steady_clock::now();
        nestedResult = object->Invoke(0x68030000, IID_NULL, 0, DISPATCH_PROPERTYGET, &args, &result,
                                      &nestedError, nullptr);
        nestedTook = std::chrono::steady_clock::now() - started;
        VariantClear(&result);
        VariantClear(&name);
    }
};

class ComboClient : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy_file(TRX_VXBCBOSV_EXE, dir_.Path() / "VXBCboSv.exe");
        const ProgramRun run = RunProgram(Path("VXBCboSv.exe"), u"/RegServer", Path(""));
        ASSERT_EQ(run.exitCode, 0u) << run.err;
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_VXComboDB, nullptr, CLSCTX_LOCAL_SERVER,
                                                  IID__VXComboDB,
                                                  reinterpret_cast<void**>(&db_.p)));
        Held<IConnectionPointContainer> container;
        ASSERT_HRESULT_SUCCEEDED(db_->QueryInterface(IID_IConnectionPointContainer,
                                                     reinterpret_cast<void**>(&container.p)));
        ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(DIID___VXComboDB, &point_.p));
        ASSERT_HRESULT_SUCCEEDED(point_->Advise(&sink_, &cookie_));
    }
    void TearDown() override {
        if (point_.p != nullptr) {
            point_->Unadvise(cookie_);
        }
        point_.Reset();
        db_.Reset();
        CoUninitialize();
        RunProgram(Path("VXBCboSv.exe"), u"/UnRegServer", Path(""));
    }

    std::u16string Path(const char* name) const { return (dir_.Path() / name).u16string(); }

    // Init and the two lists of the example database, Kunden with a filter.
    void DefineLists() {
        ASSERT_HRESULT_SUCCEEDED(db_->Init(0));
        // The SQLite driver is the host's: it opens the file by its host path.
        BSTR connect = com::ToBstr(u"Driver=SQLite3;Database=" + FromUtf8(TRX_EXAMPLE_DB));
        BSTR kunden = com::ToBstr(u"Kunden");
        BSTR name = com::ToBstr(u"Name");
        BSTR nr = com::ToBstr(u"Nr");
        BSTR active = com::ToBstr(u"Aktiv=1");
        BSTR zahlungsarten = com::ToBstr(u"Zahlungsarten");
        BSTR bezeichnung = com::ToBstr(u"Bezeichnung");
        BSTR kuerzel = com::ToBstr(u"Kuerzel");
        BSTR none = com::ToBstr(u"");
        EXPECT_HRESULT_SUCCEEDED(db_->AddComboList(connect, kunden, name, nr, active));
        EXPECT_HRESULT_SUCCEEDED(
            db_->AddComboList(connect, zahlungsarten, bezeichnung, kuerzel, none));
        for (BSTR text :
             {connect, kunden, name, nr, active, zahlungsarten, bezeichnung, kuerzel, none}) {
            SysFreeString(text);
        }
    }

    HRESULT ComboList(const char16_t* name, IDispatch** result) {
        BSTR text = com::ToBstr(name);
        const HRESULT got = db_->get_ComboList(text, result);
        SysFreeString(text);
        return got;
    }

    TempDir dir_;
    Held<_VXComboDB> db_;
    Held<IConnectionPoint> point_;
    EventSink sink_;
    DWORD cookie_ = 0;
};

using Events = std::vector<std::string>;

TEST_F(ComboClient, ComboListBeforeTheFirstTickLoadsBothListsAndReturnsTheRows) {
    Held<IProvideClassInfo2> info;
    ASSERT_HRESULT_SUCCEEDED(
        db_->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info.p)));
    GUID events{};
    EXPECT_HRESULT_SUCCEEDED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
    EXPECT_EQ(events, DIID___VXComboDB);

    DefineLists();
    Held<IDispatch> list;
    ASSERT_HRESULT_SUCCEEDED(ComboList(u"Kunden", &list.p));
    EXPECT_EQ(sink_.events,
              (Events{"DataSourceReady Kunden", "DataSourceReady Zahlungsarten", "Ready"}));

    Held<Recordset> rs;
    ASSERT_HRESULT_SUCCEEDED(list->QueryInterface(IID_Recordset, reinterpret_cast<void**>(&rs.p)));
    LONG count = 0;
    ASSERT_HRESULT_SUCCEEDED(rs->get_RecordCount(&count));
    EXPECT_EQ(count, 4);
    // The whole list in one call: fields x records.
    VARIANT rows;
    VariantInit(&rows);
    VARIANT missing;  // Start and Fields left out
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    ASSERT_HRESULT_SUCCEEDED(rs->GetRows(-1, missing, missing, &rows));
    ASSERT_EQ(V_VT(&rows), VT_ARRAY | VT_VARIANT);
    LONG fields = 0;
    LONG records = 0;
    SafeArrayGetUBound(V_ARRAY(&rows), 1, &fields);
    SafeArrayGetUBound(V_ARRAY(&rows), 2, &records);
    EXPECT_EQ(fields, 1);
    EXPECT_EQ(records, 3);
    LONG at[2] = {0, 0};  // the field, then the record
    VARIANT cell;
    VariantInit(&cell);
    ASSERT_HRESULT_SUCCEEDED(SafeArrayGetElement(V_ARRAY(&rows), at, &cell));
    ASSERT_EQ(V_VT(&cell), VT_BSTR);
    EXPECT_EQ(Text(V_BSTR(&cell)), "Bäckerei Öztürk");
    at[0] = 1;
    at[1] = 3;
    ASSERT_HRESULT_SUCCEEDED(SafeArrayGetElement(V_ARRAY(&rows), at, &cell));
    ASSERT_EQ(V_VT(&cell), VT_I4);
    EXPECT_EQ(V_I4(&cell), 1005);
    VariantClear(&rows);
    VARIANT_BOOL eof = VARIANT_FALSE;
    ASSERT_HRESULT_SUCCEEDED(rs->get_EOF(&eof));
    EXPECT_EQ(eof, VARIANT_TRUE);

    // The lists are loaded: no further run, no further events.
    Held<IDispatch> again;
    ASSERT_HRESULT_SUCCEEDED(ComboList(u"Zahlungsarten", &again.p));
    EXPECT_NE(again.p, nullptr);
    EXPECT_EQ(sink_.events.size(), 3u);

    // Refresh of a name never defined: the number the server reports on
    // every platform.
    BSTR unknown = com::ToBstr(u"Lieferanten");
    EXPECT_EQ(db_->Refresh(unknown), static_cast<HRESULT>(kErrComboNotDefined));
    SysFreeString(unknown);
}

TEST_F(ComboClient, TheTimerLoadsBetweenCallsAndTellsTheSink) {
    DefineLists();
    // Nothing is loaded inside the calls; the ticks come through the
    // server's own loop once they have returned.
    EXPECT_TRUE(sink_.events.empty());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sink_.events.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(20);
    }
    EXPECT_EQ(sink_.events,
              (Events{"DataSourceReady Kunden", "DataSourceReady Zahlungsarten", "Ready"}));
}

// A ComboList from a DataSourceReady handler during the first load finds
// the run in progress: it waits its ten seconds and fails with the time-out.
TEST_F(ComboClient, NestedComboListDuringAFirstLoadTimesOut) {
    DefineLists();
    Held<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(
        db_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch.p)));
    sink_.callBack = dispatch.p;
    Held<IDispatch> list;
    ASSERT_HRESULT_SUCCEEDED(ComboList(u"Kunden", &list.p));
    EXPECT_NE(list.p, nullptr);

    EXPECT_EQ(sink_.nestedResult, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<unsigned long>(sink_.nestedError.scode), 0x80041388ul);
    EXPECT_EQ(Text(sink_.nestedError.bstrSource), "VXBComboServer");
    EXPECT_EQ(Text(sink_.nestedError.bstrDescription),
              "Es dauerte zu lange, bis die Aktion ausgeführt werden konnte.");
    SysFreeString(sink_.nestedError.bstrHelpFile);
    const double seconds = std::chrono::duration<double>(sink_.nestedTook).count();
    std::cout << "the nested ComboList failed after " << seconds << " s\n";
    EXPECT_GE(seconds, 9.5);
    // The run went on after the handler: both lists and Ready.
    EXPECT_EQ(sink_.events,
              (Events{"DataSourceReady Kunden", "DataSourceReady Zahlungsarten", "Ready"}));
}

}  // namespace
}  // namespace trx::test
