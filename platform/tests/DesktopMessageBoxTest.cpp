#include "platform/qt/DesktopMessageBox.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(DesktopMessageBox, ADisplayIsReachableWhenEitherVariableIsSet) {
    const struct {
        const char* display;
        const char* wayland;
        bool reachable;
    } cases[] = {
        {nullptr, nullptr, false},    {"", "", false},         {":0", nullptr, true},
        {nullptr, "wayland-0", true}, {"", "wayland-0", true}, {":1", "", true},
    };
    for (const auto& c : cases) {
        const ScopedEnv display("DISPLAY", c.display);
        const ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        EXPECT_EQ(DesktopMessageBox::DisplayReachable(), c.reachable)
            << (c.display ? c.display : "unset") << " / " << (c.wayland ? c.wayland : "unset");
    }
}

TEST(DesktopMessageBox, WithoutADisplayPrintsAndCreatesNoQtApplication) {
    std::ostringstream out;
    std::ostringstream err;
    DesktopMessageBox box("vxRegCPX", false, out, err);

    box.Show(u"Zeile 1\r\nZeile 2", MessageIcon::Information, u"vxRegCPX");
    box.Show(u"kaputt", MessageIcon::Warning, u"Fehler");

    EXPECT_EQ(out.str(), "vxRegCPX: Zeile 1\nZeile 2\n");
    EXPECT_EQ(err.str(), "Fehler: kaputt\n");
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

}  // namespace
}  // namespace trx
