#include "platform/DisplayProbe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace trx {

namespace {

constexpr int kRemoteWaitMs = 1000;
constexpr int kFirstXPort = 6000;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// A connection in progress counts once it completes within the wait.
bool Completes(int fd, int result) {
    if (result == 0) {
        return true;
    }
    if (errno == EAGAIN) {
        return true;  // a local server whose queue is full is still there
    }
    if (errno != EINPROGRESS) {
        return false;
    }
    pollfd ready{fd, POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    return ::poll(&ready, 1, kRemoteWaitMs) == 1 &&
           ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

// A socket of the file system, or of the abstract namespace when the name
// starts with NUL.
bool LocalSocketAnswers(const std::string& name) {
    sockaddr_un address{};
    if (name.empty() || name.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                               (name.front() == '\0' ? 0 : 1));
    const bool answers =
        Completes(fd, ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length));
    ::close(fd);
    return answers;
}

bool TcpAnswers(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return false;
    }
    bool answers = false;
    for (const addrinfo* a = found; a != nullptr && !answers; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd >= 0) {
            answers = Completes(fd, ::connect(fd, a->ai_addr, a->ai_addrlen));
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    return answers;
}

// DISPLAY is [host]:number[.screen]; without a host (or with "unix") the X
// server listens on a local socket, in the abstract namespace or the file
// system, otherwise on TCP port 6000 + number.
bool XServerAnswers(const std::string& display) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    const std::string host = display.substr(0, colon);
    const std::string rest = display.substr(colon + 1);
    const std::string number = rest.substr(0, rest.find('.'));
    if (number.empty() || number.size() > 5 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    if (!host.empty() && host.front() == '/') {
        return LocalSocketAnswers(display) || LocalSocketAnswers(host);
    }
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + number;
        return LocalSocketAnswers(std::string(1, '\0') + path) || LocalSocketAnswers(path);
    }
    return TcpAnswers(host, kFirstXPort + std::stoi(number));
}

// WAYLAND_DISPLAY is a socket path, or a name in $XDG_RUNTIME_DIR.
bool WaylandAnswers(const std::string& name) {
    if (name.front() == '/') {
        return LocalSocketAnswers(name);
    }
    const std::string runtime = Variable("XDG_RUNTIME_DIR");
    return !runtime.empty() && LocalSocketAnswers(runtime + "/" + name);
}

}  // namespace

bool DisplayReachable() {
    const std::string x = Variable("DISPLAY");
    const std::string wayland = Variable("WAYLAND_DISPLAY");
    return (!x.empty() && XServerAnswers(x)) || (!wayland.empty() && WaylandAnswers(wayland));
}

}  // namespace trx
