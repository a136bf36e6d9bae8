// A Qt program that writes the settings store as the control panel or any
// QSettings program does: COUNT keys PREFIX/k<i> = v<i> in FILE, each saved
// with sync() on its own. Prints how many syncs reported an error; exit 0
// when none did.
//   trx_qsettings_writer FILE COUNT PREFIX

#include <QSettings>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: trx_qsettings_writer FILE COUNT PREFIX\n");
        return 64;
    }
    QSettings settings(QString::fromLocal8Bit(argv[1]), QSettings::IniFormat);
    const int count = std::atoi(argv[2]);
    const QString prefix = QString::fromUtf8(argv[3]);
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        settings.setValue(prefix + QStringLiteral("/k") + QString::number(i),
                          QStringLiteral("v") + QString::number(i));
        settings.sync();
        failed += settings.status() != QSettings::NoError;
    }
    std::printf("%d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
