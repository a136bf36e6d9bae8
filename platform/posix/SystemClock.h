#pragma once

#include "platform/Clock.h"

namespace trx {

// The clock of the machine, in its local time zone.
class SystemClock final : public Clock {
  public:
    double Today() const override;
};

}  // namespace trx
