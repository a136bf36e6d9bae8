#pragma once

#include <chrono>
#include <cstdint>

namespace trx {

// The rules that every transport keeps. Calls are served one at a time, on
// one thread; a call that waits (a message box) holds back the next. An
// error crosses to the client as number, source and description; one raised
// without a source carries the name of the server's type library.

// How long a server's objects and the server itself live.
struct ServerOptions {
    // How long the server waits after its last object is gone before it ends;
    // on COM only after a failed creation, since COM stops routing creations
    // to a server whose last object is gone (ComLifetime.h).
    std::chrono::milliseconds linger{2000};
    // How long a server that was started for a client waits for its first
    // object before it ends.
    std::chrono::milliseconds startIdle{30000};
    // How long an object outlives its owner's connection. A connection that
    // calls it in that time becomes its owner; so a shell can create an object
    // with one call and use it with the next.
    std::chrono::milliseconds orphanGrace{15000};
    // The most objects that one connection may hold at a time.
    int maxObjectsPerConnection = 10000;
    // The largest message that the transport carries; a larger reply becomes
    // an error for its call instead. 32 MiB is dbus-daemon's own default for
    // max_message_size; a session bus may allow more (up to libdbus's
    // 128 MiB), never less.
    std::int64_t maxMessageBytes = std::int64_t{32} * 1024 * 1024;
};

// Errors of the automation layer itself (source: the served type library).
// A call, property access or Release of an object that another connection owns.
inline constexpr std::int32_t kErrNotOwner = static_cast<std::int32_t>(0x80070005u);
// Creation by a connection that holds maxObjectsPerConnection objects.
inline constexpr std::int32_t kErrTooManyObjects = static_cast<std::int32_t>(0x8007000Eu);
// A reply larger than maxMessageBytes.
inline constexpr std::int32_t kErrReplyTooLarge = static_cast<std::int32_t>(0x8007007Au);

}  // namespace trx
