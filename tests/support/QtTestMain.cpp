#include <QApplication>

#include <gtest/gtest.h>

// The Qt application object exists before any test runs, as Qt requires.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
