#pragma once

#include <optional>
#include <ostream>
#include <string_view>

namespace trx {

// The version of the programs, as the build gives it (the project's version).
std::string_view ProgramVersion();

// --help and --version, as command-line programs on Linux take them. They
// count only as the one and only argument, so that a command line of the
// program's own (a CPX file path, /CREATE) keeps its meaning; a file of that
// name is given as ./--help. --help prints help, --version prints
// "<program> <version>"; both end the program with 0. Empty when neither
// stands alone on the command line.
std::optional<int> HandleStandardOptions(int argc, const char* const* argv,
                                         std::string_view program, std::string_view help,
                                         std::ostream& out);

}  // namespace trx
