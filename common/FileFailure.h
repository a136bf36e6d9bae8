#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace trx {

// Why a file could not be written, for the message that reports it.
struct FileFailure {
    enum class Cause {
        Other,            // the write failed (permission, full disk, a folder in the way, ...)
        LinkNotFollowed,  // a symbolic link of someone else's was not followed
        Locked,           // another process held the file's lock for the whole wait
    };
    Cause cause = Cause::Other;
    // The file that was to be written, its symbolic links followed as far as
    // they were; for LinkNotFollowed the link that was not followed.
    std::u16string file;
    // Locked: the lock file and what it says of its holder.
    std::u16string lockFile;
    std::int64_t holderPid = 0;
    std::u16string holderProgram;
    std::u16string holderHost;
};

// A failure of the given file, of no particular cause.
inline FileFailure FailureOf(std::u16string file) {
    FileFailure failure;
    failure.file = std::move(file);
    return failure;
}

// The German sentence that says why, to follow the message that the file
// could not be written; empty for Cause::Other, where the message says all.
std::u16string FailureReason(const FileFailure& failure);

}  // namespace trx
