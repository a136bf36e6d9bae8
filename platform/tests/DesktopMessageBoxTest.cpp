#include "platform/posix/DesktopMessageBox.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <sstream>

namespace trx {
namespace {

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
