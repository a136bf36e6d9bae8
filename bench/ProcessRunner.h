#pragma once

// Starts a program with its own environment and waits for its end, so that
// a benchmark can time a whole process as an install script would run it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

namespace trx::bench {

struct Environment {
    std::vector<std::string> entries;

    // The current environment with these names set (or, with an empty
    // value, removed).
    static Environment Current(const std::vector<std::pair<std::string, std::string>>& changes) {
        Environment env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry(*e);
            bool changed = false;
            for (const auto& [name, value] : changes) {
                changed = changed || entry.starts_with(name + "=");
            }
            if (!changed) {
                env.entries.push_back(entry);
            }
        }
        for (const auto& [name, value] : changes) {
            if (!value.empty()) {
                env.entries.push_back(name + "=" + value);
            }
        }
        return env;
    }
};

// The exit status (128 + signal for a killed program, -1 when it cannot start).
// Standard output and error go to /dev/null unless keepOutput.
inline int RunProcess(const std::vector<std::string>& argv, const Environment& env,
                      bool keepOutput = false) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env.entries) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!keepOutput) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

}  // namespace trx::bench
