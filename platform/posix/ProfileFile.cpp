#include "platform/posix/ProfileFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <random>

namespace trx::profile {

namespace {

// More links than this in a row count as a loop, as the kernel counts them.
constexpr int kMaxLinks = 40;
constexpr std::size_t kCopyChunk = 64 * 1024;

// Opens without blocking, so that a FIFO under the name cannot hang the caller.
int OpenForReading(const std::string& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
    const auto parent = path.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

constexpr std::string_view kTemporaryTag = ".trxtmp-";

// ".<name>.trxtmp-" in the folder of `target`.
std::string TemporaryPrefix(const std::filesystem::path& target) {
    // Built by appending: GCC 12 misreads `"." + std::string&&` (an insert at
    // the front) as an overlapping copy and warns with -Wrestrict in Release.
    std::string leaf = ".";
    leaf += target.filename().string();
    leaf += kTemporaryTag;
    return (FolderOf(target) / leaf).string();
}

// A name beside the target that no one else uses, with our process id so
// that a later writer can tell a killed writer's leftover; O_EXCL makes sure
// of it.
int CreateTemporary(const std::filesystem::path& target, std::string& name) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = TemporaryPrefix(target);
        name += std::to_string(::getpid());
        name += '-';
        name += std::to_string(random());
        name += std::to_string(random());
        // 0666 lets the umask decide for a new file; a replaced one gets its old mode below.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// QSettings reads a file again only when its size or its time (to the
// millisecond) changed since it last looked. A new file of the old size
// written within the old file's millisecond gets the next millisecond, so
// that no QSettings program keeps the old contents and writes them back.
void MakeTimeDiffer(int fd, const InputFile& old) {
    struct stat st {};
    if (!old.IsOpen() || ::fstat(fd, &st) != 0 ||
        static_cast<std::uint64_t>(st.st_size) != old.Size()) {
        return;
    }
    const auto milliseconds = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
    };
    if (milliseconds(st.st_mtim) != milliseconds(old.ModifiedAt())) {
        return;
    }
    timespec times[2] = {{0, UTIME_OMIT}, old.ModifiedAt()};
    times[1].tv_nsec = (times[1].tv_nsec / 1000000 + 1) * 1000000;
    if (times[1].tv_nsec >= 1000000000) {
        times[1].tv_sec += 1;
        times[1].tv_nsec -= 1000000000;
    }
    (void)::futimens(fd, times);
}

}  // namespace

InputFile::InputFile(const std::string& path) {
    const int fd = OpenForReading(path);
    if (fd < 0) {
        missing_ = errno == ENOENT;
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    mode_ = static_cast<std::uint32_t>(st.st_mode & 07777);
    owner_ = st.st_uid;
    group_ = st.st_gid;
    modified_ = st.st_mtim;
}

InputFile::~InputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool InputFile::Read(char* buffer, std::size_t capacity, std::size_t& got) {
    got = 0;
    if (fd_ < 0) {
        return missing_;
    }
    ssize_t n = 0;
    do {
        n = ::read(fd_, buffer, capacity);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return false;
    }
    got = static_cast<std::size_t>(n);
    return true;
}

bool InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity,
                       std::size_t& got) const {
    got = 0;
    if (fd_ < 0) {
        return missing_;
    }
    ssize_t n = 0;
    do {
        n = ::pread(fd_, buffer, capacity, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return false;
    }
    got = static_cast<std::size_t>(n);
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool OutputFile::Write(std::string_view bytes) {
    return WriteAll(fd_, bytes);
}

bool OutputFile::CopyRange(const InputFile& in, std::uint64_t begin, std::uint64_t end) {
    std::string buffer(kCopyChunk, '\0');
    std::uint64_t at = begin;
    while (at < end) {
        const std::uint64_t want = std::min<std::uint64_t>(end - at, buffer.size());
        std::size_t got = 0;
        if (!in.ReadAt(at, buffer.data(), static_cast<std::size_t>(want), got)) {
            return false;
        }
        if (got == 0) {
            // The file ended: fine when copying to its end, a change of the
            // file under our feet otherwise.
            return end == kToEnd;
        }
        if (!Write(std::string_view(buffer.data(), got))) {
            return false;
        }
        at += got;
    }
    return true;
}

bool ReplaceFile(const std::string& path, const InputFile& old,
                 const std::function<bool(OutputFile&)>& fill) {
    // The rename only needs the folder's permission; the file's own must
    // still decide whether it may change.
    if (old.IsOpen() && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        return false;
    }
    const std::filesystem::path target(path);
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    if (old.IsOpen()) {
        // Only root may hand a file to another owner; for everyone else the
        // file already is theirs or cannot be, so a refusal is no failure.
        if (old.Owner() != ::geteuid() || old.Group() != ::getegid()) {
            (void)::fchown(fd, old.Owner(), old.Group());
        }
        ok = ::fchmod(fd, static_cast<mode_t>(old.Mode())) == 0;
    }
    OutputFile out(fd);
    ok = ok && fill(out);
    MakeTimeDiffer(fd, old);
    // The rename below publishes the file; its data must be on disk first.
    ok = ok && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void SyncFolderOf(const std::string& path) {
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // The rename is done; a folder that cannot be synced does not undo it.
        (void)::fsync(fd);
        ::close(fd);
    }
}

bool IsLeftoverOfGoneProcess(const std::string& path, const std::string& leaf) {
    const std::string prefix = std::filesystem::path(TemporaryPrefix(path)).filename().string();
    if (!leaf.starts_with(prefix)) {
        return false;
    }
    // <process id>-<digits>
    const std::string_view rest = std::string_view(leaf).substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash + 1 == rest.size() ||
        !std::all_of(rest.begin() + static_cast<std::ptrdiff_t>(dash) + 1, rest.end(),
                     [](char ch) { return ch >= '0' && ch <= '9'; })) {
        return false;
    }
    long long pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, pid);
    if (error != std::errc() || end != rest.data() + dash || pid <= 0) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

LinkTarget FollowLinks(const std::string& path) {
    std::filesystem::path current(path);
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat link {};
        if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            // Missing or not a link: this is the file to write.
            return {current.string(), {}};
        }
        std::error_code ec;
        const auto next = std::filesystem::read_symlink(current, ec);
        if (ec) {
            return {};
        }
        const std::filesystem::path pointed =
            next.is_absolute() ? next : current.parent_path() / next;
        if (link.st_uid != 0) {
            struct stat target {};
            const bool known = ::stat(pointed.c_str(), &target) == 0 ||
                               ::stat(FolderOf(pointed).c_str(), &target) == 0;
            if (!known || target.st_uid != link.st_uid) {
                return {{}, current.string()};
            }
        }
        current = pointed;
    }
    return {};
}

bool CanOpenForReading(const std::string& path) {
    const int fd = OpenForReading(path);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    return ::close(fd) == 0 && ok;
}

}  // namespace trx::profile
