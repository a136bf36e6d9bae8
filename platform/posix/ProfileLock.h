#pragma once

// The lock that Qt's QSettings takes on a file, so that the programs and
// every QSettings program that writes the same file exclude each other.
// Internal to the profile routines and the settings store.

#include <chrono>
#include <cstdint>
#include <string>

#include "common/FileFailure.h"

namespace trx::profile {

// The lock file of QLockFile: "<file>.lock" beside the file, made with
// O_EXCL (so only the folder's writers can take it), held with flock, and
// holding the holder's process id, program name, host name, machine id and
// boot id, one a line. A lock whose holder is gone from this host (or from
// this boot), or whose file is older than kStaleAfter, is taken over; two
// processes taking over the same lock agree through "<file>.lock.rmlock".
class LockFile {
  public:
    enum class State {
        Held,     // ours until destruction
        Busy,     // another process held it for the whole wait
        Refused,  // it cannot be made here (no permission, no folder, a full disk)
    };

    // QLockFile's default; our writers hold the lock for milliseconds.
    static constexpr std::chrono::milliseconds kStaleAfter{30000};

    // A busy file's lock passes from writer to writer, and a writer's sync
    // may take seconds on a busy disk; a waiter gives up after this many
    // waits in all.
    static constexpr int kBusyWaits = 12;

    // Takes the lock `lockPath`, waiting at most `wait` for any one holder
    // to let go, while that holder neither runs nor waits for its disk (and
    // at most kBusyWaits times `wait` in all).
    LockFile(std::string lockPath, std::chrono::milliseconds wait);
    // Releases the lock: removes the file, then closes it.
    ~LockFile();
    // Releases the lock before destruction.
    void Release();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    State GetState() const { return state_; }
    bool Held() const { return state_ == State::Held; }
    const std::string& Path() const { return path_; }

    // What the lock file said of its holder at the last look (Busy).
    struct Holder {
        std::int64_t pid = 0;
        std::string program;
        std::string host;
    };
    const Holder& LastHolder() const { return holder_; }

  private:
    // Tells one holder's lock file from the next one's.
    struct Identity {
        std::uint64_t inode = 0;
        std::int64_t seconds = 0;
        std::int64_t nanoseconds = 0;
        bool operator==(const Identity&) const = default;
    };
    Identity CurrentIdentity() const;
    bool TryOnce();
    bool TakeOverIfStale();
    bool IsStale();

    std::string path_;
    int fd_ = -1;
    State state_ = State::Busy;
    Holder holder_;
    bool holderLocal_ = false;  // the holder runs on this host
};

// Notes in `failure` that `lock` was held by another process for the whole
// wait, with what its lock file says of that process.
void NoteBusy(const LockFile& lock, FileFailure& failure);

}  // namespace trx::profile
