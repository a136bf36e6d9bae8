// vxRegCPX entry.cpx /q as a whole process, as an install script runs it,
// against a bare program that only creates a QCoreApplication and ends. Also
// checks that a quiet run never starts the GUI toolkit.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/ProcessRunner.h"

namespace {

namespace fs = std::filesystem;
using trx::bench::Clock;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The calls of `syscall` in a summary of strace -c; -1 when strace is missing or failed.
int CallsIn(const std::string& summary, const std::string& syscall) {
    std::istringstream lines(summary);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> word;
        for (std::string w; words >> w;) {
            word.push_back(w);
        }
        // "% time  seconds  usecs/call  calls  [errors]  syscall"
        if (word.size() >= 5 && word.back() == syscall) {
            return std::stoi(word[3]);
        }
    }
    return summary.find("% time") != std::string::npos ? 0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = trx::bench::SmokeRun(argc, argv);
    const int rounds = smoke ? 1 : trx::bench::RoundCount(21);

    trx::bench::ScratchDir dir;
    // The registrar finds Target and Icon in its own folder, so it runs from a copy.
    const fs::path programDir = dir.Path() / "programm";
    fs::create_directories(programDir);
    const fs::path registrar = programDir / "vxRegCPX";
    fs::copy_file(TRX_VXREGCPX, registrar);
    std::ofstream(programDir / "demo-tool") << "#!/bin/sh\n";
    std::ofstream(programDir / "demo.svg") << "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n";
    const fs::path entry = dir.Path() / "entry.cpx";
    std::ofstream(entry) << "[Reginfo]\r\nKey=TRXBench\r\nName=Messung\r\nTarget=demo-tool\r\n"
                            "Icon=demo.svg\r\nDescription=Ein Eintrag der Messung\r\n"
                            "StartType=1\r\n";
    const fs::path config = dir.Path() / "config";
    fs::create_directories(config);
    fs::create_directories(dir.Path() / "home");

    // No display: what an install script on a server or in a container sees.
    const auto env = trx::bench::Environment::Current({{"XDG_CONFIG_HOME", config.string()},
                                                       {"HOME", (dir.Path() / "home").string()},
                                                       {"DISPLAY", ""},
                                                       {"WAYLAND_DISPLAY", ""},
                                                       {"QT_QPA_PLATFORM", ""}});
    const std::vector<std::string> register_ = {registrar.string(), entry.string(), "/q"};
    const std::vector<std::string> bare = {TRX_BARE_QT_PROGRAM};

    auto ours = [&] {
        const auto start = Clock::now();
        trx::bench::Require(trx::bench::RunProcess(register_, env) == 0, "vxRegCPX /q failed");
        return trx::bench::MsSince(start);
    };
    auto baseline = [&] {
        const auto start = Clock::now();
        trx::bench::Require(trx::bench::RunProcess(bare, env) == 0, "the bare Qt program failed");
        return trx::bench::MsSince(start);
    };
    const auto result = trx::bench::Alternate(rounds, ours, baseline);
    trx::bench::Require(
        ReadAll(config / "Velmora" / "vxtControlPanel.ini").find("TRXBench") != std::string::npos,
        "the entry was not saved");

    // The syncs of one registration on disk, counted by strace.
    const fs::path summary = dir.Path() / "strace.txt";
    std::vector<std::string> traced = {
        "/usr/bin/strace", "-f", "-c", "-e", "trace=fsync,fdatasync", "-o", summary.string()};
    traced.insert(traced.end(), register_.begin(), register_.end());
    const bool traceRan = trx::bench::RunProcess(traced, env) == 0;
    const std::string syncs = traceRan ? ReadAll(summary) : std::string();
    const int fdatasyncs = CallsIn(syncs, "fdatasync");
    const int fsyncs = CallsIn(syncs, "fsync");
    std::printf("syncs of one registration on disk: %d fdatasync, %d fsync\n", fdatasyncs, fsyncs);

    // A GUI start with a display named but no platform plugin to reach it
    // ends the program at once; a quiet run must not notice either.
    const auto noGui = trx::bench::Environment::Current({{"XDG_CONFIG_HOME", config.string()},
                                                         {"HOME", (dir.Path() / "home").string()},
                                                         {"DISPLAY", ":97"},
                                                         {"QT_QPA_PLATFORM", "trx-kein-gui"}});
    const bool guiCaught = trx::bench::RunProcess({TRX_GUI_PROBE}, noGui) != 0;
    const bool quietWithoutGui = trx::bench::RunProcess(register_, noGui) == 0;
    trx::bench::Require(guiCaught, "the check does not catch a GUI start");

    // The same registration with the settings store in memory (tmpfs), where
    // syncing a file costs nothing: what the process costs without the disk.
    double inMemory = 0;
    double inMemoryBaseline = 0;
    const fs::path shm = "/dev/shm";
    if (!smoke && fs::is_directory(shm)) {
        trx::bench::ScratchDir memoryConfig(shm);
        const auto memoryEnv =
            trx::bench::Environment::Current({{"XDG_CONFIG_HOME", memoryConfig.Path().string()},
                                              {"HOME", (dir.Path() / "home").string()},
                                              {"DISPLAY", ""},
                                              {"WAYLAND_DISPLAY", ""},
                                              {"QT_QPA_PLATFORM", ""}});
        // Alternating with the bare program again, so that both see the same load.
        const auto memory = trx::bench::Alternate(
            rounds,
            [&] {
                const auto start = Clock::now();
                trx::bench::Require(trx::bench::RunProcess(register_, memoryEnv) == 0,
                                    "vxRegCPX /q failed");
                return trx::bench::MsSince(start);
            },
            baseline);
        inMemory = trx::bench::Fastest(memory.ours);
        inMemoryBaseline = trx::bench::Fastest(memory.baseline);
        std::printf(
            "on tmpfs: %.2f ms (median %.2f), bare QCoreApplication: %.2f ms (median %.2f)\n",
            inMemory, trx::bench::Median(memory.ours), inMemoryBaseline,
            trx::bench::Median(memory.baseline));
    }

    const double a = trx::bench::Fastest(result.ours);
    const double b = trx::bench::Fastest(result.baseline);
    std::printf(
        "vxRegCPX entry.cpx /q: %.2f ms (median %.2f), bare QCoreApplication: %.2f ms "
        "(median %.2f)\n",
        a, trx::bench::Median(result.ours), b, trx::bench::Median(result.baseline));
    // On disk the figure is mostly the disk's sync latency; the goal is on tmpfs.
    trx::bench::Row(
        "vxRegCPX entry.cpx /q, settings store on disk (vs bare QCoreApplication program)",
        trx::bench::Millis(a), trx::bench::Millis(b), a / b, 0);
    if (inMemory > 0) {
        trx::bench::Row(
            "vxRegCPX entry.cpx /q, settings store on tmpfs (vs bare QCoreApplication program)",
            trx::bench::Millis(inMemory), trx::bench::Millis(inMemoryBaseline),
            inMemory / inMemoryBaseline, 1.5);
    }
    if (fdatasyncs >= 0) {
        trx::bench::TextRow("vxRegCPX entry.cpx /q on disk: syncs (strace -c)",
                            std::to_string(fdatasyncs) + " fdatasync + " + std::to_string(fsyncs) +
                                " fsync of the folder",
                            "-", "-", "1 fdatasync", fdatasyncs == 1 ? "met" : "missed");
    }
    trx::bench::TextRow("vxRegCPX /q with a display named and no GUI platform",
                        quietWithoutGui ? "ends with 0" : "fails", "a GUI start fails", "-",
                        "never starts the GUI", quietWithoutGui ? "met" : "missed");
    return quietWithoutGui ? 0 : 1;
}
