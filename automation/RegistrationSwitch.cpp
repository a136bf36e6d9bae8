#include "automation/RegistrationSwitch.h"

#include <string>

#include "common/Text.h"

namespace trx {

std::optional<RegistrationSwitch> RegistrationSwitchOf(std::u16string_view word) {
    if (word.size() < 2 || (word.front() != u'/' && word.front() != u'-')) {
        return std::nullopt;
    }
    const std::u16string name = ToUpper(word.substr(1));
    if (name == u"REGSERVER") {
        return RegistrationSwitch::Register;
    }
    if (name == u"UNREGSERVER") {
        return RegistrationSwitch::Unregister;
    }
    if (name == u"REGSERVERPERUSER") {
        return RegistrationSwitch::RegisterPerUser;
    }
    if (name == u"UNREGSERVERPERUSER") {
        return RegistrationSwitch::UnregisterPerUser;
    }
    return std::nullopt;
}

}  // namespace trx
