#include "platform/qt/QtSettingsStore.h"

#include "platform/qt/QtText.h"

#include <QFile>
#include <QSettings>

namespace trx {

namespace {

QByteArray FileBytes(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Address(std::u16string_view section, std::u16string_view key) {
    return QtSettingsStore::EncodeName(section) + u'/' + QtSettingsStore::EncodeName(key);
}

}  // namespace

QtSettingsStore::QtSettingsStore() = default;

QtSettingsStore::QtSettingsStore(QString configFolder) : configFolder_(std::move(configFolder)) {}

QString QtSettingsStore::EncodeName(std::u16string_view name) {
    if (name.empty()) {
        return QStringLiteral("%");
    }
    QString encoded;
    encoded.reserve(static_cast<qsizetype>(name.size()));
    for (const char16_t ch : name) {
        switch (ch) {
            case u'%':
                encoded += QStringLiteral("%25");
                break;
            case u'/':
                encoded += QStringLiteral("%2F");
                break;
            case u'\\':
                encoded += QStringLiteral("%5C");
                break;
            default:
                encoded += QChar(ch);
        }
    }
    return encoded;
}

std::unique_ptr<QSettings> QtSettingsStore::Open(std::u16string_view application) const {
    if (configFolder_.isEmpty()) {
        return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Velmora"), ToQString(application));
    }
    return std::make_unique<QSettings>(configFolder_ + QStringLiteral("/Velmora/") +
                                           ToQString(application) + QStringLiteral(".ini"),
                                       QSettings::IniFormat);
}

bool QtSettingsStore::Save(std::u16string_view application, std::u16string_view section,
                           std::u16string_view key, std::u16string_view value) {
    auto settings = Open(application);
    settings->setValue(Address(section, key), ToQString(value));
    // sync() takes the lock, merges what other processes wrote meanwhile and
    // writes the file; a failure there shows only in status().
    settings->sync();
    return settings->status() == QSettings::NoError;
}

DeleteResult QtSettingsStore::Delete(std::u16string_view application, std::u16string_view section,
                                     std::u16string_view key) {
    const QString address = Address(section, key);
    auto settings = Open(application);
    // A value that is not there needs no writing, so it is no failure.
    if (!settings->contains(address)) {
        return DeleteResult::Absent;
    }
    const QByteArray before = FileBytes(settings->fileName());
    settings->remove(address);
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        return DeleteResult::Failed;
    }
    // QSettings shares what it read among its objects in a process, so only
    // the file itself tells whether the value really left it.
    return FileBytes(settings->fileName()) == before ? DeleteResult::Failed : DeleteResult::Deleted;
}

}  // namespace trx
