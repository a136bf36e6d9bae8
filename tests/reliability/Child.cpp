#include "tests/reliability/Child.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace trx::test {

namespace {

std::string Slurp(int fd) {
    std::string text;
    char buffer[65536];
    lseek(fd, 0, SEEK_SET);
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

// An unlinked scratch file for a child's output: a pipe would need draining
// while the test waits, a file does not.
int ScratchFile() {
    char name[] = "/tmp/trx-child-XXXXXX";
    const int fd = mkostemp(name, O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("mkostemp");
    }
    unlink(name);
    return fd;
}

// Whether the unprivileged user may enter a folder or run a program: asked
// of the system in a child that has become that user, so that every folder
// on the way and every mode, ACLs included, has its say.
bool UnprivilegedUserMayRun(const std::string& path, unsigned uid, unsigned gid) {
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork");
    }
    if (pid == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0;
        _exit(dropped && access(path.c_str(), X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder of its own, open to everyone, for a copy of a program that the
// unprivileged user could not reach where it was built (a checkout inside a
// folder that only root may enter). Removed with the object.
class Staging {
  public:
    Staging() {
        char name[] = "/tmp/trx-child-XXXXXX";
        if (mkdtemp(name) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        folder_ = name;
        chmod(name, 0755);
    }
    ~Staging() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    std::string Copy(const std::filesystem::path& program) const {
        const std::filesystem::path copy = folder_ / program.filename();
        std::filesystem::copy_file(program, copy);
        chmod(copy.c_str(), 0755);
        return copy.string();
    }

  private:
    std::filesystem::path folder_;
};

// Says on the child's error output why it never reached its program; only
// calls that are safe between fork and exec.
[[noreturn]] void FailInChild(int status, const char* what, const std::string& path) {
    for (const char* piece : {"trx child: ", what, " ", path.c_str(), "\n"}) {
        [[maybe_unused]] const ssize_t written = write(2, piece, std::strlen(piece));
    }
    _exit(status);
}

}  // namespace

std::pair<unsigned, unsigned> UnprivilegedUser() {
    if (geteuid() != 0) {
        return {geteuid(), getegid()};
    }
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) {
        return {65534, 65534};
    }
    return {nobody->pw_uid, nobody->pw_gid};
}

void GiveToUnprivilegedUser(const std::filesystem::path& path) {
    const auto [uid, gid] = UnprivilegedUser();
    if (lchown(path.c_str(), uid, gid) != 0 && geteuid() == 0) {
        throw std::runtime_error("lchown " + path.string());
    }
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (lchown(entry.path().c_str(), uid, gid) != 0 && geteuid() == 0) {
                throw std::runtime_error("lchown " + entry.path().string());
            }
        }
    }
}

void OpenForEveryone(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::others_exec | fs::perms::others_read | fs::perms::group_exec,
                    fs::perm_options::add);
}

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('='));
        bool replaced = name == "DISPLAY" || name == "WAYLAND_DISPLAY";
        for (const auto& [key, value] : options.environment) {
            replaced = replaced || key == name;
        }
        if (!replaced) {
            environment.push_back(text);
        }
    }
    for (const auto& [key, value] : options.environment) {
        if (!value.empty()) {
            environment.push_back(key + "=" + value);
        }
    }
    std::vector<std::string> args = argv;
    std::string folder =
        (options.folder.empty() ? std::filesystem::current_path() : options.folder).string();
    const auto [uid, gid] = UnprivilegedUser();
    const bool drop = options.unprivileged && geteuid() == 0;
    // A build tree that the unprivileged user cannot reach: the child runs a
    // copy of its program, and starts in "/" rather than the test's folder.
    std::optional<Staging> staging;
    if (drop && !args.empty() && !UnprivilegedUserMayRun(args[0], uid, gid)) {
        staging.emplace();
        args[0] = staging->Copy(args[0]);
    }
    if (options.folder.empty() && drop && !UnprivilegedUserMayRun(folder, uid, gid)) {
        folder = "/";
    }
    std::vector<char*> argp;
    std::vector<char*> envp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    for (auto& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    ChildResult result;
    const int outFd = ScratchFile();
    const int errFd = ScratchFile();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork");
    }
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (drop && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
            FailInChild(125, "cannot become the unprivileged user for", args[0]);
        }
        if (chdir(folder.c_str()) != 0) {
            FailInChild(126, "cannot enter", folder);
        }
        execve(argp[0], argp.data(), envp.data());
        FailInChild(127, "cannot run", args[0]);
    }
    int status = 0;
    rusage usage{};
    const auto deadline = start + options.deadline;
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.maxRssKiB = usage.ru_maxrss;
    result.out = Slurp(outFd);
    result.err = Slurp(errFd);
    return result;
}

long ResidentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

}  // namespace trx::test
