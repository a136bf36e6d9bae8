// The least a Qt program does: create the application object and end. With
// --gui it creates the GUI application instead, which needs a display or a
// platform plugin; the registration benchmark uses that to show that its
// check for a GUI start would catch one.
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    const bool gui = argc > 1 && std::strcmp(argv[1], "--gui") == 0;
    std::unique_ptr<QCoreApplication> app;
    if (gui) {
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return 0;
}
