#include "automation/dbus/ObjectTable.h"

#include "common/AutomationError.h"
#include "platform/qt/QtText.h"

#include <QDBusConnectionInterface>

#include <algorithm>

namespace trx {
namespace {

// Orphans released in one go; between two batches, calls that wait are served.
constexpr int kSweepBatch = 500;

}  // namespace

ObjectTable::ObjectTable(QDBusConnection connection, const ServerOptions& options, PostWork post)
    : connection_(std::move(connection)),
      options_(options),
      post_(std::move(post)),
      watcher_(QString(), connection_, QDBusServiceWatcher::WatchForUnregistration) {
    sweepTimer_.setSingleShot(true);
    QObject::connect(&sweepTimer_, &QTimer::timeout, &watcher_,
                     [this] { post_([this] { Sweep(); }); });
    QObject::connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, &watcher_,
                     [this](const QString& name) { OnOwnerGone(name); });
}

QStringList ObjectTable::OwnedBy(const QString& owner) const {
    QStringList numbers;
    for (const auto& [number, entry] : objects_) {
        if (!owner.isEmpty() && entry.owner == owner) {
            numbers << QString::number(number);
        }
    }
    return numbers;
}

void ObjectTable::CheckRoomFor(const QString& owner) const {
    if (!owner.isEmpty() && owned_.value(owner) >= options_.maxObjectsPerConnection) {
        throw AutomationError(
            kErrTooManyObjects, u"",
            FromQString(QStringLiteral("Diese Verbindung hält schon %1 Objekte, so viele, "
                                       "wie eine Verbindung halten darf.")
                            .arg(options_.maxObjectsPerConnection)));
    }
}

void ObjectTable::Add(const QString& owner, std::unique_ptr<ServedObject> object) {
    objects_[nextNumber_++] = Entry{owner, 0, std::move(object)};
    Own(owner);
}

ServedObject& ObjectTable::Use(int number, const QString& caller, const QString& path) {
    Entry& entry = objects_.at(number);
    if (entry.owner.isEmpty() && !caller.isEmpty()) {
        entry.owner = caller;
        ++entry.orphanToken;
        Own(caller);
    } else if (entry.owner != caller) {
        throw AutomationError(
            kErrNotOwner, u"",
            FromQString(
                QStringLiteral("Das Objekt %1 gehört einer anderen Verbindung.").arg(path)));
    }
    return *entry.object;
}

void ObjectTable::Release(int number) {
    const auto found = objects_.find(number);
    if (found != objects_.end()) {
        Disown(found->second.owner);
        objects_.erase(found);
    }
}

void ObjectTable::Own(const QString& owner) {
    if (!owner.isEmpty()) {
        ++owned_[owner];
        Watch(owner);
    }
}

void ObjectTable::Disown(const QString& owner) {
    auto found = owned_.find(owner);
    if (found != owned_.end() && --found.value() <= 0) {
        owned_.erase(found);
    }
}

void ObjectTable::Watch(const QString& owner) {
    if (watcher_.watchedServices().contains(owner)) {
        return;
    }
    watcher_.addWatchedService(owner);
    // The owner may have gone before the watch was in place.
    if (!connection_.interface()->isServiceRegistered(owner).value()) {
        OnOwnerGone(owner);
    }
}

void ObjectTable::OnOwnerGone(const QString& owner) {
    watcher_.removeWatchedService(owner);
    post_([this, owner] {
        owned_.remove(owner);
        const Clock::time_point due = Clock::now() + options_.orphanGrace;
        for (auto it = objects_.begin(); it != objects_.end();) {
            Entry& entry = it->second;
            if (entry.owner != owner) {
                ++it;
                continue;
            }
            if (options_.orphanGrace.count() <= 0) {
                it = objects_.erase(it);
                continue;
            }
            entry.owner.clear();
            orphans_.push_back({it->first, ++entry.orphanToken, due});
            ++it;
        }
        ArmSweep();
    });
}

// One timer for every orphan: the grace is the same for all, so the queue is
// in the order of their due times.
void ObjectTable::ArmSweep() {
    if (orphans_.empty() || sweepTimer_.isActive()) {
        return;
    }
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(orphans_.front().due - Clock::now());
    sweepTimer_.start(std::max(wait, std::chrono::milliseconds(0)));
}

// Releases the orphans that are due, a batch at a time: the next batch waits
// behind the calls that came in meanwhile.
void ObjectTable::Sweep() {
    const Clock::time_point now = Clock::now();
    for (int released = 0; !orphans_.empty() && orphans_.front().due <= now;) {
        if (released == kSweepBatch) {
            sweepTimer_.start(0);
            return;
        }
        const Orphan orphan = orphans_.front();
        orphans_.pop_front();
        auto found = objects_.find(orphan.number);
        if (found != objects_.end() && found->second.owner.isEmpty() &&
            found->second.orphanToken == orphan.token) {
            objects_.erase(found);
            ++released;
        }
    }
    ArmSweep();
}

}  // namespace trx
