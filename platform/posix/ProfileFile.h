#pragma once

// The file operations of the profile routines: streaming a file in, and
// replacing a file as a whole so that a reader sees the old file or the new
// one, never a half-written one. Used by the profile routines and the
// settings store, which write files of the same kind.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "common/ProfileScanner.h"

namespace trx::profile {

// A regular file opened for reading; closes itself.
class InputFile final : public ByteSource {
  public:
    explicit InputFile(const std::string& path);
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False when the file is missing, unreadable or no regular file.
    bool IsOpen() const { return fd_ >= 0; }
    // Nothing exists under the path (as opposed to something unreadable). A
    // missing file reads as an empty one.
    bool Missing() const { return missing_; }

    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override;
    // Reads from `offset` without moving the reading position.
    bool ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity, std::size_t& got) const;

    std::uint64_t Size() const { return size_; }
    std::uint32_t Mode() const { return mode_; }
    std::uint32_t Owner() const { return owner_; }
    std::uint32_t Group() const { return group_; }
    timespec ModifiedAt() const { return modified_; }

  private:
    int fd_ = -1;
    bool missing_ = false;
    std::uint64_t size_ = 0;
    std::uint32_t mode_ = 0;
    std::uint32_t owner_ = 0;
    std::uint32_t group_ = 0;
    timespec modified_{};
};

// Writes all of `bytes` to `fd`, again after an interrupted or short write;
// false on a failed one.
bool WriteAll(int fd, std::string_view bytes);

// The new file while it is being written.
class OutputFile {
  public:
    explicit OutputFile(int fd) : fd_(fd) {}
    bool Write(std::string_view bytes);
    // Copies the bytes from `begin` to `end` of `in`; `end` past the file's
    // end copies to its end, while a bounded range must be there in full.
    bool CopyRange(const InputFile& in, std::uint64_t begin, std::uint64_t end);

  private:
    int fd_;
};

inline constexpr std::uint64_t kToEnd = UINT64_MAX;

// Writes a new file through `fill` in the folder of `path`, makes its data
// durable (one fdatasync) and renames it over `path`. The new file takes the mode and owner of
// `old` when that is open, and a file its user may not write is not replaced. On any failure the
// new file is removed and `path` stays as it was.
bool ReplaceFile(const std::string& path, const InputFile& old,
                 const std::function<bool(OutputFile&)>& fill);
// Makes a replacement's rename durable (one fsync of the folder of `path`);
// called once the file's lock is released, as it needs none.
void SyncFolderOf(const std::string& path);

// Where a write to a path lands: the path with its symbolic links followed,
// so that a replacement lands on the file a link points to and the link
// stays a link. A link is followed only when it belongs to root or to the
// owner of what it points to (for a link to nothing, the owner of the folder
// it points into), as the kernel's protected_symlinks rule asks of links in
// shared folders: a link that one user planted does not steer another
// user's (or root's) write onto a file that is not the link owner's.
struct LinkTarget {
    std::string file;         // empty when a link was refused or the links go round in circles
    std::string refusedLink;  // the link that was not followed
};
LinkTarget FollowLinks(const std::string& path);

// ReplaceFile's new file beside `path` is named
// ".<name>.trxtmp-<process id>-<random>", a name no other tool uses. True
// when `leaf` (a name in the folder of `path`) is such a file of a process
// that is gone, that is a leftover of a killed writer.
bool IsLeftoverOfGoneProcess(const std::string& path, const std::string& leaf);

// True when `path` can be opened for reading and is no directory.
bool CanOpenForReading(const std::string& path);

}  // namespace trx::profile
