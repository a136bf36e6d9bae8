#pragma once

namespace trx {

// Today's local date, as an automation date at midnight.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double Today() const = 0;
};

}  // namespace trx
