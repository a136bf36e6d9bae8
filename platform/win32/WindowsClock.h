#pragma once

#include "platform/Clock.h"

namespace trx {

// Today by the machine's local time (GetLocalTime).
class WindowsClock final : public Clock {
  public:
    double Today() const override;
};

}  // namespace trx
