#pragma once

#include "platform/Sleep.h"

namespace trx {

// The real sleep: the thread waits and serves nothing, no events included.
class ThreadSleeper final : public Sleeper {
  public:
    void Sleep(std::int32_t milliseconds) override;
};

}  // namespace trx
