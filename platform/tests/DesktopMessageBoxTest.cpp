#include "platform/DesktopMessageBox.h"
#include "platform/DisplayProbe.h"

#include "tests/support/TempDir.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

namespace trx {
namespace {

// Sets or removes an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value == nullptr) {
            unsetenv(name);
        } else {
            setenv(name, value, 1);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// A listening local socket for one scope: a file, or abstract when the name
// starts with NUL.
class Listener {
  public:
    explicit Listener(const std::string& name) {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        listening_ = bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                     listen(fd_, 4) == 0;
    }
    ~Listener() { close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    bool Listening() const { return listening_; }

  private:
    int fd_ = -1;
    bool listening_ = false;
};

TEST(DesktopMessageBox, ADisplayCountsOnlyWhenItsSocketAnswers) {
    const test::TempDir dir;
    // An X display number no one uses, served on its abstract socket.
    const std::string number = std::to_string(5000 + getpid() % 1000);
    const std::string display = ":" + number + ".0";
    const std::string wayland = (dir.Path() / "wayland-9").string();
    const struct {
        const char* display;
        const char* wayland;
        bool listen;
        bool reachable;
    } cases[] = {
        {nullptr, nullptr, true, false},          {"", "", true, false},
        {display.c_str(), nullptr, false, false}, {display.c_str(), nullptr, true, true},
        {"nonsense", nullptr, true, false},       {nullptr, wayland.c_str(), false, false},
        {"", wayland.c_str(), true, true},        {"localhost:x", wayland.c_str(), true, true},
    };
    for (const auto& c : cases) {
        std::optional<Listener> x;
        std::optional<Listener> way;
        if (c.listen) {
            x.emplace(std::string(1, '\0') + "/tmp/.X11-unix/X" + number);
            way.emplace(wayland);
            ASSERT_TRUE(x->Listening() && way->Listening());
        }
        const ScopedEnv displayEnv("DISPLAY", c.display);
        const ScopedEnv waylandEnv("WAYLAND_DISPLAY", c.wayland);
        EXPECT_EQ(DisplayReachable(), c.reachable)
            << (c.display ? c.display : "unset") << " / " << (c.wayland ? c.wayland : "unset")
            << (c.listen ? ", listening" : ", nothing there");
        way.reset();
        std::filesystem::remove(wayland);
    }
}

TEST(DesktopMessageBox, WithoutADisplayPrintsAndCreatesNoQtApplication) {
    std::ostringstream out;
    std::ostringstream err;
    GuiModule gui("/nonexistent/trx-gui.so", "vxRegCPX");
    DesktopMessageBox box(gui, false, out, err);

    box.Show(u"Zeile 1\r\nZeile 2", MessageIcon::Information, u"vxRegCPX");
    box.Show(u"kaputt", MessageIcon::Warning, u"Fehler");

    EXPECT_EQ(out.str(), "vxRegCPX: Zeile 1\nZeile 2\n");
    EXPECT_EQ(err.str(), "Fehler: kaputt\n");
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

}  // namespace
}  // namespace trx
