#include "platform/posix/ProfileLock.h"

#include "common/Text.h"
#include "platform/posix/ProfileFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace trx::profile {

namespace {

// The first `limit` bytes of a small file, or nothing.
std::string ReadSmallFile(const char* path, std::size_t limit) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    std::string bytes(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd, bytes.data() + got, limit - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(" \t\n\v\f\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\n\v\f\r") - first + 1);
}

std::string HostName() {
    utsname name{};
    return ::uname(&name) == 0 ? std::string(name.nodename) : std::string();
}

std::string MachineId() {
    std::string id = ReadSmallFile("/etc/machine-id", 32);
    if (id.empty()) {
        id = ReadSmallFile("/var/lib/dbus/machine-id", 32);
    }
    return id;
}

std::string BootId() {
    return Trimmed(ReadSmallFile("/proc/sys/kernel/random/boot_id", 36));
}

// The name of a process's program file, as /proc shows it; "/ERROR/" where
// the process (or its program) cannot be looked at, empty without /proc.
std::string ProgramOf(long long pid) {
    std::vector<char> target(PATH_MAX);
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n <= 0) {
        struct stat st {};
        return ::stat("/proc/self/exe", &st) == 0 ? std::string("/ERROR/") : std::string();
    }
    std::string path(target.data(), static_cast<std::size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return std::filesystem::path(path).filename().string();
}

bool ProcessRuns(long long pid, const std::string& program) {
    if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH) {
        return false;
    }
    // A reused process id belongs to another program.
    const std::string running = ProgramOf(pid);
    return running.empty() || running == std::filesystem::path(program).filename().string();
}

// Whether a process runs or waits for its disk ("R" or "D" in /proc).
bool IsAtWork(long long pid) {
    if (pid <= 0) {
        return false;
    }
    const std::string stat = ReadSmallFile(("/proc/" + std::to_string(pid) + "/stat").c_str(), 512);
    const std::size_t name = stat.rfind(')');  // the program's name may hold anything
    if (name == std::string::npos || name + 2 >= stat.size()) {
        return false;
    }
    const char state = stat[name + 2];
    return state == 'R' || state == 'D';
}

struct LockInfo {
    long long pid = 0;
    std::string program;
    std::string host;
    std::string machineId;
    std::string bootId;
};

// The lines of a lock file, read as QLockFile reads them: each line loses
// its last character (its line feed), the process id must be positive.
bool ReadLockInfo(const std::string& path, LockInfo& info) {
    const std::string bytes = ReadSmallFile(path.c_str(), 4096);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size() && lines.size() < 5;) {
        std::size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(start, end - start - 1));
        start = end;
    }
    lines.resize(5);
    const std::string pidText = Trimmed(lines[0]);
    if (lines[0].empty() || pidText.empty()) {
        return false;
    }
    const char* begin = pidText.data() + (pidText.front() == '+' ? 1 : 0);
    const char* end = pidText.data() + pidText.size();
    const auto [stop, error] = std::from_chars(begin, end, info.pid);
    info.program = lines[1];
    info.host = lines[2];
    info.machineId = lines[3];
    info.bootId = lines[4];
    return error == std::errc() && stop == end && info.pid > 0;
}

}  // namespace

LockFile::LockFile(std::string lockPath, std::chrono::milliseconds wait)
    : path_(std::move(lockPath)) {
    // The wait is for one holder: while the lock passes from holder to
    // holder (a busy store, not a stuck one), the wait starts again, up to
    // kBusyWaits times the wait in all.
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + wait * kBusyWaits;
    auto holderDeadline = start + wait;
    Identity seen = CurrentIdentity();
    std::minstd_rand jitter(static_cast<unsigned>(::getpid()) ^
                            static_cast<unsigned>(start.time_since_epoch().count()));
    while (true) {
        if (TryOnce() || state_ == State::Refused) {
            return;
        }
        if (TakeOverIfStale()) {
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        const Identity current = CurrentIdentity();
        // A new holder, or one of this host that is at work (running, or
        // waiting for its disk, as a sync on a busy disk can for seconds),
        // gets the wait anew; one that sleeps or is stopped does not.
        if (current != seen || (holderLocal_ && IsAtWork(holder_.pid))) {
            seen = current;
            holderDeadline = std::min(now + wait, end);
        }
        if (now >= holderDeadline) {
            return;
        }
        // Short, uneven pauses, so that waiters take their turns in no fixed order.
        const auto pause = std::chrono::milliseconds(2 + jitter() % 15);
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, holderDeadline - now));
    }
}

LockFile::Identity LockFile::CurrentIdentity() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        return {};
    }
    return {static_cast<std::uint64_t>(st.st_ino), static_cast<std::int64_t>(st.st_mtim.tv_sec),
            static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

LockFile::~LockFile() {
    Release();
}

void LockFile::Release() {
    if (fd_ >= 0) {
        ::unlink(path_.c_str());
        ::close(fd_);
        fd_ = -1;
        state_ = State::Busy;
    }
}

bool LockFile::TryOnce() {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        state_ = errno == EEXIST ? State::Busy : State::Refused;
        return false;
    }
    // The flock keeps a stale-lock remover away while we live.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    std::string program = ProgramOf(::getpid());
    if (program == "/ERROR/") {
        program.clear();
    }
    const std::string contents = std::to_string(::getpid()) + '\n' + program + '\n' + HostName() +
                                 '\n' + MachineId() + '\n' + BootId() + '\n';
    if (!WriteAll(fd, contents)) {
        ::close(fd);
        ::unlink(path_.c_str());
        state_ = State::Refused;
        return false;
    }
    // Root taking a user's lock leaves it to the folder's owner, who can
    // then clear it should root's process be killed while holding it.
    struct stat folder {};
    const auto parent = std::filesystem::path(path_).parent_path();
    if (::geteuid() == 0 && ::stat(parent.empty() ? "." : parent.c_str(), &folder) == 0 &&
        folder.st_uid != 0) {
        (void)::fchown(fd, folder.st_uid, folder.st_gid);
    }
    fd_ = fd;
    state_ = State::Held;
    return true;
}

bool LockFile::IsStale() {
    LockInfo info;
    holderLocal_ = false;
    if (ReadLockInfo(path_, info)) {
        holder_ = {info.pid, info.program, info.host};
        bool sameHost = info.host.empty() || info.host == HostName();
        if (!info.machineId.empty()) {
            const std::string ours = MachineId();
            if (!ours.empty()) {
                sameHost = ours == info.machineId;
            }
        }
        holderLocal_ = sameHost;
        if (sameHost) {
            if (!info.bootId.empty() && info.bootId != BootId()) {
                return true;
            }
            if (!ProcessRuns(info.pid, info.program)) {
                return true;
            }
        }
    }
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        return false;
    }
    const auto modified = std::chrono::system_clock::time_point(
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec));
    const auto age = std::chrono::system_clock::now() - modified;
    return age > kStaleAfter || age < -kStaleAfter;
}

bool LockFile::TakeOverIfStale() {
    if (!IsStale()) {
        return false;
    }
    // One remover at a time; it looks again once it is the only one.
    const LockFile remover(path_ + ".rmlock", std::chrono::milliseconds(0));
    if (!remover.Held() || !IsStale()) {
        return false;
    }
    // A holder that still lives keeps its flock, and its file.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path_.c_str()) == 0;
    ::close(fd);
    return removed;
}

void NoteBusy(const LockFile& lock, FileFailure& failure) {
    failure.cause = FileFailure::Cause::Locked;
    failure.lockFile = FromFileName(lock.Path());
    failure.holderPid = lock.LastHolder().pid;
    failure.holderProgram = FromFileName(lock.LastHolder().program);
    failure.holderHost = FromFileName(lock.LastHolder().host);
}

}  // namespace trx::profile
