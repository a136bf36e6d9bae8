#include <gtest/gtest.h>

// The one main of the tests of the Qt layers: the Qt application object
// exists before any test runs, as Qt requires. The tests of widgets get a
// QApplication that draws offscreen unless a platform is chosen, so that
// listing and running them needs no display; the others a QCoreApplication,
// whose event loop serves timers and the bus.
#ifdef TRX_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
#ifdef TRX_TEST_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
