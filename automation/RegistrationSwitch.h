#pragma once

#include <optional>
#include <string_view>

namespace trx {

// The switches with which a server program registers itself with its
// transport or removes its registration, before its own start-up.
enum class RegistrationSwitch { Register, Unregister, RegisterPerUser, UnregisterPerUser };

// The switch that word is: /RegServer, /UnRegServer, /RegServerPerUser or
// /UnRegServerPerUser, also with "-", in any letter case.
std::optional<RegistrationSwitch> RegistrationSwitchOf(std::u16string_view word);

}  // namespace trx
