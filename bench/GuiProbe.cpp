// Creates the GUI application and ends. With a display named but no platform
// plugin to reach it, that fails at once: the registration benchmark runs it
// to show that its check for a GUI start would catch one.
#include <QGuiApplication>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    return 0;
}
