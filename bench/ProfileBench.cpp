// ReadINIValue of the last key of a 10,000-line profile file, against reading
// the same file once with a plain std::getline loop that looks for the key.
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "common/Text.h"
#include "platform/Profile.h"

namespace {

using trx::bench::Clock;

// Sections of 99 keys each, behind a section line: lines lines in all.
void WriteProfile(const std::filesystem::path& file, int lines) {
    std::ofstream out(file, std::ios::binary);
    int written = 0;
    for (int section = 0; written < lines; ++section) {
        out << "[Abschnitt" << section << "]\r\n";
        ++written;
        for (int key = 0; key < 99 && written < lines; ++key, ++written) {
            out << "Schluessel" << key << "=Wert " << section << '.' << key << "\r\n";
        }
    }
}

// The least a reader of the file must do: every line, and a look at its start.
std::size_t GetlineLoop(const std::filesystem::path& file, const std::string& key) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::size_t found = 0;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            found = line.size();
        }
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = trx::bench::SmokeRun(argc, argv);
    const int lines = smoke ? 200 : 10000;
    const int rounds = smoke ? 1 : trx::bench::RoundCount(15);
    const int repeats = smoke ? 1 : 20;  // one lookup takes well under a millisecond

    trx::bench::ScratchDir dir;
    const auto file = dir.Path() / "gross.ini";
    WriteProfile(file, lines);
    // The last line of the file is the last key of the last section.
    const int lastSection = (lines - 1) / 100;
    const int lastKey = (lines - 1) % 100 - 1;
    const std::u16string fileName = trx::FromUtf8(file.string());
    const std::u16string section = u"Abschnitt" + trx::FromUtf8(std::to_string(lastSection));
    const std::u16string key = u"Schluessel" + trx::FromUtf8(std::to_string(lastKey));
    const std::u16string expected =
        u"Wert " + trx::FromUtf8(std::to_string(lastSection) + "." + std::to_string(lastKey));
    const std::string keyPrefix = trx::ToUtf8(key) + "=";

    auto ours = [&] {
        const auto start = Clock::now();
        for (int i = 0; i < repeats; ++i) {
            trx::bench::Require(trx::ReadINIValue(fileName, section, key, u"") == expected,
                                "ReadINIValue did not find the last key");
        }
        return trx::bench::MsSince(start) / repeats;
    };
    auto baseline = [&] {
        const auto start = Clock::now();
        for (int i = 0; i < repeats; ++i) {
            trx::bench::Require(GetlineLoop(file, keyPrefix) > 0, "getline did not find the key");
        }
        return trx::bench::MsSince(start) / repeats;
    };
    const auto result = trx::bench::Alternate(rounds, ours, baseline);
    const double a = trx::bench::Fastest(result.ours);
    const double b = trx::bench::Fastest(result.baseline);
    std::printf(
        "profile file of %d lines: ReadINIValue %.3f ms (median %.3f), getline %.3f ms "
        "(median %.3f)\n",
        lines, a, trx::bench::Median(result.ours), b, trx::bench::Median(result.baseline));
    trx::bench::Row(
        "ReadINIValue, last key of " + std::to_string(lines) + " lines (vs std::getline loop)",
        trx::bench::Millis(a), trx::bench::Millis(b), a / b, 2.0);
    return 0;
}
