#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "common/ProfileScanner.h"

namespace trx::test {

// The bytes of a literal, NUL bytes included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// Hands out the bytes in chunks of a chosen size, to put every boundary
// between two reads somewhere else.
class ChunkSource final : public profile::ByteSource {
  public:
    ChunkSource(std::string bytes, std::size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        got = std::min({chunk_, capacity, bytes_.size() - at_});
        std::copy_n(bytes_.data() + at_, got, buffer);
        at_ += got;
        return true;
    }

  private:
    std::string bytes_;
    std::size_t chunk_;
    std::size_t at_ = 0;
};

// A small generator that gives the same cases on every run.
class Dice {
  public:
    explicit Dice(unsigned seed) : state_(seed) {}
    unsigned operator()(unsigned range) {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 16) % range;
    }

  private:
    unsigned state_;
};

}  // namespace trx::test
