// Activation under Wine: CreateObject of each of our classes with its server
// not running, as a script makes it (CLSIDFromProgID, CoCreateInstance for
// IDispatch), and one late-bound call, until the call's result; against the
// same for trx_bench_minimal_com_server (one class, one IDispatch method).
// The object's release then ends its server, and the next activation waits
// until that process is gone. Wine's activation waits a whole second after
// it started a server before it looks for the class, so that figure cannot
// show a server's own start; each server is therefore also started directly,
// by this program, as COM starts it (-Embedding), and measured until its
// message loop runs and until an object has answered the same call. Each
// round does both for the four servers, in an order that turns by one each
// round; the figures are the medians of the rounds.
//
//   trx_activation_com_bench [--smoke]
//
// vxRegCPX.exe, vxTRXVer.exe (with vxTRX.ini beside it) and VXBCboSv.exe
// must be registered; the minimal server lies beside this program, which
// registers it for the run. Prints the figures and two ROW| lines for each class.

#include "platform/win32/Win32.h"

#include <tlhelp32.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/win32/ComBench.h"

namespace {

using namespace trx::bench;

constexpr wchar_t kMinimalProgId[] = L"TRXBench.Minimal";
constexpr wchar_t kMinimalClass[] = L"{8C25A66D-5316-4DB3-9236-45A389526D8A}";
constexpr wchar_t kMinimalProgram[] = L"trx_bench_minimal_com_server.exe";
constexpr DWORD kServerEnd = 10000;  // ms a released server may take to end

struct Server {
    const wchar_t* progId;
    const wchar_t* program;  // the process's file name
    const wchar_t* member;   // the call: a method or a property get
    WORD flags;
    std::function<std::vector<VARIANT>()> arguments;
};

// The running process of program, opened to wait for its end; null if none.
HANDLE RunningProcess(const wchar_t* program) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    HANDLE found = nullptr;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == nullptr;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, program) == 0) {
            found = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The folder of this program, where the servers lie too.
std::wstring OwnFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Waits for the end of the server's process, if one is left from before.
void AwaitNoneRunning(const Server& server) {
    if (const HANDLE left = RunningProcess(server.program)) {
        const bool ended = WaitForSingleObject(left, kServerEnd) == WAIT_OBJECT_0;
        CloseHandle(left);
        Require(ended, Narrow(server.program) + " is still running");
    }
}

// Creates the object as a script does and calls it once; ms is the time from
// start until the call's result. The object is the caller's to release.
IDispatch* CreateAndCall(const Server& server, Clock::time_point start, double& ms) {
    std::vector<VARIANT> arguments = server.arguments();
    CLSID id{};
    Check(CLSIDFromProgID(server.progId, &id), "CLSIDFromProgID(" + Narrow(server.progId) + ")");
    IDispatch* object = nullptr;
    Check(CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                           reinterpret_cast<void**>(&object)),
          "CreateObject(" + Narrow(server.progId) + ")");
    VARIANT result = Call(object, IdOf(object, server.member), server.flags, arguments);
    ms = MsSince(start);
    VariantClear(&result);
    for (VARIANT& argument : arguments) {
        VariantClear(&argument);
    }
    return object;
}

// Releases the object, which ends its server's process, and waits for that
// end. Wine 8's RPC can hang such a release for good: when it comes right
// after a call, the server may drop the interface's registration while its
// RPC worker still counts that call, and wait for the call to end
// (RpcServerUnregisterIf) after the count has already gone. The benchmark
// then fails instead of waiting: ending the server would not help, as Wine's
// RPC service would keep offering its class and no later round could run.
void ReleaseAndAwaitEnd(const Server& server, IDispatch* object, HANDLE process) {
    Require(process != nullptr, Narrow(server.program) + " is not running after CreateObject");
    const HANDLE released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([&] {
        Require(WaitForSingleObject(released, kServerEnd) == WAIT_OBJECT_0,
                "the release of the object of " + Narrow(server.progId) +
                    " hangs in Wine's RPC (a race of Wine 8 between a call's end and the "
                    "release); run the benchmark again");
    });
    object->Release();
    SetEvent(released);
    watchdog.join();
    CloseHandle(released);
    const bool ended = WaitForSingleObject(process, kServerEnd) == WAIT_OBJECT_0;
    CloseHandle(process);
    Require(ended, Narrow(server.program) + " does not end after its object's release");
}

// The first CreateObject, which has COM start the server, and one call: ms.
double Activate(const Server& server) {
    AwaitNoneRunning(server);
    double ms = 0;
    IDispatch* object = CreateAndCall(server, Clock::now(), ms);
    ReleaseAndAwaitEnd(server, object, RunningProcess(server.program));
    return ms;
}

struct Start {
    double ready;   // ms until the server's message loop runs
    double called;  // ms until its first object has answered one call
};

// The server started as COM starts it (-Embedding), but by this program, so
// that Wine's activation poll is left out: until its message loop waits for
// input (its class is offered then), and until an object has answered a call.
Start StartDirectly(const Server& server) {
    AwaitNoneRunning(server);
    std::wstring command = L"\"" + OwnFolder() + server.program + L"\" -Embedding";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const auto start = Clock::now();
    Require(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process) != FALSE,
            "starting " + Narrow(server.program));
    CloseHandle(process.hThread);
    Require(WaitForInputIdle(process.hProcess, kServerEnd) == 0,
            Narrow(server.program) + " does not reach its message loop");
    Start result{MsSince(start), 0};
    IDispatch* object = CreateAndCall(server, start, result.called);
    ReleaseAndAwaitEnd(server, object, process.hProcess);
    return result;
}

void SetText(HKEY root, const std::wstring& key, const std::wstring& value) {
    HKEY opened = nullptr;
    Check(HRESULT_FROM_WIN32(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &opened, nullptr)),
          "registering the minimal server");
    RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
}

const std::wstring kClasses = L"Software\\Classes\\";

// The minimal server, beside this program, as TRXBench.Minimal.
void RegisterMinimal() {
    SetText(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\" + kMinimalClass + L"\\LocalServer32",
            L"\"" + OwnFolder() + kMinimalProgram + L"\"");
    SetText(HKEY_LOCAL_MACHINE, kClasses + kMinimalProgId + L"\\CLSID", kMinimalClass);
}

void UnregisterMinimal() {
    for (const std::wstring& key :
         {kClasses + L"CLSID\\" + kMinimalClass, kClasses + kMinimalProgId}) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool smoke = argc >= 2 && std::wstring(argv[1]) == L"--smoke";
    const int rounds = smoke ? 1 : RoundCount(11);
    Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
    RegisterMinimal();

    const auto none = [] { return std::vector<VARIANT>{}; };
    const std::vector<Server> servers = {
        {kMinimalProgId, kMinimalProgram, L"Ping", DISPATCH_METHOD, none},
        // Removes an entry that is not there, quietly: one look into the
        // settings store.
        {L"vxRegCPX.CPXFile", L"vxRegCPX.exe", L"UnRegister", DISPATCH_METHOD,
         [] {
             VARIANT quiet;
             V_VT(&quiet) = VT_BOOL;
             V_BOOL(&quiet) = VARIANT_TRUE;
             return std::vector<VARIANT>{Text(L"TRXBench"), quiet};
         }},
        {L"vxTRXVer.Version", L"vxTRXVer.exe", L"Version", DISPATCH_PROPERTYGET, none},
        {L"VXBComboServer.VXComboDB", L"VXBCboSv.exe", L"Init", DISPATCH_METHOD,
         [] { return std::vector<VARIANT>{Integer(0)}; }},
    };

    // Wine's first activation of each program (its files read, its first
    // process set up) is not what a round measures.
    if (!smoke) {
        for (const Server& server : servers) {
            Activate(server);
        }
    }
    std::vector<std::vector<double>> ms(servers.size());
    std::vector<std::vector<double>> ready(servers.size());
    std::vector<std::vector<double>> called(servers.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < servers.size(); ++i) {
            const std::size_t which = (i + static_cast<std::size_t>(round)) % servers.size();
            ms[which].push_back(Activate(servers[which]));
            const Start start = StartDirectly(servers[which]);
            ready[which].push_back(start.ready);
            called[which].push_back(start.called);
        }
    }
    UnregisterMinimal();
    CoUninitialize();

    const auto print = [&](std::size_t i) {
        std::printf(
            "%s: CreateObject and call %.1f ms (fastest %.1f); started directly: message loop "
            "after %.1f ms, call answered after %.1f ms (fastest %.1f, %.1f); medians of %d "
            "rounds\n",
            Narrow(servers[i].progId).c_str(), Median(ms[i]), Fastest(ms[i]), Median(ready[i]),
            Median(called[i]), Fastest(ready[i]), Fastest(called[i]), rounds);
    };
    print(0);
    for (std::size_t i = 1; i < servers.size(); ++i) {
        print(i);
        const std::string name = Narrow(servers[i].progId);
        const std::string call = Narrow(servers[i].member);
        Row("first CreateObject of " + name + " and one call (" + call +
                "), server not running, under Wine (vs minimal COM server)",
            Millis(Median(ms[i])), Millis(Median(ms[0])), Median(ms[i]) / Median(ms[0]), 1.1);
        Row(Narrow(servers[i].program) + " -Embedding started by the client until one call (" +
                call + ") is answered, without Wine's activation poll (vs minimal COM server)",
            Millis(Median(called[i])), Millis(Median(called[0])),
            Median(called[i]) / Median(called[0]), 0);
    }
    return 0;
}
