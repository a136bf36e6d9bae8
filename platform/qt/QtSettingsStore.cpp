#include "platform/qt/QtSettingsStore.h"

#include "platform/qt/QtText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>

namespace trx {

namespace {

// QSettings compares the file's size and time with what it read before it
// takes its own lock file, so a process that writes in between loses its
// value to the next writer (seen with eight registrars at once). Every change
// through this store therefore holds an exclusive lock on the store's folder
// from its read to its write. The folder is made first, as QSettings would.
class StoreLock {
  public:
    explicit StoreLock(const QString& fileName) {
        const QString folder = QFileInfo(fileName).absolutePath();
        QDir().mkpath(folder);
        fd_ = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) {
            return;  // QSettings then fails to write as well
        }
        int locked = -1;
        do {
            locked = ::flock(fd_, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
    }
    ~StoreLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

  private:
    int fd_ = -1;
};

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
    return Change(application, [&](QSettings& settings) {
               settings.setValue(Address(section, key), ToQString(value));
               settings.sync();
               return settings.status() == QSettings::NoError ? DeleteResult::Deleted
                                                              : DeleteResult::Failed;
           }) == DeleteResult::Deleted;
}

DeleteResult QtSettingsStore::Delete(std::u16string_view application, std::u16string_view section,
                                     std::u16string_view key) {
    const QString address = Address(section, key);
    return Change(application, [&](QSettings& settings) {
        // A value that is not there needs no writing, so it is no failure.
        if (!settings.contains(address)) {
            return DeleteResult::Absent;
        }
        const QByteArray before = FileBytes(settings.fileName());
        settings.remove(address);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            return DeleteResult::Failed;
        }
        // Only the file itself tells whether the value really left it.
        return FileBytes(settings.fileName()) == before ? DeleteResult::Failed
                                                        : DeleteResult::Deleted;
    });
}

DeleteResult QtSettingsStore::Change(std::u16string_view application,
                                     const std::function<DeleteResult(QSettings&)>& change) const {
    const QString fileName = Open(application)->fileName();
    const StoreLock lock(fileName);
    // QSettings keeps what it read of a file for the whole process and trusts
    // it while the file's size and time look unchanged, which lost values of
    // other registrars. So every change goes through a copy of a new name,
    // read afresh, and the copy replaces the file; the lock keeps the copy
    // current.
    static std::atomic<unsigned> counter{0};
    const QFileInfo target(fileName);
    const QString copy = target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                         QStringLiteral(".%1.%2").arg(::getpid()).arg(++counter);
    if (target.exists() && !QFile::copy(fileName, copy)) {
        // No copy can be written here, so no change can be either: the file
        // itself still tells an absent value from a failed change.
        QFile::remove(copy);
        QSettings settings(fileName, QSettings::IniFormat);
        return change(settings);
    }
    DeleteResult result = DeleteResult::Failed;
    {
        QSettings settings(copy, QSettings::IniFormat);
        result = change(settings);
    }
    if (result == DeleteResult::Deleted && ::rename(QFile::encodeName(copy).constData(),
                                                    QFile::encodeName(fileName).constData()) != 0) {
        result = DeleteResult::Failed;
    }
    QFile::remove(copy);
    return result;
}

}  // namespace trx
