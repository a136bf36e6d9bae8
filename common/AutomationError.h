#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace trx {

// A failure as it crosses to a client: a number, the component that raised it
// and a description for people. Every layer reports client-visible failures so.
class AutomationError : public std::runtime_error {
  public:
    AutomationError(std::int32_t number, std::u16string source, std::u16string description);

    std::int32_t Number() const noexcept { return number_; }
    const std::u16string& Source() const noexcept { return source_; }
    const std::u16string& Description() const noexcept { return description_; }

  private:
    std::int32_t number_;
    std::u16string source_;
    std::u16string description_;
};

// Numbers that several layers raise.
inline constexpr std::int32_t kErrOverflow = 6;

// The overflow error of storing a number outside the 32-bit range.
AutomationError OverflowError();

}  // namespace trx
