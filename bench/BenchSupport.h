#pragma once

// What every benchmark shares: timing, the alternation of the two sides, a
// folder of its own, and the result rows that bench/run gathers into one table.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace trx::bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The fastest round is the least disturbed by other work on the machine.
inline double Fastest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Rounds {
    std::vector<double> ours;
    std::vector<double> baseline;
};

// Runs both sides once to warm caches, then rounds times each, swapping the
// order every round so that neither always runs on what the other left.
inline Rounds Alternate(int rounds, const std::function<double()>& ours,
                        const std::function<double()>& baseline) {
    ours();
    baseline();
    Rounds result;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            result.ours.push_back(ours());
            result.baseline.push_back(baseline());
        } else {
            result.baseline.push_back(baseline());
            result.ours.push_back(ours());
        }
    }
    return result;
}

// "--smoke" anywhere on the command line: tiny sizes and one round, only to
// show that the benchmark still builds and runs.
inline bool SmokeRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--smoke") {
            return true;
        }
    }
    return false;
}

// Rounds from TRX_BENCH_ROUNDS, else the benchmark's own choice.
inline int RoundCount(int fallback) {
    const char* text = std::getenv("TRX_BENCH_ROUNDS");
    const int rounds = text != nullptr ? std::atoi(text) : 0;
    return rounds > 0 ? rounds : fallback;
}

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "benchmark failed: %s\n", what.c_str());
    std::exit(1);
}

inline void Require(bool condition, const std::string& what) {
    if (!condition) {
        Fail(what);
    }
}

// One line of the result table, for bench/run to gather:
// ROW|measured|ours|baseline|ratio|goal|verdict. A row without a goal only
// informs; goal is the largest ratio that meets it.
inline void Row(const std::string& measured, const std::string& ours, const std::string& baseline,
                double ratio, double goal) {
    const char* verdict = goal <= 0 ? "" : (ratio <= goal ? "met" : "missed");
    std::string goalText = goal <= 0 ? "-" : "<= " + std::to_string(goal).substr(0, 4);
    std::printf("ROW|%s|%s|%s|%.2f|%s|%s\n", measured.c_str(), ours.c_str(), baseline.c_str(),
                ratio, goalText.c_str(), verdict);
    std::fflush(stdout);
}

// A row with free texts in the ratio and goal columns (a count, say).
inline void TextRow(const std::string& measured, const std::string& ours,
                    const std::string& baseline, const std::string& ratio, const std::string& goal,
                    const std::string& verdict) {
    std::printf("ROW|%s|%s|%s|%s|%s|%s\n", measured.c_str(), ours.c_str(), baseline.c_str(),
                ratio.c_str(), goal.c_str(), verdict.c_str());
    std::fflush(stdout);
}

inline std::string Millis(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms < 10 ? "%.2f ms" : "%.1f ms", ms);
    return text;
}

// A fresh folder below the temporary folder, removed with its contents.
class ScratchDir {
  public:
    explicit ScratchDir(
        const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
        std::random_device random;
        path_ = parent / ("trx-bench-" + std::to_string(getpid()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace trx::bench
