#pragma once

#include "automation/ClassDescription.h"
#include "automation/PostedTimer.h"
#include "automation/ServerRules.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>

namespace trx {

// The objects of a server by number, each owned by the connection that made
// it. An object whose owner's connection goes becomes an orphan: the first
// connection that calls it within the grace adopts it, otherwise it is
// released. Work that changes the table runs through post, between calls.
class ObjectTable {
  public:
    ObjectTable(QDBusConnection connection, const ServerOptions& options, PostWork post);

    bool Empty() const { return objects_.empty(); }
    bool Contains(int number) const { return objects_.count(number) != 0; }
    int NextNumber() const { return nextNumber_; }
    // The numbers of the objects that owner holds, in order.
    QStringList OwnedBy(const QString& owner) const;

    // Throws AutomationError when owner holds as many objects as it may.
    void CheckRoomFor(const QString& owner) const;
    // Adds object under NextNumber(), owned by owner.
    void Add(const QString& owner, std::unique_ptr<ServedObject> object);
    // The object for a call by caller, adopting it when it is an orphan.
    // Throws AutomationError when another connection owns it.
    ServedObject& Use(int number, const QString& caller, const QString& path);
    void Release(int number);

  private:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        QString owner;  // empty while the owner is gone and the grace runs
        std::uint64_t orphanToken = 0;
        std::unique_ptr<ServedObject> object;
    };

    // An object whose owner went, due for release unless adopted meanwhile.
    struct Orphan {
        int number;
        std::uint64_t token;
        Clock::time_point due;
    };

    void Own(const QString& owner);
    void Disown(const QString& owner);
    void Watch(const QString& owner);
    void OnOwnerGone(const QString& owner);
    void ArmSweep();
    void Sweep();

    QDBusConnection connection_;
    const ServerOptions& options_;
    PostWork post_;
    QDBusServiceWatcher watcher_;
    QTimer sweepTimer_;
    std::map<int, Entry> objects_;
    QHash<QString, int> owned_;  // objects per owning connection
    std::deque<Orphan> orphans_;
    int nextNumber_ = 1;
};

}  // namespace trx
