#pragma once

#include <cstdint>

namespace trx {

// An automation boolean: -1 is true, 0 is false. Other values do arrive from
// clients and are passed on as they are, since callers test them differently.
using AutoBool = std::int16_t;
inline constexpr AutoBool kTrue = -1;
inline constexpr AutoBool kFalse = 0;

constexpr AutoBool ToAutoBool(bool value) noexcept {
    return value ? kTrue : kFalse;
}

}  // namespace trx
