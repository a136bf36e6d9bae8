#pragma once

// The file operations of the profile routines: streaming a file in, and
// replacing a file as a whole so that a reader sees the old file or the new
// one, never a half-written one. Internal to the profile routines.

#include <chrono>
#include <cstdint>
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

  private:
    int fd_ = -1;
    bool missing_ = false;
    std::uint64_t size_ = 0;
    std::uint32_t mode_ = 0;
    std::uint32_t owner_ = 0;
    std::uint32_t group_ = 0;
};

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

// Keeps other writers of the profile routines out of the folder of `path`
// while a write reads, plans and replaces its file, so that two writes at the
// same time cannot lose one of them. Readers need no lock: they see the old
// file or the new one. Where the folder cannot be locked the write goes on
// unguarded, as it would without the lock.
class FolderLock {
  public:
    explicit FolderLock(const std::string& path);
    // Waits at most `wait` for the lock; Held() tells whether it came.
    FolderLock(const std::string& path, std::chrono::milliseconds wait);
    ~FolderLock();
    bool Held() const { return fd_ >= 0; }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_ = -1;
};

// Writes a new file through `fill` in the folder of `path`, makes its data
// durable (one fdatasync) and renames it over `path`. The new file takes the mode and owner of
// `old` when that is open, and a file its user may not write is not replaced. On any failure the
// new file is removed and `path` stays as it was.
bool ReplaceFile(const std::string& path, const InputFile& old,
                 const std::function<bool(OutputFile&)>& fill);

// `path` with its symbolic links followed, so that a replacement lands on
// the file a link points to and the link stays a link. Empty when the links
// go round in circles.
std::string FollowLinks(const std::string& path);

// The prefix of the names ReplaceFile gives its new files beside `path`;
// one left behind (by a killed process) is a hidden file of this prefix.
std::string TemporaryPrefix(const std::string& path);

// True when `path` can be opened for reading and is no directory.
bool CanOpenForReading(const std::string& path);

}  // namespace trx::profile
