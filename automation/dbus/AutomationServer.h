#pragma once

#include "automation/dbus/AutomationClass.h"

#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace trx {

struct ServerOptions {
    // How long the server waits after its last object is gone before it ends.
    std::chrono::milliseconds linger{2000};
    // How long a server that the bus started waits for its first CreateInstance.
    std::chrono::milliseconds startIdle{30000};
    // How long an object outlives its owner's connection. A connection that
    // calls it in that time becomes its owner; so a shell can create an object
    // with one gdbus call and use it with the next.
    std::chrono::milliseconds orphanGrace{15000};
    // The most objects that one connection may hold at a time.
    int maxObjectsPerConnection = 10000;
    // The largest message that the bus carries. dbus-daemon drops the
    // connection of a sender whose message is larger, so a larger reply
    // becomes an error for its call instead. 32 MiB is dbus-daemon's own
    // default for max_message_size; a session bus may allow more (up to
    // libdbus's 128 MiB), never less.
    std::int64_t maxMessageBytes = std::int64_t{32} * 1024 * 1024;
};

// Errors of the automation layer itself (source: the served type library).
// A call, property access or Release of an object that another connection owns.
inline constexpr std::int32_t kErrNotOwner = static_cast<std::int32_t>(0x80070005u);
// CreateInstance by a connection that holds maxObjectsPerConnection objects.
inline constexpr std::int32_t kErrTooManyObjects = static_cast<std::int32_t>(0x8007000Eu);
// A reply larger than maxMessageBytes.
inline constexpr std::int32_t kErrReplyTooLarge = static_cast<std::int32_t>(0x8007007Au);

// Serves one class on a bus connection: the class object at "/", the objects
// at /<class>/<n>, one call at a time, and the server's own lifetime.
class AutomationServer {
  public:
    AutomationServer(QDBusConnection connection, AutomationClass served,
                     ServerOptions options = {});
    ~AutomationServer();
    AutomationServer(const AutomationServer&) = delete;
    AutomationServer& operator=(const AutomationServer&) = delete;

    // Registers the objects, then takes the bus name (the programmatic
    // identifier). False, with the reason in error, when either fails.
    bool Start(QString& error);

    // Runs the event loop until the server has ended; the process's exit code.
    int Run();

    // Runs work between calls, never inside one (for timers of served objects).
    void Post(std::function<void()> work);

    int ObjectCount() const;

    // Whether the client of the call that is running is still connected;
    // true between calls. Asks the bus at most every quarter second.
    bool CallerConnected();

    class Dispatcher;

  private:
    std::unique_ptr<Dispatcher> dispatcher_;
};

// The -Embedding path of a program: serves the class on the session bus until
// the server ends. Needs the Qt application object; returns the exit code.
int ServeOnSessionBus(AutomationClass served, ServerOptions options = {});

}  // namespace trx
