#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace trx::test {

// How to start a program for a reliability test.
struct ChildOptions {
    // The child's working folder; empty for the test's own, or "/" when the
    // child runs as the unprivileged user and may not enter the test's own.
    std::filesystem::path folder;
    // Variables to set (or, with an empty value, to remove) in the child's
    // environment; DISPLAY and WAYLAND_DISPLAY are always removed.
    std::vector<std::pair<std::string, std::string>> environment;
    // Runs the child as the unprivileged user (see UnprivilegedUser()); from
    // a copy of the program when that user may not run it where it lies.
    bool unprivileged = false;
    std::chrono::milliseconds deadline = std::chrono::seconds(120);
};

struct ChildResult {
    int status = -1;  // the exit status, or 128 + signal
    bool timedOut = false;
    std::string out;
    std::string err;
    long maxRssKiB = 0;  // the child's peak resident memory
    double seconds = 0;
};

// Runs argv[0] with its arguments to its end (or kills it at the deadline).
ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

// The user that file permissions stop: "nobody" when the tests run as root,
// else the user itself. Its uid and gid.
std::pair<unsigned, unsigned> UnprivilegedUser();

// Hands a path and its contents to the unprivileged user (for folders the
// child must write as that user) or opens folders for it to pass through.
void GiveToUnprivilegedUser(const std::filesystem::path& path);
void OpenForEveryone(const std::filesystem::path& folder);

// The resident memory of a running process, in KiB (0 when it is gone).
long ResidentKiB(int pid);

}  // namespace trx::test
