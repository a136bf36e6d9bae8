#pragma once

#include <cstdint>

namespace trx {

// Blocks the calling thread; nothing else is served on it meanwhile.
class Sleeper {
  public:
    virtual ~Sleeper() = default;
    virtual void Sleep(std::int32_t milliseconds) = 0;
};

}  // namespace trx
