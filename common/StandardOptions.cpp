#include "common/StandardOptions.h"

#ifndef TRX_VERSION
#error "TRX_VERSION is set by the build"
#endif

namespace trx {

std::string_view ProgramVersion() {
    return TRX_VERSION;
}

std::optional<int> HandleStandardOptions(int argc, const char* const* argv,
                                         std::string_view program, std::string_view help,
                                         std::ostream& out) {
    if (argc != 2 || argv[1] == nullptr) {
        return std::nullopt;
    }
    const std::string_view argument = argv[1];
    if (argument == "--help") {
        out << help;
    } else if (argument == "--version") {
        out << program << ' ' << ProgramVersion() << '\n';
    } else {
        return std::nullopt;
    }
    out.flush();
    return out ? 0 : 1;
}

}  // namespace trx
