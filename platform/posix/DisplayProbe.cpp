#include "platform/posix/DisplayProbe.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace trx {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kProbeTime = std::chrono::milliseconds(1000);
constexpr int kFirstXPort = 6000;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitFor(int fd, short event, Clock::time_point deadline) {
    pollfd ready{fd, event, 0};
    int result = 0;
    while ((result = ::poll(&ready, 1, MillisecondsLeft(deadline))) < 0 && errno == EINTR) {
    }
    return result == 1 && (ready.revents & event) != 0;
}

// Connects a non-blocking socket within the deadline.
bool Connect(int fd, const sockaddr* address, socklen_t length, Clock::time_point deadline) {
    if (::connect(fd, address, length) == 0) {
        return true;
    }
    if (errno != EINPROGRESS || !WaitFor(fd, POLLOUT, deadline)) {
        return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool SendAll(int fd, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!WaitFor(fd, POLLOUT, deadline)) {
            return false;
        }
    }
    return true;
}

// Exactly `size` bytes, or nothing when the peer closes or the time is up.
std::optional<std::string> Receive(int fd, std::size_t size, Clock::time_point deadline) {
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t read = ::recv(fd, bytes.data() + got, size - got, 0);
        if (read > 0) {
            got += static_cast<std::size_t>(read);
        } else if (read == 0 || (errno != EAGAIN && errno != EINTR)) {
            return std::nullopt;
        } else if (!WaitFor(fd, POLLIN, deadline)) {
            return std::nullopt;
        }
    }
    return bytes;
}

// A socket of the file system, or of the abstract namespace when the name
// starts with NUL; -1 when nothing accepts there.
int ConnectLocal(const std::string& name, Clock::time_point deadline) {
    sockaddr_un address{};
    if (name.empty() || name.size() >= sizeof address.sun_path) {
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                               (name.front() == '\0' ? 0 : 1));
    if (!Connect(fd, reinterpret_cast<const sockaddr*>(&address), length, deadline)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int ConnectTcp(const std::string& host, int port, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return -1;
    }
    int connected = -1;
    for (const addrinfo* a = found; a != nullptr && connected < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd >= 0 && Connect(fd, a->ai_addr, a->ai_addrlen, deadline)) {
            connected = fd;
        } else if (fd >= 0) {
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    return connected;
}

// --- X11 ---------------------------------------------------------------

// Address families of the authority file.
constexpr std::uint16_t kFamilyInternet = 0;
constexpr std::uint16_t kFamilyInternet6 = 6;
constexpr std::uint16_t kFamilyLocal = 256;
constexpr std::uint16_t kFamilyWild = 65535;
constexpr std::string_view kCookieName = "MIT-MAGIC-COOKIE-1";

struct XAddress {
    std::uint16_t family = kFamilyLocal;
    std::string address;
};

struct Cookie {
    std::string name;
    std::string data;
};

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

// How the authority file names the server at the other end of `fd`: a
// local socket, or a loopback address, by this host's name; a remote one by
// its address.
XAddress AuthorityAddress(int fd) {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0) {
        if (peer.ss_family == AF_INET) {
            const auto& in = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
            const auto* bytes = reinterpret_cast<const char*>(&in);
            if (static_cast<unsigned char>(bytes[0]) != 127) {
                return {kFamilyInternet, std::string(bytes, 4)};
            }
        } else if (peer.ss_family == AF_INET6) {
            const auto& in = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
            const auto* bytes = reinterpret_cast<const char*>(&in);
            if (IN6_IS_ADDR_V4MAPPED(&in) && static_cast<unsigned char>(bytes[12]) != 127) {
                return {kFamilyInternet, std::string(bytes + 12, 4)};
            }
            if (!IN6_IS_ADDR_LOOPBACK(&in) && !IN6_IS_ADDR_V4MAPPED(&in)) {
                return {kFamilyInternet6, std::string(bytes, 16)};
            }
        }
    }
    return {kFamilyLocal, HostName()};
}

// The authority file's entries: a big-endian family, then address, display
// number, name and data, each a big-endian length and its bytes.
class AuthorityReader {
  public:
    explicit AuthorityReader(std::string_view bytes) : bytes_(bytes) {}

    bool Next(std::uint16_t& family, std::string_view (&fields)[4]) {
        if (!Number(family)) {
            return false;
        }
        for (std::string_view& field : fields) {
            std::uint16_t length = 0;
            if (!Number(length) || bytes_.size() < length) {
                return false;
            }
            field = bytes_.substr(0, length);
            bytes_.remove_prefix(length);
        }
        return true;
    }

  private:
    bool Number(std::uint16_t& value) {
        if (bytes_.size() < 2) {
            return false;
        }
        value = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes_[0]) << 8 |
                                           static_cast<unsigned char>(bytes_[1]));
        bytes_.remove_prefix(2);
        return true;
    }

    std::string_view bytes_;
};

std::string AuthorityFile() {
    const std::string named = Variable("XAUTHORITY");
    if (!named.empty()) {
        return named;
    }
    const std::string home = Variable("HOME");
    return home.empty() ? std::string() : home + "/.Xauthority";
}

// The first MIT-MAGIC-COOKIE-1 for the server and display number, as libXau
// picks it: an entry for any address (family "wild") or for this one, and
// for any display number (none given) or this one.
std::optional<Cookie> FindCookie(const XAddress& server, const std::string& number) {
    const std::string path = AuthorityFile();
    std::error_code error;
    if (path.empty() || std::filesystem::file_size(path, error) > (1u << 20) || error) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    AuthorityReader reader(bytes);
    std::uint16_t family = 0;
    std::string_view fields[4];
    while (reader.Next(family, fields)) {
        const auto& [address, display, name, data] = fields;
        const bool forServer =
            family == kFamilyWild || (family == server.family && address == server.address);
        if (forServer && (display.empty() || display == number) && name == kCookieName) {
            return Cookie{std::string(name), std::string(data)};
        }
    }
    return std::nullopt;
}

void Append16(std::string& bytes, std::size_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
}

void AppendPadded(std::string& bytes, const std::string& field) {
    bytes += field;
    bytes.append((4 - field.size() % 4) % 4, '\0');
}

// The connection setup: the server accepts (first byte 1, then the length
// of the rest, which must come whole), refuses (0) or wants more (2).
bool XSetupAccepted(int fd, const std::string& number, Clock::time_point deadline) {
    const std::optional<Cookie> cookie = FindCookie(AuthorityAddress(fd), number);
    std::string request = "l";  // least significant byte first
    request += '\0';
    Append16(request, 11);  // protocol 11.0
    Append16(request, 0);
    Append16(request, cookie ? cookie->name.size() : 0);
    Append16(request, cookie ? cookie->data.size() : 0);
    Append16(request, 0);
    if (cookie) {
        AppendPadded(request, cookie->name);
        AppendPadded(request, cookie->data);
    }
    if (!SendAll(fd, request, deadline)) {
        return false;
    }
    const std::optional<std::string> head = Receive(fd, 8, deadline);
    if (!head || (*head)[0] != 1) {
        return false;
    }
    const std::size_t units = static_cast<unsigned char>((*head)[6]) |
                              static_cast<std::size_t>(static_cast<unsigned char>((*head)[7])) << 8;
    // An accepted setup describes at least the server's fixed fields.
    return units >= 8 && Receive(fd, units * 4, deadline).has_value();
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.size() <= 5 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsSocket(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

// DISPLAY as libxcb reads it: [protocol/][host]:number[.screen], or the path
// of a socket (optionally followed by .screen). Without a host, or
// with "unix", the server listens on a local socket (abstract, then in the
// file system; without a host then also TCP on this machine), otherwise on
// TCP port 6000 + number. The connection once the server accepted the
// setup, else -1.
int XServerAccepts(const std::string& display, Clock::time_point deadline) {
    const auto colon = display.rfind(':');
    std::string number = "0";
    int fd = -1;
    if (!display.empty() && display.front() == '/') {
        // The socket itself, or the socket and ".screen"; display number 0.
        std::string path = display;
        const auto dot = display.rfind('.');
        if (!IsSocket(path) && dot != std::string::npos && dot + 1 < display.size() &&
            display[dot + 1] != '0' && AllDigits(display.substr(dot + 1))) {
            path = display.substr(0, dot);
        }
        fd = IsSocket(path) ? ConnectLocal(path, deadline) : -1;
    } else if (colon != std::string::npos) {
        std::string host = display.substr(0, colon);
        std::string protocol;
        if (const auto slash = host.find('/'); slash != std::string::npos) {
            protocol = host.substr(0, slash);
            host.erase(0, slash + 1);
        }
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
            host = host.substr(1, host.size() - 2);
        }
        const std::string rest = display.substr(colon + 1);
        number = rest.substr(0, rest.find('.'));
        if (!AllDigits(number) || (!protocol.empty() && protocol != "unix" && protocol != "tcp" &&
                                   protocol != "inet" && protocol != "inet6")) {
            return -1;
        }
        const bool local =
            protocol == "unix" || (protocol.empty() && (host.empty() || host == "unix"));
        if (local) {
            const std::string path = "/tmp/.X11-unix/X" + number;
            fd = ConnectLocal(std::string(1, '\0') + path, deadline);
            if (fd < 0) {
                fd = ConnectLocal(path, deadline);
            }
        }
        if (fd < 0 && (!local || (protocol.empty() && host.empty()))) {
            fd = ConnectTcp(host.empty() ? "localhost" : host, kFirstXPort + std::stoi(number),
                            deadline);
        }
    }
    if (fd >= 0 && !XSetupAccepted(fd, number, deadline)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// --- Wayland -------------------------------------------------------------

// Qt talks to a compositor through its Wayland platform plugin, which a
// system may not have.
bool QtWaylandPluginInstalled() {
    std::string folders = Variable("QT_QPA_PLATFORM_PLUGIN_PATH");
    for (std::string path = Variable("QT_PLUGIN_PATH"); !path.empty();) {
        const auto end = path.find(':');
        folders += ":" + path.substr(0, end) + "/platforms";
        path.erase(0, end == std::string::npos ? path.size() : end + 1);
    }
    folders += ":" TRX_QT_PLATFORM_PLUGINS;
    for (std::string_view rest = folders; !rest.empty();) {
        const auto end = rest.find(':');
        const std::string folder(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (entry.path().filename().string().rfind("libqwayland", 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

// A round trip: wl_display.sync (object 1, request 0) must come back as
// wl_callback.done (the new object 2, event 0). The connection, else -1.
int WaylandAnswers(const std::string& name, Clock::time_point deadline) {
    std::string path = name;
    if (name.front() != '/') {
        const std::string runtime = Variable("XDG_RUNTIME_DIR");
        if (runtime.empty()) {
            return -1;
        }
        path = runtime + "/" + name;
    }
    const int fd = ConnectLocal(path, deadline);
    if (fd < 0) {
        return -1;
    }
    const std::uint32_t sync[3] = {1, 12u << 16, 2};
    std::optional<std::string> head;
    if (SendAll(fd, std::string_view(reinterpret_cast<const char*>(sync), sizeof sync), deadline)) {
        head = Receive(fd, 8, deadline);
    }
    std::uint32_t event[2] = {};
    if (head) {
        std::memcpy(event, head->data(), sizeof event);
    }
    if (event[0] != 2 || (event[1] & 0xFFFF) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

ReachableDisplay::ReachableDisplay() {
    const auto deadline = Clock::now() + kProbeTime;
    const std::string x = Variable("DISPLAY");
    if (!x.empty() && (connection_ = XServerAccepts(x, deadline)) >= 0) {
        kind_ = Display::X11;
        return;
    }
    const std::string wayland = Variable("WAYLAND_DISPLAY");
    if (!wayland.empty() && QtWaylandPluginInstalled() &&
        (connection_ = WaylandAnswers(wayland, deadline)) >= 0) {
        kind_ = Display::Wayland;
    }
}

ReachableDisplay::~ReachableDisplay() {
    if (connection_ >= 0) {
        ::close(connection_);
    }
}

void UseDisplay(Display display) {
    if (display == Display::None || !Variable("QT_QPA_PLATFORM").empty()) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", display == Display::X11 ? "xcb" : "wayland", 1);
}

}  // namespace trx
