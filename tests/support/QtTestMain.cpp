#include <QApplication>

#include <gtest/gtest.h>

// The Qt application object exists before any test runs, as Qt requires.
// Without a chosen platform the tests draw offscreen, so that listing and
// running them needs no display.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
